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

  await page.goto(address);
  await page.click('#menuButton');
  const items = await page.locator('.menuItem').allTextContents();
  check('menu has the four items', JSON.stringify(items) === JSON.stringify(
    ['Mapa importu GIS', 'Chmura punktow', 'Czyszczenie duplikatow (polilinie + teksty)',
     'Strona Geodraft (www.geodraft.pl)']), items);
  await page.click('.menuItem[data-item="1"]');
  const mapWindow = page.locator(`.window[data-guid="${MAP_GUID}"]`);
  const map = page.frameLocator(`.window[data-guid="${MAP_GUID}"] iframe`);
  await map.locator('#status').filter({hasText: 'Połączono z ArchiCAD ✓'}).waitFor();
  check('version tag', await map.locator('#version').textContent() === 'v1.8.0');
  check('ping then getInit first', posted[0] && posted[0].type === 'ping' && posted[1].type === 'getInit', posted);
  await page.click('#menuButton');
  check('menu item checked', await page.locator('.menuItem[data-item="1"]').getAttribute('class') ===
        'menuItem checked');
  await page.click('#menuButton');
  await shot(page, '01-import-palette');

  // Frame and location.
  await map.locator('#btnOrigin').click();
  await map.locator('#status').filter({hasText: 'Lokalizacja projektu ustawiona'}).waitFor();
  const originText = await map.locator('#status').textContent();
  check('originSet status', /^Lokalizacja projektu ustawiona: E=\d+ N=\d+ \(PL-2000 strefa 7, EPSG:2178\)(, H=-?\d+ m n\.p\.m\. \(PL-EVRF2007-NH\))?$/.test(originText), originText);
  check('frame box', /^Kadr: \d+ m × \d+ m  \(1:1000 → \d+ płyt\.\)$/.test(await map.locator('#frameBox').textContent()),
        await map.locator('#frameBox').textContent());

  // Nothing ticked, then the whole import.
  const ticked = ['#lyDzialki', '#lyBudynki'];
  for (const id of ticked) await map.locator(id).uncheck();
  await map.locator('#btnFetch').click();
  check('nothing ticked', await map.locator('#status').textContent() === 'Zaznacz co najmniej jedną warstwę do pobrania.');
  check('nothing ticked is an error', (await map.locator('#status').getAttribute('class')) === 'error');
  for (const id of [...ticked, '#lyRastr', '#lyTeren']) await map.locator(id).check();
  await map.locator('#btnFetch').click();
  await map.locator('#step1.done').waitFor({timeout: 120000});
  const fetchedStatus = await map.locator('#status').textContent();
  check('fetched status', fetchedStatus === 'Pobrano — sprawdź podgląd i kliknij „2. Dodaj do projektu”' ||
        fetchedStatus.length > 0 && !(await map.locator('#status').getAttribute('class')), fetchedStatus);
  check('progress off after fetch', await map.locator('#progress').getAttribute('class') === 'off');
  const fetch = sentOfType('fetch')[0];
  check('fetch payload', fetch && JSON.stringify(fetch.layers) === '["dzialki","budynki","teren","rastr"]' &&
        fetch.bboxWgs84.length === 4 && fetch.rasterScale === 1000 && fetch.terrainStep === 1 &&
        fetch.terenChmuraKrok === 1 && fetch.poziomiceCiecie === 1 && fetch.poziomiceWygladz === false, fetch);
  const chips = await map.locator('.chip').allTextContents();
  check('count chips', chips.some((c) => / × działki$/.test(c)) && chips.some((c) => / × orto \(rastr\)$/.test(c)), chips);
  check('place enabled', await map.locator('#btnPlace').isEnabled());
  check('steps after fetch', await map.locator('#step1').getAttribute('class') === 'step done' &&
        await map.locator('#step2').getAttribute('class') === 'step active');
  check('preview drawn', await map.locator('.leaflet-overlay-pane path').count() > 0);
  await shot(page, '02-fetched-preview');

  await map.locator('#btnPlace').click();
  await map.locator('#status').filter({hasText: /^Dodano do projektu/}).waitFor({timeout: 120000});
  check('chips placed', (await map.locator('.chip').allTextContents()).every((c) => c.endsWith(' ✓')));
  check('step 2 done', await map.locator('#step2').getAttribute('class') === 'step done');
  await until(async () => /^Elementy: [1-9]/.test(await page.locator('#modelInfo').textContent()), 'model view');
  check('report window', (await page.locator('#report').textContent()).includes('TERRAVOX'));
  await mapWindow.locator('.titlebar button').click();  // hide the palette to look at the model
  await until(async () => !(await mapWindow.isVisible()), 'palette hidden');
  await shot(page, '03-placed-plan');
  await page.click('#tab3d');
  await page.waitForTimeout(500);
  await shot(page, '04-placed-3d');
  await page.click('#tabPlan');

  // Reopening keeps the page's state.
  await page.click('#menuButton');
  await page.click('.menuItem[data-item="1"]');
  check('state kept after reopening', await map.locator('#btnPlace').isEnabled() &&
        (await map.locator('#status').textContent()).startsWith('Dodano do projektu'));

  // Placing again doubles the drawing; the menu's duplicate removal asks, deletes and the view follows.
  const elements = async () => parseInt(/^Elementy: (\d+)/.exec(await page.locator('#modelInfo').textContent())[1], 10);
  const once = await elements();
  await map.locator('#btnPlace').click();
  await until(async () => await elements() > once, 'second placement');
  const twice = await elements();
  await page.click('#menuButton');
  await page.click('.menuItem[data-item="3"]');
  await page.locator('#alert:not(.hidden)').waitFor();
  check('confirmation', (await page.locator('#alert').textContent()).includes('Czyszczenie duplikatow'));
  await shot(page, '05-dedupe-confirm');
  await page.locator('#alertButtons button', {hasText: 'Uruchom'}).click();
  await page.locator('#alertButtons button', {hasText: /^OK$/}).click();
  await page.locator('#alert.hidden').waitFor({state: 'attached'});
  await until(async () => await elements() < twice, 'model view after duplicate removal');
  check('duplicates removed', await elements() < twice && await elements() >= once, [once, twice, await elements()]);

  // Progress and cancel: the add-on answers "cancel" itself.
  await map.locator('body').evaluate(() => GISBridge.receive({type: 'progress', done: 1, total: 3, label: 'Modele 3D', cancellable: true}));
  check('progress text', await map.locator('#status').textContent() === 'Modele 3D — 33%');
  check('progress bar', await map.locator('#progressBar').evaluate((e) => e.style.width) === '33%');
  // Clicked and read in one step: the add-on's answer may follow at once.
  check('cancelling', await map.locator('body').evaluate(() => {
    document.getElementById('btnCancel').click();
    return document.getElementById('btnCancel').textContent;
  }) === 'Anulowanie…');
  await map.locator('#status').filter({hasText: /^Anulowano$/}).waitFor();
  check('cancel sent', sentOfType('cancel').length === 1);
  check('cancel hidden', !(await map.locator('#btnCancel').isVisible()));
  await map.locator('body').evaluate(() => GISBridge.receive({type: 'progress', label: 'Pobieranie warstw'}));
  check('progress without total', await map.locator('#status').textContent() === 'Pobieranie warstw' &&
        !(await map.locator('#btnCancel').isVisible()));
  await map.locator('body').evaluate(() => GISBridge.receive({type: 'fetchDone', counts: {}, warning: 'Blad pobierania: x'}));
  check('fetch with nothing', await map.locator('#status').textContent() === 'Blad pobierania: x' &&
        await map.locator('#btnPlace').isDisabled() && await map.locator('#step1').getAttribute('class') === 'step');
  await map.locator('body').evaluate(() => GISBridge.receive({type: 'originSet', e: 7500000.4, n: 5787000.6, h: 0, epsg: 2177}));
  check('originSet zone 6 without height', await map.locator('#status').textContent() ===
        'Lokalizacja projektu ustawiona: E=7500000 N=5787001 (PL-2000 strefa 6, EPSG:2177)');

  // Layer mapping, saved into the real settings file.
  page.once('dialog', (d) => d.accept('GIS_MOJE_DZIALKI'));
  await map.locator('#btnLayers').click();
  await map.locator('#mapping:not(.hidden)').waitFor();
  check('mapping heading', await map.locator('#mapping h3').textContent() === 'Mapowanie: typ danych → warstwa ArchiCAD');
  check('mapping rows', await map.locator('#mappingRows .row').count() === 19);
  await map.locator('#mappingRows select[data-key="dzialki"]').selectOption('__new__');
  check('new layer offered', await map.locator('#mappingRows select[data-key="dzialki"] option:checked').textContent() ===
        'GIS_MOJE_DZIALKI (nowa)');
  await shot(page, '06-layer-mapping');
  await map.locator('#btnMappingSave').click();
  check('mapping saved status', await map.locator('#status').textContent() === 'Ustawienia zapisane');
  const settingsFile = path.join(env.XDG_CONFIG_HOME, 'TERRAVOX', 'settings.json');
  await until(() => fs.existsSync(settingsFile) && fs.readFileSync(settingsFile, 'utf8').includes('GIS_MOJE_DZIALKI'),
              'settings file');

  // Address suggestions and search.
  const addr = map.locator('#addr');
  await addr.fill('Wa');
  check('short text sends nothing', sentOfType('searchAddressSuggest').length === 0);
  await addr.fill('Warszawa');
  await map.locator('#suggest li').first().waitFor();
  check('suggestion request', sentOfType('searchAddressSuggest').map((m) => m.query).join() === 'Warszawa');
  await map.locator('body').evaluate(() => GISBridge.receive({type: 'addressSuggestions', query: 'Stare', items: [{lat: 1, lon: 2, label: 'Inne'}]}));
  check('older answer does not replace', await map.locator('#suggest li').first().textContent() === 'Warszawa, Warszawa');
  await shot(page, '07-suggestions');
  await addr.press('ArrowDown');
  await addr.press('Enter');
  check('suggestion picked', await map.locator('#status').textContent() === 'Warszawa, Warszawa' &&
        await addr.inputValue() === 'Warszawa, Warszawa' && !(await map.locator('#suggest').isVisible()));
  await addr.fill('Stare');
  await map.locator('#suggest li').first().waitFor();
  check('cached answer shown without asking', await map.locator('#suggest li').first().textContent() === 'Inne' &&
        sentOfType('searchAddressSuggest').length === 1);
  await addr.press('Escape');
  await addr.fill('Marszałkowska 1');
  await addr.press('Enter');
  await map.locator('#status').filter({hasText: 'Warszawa, Srodmiescie'}).waitFor();
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
  await map.locator('#status').filter({hasText: 'Połączono z ArchiCAD ✓'}).waitFor();
  check('panel collapsed after reload', await map.locator('body').getAttribute('class') === 'collapsed');
  await map.locator('#btnLayout').click();

  // The point-cloud page against its controller and the simulator's LiDAR block near Radom.
  await page.click('#menuButton');
  await page.click('.menuItem[data-item="2"]');
  const cloud = page.frameLocator(`.window[data-guid="${CLOUD_GUID}"] iframe`);
  const cloudBody = cloud.locator('body');
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
  const received = () => cloudBody.evaluate(() => window.received);
  const receivedOfType = async (type) => (await received()).filter((m) => m.type === type);
  const estimate = () => cloud.locator('#estimate').textContent();
  // The block's PL-1992 corners (649400 394700, 649600 394900) in WGS84.
  const frameRadom = () => cloudBody.evaluate(() => map.fitBounds([[51.399205, 21.148365], [51.400950, 21.151323]]));
  await frameRadom();
  // The index's density (6 points/m² at most) replaces the one the estimate started from (12).
  await until(async () => (await estimate()).endsWith(' · 6 pkt/m²'), 'estimate from the LiDAR index');
  const realEstimate = await estimate();
  check('real estimate', /^~\d+(,\d)? (mln|tys\.) pkt · ~\d+ MB · 6 pkt\/m²$/.test(realEstimate) &&
        await cloud.locator('#estimate').getAttribute('class') !== 'over' && await cloud.locator('#btnDownload').isEnabled(),
        realEstimate);
  await shot(page, '08-cloud-estimate');
  await cloudBody.evaluate(() => map.zoomOut(4));
  await until(async () => (await estimate()).endsWith(' — przekroczono limit, zmniejsz kadr lub jakość'), 'estimate over the limit');
  check('estimate over limit', /^~\d+,\d mln pkt · ~\d+ MB · \d+ pkt\/m² — przekroczono limit, zmniejsz kadr lub jakość$/.test(await estimate()) &&
        await cloud.locator('#estimate').getAttribute('class') === 'over' && await cloud.locator('#btnDownload').isDisabled(),
        await estimate());
  // Lighter first, then back to the block: every estimate from here on is a light one.
  await cloud.locator('#detail').fill('0');
  await frameRadom();
  await until(async () => !(await estimate()).includes('przekroczono'), 'light estimate of the block');
  const lightEstimate = await estimate();
  check('light estimate', /^~\d+ tys\. pkt · ~\d+ MB · 6 pkt\/m²$/.test(lightEstimate) &&
        sentOfType('frameEstimate').at(-1).detail === 'lekki' && await cloud.locator('#btnDownload').isEnabled(), lightEstimate);

  // A real cancel: the sheets trickle in, so the download still runs when the cancel arrives.
  const sheets = {host: 'opendata.geoportal.gov.pl', path: '/NumDaneWys/DanePomiaroweLAZ/sim/*'};
  check('sheets slowed', await rawRequest(services + '/__faults', {method: 'POST', body: JSON.stringify({...sheets, trickleMs: 500})}) === 200);
  await cloud.locator('#btnDownload').click();
  const download = sentOfType('download')[0];
  check('download payload', download && download.detail === 'lekki' && download.bboxWgs84.length === 4, download);
  await cloud.locator('#status').filter({hasText: /^Kafel 1\/4: [\d,]+ (B|KB) \/ [\d,]+ (KB|MB) — \d+%$/}).waitFor();
  check('downloading', await cloud.locator('#btnCancel').isVisible() && await cloud.locator('#btnDownload').isDisabled());
  check('index first', (await receivedOfType('progress'))[0].label === 'Pobieranie skorowidza LiDAR');
  await shot(page, '09-cloud-downloading');
  // The button is disabled while downloading; a second request straight from the page is refused.
  await cloudBody.evaluate(() => GISBridge.send('download', {bboxWgs84: frame(), detail: detail()}));
  await until(async () => (await receivedOfType('error')).some((m) => m.msg === 'Trwa pobieranie danych - sprobuj za chwile'),
              'second download refused');
  check('error during download keeps it running', await cloud.locator('#btnCancel').isVisible() &&
        await cloud.locator('#btnDownload').isDisabled());
  check('cloud cancelling', await cloudBody.evaluate(() => {
    document.getElementById('btnCancel').click();
    return document.getElementById('btnCancel').textContent;
  }) === 'Anulowanie…');
  await cloud.locator('#status').filter({hasText: /^Anulowano\.$/}).waitFor();
  check('download cancelled', await cloud.locator('#status').getAttribute('class') === 'error' &&
        !(await cloud.locator('#btnCancel').isVisible()) && await cloud.locator('#btnDownload').isEnabled() &&
        sentOfType('cancel').length === 2 && (await receivedOfType('cancelled')).length === 1);
  check('sheets at full speed', await rawRequest(services + '/__faults', {method: 'DELETE'}) === 200);

  // The whole download: sheets, E57, the alert, the hand-over file.
  await cloud.locator('#btnDownload').click();
  await page.locator('#alert:not(.hidden)').waitFor({timeout: 120000});
  check('cloud alert', (await page.locator('#alert').textContent()).includes('Chmura punktow gotowa'));
  await page.locator('#alertButtons button', {hasText: /^OK$/}).click();
  await cloud.locator('#status').filter({hasText: /^Chmura zapisana: /}).waitFor();
  const labels = (await receivedOfType('progress')).map((m) => m.label);
  check('sheet progress', labels.some((l) => /^Kafel 4\/4: /.test(l)) && labels.includes('Przetwarzanie kafli LiDAR'), labels);
  const handedOver = path.join(env.XDG_CONFIG_HOME, 'Velmora_Cloud', 'ostatnia_chmura.e57');
  check('download done', (await cloud.locator('#status').textContent()).includes(handedOver) &&
        await cloud.locator('#status').getAttribute('class') !== 'error' && !(await cloud.locator('#btnCancel').isVisible()),
        await cloud.locator('#status').textContent());
  check('E57 handed over', fs.existsSync(handedOver) && fs.readFileSync(handedOver).subarray(0, 8).toString() === 'ASTM-E57');
  await shot(page, '10-cloud-done');
  // The controller always words its answer; the page's own wording is played once all its work has ended.
  await cloudBody.evaluate(() => GISBridge.receive({type: 'downloadDone', ok: true}));
  check('download done default text', await cloud.locator('#status').textContent() === 'Pobrano chmurę punktów');

  // Web files were extracted and logged; requests that must not reach the add-on.
  const diag = fs.readFileSync(path.join(env.XDG_STATE_HOME, 'TERRAVOX', 'velmora_web_diag.txt'), 'utf8');
  check('web log', diag.includes('=== MapPalette ExtractWebResources v1.8.0 ===') &&
        diag.includes('=== CloudPalette ExtractWebResources v1.8.0 ===') && /LoadURL=file:\/\/\/.*\/TERRAVOX\/web\/map\.html/.test(diag));
  const webDir = path.join(env.TMPDIR, 'TERRAVOX', 'web');
  fs.symlinkSync('/etc/hostname', path.join(webDir, 'outside.txt'));
  const base = origin + '/' + secret + '/map/';
  const call = base + '__call?o=GIS&f=postMessage';
  const ping = JSON.stringify(['{"type":"ping"}']);
  const refused = [
    ['no secret', origin + '/map/map.html', {}],
    ['wrong secret', origin + '/' + 'x'.repeat(secret.length) + '/map/map.html', {}],
    ['foreign Host', base + 'map.html', {headers: {Host: 'evil.example:80'}}],
    ['foreign Origin', call, {method: 'POST', headers: {Origin: 'http://evil.example'}, body: ping}],
    ['POST without Origin', call, {method: 'POST', body: ping}],
    ['cross-site fetch', base + 'map.js', {headers: {'Sec-Fetch-Site': 'cross-site'}}]
  ];
  for (const [name, url, options] of refused) check('refused: ' + name, await rawRequest(url, options) === 403);
  for (const p of ['..%2F..%2F..%2Fetc%2Fpasswd', 'outside.txt', '.hidden', 'missing.js']) {
    check('not served: ' + p, await rawRequest(base + p) === 404);
  }
  check('own request served', await rawRequest(base + 'map.js') === 200);
  check('own call accepted', await rawRequest(call, {method: 'POST', headers: {Origin: origin}, body: ping}) === 204);
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
