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

// Numbers on this page, as in the add-on's texts: a decimal comma.
const decimal = (value, digits) => value.toFixed(digits).replace('.', ',');

// ---- One client: another tab that opened the workspace has it now ----
window.addEventListener('browser-replaced', () => $('otherTab').classList.remove('hidden'));
$('takeOver').addEventListener('click', () => location.reload());

// ---- Menu, undo, export ----
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

function showUndo(name) {
  const button = $('undoButton');
  button.disabled = !name;
  button.title = name ? 'Cofnij: ' + name + ' (Ctrl+Z)' : 'Nie ma czego cofnąć';
}
function undo() {
  if ($('undoButton').disabled) return;
  $('undoButton').disabled = true;  // one undo a click; the model's answer enables it again
  call({op: 'undo'});
}
$('undoButton').addEventListener('click', undo);
document.addEventListener('keydown', (ev) => {
  if ((ev.ctrlKey || ev.metaKey) && !ev.shiftKey && ev.key.toLowerCase() === 'z') {
    ev.preventDefault();
    undo();
  }
});

function sizeText(bytes) {
  if (bytes >= 1048576) return decimal(bytes / 1048576, 1) + ' MB';
  if (bytes >= 1024) return decimal(bytes / 1024, 1) + ' KB';
  return bytes + ' B';
}
$('exportButton').addEventListener('click', () => {
  $('exportButton').disabled = true;
  $('exportStatus').textContent = 'Eksportuję model…';
  $('exportFiles').textContent = '';
  $('exportBox').classList.remove('hidden');
  call({op: 'export'});
});
$('exportClose').addEventListener('click', () => $('exportBox').classList.add('hidden'));
function showExport(msg) {
  $('exportButton').disabled = false;
  $('exportBox').classList.remove('hidden');
  const list = $('exportFiles');
  list.textContent = '';
  if (!msg.ok) {
    $('exportStatus').textContent = 'Eksport nie powiódł się: ' + (msg.error || 'nieznany błąd');
    return;
  }
  $('exportStatus').textContent = 'Pliki do pobrania:';
  for (const file of msg.files || []) {
    const li = document.createElement('li');
    const a = document.createElement('a');
    a.href = file.url;
    a.download = file.name.split('/').pop();
    a.textContent = file.name;
    const size = document.createElement('span');
    size.className = 'size';
    size.textContent = sizeText(file.size);
    li.append(a, size);
    list.appendChild(li);
  }
}

// ---- Palette windows: they always fit the window and can be brought back ----
const windows = {};
const MARGIN = 4;

function defaultPlace(w) {
  const index = Object.keys(windows).indexOf(w.dataset.guid);
  w.style.left = (40 + Math.max(index, 0) * 60) + 'px';
  w.style.top = (50 + Math.max(index, 0) * 40) + 'px';
  w.style.width = '900px';
  w.style.height = '600px';
  fitWindow(w);
}

function fitWindow(w) {
  if (w.classList.contains('hidden')) return;
  const top = $('menubar').offsetHeight;
  const maxWidth = window.innerWidth - 2 * MARGIN;
  const maxHeight = window.innerHeight - top - 2 * MARGIN;
  // The set size, not the drawn one: the style sheet's limits draw it smaller without changing it.
  if (parseFloat(w.style.width) > maxWidth) w.style.width = Math.max(maxWidth, 320) + 'px';
  if (parseFloat(w.style.height) > maxHeight) w.style.height = Math.max(maxHeight, 200) + 'px';
  const left = Math.min(Math.max(w.offsetLeft, MARGIN), window.innerWidth - w.offsetWidth - MARGIN);
  const y = Math.min(Math.max(w.offsetTop, top + MARGIN), window.innerHeight - w.offsetHeight - MARGIN);
  w.style.left = Math.max(left, 0) + 'px';
  w.style.top = Math.max(y, 0) + 'px';
}
window.addEventListener('resize', () => Object.values(windows).forEach(fitWindow));
const resized = new ResizeObserver((entries) => entries.forEach((e) => fitWindow(e.target)));

function paletteWindow(msg) {
  let w = windows[msg.guid];
  if (!w) {
    w = document.createElement('div');
    w.className = 'window';
    w.dataset.guid = msg.guid;
    const bar = document.createElement('div');
    bar.className = 'titlebar';
    bar.title = 'Dwuklik: domyślne miejsce i rozmiar';
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
    bar.addEventListener('dblclick', (ev) => {
      if (ev.target.tagName !== 'BUTTON') defaultPlace(w);
    });
    w.addEventListener('mousedown', () => raise(w));
    $('windows').appendChild(w);
    windows[msg.guid] = w;
    defaultPlace(w);
    resized.observe(w);
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
  if (msg.visible) {
    fitWindow(w);
    raise(w);
  }
}

let topZ = 1000;
function raise(w) { w.style.zIndex = ++topZ; }

function dragBy(handle, w) {
  handle.addEventListener('mousedown', (ev) => {
    if (ev.target.tagName === 'BUTTON') return;
    const sx = ev.clientX - w.offsetLeft;
    const sy = ev.clientY - w.offsetTop;
    // Only a real drag covers the page (so the iframe does not take the mouse); a click stays a click.
    let cover = null;
    const move = (e) => {
      if (!cover) {
        cover = document.createElement('div');
        cover.style.cssText = 'position:fixed;inset:0;z-index:99999;cursor:move';
        document.body.appendChild(cover);
      }
      w.style.left = (e.clientX - sx) + 'px';
      w.style.top = (e.clientY - sy) + 'px';
      fitWindow(w);
    };
    const up = () => {
      if (cover) cover.remove();
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

// ---- Plan: the exporter's drawing, zoomed and moved with the mouse ----
const plan = {url: null, scale: 1, x: 0, y: 0, width: 0, height: 0, fitted: false};

function showPlan(svg) {
  if (plan.url) URL.revokeObjectURL(plan.url);
  plan.url = URL.createObjectURL(new Blob([svg], {type: 'image/svg+xml'}));
  $('planImage').src = plan.url;
}
$('planImage').addEventListener('load', () => {
  const img = $('planImage');
  const width = img.naturalWidth || 1000, height = img.naturalHeight || 1000;
  // A new drawing of another size is shown whole; one of the same size keeps the user's view.
  if (!plan.fitted || width !== plan.width || height !== plan.height) {
    plan.width = width;
    plan.height = height;
    fitPlan();
  } else {
    placePlan();
  }
});

function placePlan() {
  const img = $('planImage');
  img.style.width = plan.width * plan.scale + 'px';
  img.style.height = plan.height * plan.scale + 'px';
  img.style.left = plan.x + 'px';
  img.style.top = plan.y + 'px';
}
function fitPlan() {
  const box = $('plan');
  if (!box.clientWidth || !plan.width) return;
  plan.scale = 0.96 * Math.min(box.clientWidth / plan.width, box.clientHeight / plan.height);
  plan.x = (box.clientWidth - plan.width * plan.scale) / 2;
  plan.y = (box.clientHeight - plan.height * plan.scale) / 2;
  plan.fitted = true;
  placePlan();
}
function zoomPlan(factor, cx, cy) {
  const box = $('plan');
  if (cx === undefined) cx = box.clientWidth / 2, cy = box.clientHeight / 2;
  const fit = Math.min(box.clientWidth / plan.width, box.clientHeight / plan.height);
  const scale = Math.min(Math.max(plan.scale * factor, fit * 0.2), fit * 60);
  plan.x = cx - (cx - plan.x) * scale / plan.scale;
  plan.y = cy - (cy - plan.y) * scale / plan.scale;
  plan.scale = scale;
  placePlan();
}
$('plan').addEventListener('wheel', (ev) => {
  ev.preventDefault();
  const r = $('plan').getBoundingClientRect();
  zoomPlan(Math.exp(-ev.deltaY * 0.0015), ev.clientX - r.left, ev.clientY - r.top);
}, {passive: false});
$('plan').addEventListener('pointerdown', (ev) => {
  if (ev.target.tagName === 'BUTTON') return;
  const start = {x: ev.clientX - plan.x, y: ev.clientY - plan.y};
  $('plan').setPointerCapture(ev.pointerId);
  $('plan').classList.add('dragging');
  const move = (e) => {
    plan.x = e.clientX - start.x;
    plan.y = e.clientY - start.y;
    placePlan();
  };
  const up = () => {
    $('plan').classList.remove('dragging');
    $('plan').removeEventListener('pointermove', move);
    $('plan').removeEventListener('pointerup', up);
  };
  $('plan').addEventListener('pointermove', move);
  $('plan').addEventListener('pointerup', up);
});
$('plan').addEventListener('dblclick', fitPlan);
$('planZoomIn').addEventListener('click', () => zoomPlan(1.5));
$('planZoomOut').addEventListener('click', () => zoomPlan(1 / 1.5));
$('planFit').addEventListener('click', fitPlan);

// ---- 3D: lit terrain with the orthophoto draped over it, solids in their materials, drawings on the ground ----
let three = null;
let lastModel = null;
let shownView = null;

function ensureThree() {
  if (three) return three;
  const box = $('three');
  const renderer = new THREE.WebGLRenderer({antialias: true, preserveDrawingBuffer: true});
  renderer.setPixelRatio(window.devicePixelRatio);
  box.prepend(renderer.domElement);
  const scene = new THREE.Scene();
  scene.background = new THREE.Color(0xdfe8f0);
  scene.add(new THREE.HemisphereLight(0xffffff, 0x6f6a5e, 1.4));
  // The sun from the south-west and fairly low: slopes facing it are light, the others shaded.
  const sun = new THREE.DirectionalLight(0xffffff, 2.0);
  sun.position.set(-1, -1.3, 1.2);
  scene.add(sun);
  const camera = new THREE.PerspectiveCamera(45, 1, 0.1, 100000);
  camera.up.set(0, 0, 1);
  const controls = new OrbitControls(camera, renderer.domElement);
  controls.maxPolarAngle = Math.PI * 0.495;  // never below the ground
  controls.addEventListener('change', drawSoon);
  const group = new THREE.Group();
  scene.add(group);
  three = {renderer, scene, camera, controls, group, north: new THREE.Vector3(0, 1, 0), radius: 100, pending: false};
  new ResizeObserver(drawSoon).observe(box);
  return three;
}

// Drawn on demand, never in a loop: a software renderer would keep the machine busy for nothing.
function drawSoon() {
  if (!three || three.pending) return;
  three.pending = true;
  requestAnimationFrame(() => {
    three.pending = false;
    draw();
  });
}

function draw() {
  const box = $('three');
  const w = box.clientWidth, h = box.clientHeight;
  if (!w || !h) return;
  const {renderer, camera, scene, controls} = three;
  if (renderer.domElement.width !== Math.floor(w * renderer.getPixelRatio()) ||
      renderer.domElement.height !== Math.floor(h * renderer.getPixelRatio())) {
    renderer.setSize(w, h);
    camera.aspect = w / h;
    camera.updateProjectionMatrix();
  }
  renderer.render(scene, camera);
  // North: the screen direction of the grid north at the point looked at.
  const a = controls.target.clone().project(camera);
  const b = controls.target.clone().addScaledVector(three.north, three.radius * 0.05).project(camera);
  const angle = Math.atan2((b.x - a.x) * w, (b.y - a.y) * h);
  if (Number.isFinite(angle)) $('northNeedle').setAttribute('transform', 'rotate(' + (angle * 180 / Math.PI).toFixed(1) + ')');
  // Scale: metres per pixel at the distance of the point looked at.
  const perPixel = 2 * camera.position.distanceTo(controls.target) * Math.tan(camera.fov * Math.PI / 360) / h;
  if (!(perPixel > 0)) return;
  const wanted = perPixel * 120;
  const power = Math.pow(10, Math.floor(Math.log10(wanted)));
  const length = parseFloat(([5, 2, 1].map((m) => m * power).find((l) => l <= wanted * 1.35) || power).toPrecision(2));
  $('scaleLine').style.width = Math.round(length / perPixel) + 'px';
  $('scaleText').textContent = (length >= 1000 ? String(length / 1000) + ' km' : String(length) + ' m').replace('.', ',');
}

function clearScene() {
  const g = three.group;
  while (g.children.length) {
    const o = g.children.pop();
    o.geometry.dispose();
    if (o.material.map) o.material.map.dispose();
    o.material.dispose();
  }
}

function colourOf(c) { return new THREE.Color(c[0], c[1], c[2]); }

function loadImage(url) {
  return new Promise((resolve) => {
    const img = new Image();
    img.onload = () => resolve(img);
    img.onerror = () => resolve(null);
    img.src = url;
  });
}

// The pictures painted onto one canvas over their joint extent, on the terrain's own colour around them.
async function orthophoto(view, background) {
  if (!view.pictures.length) return null;
  const images = await Promise.all(view.pictures.map((p) => loadImage(view.folder + p.file)));
  let x0 = Infinity, y0 = Infinity, x1 = -Infinity, y1 = -Infinity, density = 0;
  view.pictures.forEach((p, i) => {
    if (!images[i]) return;
    const w = p.max[0] - p.min[0], h = p.max[1] - p.min[1];
    const c = Math.cos(p.angle), s = Math.sin(p.angle);
    for (const [dx, dy] of [[0, 0], [w, 0], [0, h], [w, h]]) {
      const x = p.min[0] + dx * c - dy * s, y = p.min[1] + dx * s + dy * c;
      x0 = Math.min(x0, x), y0 = Math.min(y0, y), x1 = Math.max(x1, x), y1 = Math.max(y1, y);
    }
    density = Math.max(density, images[i].naturalWidth / Math.max(w, 1e-6));
  });
  if (!(x1 > x0 && y1 > y0)) return null;
  const scale = Math.min(density, 4096 / (x1 - x0), 4096 / (y1 - y0));
  const canvas = document.createElement('canvas');
  canvas.width = Math.max(2, Math.ceil((x1 - x0) * scale));
  canvas.height = Math.max(2, Math.ceil((y1 - y0) * scale));
  const ctx = canvas.getContext('2d');
  ctx.fillStyle = '#' + background.getHexString();
  ctx.fillRect(0, 0, canvas.width, canvas.height);
  view.pictures.forEach((p, i) => {
    if (!images[i]) return;
    const w = (p.max[0] - p.min[0]) * scale, h = (p.max[1] - p.min[1]) * scale;
    ctx.save();
    ctx.translate((p.min[0] - x0) * scale, (y1 - p.min[1]) * scale);
    ctx.rotate(-p.angle);
    ctx.drawImage(images[i], 0, -h, w, h);
    ctx.restore();
  });
  const texture = new THREE.CanvasTexture(canvas);
  texture.colorSpace = THREE.SRGBColorSpace;
  texture.anisotropy = 4;
  return {texture, x0, y0, width: x1 - x0, height: y1 - y0};
}

async function showScene(view) {
  let t;
  try {
    t = ensureThree();
  } catch (e) {
    $('three').textContent = 'Widok 3D wymaga WebGL.';
    return;
  }
  if (shownView === view) return;
  shownView = view;
  const answer = await fetch(view.folder + view.bin);
  if (!answer.ok || shownView !== view) return;  // a newer model came meanwhile
  const bytes = await answer.arrayBuffer();
  const terrainColour = view.parts.find((p) => p.kind === 'terrain');
  const photo = await orthophoto(view, terrainColour ? colourOf(terrainColour.colour) : new THREE.Color(0xa8b38f));
  if (shownView !== view) return;
  clearScene();
  const floats = (range) => new Float32Array(bytes, range[0], range[1]);
  let terrain = 0;
  for (const part of view.parts) {
    const geometry = new THREE.BufferGeometry();
    const positions = floats(part.positions);
    geometry.setAttribute('position', new THREE.BufferAttribute(positions, 3));
    let object;
    if (part.kind === 'lines') {
      object = new THREE.LineSegments(geometry, new THREE.LineBasicMaterial({color: colourOf(part.colour)}));
    } else {
      if (part.indices) geometry.setIndex(new THREE.BufferAttribute(new Uint32Array(bytes, part.indices[0], part.indices[1]), 1));
      geometry.computeVertexNormals();
      const options = {color: colourOf(part.colour), side: THREE.DoubleSide};
      if (part.kind === 'terrain') {
        terrain++;
        // Drawings lie just above the surface; the surface gives way where they meet.
        Object.assign(options, {polygonOffset: true, polygonOffsetFactor: 1, polygonOffsetUnits: 1});
        if (photo) {
          const uv = new Float32Array(positions.length / 3 * 2);
          for (let i = 0, j = 0; i < positions.length; i += 3, j += 2) {
            uv[j] = (positions[i] - photo.x0) / photo.width;
            uv[j + 1] = (positions[i + 1] - photo.y0) / photo.height;
          }
          geometry.setAttribute('uv', new THREE.BufferAttribute(uv, 2));
          options.map = photo.texture;
          options.color = new THREE.Color(0xffffff);
        }
      }
      object = new THREE.Mesh(geometry, new THREE.MeshLambertMaterial(options));
    }
    object.userData.kind = part.kind;
    t.group.add(object);
  }
  // Without terrain the pictures lie flat on the ground.
  if (photo && !terrain) {
    const geometry = new THREE.PlaneGeometry(photo.width, photo.height);
    geometry.translate(photo.x0 + photo.width / 2, photo.y0 + photo.height / 2, -view.origin[2]);
    const plane = new THREE.Mesh(geometry, new THREE.MeshBasicMaterial({map: photo.texture, side: THREE.DoubleSide,
                                                                        polygonOffset: true, polygonOffsetFactor: 1}));
    plane.userData.kind = 'picture';
    t.group.add(plane);
  }
  t.north.set(view.north[0], view.north[1], 0).normalize();
  t.scene.userData.terrainTriangles = view.terrainTriangles;
  if (!t.fitted || t.fittedSize !== view.size.join()) fitScene();
  drawSoon();
}

function fitScene() {
  const t = three;
  const bounds = new THREE.Box3().setFromObject(t.group);
  if (bounds.isEmpty()) return;
  const centre = bounds.getCenter(new THREE.Vector3());
  const r = Math.max(bounds.getSize(new THREE.Vector3()).length() / 2, 1);
  t.radius = r;
  t.controls.target.copy(centre);
  // From the south and above, as one first looks at a site.
  t.camera.position.set(centre.x + r * 0.35, centre.y - r * 1.35, centre.z + r * 0.95);
  t.camera.near = r / 500;
  t.camera.far = r * 30;
  t.camera.updateProjectionMatrix();
  t.controls.update();
  t.fitted = true;
  t.fittedSize = lastModel && lastModel.view ? lastModel.view.size.join() : '';
  drawSoon();
}
$('threeFit').addEventListener('click', () => { if (three) fitScene(); });

function showModel(model) {
  lastModel = model;
  const layers = Object.keys(model.layers).map((k) => k + ': ' + model.layers[k]).join(', ');
  $('modelInfo').textContent = 'Elementy: ' + model.elements + (layers ? ' (' + layers + ')' : '');
  showUndo(model.undo);
  showPlan(model.svg);
  if (!$('three').classList.contains('hidden') && model.view) showScene(model.view);
}

function selectTab(showPlanTab) {
  $('tabPlan').classList.toggle('active', showPlanTab);
  $('tab3d').classList.toggle('active', !showPlanTab);
  $('plan').classList.toggle('hidden', !showPlanTab);
  $('three').classList.toggle('hidden', showPlanTab);
  if (showPlanTab && !plan.fitted) fitPlan();
  if (!showPlanTab && lastModel && lastModel.view) showScene(lastModel.view);
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
      case 'exported': showExport(msg); break;
      case 'open': window.open(msg.url, '_blank', 'noopener'); break;
      default: console.warn('Workspace: nieznana wiadomosc', msg);
    }
  },
  // For tests and guides: what the 3D view holds.
  scene() {
    if (!three) return null;
    const kinds = {};
    three.group.children.forEach((o) => { kinds[o.userData.kind] = (kinds[o.userData.kind] || 0) + 1; });
    const map = three.group.children.some((o) => o.userData.kind === 'terrain' && o.material.map);
    return {kinds, draped: map, camera: three.camera.position.toArray(), target: three.controls.target.toArray(),
            terrainTriangles: three.scene.userData.terrainTriangles, scale: $('scaleText').textContent,
            north: $('northNeedle').getAttribute('transform')};
  },
  plan() { return {scale: plan.scale, x: plan.x, y: plan.y}; }
};
early.forEach((m) => window.Workspace.receive(m));
call({op: 'hello'});
