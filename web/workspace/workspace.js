// The workspace page: plays the modelling application around the add-on's palettes.
import * as THREE from 'three';
import { OrbitControls } from 'three/addons/OrbitControls.js';

const $ = (id) => document.getElementById(id);
const pendingCalls = [];

// The host's script object appears once the page's event stream is open.
function call(message) {
  pendingCalls.push(JSON.stringify(message));
  flushCalls();
}
function flushCalls() {
  if (!window.HOST || typeof window.HOST.call !== 'function') {
    setTimeout(flushCalls, 100);
    return;
  }
  while (pendingCalls.length) window.HOST.call(pendingCalls.shift());
}

// ---- Menu ----
$('menuButton').addEventListener('click', () => $('menu').classList.toggle('hidden'));
document.addEventListener('click', (ev) => {
  if (!$('menuRoot').contains(ev.target)) $('menu').classList.add('hidden');
});

function showMenu(msg) {
  $('menuButton').textContent = msg.title + ' ▾';
  $('menuSubtitle').textContent = msg.subtitle;
  const box = $('menuItems');
  box.textContent = '';
  for (const item of msg.items) {
    const el = document.createElement('div');
    el.className = 'menuItem' + (item.checked ? ' checked' : '');
    el.dataset.item = item.item;
    el.textContent = item.text;
    el.addEventListener('click', () => {
      $('menu').classList.add('hidden');
      call({op: 'menu', item: item.item});
    });
    box.appendChild(el);
  }
}

// ---- Palette windows ----
const windows = {};
function paletteWindow(msg) {
  let w = windows[msg.guid];
  if (!w) {
    const index = Object.keys(windows).length;
    w = document.createElement('div');
    w.className = 'window';
    w.dataset.guid = msg.guid;
    w.style.left = (40 + index * 60) + 'px';
    w.style.top = (50 + index * 40) + 'px';
    w.style.width = Math.min(900, window.innerWidth - 60) + 'px';
    w.style.height = Math.min(600, window.innerHeight - 70) + 'px';
    const bar = document.createElement('div');
    bar.className = 'titlebar';
    const title = document.createElement('span');
    title.className = 'title';
    const close = document.createElement('button');
    close.textContent = '×';
    close.title = 'Zamknij';
    close.addEventListener('click', () => call({op: 'palette', guid: msg.guid, message: 1}));
    bar.append(title, close);
    const frame = document.createElement('iframe');
    w.append(bar, frame);
    dragBy(bar, w);
    w.addEventListener('mousedown', () => raise(w));
    $('windows').appendChild(w);
    windows[msg.guid] = w;
  }
  w.querySelector('.title').textContent = msg.title;
  const frame = w.querySelector('iframe');
  // A page is loaded when its window is first shown; hiding keeps it (and its state) alive.
  if (msg.address && frame.dataset.address !== msg.address) {
    frame.dataset.address = msg.address;
    frame.src = msg.address;
  }
  w.classList.toggle('hidden', !msg.visible);
  w.classList.toggle('disabled', !msg.enabled);
  if (msg.visible) raise(w);
}

let topZ = 1000;
function raise(w) { w.style.zIndex = ++topZ; }

function dragBy(handle, w) {
  handle.addEventListener('mousedown', (ev) => {
    if (ev.target.tagName === 'BUTTON') return;
    const sx = ev.clientX - w.offsetLeft;
    const sy = ev.clientY - w.offsetTop;
    const cover = document.createElement('div');  // keeps the iframe from taking the mouse
    cover.style.cssText = 'position:fixed;inset:0;z-index:99999;cursor:move';
    document.body.appendChild(cover);
    const move = (e) => {
      w.style.left = Math.max(0, e.clientX - sx) + 'px';
      w.style.top = Math.max(0, e.clientY - sy) + 'px';
    };
    const up = () => {
      cover.remove();
      document.removeEventListener('mousemove', move);
      document.removeEventListener('mouseup', up);
    };
    document.addEventListener('mousemove', move);
    document.addEventListener('mouseup', up);
  });
}

// ---- Report window and alerts ----
function reportLine(line) {
  const el = document.createElement('div');
  el.textContent = line;
  $('report').appendChild(el);
  $('report').scrollTop = $('report').scrollHeight;
}

const alerts = [];
function showAlert() {
  const a = alerts[0];
  if (!a) {
    $('alert').classList.add('hidden');
    return;
  }
  $('alertTitle').textContent = a.title;
  $('alertLarge').textContent = a.large;
  $('alertSmall').textContent = a.small;
  const box = $('alertButtons');
  box.textContent = '';
  a.buttons.forEach((text, i) => {
    const b = document.createElement('button');
    b.textContent = text;
    b.addEventListener('click', () => {
      alerts.shift();
      call({op: 'alert', id: a.id, button: i + 1});
      showAlert();
    });
    box.appendChild(b);
  });
  $('alert').classList.remove('hidden');
}

// ---- Model view: plan (the exporter's drawing) and 3D ----
let planUrl = null;
let threeState = null;
let lastModel = null;

function showPlan(svg) {
  if (planUrl) URL.revokeObjectURL(planUrl);
  planUrl = URL.createObjectURL(new Blob([svg], {type: 'image/svg+xml'}));
  $('planImage').src = planUrl;
}

function ensureThree() {
  if (threeState) return threeState;
  const box = $('three');
  const renderer = new THREE.WebGLRenderer({antialias: true, preserveDrawingBuffer: true});
  renderer.setPixelRatio(window.devicePixelRatio);
  box.appendChild(renderer.domElement);
  const scene = new THREE.Scene();
  scene.background = new THREE.Color(0xf4f6f8);
  scene.add(new THREE.HemisphereLight(0xffffff, 0x888888, 2.0));
  const sun = new THREE.DirectionalLight(0xffffff, 1.5);
  sun.position.set(1, -1, 2);
  scene.add(sun);
  const camera = new THREE.PerspectiveCamera(45, 1, 0.1, 100000);
  camera.up.set(0, 0, 1);
  const controls = new OrbitControls(camera, renderer.domElement);
  threeState = {renderer, scene, camera, controls, mesh: null};
  const loop = () => {
    requestAnimationFrame(loop);
    const w = box.clientWidth, h = box.clientHeight;
    // Behind the plan the view is not seen; drawing it anyway keeps a software renderer busy for nothing.
    if (!w || !h) return;
    if (renderer.domElement.width !== Math.floor(w * renderer.getPixelRatio())) {
      renderer.setSize(w, h);
      camera.aspect = w / h;
      camera.updateProjectionMatrix();
    }
    controls.update();
    renderer.render(scene, camera);
  };
  loop();
  return threeState;
}

function show3d(model) {
  let t;
  try {
    t = ensureThree();
  } catch (e) {
    $('three').textContent = 'Widok 3D wymaga WebGL.';
    return;
  }
  for (const old of [t.mesh, t.lines]) {
    if (!old) continue;
    t.scene.remove(old);
    old.geometry.dispose();
  }
  t.mesh = t.lines = null;
  const p = model.positions;
  const l = [];
  for (let i = 0; i < model.lines.length; i += 2) l.push(model.lines[i], model.lines[i + 1], 0);
  if (!p.length && !l.length) return;
  const centre = centreOf(p.length ? p : l);
  if (l.length) {
    const lineGeometry = new THREE.BufferGeometry();
    lineGeometry.setAttribute('position', new THREE.Float32BufferAttribute(shifted(l, centre), 3));
    t.lines = new THREE.LineSegments(lineGeometry, new THREE.LineBasicMaterial({color: 0x34495e}));
    t.scene.add(t.lines);
  }
  const geometry = new THREE.BufferGeometry();
  geometry.setAttribute('position', new THREE.Float32BufferAttribute(shifted(p, centre), 3));
  const colours = new Float32Array(p.length);
  for (let f = 0; f < model.colours.length; f++) {
    for (let v = 0; v < 3; v++) colours.set(model.colours[f], f * 9 + v * 3);
  }
  geometry.setAttribute('color', new THREE.BufferAttribute(colours, 3));
  geometry.computeVertexNormals();
  t.mesh = new THREE.Mesh(geometry, new THREE.MeshLambertMaterial({vertexColors: true, side: THREE.DoubleSide}));
  t.scene.add(t.mesh);
  const bounds = (p.length ? geometry : t.lines.geometry);
  bounds.computeBoundingSphere();
  const r = Math.max(bounds.boundingSphere.radius, 1);
  t.controls.target.set(0, 0, 0);
  t.camera.position.set(r * 1.2, -r * 1.6, r * 1.2);
  t.camera.far = r * 20;
  t.camera.updateProjectionMatrix();
}

// Project coordinates can be far from 0; the view works around the model's own centre.
function centreOf(p) {
  const min = [Infinity, Infinity, Infinity], max = [-Infinity, -Infinity, -Infinity];
  for (let i = 0; i < p.length; i++) {
    const k = i % 3;
    if (p[i] < min[k]) min[k] = p[i];
    if (p[i] > max[k]) max[k] = p[i];
  }
  return [(min[0] + max[0]) / 2, (min[1] + max[1]) / 2, min[2]];
}

function shifted(p, c) {
  const out = new Float32Array(p.length);
  for (let i = 0; i < p.length; i++) out[i] = p[i] - c[i % 3];
  return out;
}

function showModel(model) {
  lastModel = model;
  const layers = Object.keys(model.layers).map((k) => k + ': ' + model.layers[k]).join(', ');
  $('modelInfo').textContent = 'Elementy: ' + model.elements + (layers ? ' (' + layers + ')' : '');
  showPlan(model.svg);
  if (!$('three').classList.contains('hidden')) show3d(model);
}

function selectTab(plan) {
  $('tabPlan').classList.toggle('active', plan);
  $('tab3d').classList.toggle('active', !plan);
  $('plan').classList.toggle('hidden', !plan);
  $('three').classList.toggle('hidden', plan);
  if (!plan && lastModel) show3d(lastModel);
}
$('tabPlan').addEventListener('click', () => selectTab(true));
$('tab3d').addEventListener('click', () => selectTab(false));

// ---- Messages from the host process ----
const early = window.Workspace.early;
window.Workspace = {
  receive(msg) {
    switch (msg.kind) {
      case 'menu': showMenu(msg); break;
      case 'palette': paletteWindow(msg); break;
      case 'report': reportLine(msg.line); break;
      case 'reportAll':
        $('report').textContent = '';
        msg.lines.forEach(reportLine);
        break;
      case 'alert':
        if (!alerts.some((a) => a.id === msg.id)) alerts.push(msg);
        showAlert();
        break;
      case 'model': showModel(msg); break;
      case 'open': window.open(msg.url, '_blank', 'noopener'); break;
      default: console.warn('Workspace: nieznana wiadomosc', msg);
    }
  }
};
early.forEach((m) => window.Workspace.receive(m));
call({op: 'hello'});
