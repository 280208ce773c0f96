// The user guide's pictures, taken from the real workspace on the simulator's demo town: the map with the
// orthophoto and parcels, the preview after a fetch, the model in plan and in 3D, the layer mapping.
// Usage: node guide.mjs GEODRAFT GEODRAFT_SIM OUTPUT_DIR. Exit 77 (skipped) without chromium or node modules;
// exit 1 when a step of the guide no longer works as it describes.
import fs from 'node:fs';
import path from 'node:path';
import { MAP_GUID, launchChromium, playwrightOrSkip, privateFolders, startProgram, stopChildren } from './harness.mjs';

const [geodraft, simProgram, output] = process.argv.slice(2);
const playwright = playwrightOrSkip();
const {work, env} = privateFolders('geodraft-guide-');
fs.mkdirSync(output, {recursive: true});

const started = Date.now();
// JPEG keeps the pictures of the repository small (an orthophoto hardly compresses as PNG).
async function shot(page, name) {
  await page.screenshot({path: path.join(output, name + '.jpg'), type: 'jpeg', quality: 85});
  console.log(`${((Date.now() - started) / 1000).toFixed(1)} s: ${name}`);
}

// Waits until every map tile on the page has loaded (the pictures would show grey squares otherwise).
async function tilesLoaded(frame) {
  await frame.locator('body').evaluate(() => new Promise((resolve) => {
    const end = Date.now() + 60000;
    const poll = () => {
      const tiles = Array.from(document.querySelectorAll('img.leaflet-tile'));
      if ((tiles.length > 0 && tiles.every((t) => t.complete)) || Date.now() > end) resolve();
      else setTimeout(poll, 100);
    };
    poll();
  }));
}

let browser;
let failed = false;
try {
  const services = await startProgram(simProgram, ['--port', '0', '--scenario', 'demo'], env,
                                      /^listening on (http:\/\/127\.0\.0\.1:\d+)/);
  const address = await startProgram(geodraft, ['serve', '--project', path.join(work, 'project.gdp')],
                                     {...env, GEODRAFT_SERVICES: services}, /otworz w przegladarce (\S+)/);
  browser = await launchChromium(playwright);
  const page = await browser.newPage({viewport: {width: 1400, height: 900}});
  await page.goto(address, {timeout: 120000});
  await page.click('#menuButton');
  await page.click('.menuItem[data-item="1"]');
  const map = page.frameLocator(`.window[data-guid="${MAP_GUID}"] iframe`);
  const mapWindow = page.locator(`.window[data-guid="${MAP_GUID}"]`);
  const status = map.locator('#status');
  await status.filter({hasText: 'Połączono z ArchiCAD ✓'}).waitFor({timeout: 60000});
  // A large palette, as one would drag it open to work.
  await mapWindow.evaluate((w) => Object.assign(w.style, {left: '8px', top: '40px', width: '1384px', height: '852px'}));

  // 1. The town found by its name, the project's place set on the square.
  await map.locator('#addr').fill('Nałęczów, Rynek');
  await map.locator('#addr').press('Enter');
  await status.filter({hasText: 'Nałęczów'}).waitFor({state: 'attached', timeout: 60000});
  await map.locator('#btnOrigin').click();
  await status.filter({hasText: 'Lokalizacja projektu ustawiona'}).waitFor({timeout: 60000});
  await tilesLoaded(map);
  await shot(page, 'guide-01-map');

  // 2. Layers ticked and fetched: the preview on the map, the counts below it.
  for (const id of ['#lyDzialki', '#lyBudynki', '#lyGesut', '#lyMpzp', '#lyRastr', '#lyTeren', '#lyBudynki3d',
                    '#lyBudynkiLod2'])
    await map.locator(id).check();
  await map.locator('#terrainStep').selectOption('5');
  await map.locator('#btnFetch').click();
  await map.locator('#step1.done').waitFor({timeout: 240000});
  await tilesLoaded(map);
  await shot(page, 'guide-02-preview');

  // 3. Placed into the project: the plan and the 3D view.
  await map.locator('#btnPlace').click();
  // Only present: a long note may squeeze the status line out of sight.
  await status.filter({hasText: /^Dodano do projektu/}).waitFor({state: 'attached', timeout: 240000});
  await page.waitForFunction(() => /^Elementy: [1-9]/.test(document.getElementById('modelInfo').textContent),
                             null, {timeout: 60000});
  await mapWindow.locator('.titlebar button').click();
  await page.waitForTimeout(1000);
  await shot(page, 'guide-03-plan');
  await page.click('#tab3d');
  await page.waitForTimeout(3000);
  await shot(page, 'guide-04-3d');
  await page.click('#tabPlan');

  // 4. The layer mapping of the settings.
  await page.click('#menuButton');
  await page.click('.menuItem[data-item="1"]');
  await map.locator('#btnLayers').click();
  await map.locator('#mapping:not(.hidden)').waitFor();
  await shot(page, 'guide-05-mapping');
} catch (e) {
  console.log('FAIL: ' + (e && e.stack || e));
  failed = true;
} finally {
  if (browser) await browser.close();
  await stopChildren();
  fs.rmSync(work, {recursive: true, force: true});
}
process.exit(failed ? 1 : 0);
