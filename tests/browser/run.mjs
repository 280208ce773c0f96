// The workspace in Debian's Chromium: the whole import, cancel, layer mapping, address suggestions,
// the point-cloud page with its controller, and requests that must be refused. Screenshots go to ARTEFACTS.
// Usage: node run.mjs GEODRAFT GEODRAFT_SIM ARTEFACTS. Exit 77 (skipped) without chromium or node modules.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';
import { createRequire } from 'node:module';

const [geodraft, simProgram, artefacts] = process.argv.slice(2);
const CHROMIUM = '/usr/bin/chromium';
const require = createRequire(import.meta.url);
let playwright;
try {
  playwright = require('playwright-core');
} catch (e) {
  console.log('SKIP: playwright-core is not installed (bash scripts/install-deps.sh)');
  process.exit(77);
}
if (!fs.existsSync(CHROMIUM)) {
  console.log('SKIP: ' + CHROMIUM + ' is missing (apt-get install chromium)');
  process.exit(77);
}

const MAP_GUID = '{6B1C0A7E-92D4-4F7B-B1A9-3C58D2E4F016}';
const CLOUD_GUID = '{BE37AFB8-AC68-44F2-A7CE-DB3CC77A178B}';
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'geodraft-browser-'));
fs.rmSync(artefacts, {recursive: true, force: true});
fs.mkdirSync(artefacts, {recursive: true});
const children = [];
let failures = 0;
let passed = 0;

function check(name, condition, detail) {
  if (condition) {
    passed++;
  } else {
    failures++;
    console.log('FAIL: ' + name + (detail !== undefined ? ' — ' + JSON.stringify(detail) : ''));
  }
}

// Starts a program and resolves with the first line it prints that matches.
function startProgram(program, args, env, pattern) {
  return new Promise((resolve, reject) => {
    const child = spawn(program, args, {env: {...process.env, ...env}, stdio: ['ignore', 'pipe', 'pipe']});
    children.push(child);
    const err = [];
    child.stderr.on('data', (d) => err.push(d));
    child.on('exit', (code) => reject(new Error(program + ' ended (' + code + '): ' + Buffer.concat(err))));
    readline.createInterface({input: child.stdout}).on('line', (line) => {
      const m = pattern.exec(line);
      if (m) resolve(m[1]);
    });
  });
}

function rawRequest(url, {method = 'GET', headers = {}, body} = {}) {
  return new Promise((resolve) => {
    const req = http.request(url, {method, headers}, (res) => {
      res.resume();
      res.on('end', () => resolve(res.statusCode));
    });
    req.on('error', () => resolve(-1));
    if (body) req.write(body);
    req.end();
  });
}

const started = Date.now();
async function shot(page, name) {
  await page.screenshot({path: path.join(artefacts, name + '.png')});
  console.log(`${((Date.now() - started) / 1000).toFixed(1)} s: ${name}`);  // where a slow run spends its time
}

const env = {
  XDG_CONFIG_HOME: path.join(work, 'config'),
  XDG_STATE_HOME: path.join(work, 'state'),
  XDG_CACHE_HOME: path.join(work, 'cache'),
  TMPDIR: path.join(work, 'tmp'),
  GEODRAFT_PACING_MS: '0'
};
fs.mkdirSync(env.TMPDIR, {recursive: true});

let browser;
let page;
try {
  const services = await startProgram(simProgram, ['--port', '0', '--scenario', 'chmura'], env,
                                      /^listening on (http:\/\/127\.0\.0\.1:\d+)/);
  const address = await startProgram(geodraft, ['serve', '--project', path.join(work, 'project.gdp')],
                                     {...env, GEODRAFT_SERVICES: services}, /otworz w przegladarce (\S+)/);
  const origin = new URL(address).origin;
  const secret = new URL(address).pathname.split('/')[1];

  browser = await playwright.chromium.launch({
    executablePath: CHROMIUM,
    args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader']
  });
  page = await browser.newPage({viewport: {width: 1400, height: 900}});
  const posted = [];  // every message a palette page sent to the add-on
  page.on('request', (req) => {
    if (req.method() === 'POST' && req.url().includes('/__call?o=GIS')) {
      try { posted.push(JSON.parse(JSON.parse(req.postData())[0])); } catch (e) { posted.push(null); }
    }
  });
  const sentOfType = (type) => posted.filter((m) => m && m.type === type);
  const until = async (fn, what, timeout = 30000) => {
    const end = Date.now() + timeout;
    while (Date.now() < end) {
      if (await fn()) return true;
      await new Promise((r) => setTimeout(r, 50));
    }
    check('waiting for ' + what, false);
    return false;
  };
  const text = (locator) => locator.textContent();
  const cls = (locator) => locator.getAttribute('class');
  const menu = async (item) => {
    await page.click('#menuButton');
    if (item) await page.click(`.menuItem[data-item="${item}"]`);
  };
  // A message from the add-on, played straight into a page.
  const receive = (frame, msg) => frame.locator('body').evaluate((body, m) => GISBridge.receive(m), msg);
  // Clicked and read in one step: the add-on's answer may follow at once.
  const clickCancel = (frame) => frame.locator('body').evaluate(() => {
    document.getElementById('btnCancel').click();
    return document.getElementById('btnCancel').textContent;
  });

  await page.goto(address, {timeout: 120000});  // a loaded machine starts the page slowly
  await menu();
  const items = await page.locator('.menuItem').allTextContents();
  check('menu has the four items', JSON.stringify(items) === JSON.stringify(
    ['Mapa importu GIS', 'Chmura punktow', 'Czyszczenie duplikatow (polilinie + teksty)',
     'Strona Geodraft (www.geodraft.pl)']), items);
  await page.click('.menuItem[data-item="1"]');
  const mapWindow = page.locator(`.window[data-guid="${MAP_GUID}"]`);
  const map = page.frameLocator(`.window[data-guid="${MAP_GUID}"] iframe`);
  const status = map.locator('#status');
  await status.filter({hasText: 'Połączono z ArchiCAD ✓'}).waitFor();
  check('version tag', await text(map.locator('#version')) === 'v1.8.0');
  check('ping then getInit first', posted[0] && posted[0].type === 'ping' && posted[1].type === 'getInit', posted);
  await menu();
  check('menu item checked', await cls(page.locator('.menuItem[data-item="1"]')) === 'menuItem checked');
  await menu();
  await shot(page, '01-import-palette');

  // Frame and location: the simulator's demo town.
  await map.locator('body').evaluate(() => map.setView([51.2867, 22.2166], 16));
  await map.locator('#btnOrigin').click();
  await status.filter({hasText: 'Lokalizacja projektu ustawiona'}).waitFor();
  const originText = await text(status);
  check('originSet status', /^Lokalizacja projektu ustawiona: E=\d+ N=\d+ \(PL-2000 strefa 7, EPSG:2178\)(, H=-?\d+ m n\.p\.m\. \(PL-EVRF2007-NH\))?$/.test(originText), originText);
  const frameBox = await text(map.locator('#frameBox'));
  check('frame box', /^Kadr: \d+ m × \d+ m  \(1:1000 → \d+ płyt\.\)$/.test(frameBox), frameBox);

  // Nothing ticked, then the whole import.
  const ticked = ['#lyDzialki', '#lyBudynki'];
  for (const id of ticked) await map.locator(id).uncheck();
  await map.locator('#btnFetch').click();
  check('nothing ticked is an error', await text(status) === 'Zaznacz co najmniej jedną warstwę do pobrania.' &&
        await cls(status) === 'error');
  for (const id of [...ticked, '#lyRastr', '#lyTeren']) await map.locator(id).check();
  await map.locator('#btnFetch').click();
  await map.locator('#step1.done').waitFor({timeout: 120000});
  const fetchedStatus = await text(status);
  check('fetched status', fetchedStatus === 'Pobrano — sprawdź podgląd i kliknij „2. Dodaj do projektu”' ||
        fetchedStatus.length > 0 && !(await cls(status)), fetchedStatus);
  check('progress off after fetch', await cls(map.locator('#progress')) === 'off');
  const fetch = sentOfType('fetch')[0];
  check('fetch payload', fetch && JSON.stringify(fetch.layers) === '["dzialki","budynki","teren","rastr"]' &&
        fetch.bboxWgs84.length === 4 && fetch.rasterScale === 1000 && fetch.terrainStep === 1 &&
        fetch.terenChmuraKrok === 1 && fetch.poziomiceCiecie === 1 && fetch.poziomiceWygladz === false, fetch);
  const chips = await map.locator('.chip').allTextContents();
  check('count chips', chips.some((c) => / × działki$/.test(c)) && chips.some((c) => / × orto \(rastr\)$/.test(c)), chips);
  check('place enabled, steps after fetch', await map.locator('#btnPlace').isEnabled() &&
        await cls(map.locator('#step1')) === 'step done' && await cls(map.locator('#step2')) === 'step active');
  check('preview drawn', await map.locator('.leaflet-overlay-pane path').count() > 0);
  await shot(page, '02-fetched-preview');

  await map.locator('#btnPlace').click();
  await status.filter({hasText: /^Dodano do projektu/}).waitFor({timeout: 120000});
  check('chips placed', (await map.locator('.chip').allTextContents()).every((c) => c.endsWith(' ✓')));
  check('step 2 done', await cls(map.locator('#step2')) === 'step done');
  await until(async () => /^Elementy: [1-9]/.test(await text(page.locator('#modelInfo'))), 'model view');
  check('report window', (await text(page.locator('#report'))).includes('TERRAVOX'));
  await mapWindow.locator('.titlebar button').click();  // hide the palette to look at the model
  await until(async () => !(await mapWindow.isVisible()), 'palette hidden');
  await shot(page, '03-placed-plan');
  await page.click('#tab3d');
  await page.waitForTimeout(500);
  await shot(page, '04-placed-3d');
  await page.click('#tabPlan');

  // Reopening keeps the page's state.
  await menu(1);
  check('state kept after reopening', await map.locator('#btnPlace').isEnabled() &&
        (await text(status)).startsWith('Dodano do projektu'));

  // Placing again doubles the drawing; the menu's duplicate removal asks, deletes and the view follows.
  const elements = async () => parseInt(/^Elementy: (\d+)/.exec(await text(page.locator('#modelInfo')))[1], 10);
  const once = await elements();
  await map.locator('#btnPlace').click();
  await until(async () => await elements() > once, 'second placement');
  const twice = await elements();
  await menu(3);
  await page.locator('#alert:not(.hidden)').waitFor();
  check('confirmation', (await text(page.locator('#alert'))).includes('Czyszczenie duplikatow'));
  await shot(page, '05-dedupe-confirm');
  await page.locator('#alertButtons button', {hasText: 'Uruchom'}).click();
  await page.locator('#alertButtons button', {hasText: /^OK$/}).click();
  await page.locator('#alert.hidden').waitFor({state: 'attached'});
  await until(async () => await elements() < twice, 'model view after duplicate removal');
  check('duplicates removed', await elements() < twice && await elements() >= once, [once, twice, await elements()]);

  // Progress and cancel: the add-on answers "cancel" itself.
  await receive(map, {type: 'progress', done: 1, total: 3, label: 'Modele 3D', cancellable: true});
  check('progress text and bar', await text(status) === 'Modele 3D — 33%' &&
        await map.locator('#progressBar').evaluate((e) => e.style.width) === '33%');
  check('cancelling', await clickCancel(map) === 'Anulowanie…');
  await status.filter({hasText: /^Anulowano$/}).waitFor();
  check('cancel sent', sentOfType('cancel').length === 1);
  check('cancel hidden', !(await map.locator('#btnCancel').isVisible()));
  await receive(map, {type: 'progress', label: 'Pobieranie warstw'});
  check('progress without total', await text(status) === 'Pobieranie warstw' &&
        !(await map.locator('#btnCancel').isVisible()));
  await receive(map, {type: 'fetchDone', counts: {}, warning: 'Blad pobierania: x'});
  check('fetch with nothing', await text(status) === 'Blad pobierania: x' &&
        await map.locator('#btnPlace').isDisabled() && await cls(map.locator('#step1')) === 'step');
  await receive(map, {type: 'originSet', e: 7500000.4, n: 5787000.6, h: 0, epsg: 2177});
  check('originSet zone 6 without height', await text(status) ===
        'Lokalizacja projektu ustawiona: E=7500000 N=5787001 (PL-2000 strefa 6, EPSG:2177)');

  // Layer mapping, saved into the real settings file.
  page.once('dialog', (d) => d.accept('GIS_MOJE_DZIALKI'));
  await map.locator('#btnLayers').click();
  await map.locator('#mapping:not(.hidden)').waitFor();
  check('mapping heading', await text(map.locator('#mapping h3')) === 'Mapowanie: typ danych → warstwa ArchiCAD');
  check('mapping rows', await map.locator('#mappingRows .row').count() === 19);
  const parcels = map.locator('#mappingRows select[data-key="dzialki"]');
  await parcels.selectOption('__new__');
  check('new layer offered', await text(parcels.locator('option:checked')) === 'GIS_MOJE_DZIALKI (nowa)');
  await shot(page, '06-layer-mapping');
  await map.locator('#btnMappingSave').click();
  check('mapping saved status', await text(status) === 'Ustawienia zapisane');
  const settingsFile = path.join(env.XDG_CONFIG_HOME, 'TERRAVOX', 'settings.json');
  await until(() => fs.existsSync(settingsFile) && fs.readFileSync(settingsFile, 'utf8').includes('GIS_MOJE_DZIALKI'),
              'settings file');

  // Address suggestions and search.
  const addr = map.locator('#addr');
  const firstSuggestion = map.locator('#suggest li').first();
  const suggested = () => sentOfType('searchAddressSuggest').map((m) => m.query).join();
  await addr.fill('Wa');
  check('short text sends nothing', suggested() === '');
  await addr.fill('Warszawa');
  await firstSuggestion.waitFor();
  check('suggestion request', suggested() === 'Warszawa');
  await receive(map, {type: 'addressSuggestions', query: 'Stare', items: [{lat: 1, lon: 2, label: 'Inne'}]});
  check('older answer does not replace', await text(firstSuggestion) === 'Warszawa, Warszawa');
  await shot(page, '07-suggestions');
  await addr.press('ArrowDown');
  await addr.press('Enter');
  check('suggestion picked', await text(status) === 'Warszawa, Warszawa' &&
        await addr.inputValue() === 'Warszawa, Warszawa' && !(await map.locator('#suggest').isVisible()));
  await addr.fill('Stare');
  await firstSuggestion.waitFor();
  check('cached answer shown without asking', await text(firstSuggestion) === 'Inne' && suggested() === 'Warszawa');
  await addr.press('Escape');
  await addr.fill('Marszałkowska 1');
  await addr.press('Enter');
  await status.filter({hasText: 'Warszawa, Srodmiescie'}).waitFor();
  check('search sent', sentOfType('searchAddress').map((m) => m.query).join() === 'Marszałkowska 1');

  // Links leave through the add-on; the side panel stays collapsed after a reload.
  await map.locator('body').evaluate(() => {
    const a = document.createElement('a');
    a.href = 'HTTPS://example.org/x';
    a.id = 'testLink';
    a.textContent = 'x';
    document.body.appendChild(a);
  });
  await map.locator('#testLink').click();
  await until(() => sentOfType('openExternal').length === 1, 'openExternal');
  check('link url', sentOfType('openExternal')[0].url === 'HTTPS://example.org/x');
  await map.locator('#btnLayout').click();
  const mapFrame = page.frames().find((f) => f.url().endsWith('/map/map.html'));
  await mapFrame.goto(mapFrame.url());
  await status.filter({hasText: 'Połączono z ArchiCAD ✓'}).waitFor();
  check('panel collapsed after reload', await cls(map.locator('body')) === 'collapsed');
  await map.locator('#btnLayout').click();

  // The point-cloud page against its controller and the simulator's LiDAR block near Radom.
  await menu(2);
  const cloud = page.frameLocator(`.window[data-guid="${CLOUD_GUID}"] iframe`);
  const cloudBody = cloud.locator('body');
  const cloudStatus = cloud.locator('#status');
  const download = cloud.locator('#btnDownload');
  const cancel = cloud.locator('#btnCancel');
  await cloud.locator('#connection').filter({hasText: 'Połączono z ArchiCAD ✓'}).waitFor();
  // The page first moves to the project's place (set above) and estimates there; framing before that
  // move ends would be undone by it.
  await until(() => sentOfType('frameEstimate').length >= 2, 'estimate at the project\'s place');
  const first = sentOfType('frameEstimate')[0];
  check('estimate payload', first.detail === 'standard' && first.bboxWgs84.length === 4, first);
  await cloudBody.evaluate(() => {  // every message the page receives from here on
    window.received = [];
    const receive = GISBridge.receive;
    GISBridge.receive = (msg) => { window.received.push(msg); receive(msg); };
  });
  const receivedOfType = async (type) => (await cloudBody.evaluate(() => window.received)).filter((m) => m.type === type);
  const estimate = () => text(cloud.locator('#estimate'));
  const estimateClass = () => cls(cloud.locator('#estimate'));
  // The block's PL-1992 corners (649400 394700, 649600 394900) in WGS84.
  const frameRadom = () => cloudBody.evaluate(() => map.fitBounds([[51.399205, 21.148365], [51.400950, 21.151323]]));
  await frameRadom();
  // The index's density (6 points/m² at most) replaces the one the estimate started from (12).
  await until(async () => (await estimate()).endsWith(' · 6 pkt/m²'), 'estimate from the LiDAR index');
  const realEstimate = await estimate();
  check('real estimate', /^~\d+(,\d)? (mln|tys\.) pkt · ~\d+ MB · 6 pkt\/m²$/.test(realEstimate) &&
        await estimateClass() !== 'over' && await download.isEnabled(), realEstimate);
  await shot(page, '08-cloud-estimate');
  await cloudBody.evaluate(() => map.zoomOut(4));
  await until(async () => (await estimate()).endsWith(' — przekroczono limit, zmniejsz kadr lub jakość'), 'estimate over the limit');
  check('estimate over limit', /^~\d+,\d mln pkt · ~\d+ MB · \d+ pkt\/m² — przekroczono limit, zmniejsz kadr lub jakość$/.test(await estimate()) &&
        await estimateClass() === 'over' && await download.isDisabled(), await estimate());
  // Lighter first, then back to the block: every estimate from here on is a light one.
  await cloud.locator('#detail').fill('0');
  await frameRadom();
  await until(async () => !(await estimate()).includes('przekroczono'), 'light estimate of the block');
  const lightEstimate = await estimate();
  check('light estimate', /^~\d+ tys\. pkt · ~\d+ MB · 6 pkt\/m²$/.test(lightEstimate) &&
        sentOfType('frameEstimate').at(-1).detail === 'lekki' && await download.isEnabled(), lightEstimate);

  // A real cancel: the sheets trickle in, so the download still runs when the cancel arrives.
  const sheets = {host: 'opendata.geoportal.gov.pl', path: '/NumDaneWys/DanePomiaroweLAZ/sim/*'};
  check('sheets slowed', await rawRequest(services + '/__faults', {method: 'POST', body: JSON.stringify({...sheets, trickleMs: 500})}) === 200);
  await download.click();
  const asked = sentOfType('download')[0];
  check('download payload', asked && asked.detail === 'lekki' && asked.bboxWgs84.length === 4, asked);
  await cloudStatus.filter({hasText: /^Kafel 1\/4: [\d,]+ (B|KB) \/ [\d,]+ (KB|MB) — \d+%$/}).waitFor();
  check('downloading', await cancel.isVisible() && await download.isDisabled());
  check('index first', (await receivedOfType('progress'))[0].label === 'Pobieranie skorowidza LiDAR');
  await shot(page, '09-cloud-downloading');
  // The button is disabled while downloading; a second request straight from the page is refused.
  await cloudBody.evaluate(() => GISBridge.send('download', {bboxWgs84: frame(), detail: detail()}));
  await until(async () => (await receivedOfType('error')).some((m) => m.msg === 'Trwa pobieranie danych - sprobuj za chwile'),
              'second download refused');
  check('error during download keeps it running', await cancel.isVisible() && await download.isDisabled());
  check('cloud cancelling', await clickCancel(cloud) === 'Anulowanie…');
  await cloudStatus.filter({hasText: /^Anulowano\.$/}).waitFor();
  check('download cancelled', await cls(cloudStatus) === 'error' && !(await cancel.isVisible()) &&
        await download.isEnabled() && sentOfType('cancel').length === 2 && (await receivedOfType('cancelled')).length === 1);
  check('sheets at full speed', await rawRequest(services + '/__faults', {method: 'DELETE'}) === 200);

  // The whole download: sheets, E57, the alert, the hand-over file.
  await download.click();
  await page.locator('#alert:not(.hidden)').waitFor({timeout: 120000});
  check('cloud alert', (await text(page.locator('#alert'))).includes('Chmura punktow gotowa'));
  await page.locator('#alertButtons button', {hasText: /^OK$/}).click();
  await cloudStatus.filter({hasText: /^Chmura zapisana: /}).waitFor();
  const labels = (await receivedOfType('progress')).map((m) => m.label);
  check('sheet progress', labels.some((l) => /^Kafel 4\/4: /.test(l)) && labels.includes('Przetwarzanie kafli LiDAR'), labels);
  const handedOver = path.join(env.XDG_CONFIG_HOME, 'Velmora_Cloud', 'ostatnia_chmura.e57');
  check('download done', (await text(cloudStatus)).includes(handedOver) && await cls(cloudStatus) !== 'error' &&
        !(await cancel.isVisible()), await text(cloudStatus));
  check('E57 handed over', fs.existsSync(handedOver) && fs.readFileSync(handedOver).subarray(0, 8).toString() === 'ASTM-E57');
  await shot(page, '10-cloud-done');
  // The controller always words its answer; the page's own wording is played once all its work has ended.
  await receive(cloud, {type: 'downloadDone', ok: true});
  check('download done default text', await text(cloudStatus) === 'Pobrano chmurę punktów');

  // Web files were extracted and logged; requests that must not reach the add-on.
  const diag = fs.readFileSync(path.join(env.XDG_STATE_HOME, 'TERRAVOX', 'velmora_web_diag.txt'), 'utf8');
  check('web log', diag.includes('=== MapPalette ExtractWebResources v1.8.0 ===') &&
        diag.includes('=== CloudPalette ExtractWebResources v1.8.0 ===') && /LoadURL=file:\/\/\/.*\/TERRAVOX\/web\/map\.html/.test(diag));
  const webDir = path.join(env.TMPDIR, 'TERRAVOX', 'web');
  fs.symlinkSync('/etc/hostname', path.join(webDir, 'outside.txt'));
  const base = origin + '/' + secret + '/map/';
  const call = base + '__call?o=GIS&f=postMessage';
  const ping = JSON.stringify(['{"type":"ping"}']);
  const answers = [
    ['no secret', origin + '/map/map.html', {}, 403],
    ['wrong secret', origin + '/' + 'x'.repeat(secret.length) + '/map/map.html', {}, 403],
    ['foreign Host', base + 'map.html', {headers: {Host: 'evil.example:80'}}, 403],
    ['foreign Origin', call, {method: 'POST', headers: {Origin: 'http://evil.example'}, body: ping}, 403],
    ['POST without Origin', call, {method: 'POST', body: ping}, 403],
    ['cross-site fetch', base + 'map.js', {headers: {'Sec-Fetch-Site': 'cross-site'}}, 403],
    ...['..%2F..%2F..%2Fetc%2Fpasswd', 'outside.txt', '.hidden', 'missing.js'].map((p) => ['not served: ' + p, base + p, {}, 404]),
    ['own request', base + 'map.js', {}, 200],
    ['own call', call, {method: 'POST', headers: {Origin: origin}, body: ping}, 204]
  ];
  for (const [name, url, options, code] of answers) check(name, await rawRequest(url, options) === code);
} catch (e) {
  failures++;
  console.log('FAIL: ' + (e && e.stack || e));
  if (page) await shot(page, 'failure').catch(() => {});
} finally {
  if (browser) await browser.close();
  await Promise.all(children.map((c) => new Promise((resolve) => {
    if (c.exitCode !== null) return resolve();
    c.once('exit', resolve);
    c.kill('SIGTERM');
  })));
  try { fs.rmSync(work, {recursive: true, force: true}); } catch (e) { console.log('left ' + work); }
}
console.log(`${passed} passed, ${failures} failed`);
process.exit(failures ? 1 : 0);
