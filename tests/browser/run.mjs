// The workspace in Debian's Chromium: the whole six-layer import with its palette at 900 × 600, 1400 × 900 and in an
// 800 × 560 window, nothing placed twice, undo, the 3D and plan views, exports, reloads, a second tab, cancel, layer
// mapping, address suggestions, the point-cloud page with its controller, a server under idle connections, a killed
// workspace's project, and requests that must be refused. Screenshots go to ARTEFACTS.
// Usage: node run.mjs GEODRAFT GEODRAFT_SIM ARTEFACTS. Exit 77 (skipped) without chromium or node modules.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import net from 'node:net';
import path from 'node:path';
import { CLOUD_GUID, MAP_GUID, children, launchChromium, playwrightOrSkip, privateFolders, startProgram,
         stopChildren } from './harness.mjs';

const [geodraft, simProgram, artefacts] = process.argv.slice(2);
const playwright = playwrightOrSkip();
const {work, env} = privateFolders('geodraft-browser-');
fs.rmSync(artefacts, {recursive: true, force: true});
fs.mkdirSync(artefacts, {recursive: true});
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

// How long a page request took while the server holds many idle or slow connections.
async function requestUnderLoad(url, idle, slow) {
  const { port } = new URL(url);
  const sockets = [];
  const open = (text) => new Promise((resolve) => {
    const s = net.connect(port, '127.0.0.1', () => {
      if (text) s.write(text);
      resolve();
    });
    s.on('error', () => resolve());
    sockets.push(s);
  });
  for (let i = 0; i < idle; i++) await open('');
  for (let i = 0; i < slow; i++) await open('GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ');
  const t0 = Date.now();
  const status = await rawRequest(url);
  const ms = Date.now() - t0;
  sockets.forEach((s) => s.destroy());
  return {status, ms};
}

const started = Date.now();
async function shot(page, name) {
  await page.screenshot({path: path.join(artefacts, name + '.png')});
  console.log(`${((Date.now() - started) / 1000).toFixed(1)} s: ${name}`);  // where a slow run spends its time
}

const consoleErrors = [];

let browser;
let page;
let debugPosted = null;
try {
  const services = await startProgram(simProgram, ['--port', '0', '--scenario', 'chmura'], env,
                                      /^listening on (http:\/\/127\.0\.0\.1:\d+)/);
  const projectFile = path.join(work, 'project.gdp');
  const address = await startProgram(geodraft, ['serve', '--project', projectFile],
                                     {...env, GEODRAFT_SERVICES: services}, /otworz w przegladarce (\S+)/);
  const serveProcess = children.at(-1);
  const origin = new URL(address).origin;
  const secret = new URL(address).pathname.split('/')[1];
  // What `geodraft model` says of the saved project.
  const savedModel = () => spawnSync(geodraft, ['model', projectFile], {encoding: 'utf8'}).stdout || '';
  const savedElements = () => parseInt((/^Elementy: (\d+)/m.exec(savedModel()) || [0, -1])[1], 10);

  browser = await launchChromium(playwright);
  const context = await browser.newContext({viewport: {width: 1400, height: 900}});
  page = await context.newPage();
  const watch = (p) => {
    p.on('pageerror', (e) => consoleErrors.push(String(e)));
    p.on('console', (m) => { if (m.type() === 'error') consoleErrors.push(m.text()); });
  };
  watch(page);
  const posted = [];  // every message a palette page sent to the add-on
  page.on('request', (req) => {
    if (req.method() === 'POST' && req.url().includes('/__call?o=GIS')) {
      try { posted.push(JSON.parse(JSON.parse(req.postData())[0])); } catch (e) { posted.push(null); }
    }
  });
  debugPosted = posted;
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
  const menu = async (item, p = page) => {
    await p.click('#menuButton');
    if (item) await p.click(`.menuItem[data-item="${item}"]`);
  };
  const checked = async (item, p = page) => {
    await menu(undefined, p);
    const c = await cls(p.locator(`.menuItem[data-item="${item}"]`));
    await menu(undefined, p);
    return c === 'menuItem checked';
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
  check('menu item checked', await checked(1));
  const box = await mapWindow.boundingBox();
  check('palette at its 900 × 600', box && box.width === 900 && box.height === 600, box);
  await shot(page, '01-import-palette');

  // Frame and location on the simulator's demo town; the location is a change of the project, saved at once.
  await map.locator('body').evaluate(() => map.setView([51.2867, 22.2166], 16));
  await map.locator('#btnOrigin').click();
  await status.filter({hasText: 'Lokalizacja projektu ustawiona'}).waitFor();
  const originText = await text(status);
  check('originSet status', /^Lokalizacja projektu ustawiona: E=\d+ N=\d+ \(PL-2000 strefa 7, EPSG:2178\)(, H=-?\d+ m n\.p\.m\. \(PL-EVRF2007-NH\))?$/.test(originText), originText);
  await until(() => savedModel().includes('crsName: "EPSG:2178"'), 'project saved with its location');
  // Every export format at hand, the same files `geodraft export` writes (of the located, still empty project).
  await page.click('#exportButton');
  await page.locator('#exportFiles li').first().waitFor({timeout: 300000});
  const offered = await page.locator('#exportFiles a').evaluateAll((as) => as.map((a) => ({name: a.textContent, href: a.href})));
  const exportDir = path.join(work, 'export');
  spawnSync(geodraft, ['export', projectFile, '--out', exportDir]);
  const written = [];
  const walk = (d, prefix) => fs.readdirSync(d, {withFileTypes: true}).forEach((e) => {
    if (e.isDirectory()) walk(path.join(d, e.name), prefix + e.name + '/');
    else if (!e.name.startsWith('.')) written.push(prefix + e.name);
  });
  walk(exportDir, '');
  const names = offered.map((o) => o.name);
  check('every export file offered', JSON.stringify(names.filter((n) => n !== 'geodraft-eksport.zip').sort()) ===
        JSON.stringify(written.sort()) && names.at(-1) === 'geodraft-eksport.zip' && written.includes('model.dxf'),
        [names, written]);
  const downloads = await page.evaluate(async (list) => Promise.all(list.map(async (o) => {
    const r = await fetch(o.href);
    const b = new Uint8Array(await r.arrayBuffer());
    return [r.status, b.length, String.fromCharCode(...b.slice(0, 4))];
  })), offered);
  check('exports download', downloads.every(([code, size]) => code === 200 && size > 0) &&
        downloads.at(-1)[2] === 'PK\u0003\u0004', downloads);
  await shot(page, '01b-exports');
  await page.click('#exportClose');

  const frameBox = await text(map.locator('#frameBox'));
  check('frame box', /^Kadr: \d+ m × \d+ m  \(1:1000 → \d+ płyt\.\)$/.test(frameBox), frameBox);
  check('water from LiDAR offered', await map.locator('#lyWodaChmura').isVisible());

  // Nothing ticked, then the six-layer import; a double click asks once.
  const ticked = ['#lyDzialki', '#lyBudynki'];
  for (const id of ticked) await map.locator(id).uncheck();
  await map.locator('#btnFetch').click();
  check('nothing ticked is an error', await text(status) === 'Zaznacz co najmniej jedną warstwę do pobrania.' &&
        await cls(status) === 'error');
  for (const id of [...ticked, '#lyRastr', '#lyTeren', '#lyPoziomice2d', '#lyBudynki3d']) await map.locator(id).check();
  await map.locator('#terrainStep').selectOption('2');  // still more terrain than the 3D view shows
  await map.locator('#btnFetch').dblclick();
  check('fetch button disabled while fetching', await map.locator('#btnFetch').isDisabled());
  await map.locator('#step1.done').waitFor({timeout: 180000});
  check('one fetch for a double click', sentOfType('fetch').length === 1 && await map.locator('#btnFetch').isEnabled());
  const fetchedStatus = await text(status);
  check('fetched status', fetchedStatus === 'Pobrano — sprawdź podgląd i kliknij „2. Dodaj do projektu”' ||
        fetchedStatus.length > 0 && !(await cls(status)), fetchedStatus);
  check('progress off after fetch', await cls(map.locator('#progress')) === 'off');
  const fetch = sentOfType('fetch')[0];
  check('fetch payload', fetch && JSON.stringify(fetch.layers) ===
        '["dzialki","budynki","teren","rastr","budynki3d","poziomice2d"]' &&
        fetch.bboxWgs84.length === 4 && fetch.rasterScale === 1000 && fetch.terrainStep === 2 &&
        fetch.terenChmuraKrok === 1 && fetch.poziomiceCiecie === 1 && fetch.poziomiceWygladz === false, fetch);
  const chips = await map.locator('.chip').allTextContents();
  check('count chips', chips.some((c) => / × działki$/.test(c)) && chips.some((c) => / × orto \(rastr\)$/.test(c)) &&
        chips.some((c) => / × budynki 3D \(LOD1\)$/.test(c)), chips);
  check('place enabled, steps after fetch', await map.locator('#btnPlace').isEnabled() &&
        await cls(map.locator('#step1')) === 'step done' && await cls(map.locator('#step2')) === 'step active');
  check('preview drawn', await map.locator('.leaflet-overlay-pane path').count() > 0);
  // The palette keeps its map and its buttons whatever the status bar holds.
  const layout = () => map.locator('body').evaluate(() => {
    const r = (id) => document.getElementById(id).getBoundingClientRect();
    const visible = (id) => {
      const b = r(id);
      const top = document.elementFromPoint(b.left + b.width / 2, b.top + b.height / 2);
      return b.bottom <= innerHeight && b.right <= innerWidth && b.height > 0 && !!top && top.closest('#' + id) !== null;
    };
    return {map: r('map').height, place: visible('btnPlace'), fetch: visible('btnFetch'), status: r('statusbar').height,
            height: innerHeight, scrolls: document.getElementById('statusbar').scrollHeight > r('statusbar').height};
  });
  const fits = (l) => l.map >= 150 && l.place && l.fetch && l.status <= l.height * 0.4;
  check('six layers at 900 × 600: map and buttons visible', fits(await layout()), await layout());
  await shot(page, '02-six-layers-900x600');

  await map.locator('#btnPlace').dblclick();
  await status.filter({hasText: /^Dodano do projektu/}).waitFor({timeout: 180000});
  check('one placement for a double click', sentOfType('place').length === 1);
  check('chips placed', (await map.locator('.chip').allTextContents()).every((c) => c.endsWith(' ✓')));
  check('step 2 done', await cls(map.locator('#step2')) === 'step done');
  const elements = async (p = page) => parseInt((/^Elementy: (\d+)/.exec(await text(p.locator('#modelInfo'))) || [0, -1])[1], 10);
  await until(async () => await elements() > 0, 'model view');
  const once = await elements();
  check('report window', (await text(page.locator('#report'))).includes('TERRAVOX'));
  await until(() => savedElements() === once, 'placement saved');
  check('undo offered', await page.locator('#undoButton').isEnabled() &&
        await page.locator('#undoButton').getAttribute('title') === 'Cofnij: Import GIS (Ctrl+Z)');
  await mapWindow.locator('.titlebar button').click();  // close the palette to look at the model
  await until(async () => !(await mapWindow.isVisible()), 'palette hidden');
  check('closed palette not checked', !(await checked(1)));
  // The plan zooms and pans.
  const planState = () => page.evaluate(() => Workspace.plan());
  const plan0 = await planState();
  await page.mouse.move(500, 450);
  await page.mouse.wheel(0, -600);
  await page.mouse.down();
  await page.mouse.move(560, 480, {steps: 4});
  await page.mouse.up();
  const plan1 = await planState();
  check('plan zoomed and moved', plan1.scale > plan0.scale * 1.5 && plan1.x !== plan0.x, [plan0, plan1]);
  await shot(page, '03-placed-plan-zoomed');
  await page.click('#planFit');
  // 3D: lit terrain under the orthophoto, solids, drawings on the ground; orbit, pan, zoom, north and scale.
  await page.click('#tab3d');
  const scene = () => page.evaluate(() => Workspace.scene());
  await until(async () => { const s = await scene(); return s && s.kinds.terrain && s.kinds.solid && s.kinds.lines; },
              '3D scene', 60000);
  const s0 = await scene();
  check('3D: orthophoto draped over the terrain', s0.draped, s0);
  check('3D: terrain simplified to its budget', s0.terrainTriangles[0] > 160000 && s0.terrainTriangles[1] > 100000 &&
        s0.terrainTriangles[1] <= 160000, s0.terrainTriangles);
  check('3D: scale and north', /^\d+(,\d+)? (m|km)$/.test(s0.scale) && /^rotate\(-?\d+(\.\d)?\)$/.test(s0.north), s0);
  await shot(page, '04-placed-3d');
  const canvas = await page.locator('#three canvas').boundingBox();
  const cx = canvas.x + canvas.width / 2, cy = canvas.y + canvas.height / 2;
  const drag = async (button, dx, dy) => {
    await page.mouse.move(cx, cy);
    await page.mouse.down({button});
    await page.mouse.move(cx + dx, cy + dy, {steps: 5});
    await page.mouse.up({button});
  };
  await drag('left', 120, -30);
  const s1 = await scene();
  await drag('right', 60, 40);
  const s2 = await scene();
  await page.mouse.wheel(0, -400);
  await page.waitForTimeout(100);
  const s3 = await scene();
  const dist = (s) => Math.hypot(...s.camera.map((v, i) => v - s.target[i]));
  check('3D: orbit turns the camera', JSON.stringify(s1.camera) !== JSON.stringify(s0.camera) &&
        s1.north !== s0.north, [s0, s1]);
  check('3D: pan moves the target', JSON.stringify(s2.target) !== JSON.stringify(s1.target));
  check('3D: wheel zooms', dist(s3) < dist(s2) * 0.95 && s3.scale !== '', [dist(s2), dist(s3)]);
  await shot(page, '05-3d-orbited');
  await page.click('#threeFit');
  await page.click('#tabPlan');

  // Reopening keeps the page's state; placing the same fetch again asks first.
  await menu(1);
  check('state kept after reopening', await map.locator('#btnPlace').isEnabled() &&
        (await text(status)).startsWith('Dodano do projektu') && await checked(1));
  const dialogs = [];
  page.once('dialog', (d) => { dialogs.push(d.message()); d.dismiss(); });
  await map.locator('#btnPlace').click();
  await until(() => dialogs.length === 1, 'question before placing again');
  check('declined: nothing placed', sentOfType('place').length === 1 && await elements() === once);
  page.once('dialog', (d) => d.accept());
  await map.locator('#btnPlace').click();
  await until(async () => await elements() > once, 'second placement');
  const twice = await elements();
  check('asked, then placed again', dialogs[0].startsWith('Te dane są już w projekcie.') && sentOfType('place').length === 2);
  // Duplicate removal, its summary on several lines, and its undo.
  await menu(3);
  await page.locator('#alert:not(.hidden)').waitFor();
  check('confirmation', (await text(page.locator('#alert'))).includes('Czyszczenie duplikatow'));
  await shot(page, '06-dedupe-confirm');
  await page.locator('#alertButtons button', {hasText: 'Uruchom'}).click();
  await page.locator('#alertButtons button', {hasText: /^OK$/}).waitFor();
  const summary = await page.locator('#alertLarge').innerText();
  check('summary keeps its lines', /^Usunieto duplikaty:\n- polilinie: \d+\n- teksty: \d+$/.test(summary), summary);
  await shot(page, '07-dedupe-summary');
  await page.locator('#alertButtons button', {hasText: /^OK$/}).click();
  await page.locator('#alert.hidden').waitFor({state: 'attached'});
  await until(async () => await elements() < twice, 'model view after duplicate removal');
  const deduped = await elements();
  check('duplicates removed', deduped < twice && deduped >= once, [once, twice, deduped]);
  await page.keyboard.press('Control+z');
  await until(async () => await elements() === twice, 'undo of the duplicate removal');
  check('one step of undo', await page.locator('#undoButton').isDisabled() &&
        (await text(page.locator('#report'))).includes('Cofnieto: Usun duplikaty (polilinie + teksty)'));

  // A reload gets the page's state back.
  const mapFrame = page.frames().find((f) => f.url().endsWith('/map/map.html'));
  const chipsBefore = await map.locator('.chip').allTextContents();
  await mapFrame.goto(mapFrame.url());
  await map.locator('#version').filter({hasText: 'v1.8.0'}).waitFor();
  await until(async () => (await map.locator('.chip').count()) > 0, 'chips after reload');
  check('reload keeps the work', JSON.stringify(await map.locator('.chip').allTextContents()) === JSON.stringify(chipsBefore) &&
        await map.locator('#btnPlace').isEnabled() && await map.locator('.leaflet-overlay-pane path').count() > 0 &&
        await cls(map.locator('#step2')) === 'step done', chipsBefore);

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
  // Notes of a warning one a line, an abbreviation inside a note kept.
  await receive(map, {type: 'fetchDone', counts: {}, warning: 'Blad pobierania: x. Powiat (TERYT 1465) nie publikuje WFS ' +
                      'EGiB w EZiU. Powiatowa usluga zwraca dzialki (np. Zabrze). Teren: krok 0,5 m.'});
  check('fetch with nothing', (await map.locator('#status').innerText()) === 'Blad pobierania: x.\nPowiat (TERYT 1465) ' +
        'nie publikuje WFS EGiB w EZiU.\nPowiatowa usluga zwraca dzialki (np. Zabrze).\nTeren: krok 0,5 m.' &&
        await map.locator('#btnPlace').isDisabled() && await cls(map.locator('#step1')) === 'step' &&
        await map.locator('#btnFetch').isEnabled(), await map.locator('#status').innerText());
  await receive(map, {type: 'originSet', e: 7500000.4, n: 5787000.6, h: 0, epsg: 2177});
  check('originSet zone 6 without height', await text(status) ===
        'Lokalizacja projektu ustawiona: E=7500000 N=5787001 (PL-2000 strefa 6, EPSG:2177)');
  // One decimal separator on the page: the frame in kilometres and the options use a comma.
  await map.locator('body').evaluate(() => map.setZoom(13));
  await until(async () => / km/.test(await text(map.locator('#frameBox'))), 'frame in kilometres');
  const pageText = await map.locator('body').evaluate(() => document.body.innerText + ' ' +
    Array.from(document.querySelectorAll('option')).map((o) => o.textContent).join(' '));
  check('decimal commas only', !/\d\.\d/.test(pageText.replace(/v\d+\.\d+\.\d+/, '')) && /\d,\d\d km/.test(pageText),
        pageText.match(/.{0,20}\d[.,]\d.{0,20}/g));
  await map.locator('body').evaluate(() => map.setZoom(16));

  // Layer mapping, saved into the real settings file.
  page.once('dialog', (d) => d.accept('GIS_MOJE_DZIALKI'));
  await map.locator('#btnLayers').click();
  await map.locator('#mapping:not(.hidden)').waitFor();
  check('mapping heading', await text(map.locator('#mapping h3')) === 'Mapowanie: typ danych → warstwa ArchiCAD');
  check('mapping rows', await map.locator('#mappingRows .row').count() === 19);
  const parcels = map.locator('#mappingRows select[data-key="dzialki"]');
  await parcels.selectOption('__new__');
  check('new layer offered', await text(parcels.locator('option:checked')) === 'GIS_MOJE_DZIALKI (nowa)');
  await shot(page, '09-layer-mapping');
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
  await mapFrame.goto(mapFrame.url());
  await map.locator('#version').filter({hasText: 'v1.8.0'}).waitFor();
  await until(async () => (await cls(map.locator('body'))) === 'collapsed', 'panel collapsed after reload');
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
  const recordReceived = () => cloudBody.evaluate(() => {  // every message the page receives from here on
    window.received = [];
    const receive = GISBridge.receive;
    GISBridge.receive = (msg) => { window.received.push(msg); receive(msg); };
  });
  await recordReceived();
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
  await shot(page, '10-cloud-estimate');
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
  const sheetProgress = /^Kafel 1\/4: [\d,]+ (B|KB) \/ [\d,]+ (KB|MB) — \d+%$/;
  await cloudStatus.filter({hasText: sheetProgress}).waitFor();
  check('downloading', await cancel.isVisible() && await download.isDisabled());
  check('index first', (await receivedOfType('progress'))[0].label === 'Pobieranie skorowidza LiDAR');
  await shot(page, '11-cloud-downloading');
  // The button is disabled while downloading; a second request straight from the page is refused.
  await cloudBody.evaluate(() => GISBridge.send('download', {bboxWgs84: frame(), detail: detail()}));
  await until(async () => (await receivedOfType('error')).some((m) => m.msg === 'Trwa pobieranie danych - sprobuj za chwile'),
              'second download refused');
  check('error during download keeps it running', await cancel.isVisible() && await download.isDisabled());
  // Reloaded while the sheets come in: the progress streams on into the new page, which shows the download.
  const cloudFrame = page.frames().find((f) => f.url().endsWith('/cloud/cloud.html'));
  await cloudFrame.goto(cloudFrame.url());
  await cloudStatus.filter({hasText: sheetProgress}).waitFor();
  await recordReceived();
  check('reloaded page shows the download where it was', await cancel.isVisible() && await download.isDisabled() &&
        await cloud.locator('#detail').inputValue() === '0');
  check('cloud cancelling', await clickCancel(cloud) === 'Anulowanie…');
  await cloudStatus.filter({hasText: /^Anulowano\.$/}).waitFor();
  check('download cancelled', await cls(cloudStatus) === 'error' && !(await cancel.isVisible()) &&
        await download.isEnabled() && sentOfType('cancel').length === 2 && (await receivedOfType('cancelled')).length === 1 &&
        await cloud.locator('#progressBar').evaluate((e) => e.style.width) === '0%');
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
  await shot(page, '12-cloud-done');
  // The controller always words its answer; the page's own wording is played once all its work has ended.
  await receive(cloud, {type: 'downloadDone', ok: true});
  check('download done default text', await text(cloudStatus) === 'Pobrano chmurę punktów');

  // Palettes fit the window: 1400 × 900, then an 800 × 560 window; a long warning and every chip stay in the bar.
  await page.setViewportSize({width: 1500, height: 1000});
  await menu(2);  // the point-cloud palette closed, the import palette in front
  await mapWindow.evaluate((w) => { w.style.left = '20px'; w.style.top = '40px'; w.style.width = '1400px'; w.style.height = '900px'; });
  const longWarning = Array.from({length: 12}, (_, i) => 'Uwaga ' + (i + 1) + ': powiatowa usluga nie odpowiada, ' +
                                 'dane uzupelniono z uslugi krajowej.').join(' ');
  const allCounts = Object.fromEntries(['dzialki', 'budynki', 'mpzp', 'pog', 'gesut', 'bdot500', 'rastry (rastr)',
    'budynki3d', 'budynkilod2', 'budynkindsm', 'poziomice2d', 'poziomice3d', 'teren', 'terenchmura'].map((k, i) => [k, 100 + i]));
  await receive(map, {type: 'fetchDone', counts: allCounts, warning: longWarning});
  check('long warning at 1400 × 900', fits(await layout()), await layout());
  await shot(page, '13-palette-1400x900');
  await page.setViewportSize({width: 800, height: 560});
  const inside = () => page.evaluate(() => Array.from(document.querySelectorAll('.window:not(.hidden)')).map((w) => {
    const r = w.getBoundingClientRect();
    const x = w.querySelector('.titlebar button').getBoundingClientRect();
    return r.left >= 0 && r.top >= 0 && r.right <= innerWidth && r.bottom <= innerHeight && x.right <= innerWidth && x.top >= 0;
  }));
  await until(async () => (await inside()).every(Boolean), 'palettes fit an 800 × 560 window', 5000);
  check('one palette shown', (await inside()).length === 1);
  const small = await layout();
  check('long warning in an 800 × 560 window', small.map >= 150 && small.place && small.fetch && small.scrolls, small);
  await shot(page, '14-window-800x560');
  await page.setViewportSize({width: 1400, height: 900});
  await mapWindow.locator('.titlebar').dblclick();
  const back = await mapWindow.boundingBox();
  check('double click brings the default place back', back.width === 900 && back.height === 600, back);
  await receive(map, {type: 'fetchDone', counts: allCounts, warning: longWarning});
  check('long warning at 900 × 600', fits(await layout()), await layout());
  await shot(page, '15-long-warning-900x600');

  // One client: a second tab is the workspace now, the first is told; taking over tells the second.
  const second = await context.newPage();
  watch(second);
  await second.goto(address, {timeout: 120000});
  await page.locator('#otherTab:not(.hidden)').waitFor();
  await second.locator(`.window[data-guid="${MAP_GUID}"]`).waitFor();
  await shot(page, '16-other-tab');
  await page.click('#takeOver');
  await second.locator('#otherTab:not(.hidden)').waitFor({timeout: 60000});
  await map.locator('#version').filter({hasText: 'v1.8.0'}).waitFor({timeout: 120000});
  let followed = 0;
  for (let i = 0; i < 8; i++) {
    await menu(2);
    const want = i % 2 === 0;
    if (await until(async () => (await page.locator(`.window[data-guid="${CLOUD_GUID}"]`).isVisible()) === want &&
                    await checked(2) === want, 'toggle ' + (i + 1) + ' followed', 5000)) followed++;
  }
  check('every toggle followed in the tab that took over', followed === 8, followed);
  await second.close();

  // The server stays responsive with many idle and slow connections open.
  const loaded = await requestUnderLoad(address, 150, 60);
  check('page served under 150 idle and 60 slow connections', loaded.status === 200 && loaded.ms < 5000, loaded);
  console.log(`page under load: ${loaded.ms} ms`);

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
    ['call from a page without the channel', call + '&s=1', {method: 'POST', headers: {Origin: origin}, body: ping}, 409]
  ];
  for (const [name, url, options, code] of answers) check(name, await rawRequest(url, options) === code);
  check('no script failed', !consoleErrors.some((e) => /is not defined|ExecuteJS/.test(e)), consoleErrors);

  // Killed without warning after a last change: the project on disk has that change.
  if (!(await mapWindow.isVisible())) await menu(1);
  await map.locator('body').evaluate(() => map.setView([52.2310, 21.0150], 16));
  await map.locator('#btnOrigin').click();
  await status.filter({hasText: 'Lokalizacja projektu ustawiona'}).waitFor();
  const easting = parseInt(/E=(\d+)/.exec(await text(status))[1], 10);
  const savedEasting = () => (savedModel().match(/-?\d+\.?\d*/g) || []).some((n) => Math.abs(parseFloat(n) - easting) < 1);
  await until(savedEasting, 'last location saved', 10000);
  serveProcess.kill('SIGKILL');
  await new Promise((r) => serveProcess.once('exit', r));
  check('after SIGKILL the project holds the last change', savedElements() === twice && savedEasting(),
        savedModel().slice(0, 400));
} catch (e) {
  failures++;
  console.log('FAIL: ' + (e && e.stack || e));
  if (debugPosted) console.log('posted: ' + debugPosted.map((m) => m && m.type).join(','));
  if (page) await shot(page, 'failure').catch(() => {});
} finally {
  if (browser) await browser.close();
  await stopChildren();
  try { fs.rmSync(work, {recursive: true, force: true}); } catch (e) { console.log('left ' + work); }
}
console.log(`${passed} passed, ${failures} failed`);
process.exit(failures ? 1 : 0);
