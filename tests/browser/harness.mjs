// What the browser programs share: Debian's Chromium driven by playwright-core, the programs they start (the
// simulator, the workspace) and a private set of folders for one run.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';
import { createRequire } from 'node:module';

export const CHROMIUM = '/usr/bin/chromium';
export const MAP_GUID = '{6B1C0A7E-92D4-4F7B-B1A9-3C58D2E4F016}';
export const CLOUD_GUID = '{BE37AFB8-AC68-44F2-A7CE-DB3CC77A178B}';

// playwright-core, or the process ends with 77 (skipped) when it or Debian's Chromium is missing.
export function playwrightOrSkip() {
  let playwright;
  try {
    playwright = createRequire(import.meta.url)('playwright-core');
  } catch (e) {
    console.log('SKIP: playwright-core is not installed (bash scripts/install-deps.sh)');
    process.exit(77);
  }
  if (!fs.existsSync(CHROMIUM)) {
    console.log('SKIP: ' + CHROMIUM + ' is missing (apt-get install chromium)');
    process.exit(77);
  }
  return playwright;
}

// Software WebGL, so the 3D view draws without a GPU.
export function launchChromium(playwright) {
  return playwright.chromium.launch({
    executablePath: CHROMIUM,
    args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader']
  });
}

// A folder of its own for one run, and the environment that points both programs' settings, state, cache and
// temporary files into it.
export function privateFolders(prefix) {
  const work = fs.mkdtempSync(path.join(os.tmpdir(), prefix));
  const env = {
    XDG_CONFIG_HOME: path.join(work, 'config'),
    XDG_STATE_HOME: path.join(work, 'state'),
    XDG_CACHE_HOME: path.join(work, 'cache'),
    TMPDIR: path.join(work, 'tmp'),
    GEODRAFT_PACING_MS: '0'
  };
  fs.mkdirSync(env.TMPDIR, {recursive: true});
  return {work, env};
}

export const children = [];

// Starts a program and resolves with the first group of the first line it prints that matches.
export function startProgram(program, args, env, pattern) {
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

// Ends every program started and waits for them.
export function stopChildren() {
  return Promise.all(children.map((c) => new Promise((resolve) => {
    if (c.exitCode !== null || c.signalCode !== null) return resolve();
    c.once('exit', resolve);
    c.kill('SIGTERM');
  })));
}
