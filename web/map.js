/* Geodraft import page: the map, the layer choice and the messages to and from the add-on. */
'use strict';

// ---- Configuration: the services the page itself asks for map pictures. ----
var SERVICES = {
  orto: 'https://mapy.geoportal.gov.pl/wss/service/PZGIK/ORTO/WMS/StandardResolution',
  egib: 'https://integracja.gugik.gov.pl/cgi-bin/KrajowaIntegracjaEwidencjiGruntow',
  prg: 'https://mapy.geoportal.gov.pl/wss/service/PZGIK/PRG/WMS/AdministrativeBoundaries',
  mpzp: 'https://mapy.geoportal.gov.pl/wss/ext/KrajowaIntegracjaMiejscowychPlanowZagospodarowaniaPrzestrzennego',
  pog: 'https://mapy.geoportal.gov.pl/wss/ext/PlanyOgolneGmin',
  ofmStyle: 'https://tiles.openfreemap.org/styles/liberty'
};

// With a local service simulator, https://host/path becomes SIM/https/host/path.
function routed(url) {
  var base = window.GEODRAFT_SERVICES;
  if (!base) return url;
  var m = /^(https?):\/\/(.*)$/.exec(url);
  return m ? base.replace(/\/$/, '') + '/' + m[1] + '/' + m[2] : url;
}

var CHIP_LABELS = {
  dzialki: 'działki', budynki: 'budynki', mpzp: 'MPZP', pog: 'POG', gesut: 'GESUT', bdot500: 'BDOT500',
  rastry: 'orto', budynki3d: 'budynki 3D (LOD1)', budynkilod2: 'budynki 3D — dachy (LOD2)',
  dachychmura: 'dachy z chmury (LiDAR)', budynkindsm: 'budynki (nMPT)', budynkirekon: 'rekonstrukcja LOD2 (chmura)',
  mosty: 'mosty (OSM)', drogi: 'drogi (OSM)', poziomice2d: 'poziomice 2D', poziomice3d: 'poziomice 3D',
  teren: 'teren (NMT)', terenchmura: 'teren z chmury (LiDAR)', poziomicechmura3d: 'poziomice 3D z chmury',
  'woda z chmury (Siatka)': 'woda/morze z chmury'
};

var MAPPING_TYPES = [
  ['dzialki', 'Działki (linie + numery)'], ['budynki', 'Budynki (wypełnienia)'],
  ['mpzp', 'MPZP (strefy + symbole)'], ['pog', 'Plan ogólny (strefy + symbole)'], ['gesut', 'GESUT (sieci)'],
  ['bdot500', 'BDOT500 (mapa zasadnicza)'], ['teren', 'Teren (Siatka NMT)'], ['rastry', 'Rastry (obrazy)'],
  ['budynki3d', 'Budynki 3D (LOD1 - bryły)'], ['budynkilod2', 'Budynki 3D (LOD2 - dachy)'],
  ['budynkindsm', 'Budynki (nMPT)'], ['budynkirekon', 'Rekonstrukcja LOD2 (chmura)'], ['mosty', 'Mosty (OSM)'],
  ['drogi', 'Drogi (OSM)'], ['poziomice2d', 'Poziomice 2D (rysunek + rzędne)'],
  ['poziomice3d', 'Poziomice 3D (Siatka z warstwic)'], ['terenchmura', 'Teren z chmury (LiDAR)'],
  ['wodachmura', 'Woda / morze z chmury (LiDAR)'], ['poziomicechmura3d', 'Poziomice 3D z chmury (LiDAR)']
];

function $(id) { return document.getElementById(id); }

// ---- Status line, progress, steps, chips ----
function setStatus(text, isError) {
  var el = $('status');
  el.textContent = text;
  el.classList.toggle('error', !!isError);
}

// The add-on joins its notes with single blanks; the status shows one note a line. A note ends with a full stop
// (or ! or ?) followed by a capital letter, but not after an abbreviation such as "np.".
var NOTE_BREAK = /(?<=[.!?])(?<!\b(?:np|tj|ok|ul|nr|tzw|tys|pkt|in|m)\.)\s+(?=[A-ZĄĆĘŁŃÓŚŹŻ])/;
function notesText(text) {
  return String(text).split(NOTE_BREAK).join('\n');
}

function setProgress(percent) {
  $('progress').classList.remove('off');
  $('progressBar').style.width = percent + '%';
}

function progressOff() {
  $('progress').classList.add('off');
  $('progressBar').style.width = '0%';
  var cancel = $('btnCancel');
  cancel.classList.add('hidden');
  cancel.disabled = false;
  cancel.textContent = 'Anuluj';
}

function setStep(n, state) {
  var el = $('step' + n);
  el.classList.remove('active', 'done');
  if (state) el.classList.add(state);
}

function chipLabel(key) {
  var raster = / \(rastr\)$/.test(key);
  var base = raster ? key.slice(0, -' (rastr)'.length) : key;
  if (!Object.prototype.hasOwnProperty.call(CHIP_LABELS, base)) return key;
  return CHIP_LABELS[base] + (raster ? ' (rastr)' : '');
}

function showChips(counts, placed) {
  var box = $('chips');
  box.textContent = '';
  Object.keys(counts || {}).forEach(function (key) {
    var chip = document.createElement('span');
    chip.className = 'chip' + (placed ? ' placed' : '');
    chip.dataset.key = key;
    chip.textContent = counts[key] + ' × ' + chipLabel(key) + (placed ? ' ✓' : '');
    box.appendChild(chip);
  });
}

// ---- Map ----
var map = L.map('map', {minZoom: 4, maxZoom: 21, zoomControl: true}).setView([52.2297, 21.0122], 16);
var viewRestored = keepMapView(map, 'gis_map_view');
L.control.scale({position: 'bottomleft', maxWidth: 160, imperial: false}).addTo(map);

var FrameBox = L.Control.extend({
  options: {position: 'topright'},
  onAdd: function () {
    var div = L.DomUtil.create('div');
    div.id = 'frameBox';
    return div;
  }
});
new FrameBox().addTo(map);

function lengthText(m) {
  return m < 1000 ? Math.round(m) + ' m' : decimalText(m / 1000, 2) + ' km';
}

function updateFrameBox() {
  var b = map.getBounds();
  var c = map.getCenter();
  var width = map.distance([c.lat, b.getWest()], [c.lat, b.getEast()]);
  var height = map.distance([b.getSouth(), c.lng], [b.getNorth(), c.lng]);
  var s = parseInt($('rasterScale').value, 10);
  var mpp = s * 0.00028;
  var sheets = Math.max(1, Math.ceil(width / mpp / 4096)) * Math.max(1, Math.ceil(height / mpp / 4096));
  $('frameBox').textContent =
    'Kadr: ' + lengthText(width) + ' × ' + lengthText(height) + '  (1:' + s + ' → ' + sheets + ' płyt.)';
}

function wms(url, options) {
  return L.tileLayer.wms(routed(url), L.extend({format: 'image/png', transparent: true}, options));
}

var baseLayers = {
  orto: L.tileLayer.wms(routed(SERVICES.orto), {layers: 'Raster', format: 'image/jpeg', maxZoom: 21}),
  none: null
};

function webglAvailable() {
  try {
    var canvas = document.createElement('canvas');
    return !!(window.WebGLRenderingContext && (canvas.getContext('webgl') || canvas.getContext('experimental-webgl')));
  } catch (e) {
    return false;
  }
}

var ofmOffered = typeof L.maplibreGL === 'function' && typeof window.maplibregl !== 'undefined' && webglAvailable() &&
  !window.GEODRAFT_SERVICES;
if (ofmOffered) {
  baseLayers.ofm = L.maplibreGL({style: SERVICES.ofmStyle});
} else {
  var ofmOption = document.querySelector('#basemap option[value="ofm"]');
  if (ofmOption) ofmOption.remove();
}

var overlays = {
  egib: wms(SERVICES.egib, {layers: 'dzialki,numery_dzialek,budynki,kontury', minZoom: 13, maxZoom: 21}),
  prg: wms(SERVICES.prg, {layers: 'A01_Granice_wojewodztw', version: '1.3.0', maxZoom: 12}),
  mpzp: wms(SERVICES.mpzp, {layers: 'granice', opacity: 0.5}),
  pog: wms(SERVICES.pog, {layers: 'strefaPlanistyczna', opacity: 0.55})
};

var currentBase = null;
function setBasemap(name) {
  if (name !== 'ofm' && name !== 'orto' && name !== 'none') name = 'orto';
  if (name === 'ofm' && !ofmOffered) name = 'orto';
  if (currentBase) map.removeLayer(currentBase);
  currentBase = baseLayers[name] || null;
  if (currentBase) {
    currentBase.addTo(map);
    if (currentBase.bringToBack) currentBase.bringToBack();
  }
  $('basemap').value = name;
  Object.keys(overlays).forEach(function (k) {
    if (map.hasLayer(overlays[k])) overlays[k].bringToFront();
  });
}

function switchOverlay(layer, on) {
  if (on && !map.hasLayer(layer)) layer.addTo(map);
  if (!on && map.hasLayer(layer)) map.removeLayer(layer);
}

function egibChanged() {
  switchOverlay(overlays.egib, $('egib').checked);
  switchOverlay(overlays.prg, $('egib').checked);
}

setBasemap(ofmOffered ? 'ofm' : 'orto');
egibChanged();
$('basemap').addEventListener('change', function () { setBasemap(this.value); });
$('egib').addEventListener('change', egibChanged);
$('lyMpzp').addEventListener('change', function () { switchOverlay(overlays.mpzp, this.checked); });
$('lyPog').addEventListener('change', function () { switchOverlay(overlays.pog, this.checked); });
$('rasterScale').addEventListener('change', updateFrameBox);
map.on('moveend zoomend', updateFrameBox);
updateFrameBox();

var preview = L.geoJSON(null, {
  style: function (feature) {
    var kind = feature && feature.properties && feature.properties._kind;
    if (kind === 'dzialka') return {color: '#e67e22', weight: 1.5, fill: false};
    return {color: '#2980b9', weight: 1, fillOpacity: 0.15};
  }
}).addTo(map);

// ---- Side panel ----
function setCollapsed(collapsed) {
  document.body.classList.toggle('collapsed', collapsed);
  try { localStorage.setItem('gis_panel_collapsed', collapsed ? '1' : '0'); } catch (e) { /* storage off */ }
  setTimeout(function () { map.invalidateSize(); }, 60);
}
try {
  if (localStorage.getItem('gis_panel_collapsed') === '1') setCollapsed(true);
} catch (e) { /* storage off */ }
$('btnLayout').addEventListener('click', function () {
  setCollapsed(!document.body.classList.contains('collapsed'));
});

// ---- Address search and suggestions ----
var suggestCache = {};
var suggestItems = [];
var suggestActive = -1;
var suggestTimer = null;

function hideSuggestions() {
  $('suggest').classList.add('hidden');
  suggestItems = [];
  suggestActive = -1;
}

function highlight() {
  var lis = $('suggest').children;
  for (var i = 0; i < lis.length; i++) lis[i].classList.toggle('active', i === suggestActive);
}

function showSuggestions(items) {
  var list = $('suggest');
  list.textContent = '';
  suggestItems = items || [];
  suggestActive = -1;
  if (!suggestItems.length) {
    list.classList.add('hidden');
    return;
  }
  suggestItems.forEach(function (item, i) {
    var li = document.createElement('li');
    li.textContent = item.label;
    li.addEventListener('mousedown', function (ev) {
      ev.preventDefault();
      pickSuggestion(i);
    });
    list.appendChild(li);
  });
  list.classList.remove('hidden');
}

function pickSuggestion(i) {
  var item = suggestItems[i];
  if (!item) return;
  map.setView([item.lat, item.lon], 17);
  setStatus(item.label);
  $('addr').value = item.label;
  hideSuggestions();
}

function search() {
  var text = $('addr').value.trim();
  if (!text) return;
  setStatus('Szukam…');
  GISBridge.send('searchAddress', {query: text});
}

$('btnSearch').addEventListener('click', search);
$('addr').addEventListener('input', function () {
  var text = this.value.trim();
  clearTimeout(suggestTimer);
  if (text.length < 3) {
    hideSuggestions();
    return;
  }
  if (Object.prototype.hasOwnProperty.call(suggestCache, text)) {
    showSuggestions(suggestCache[text]);
    return;
  }
  suggestTimer = setTimeout(function () { GISBridge.send('searchAddressSuggest', {query: text}); }, 250);
});
$('addr').addEventListener('keydown', function (ev) {
  var open = !$('suggest').classList.contains('hidden') && suggestItems.length > 0;
  if (ev.key === 'ArrowDown' && open) {
    suggestActive = (suggestActive + 1) % suggestItems.length;
    highlight();
    ev.preventDefault();
  } else if (ev.key === 'ArrowUp' && open) {
    suggestActive = suggestActive <= 0 ? suggestItems.length - 1 : suggestActive - 1;
    highlight();
    ev.preventDefault();
  } else if (ev.key === 'Enter') {
    ev.preventDefault();
    if (open && suggestActive >= 0) pickSuggestion(suggestActive);
    else search();
  } else if (ev.key === 'Escape') {
    hideSuggestions();
  }
});
$('addr').addEventListener('blur', function () { setTimeout(hideSuggestions, 150); });

// ---- Actions ----
function tickedLayers() {
  var keys = [];
  document.querySelectorAll('#layers input[data-key]').forEach(function (box) {
    if (box.checked && !box.parentElement.classList.contains('hidden')) keys.push(box.dataset.key);
  });
  return keys;
}

// Work in progress: each step's button stays disabled until its answer came, so a double click never asks twice.
var fetching = false;     // a fetch was asked for and its "fetchDone" has not come
var fetchRunning = false; // the add-on reported progress of it (so an error now is not the fetch's refusal)
var placing = false;
var hasData = false;      // the add-on holds fetched data that "2. Dodaj do projektu" places
var placed = false;       // ... and they were placed already

function setFetching(on) {
  fetching = on;
  if (!on) fetchRunning = false;
  $('btnFetch').disabled = on;
}

function updatePlaceButton() {
  $('btnPlace').disabled = !hasData || placing || fetching;
}

$('btnFetch').addEventListener('click', function () {
  if (fetching) return;
  var layers = tickedLayers();
  if (!layers.length) {
    setStatus('Zaznacz co najmniej jedną warstwę do pobrania.', true);
    return;
  }
  setFetching(true);
  hasData = false;
  updatePlaceButton();
  setStep(1, 'active');
  setStep(2, null);
  showChips({});
  setProgress(2);
  setStatus('Pobieram warstwy…');
  var b = map.getBounds();
  GISBridge.send('fetch', {
    bboxWgs84: [b.getWest(), b.getSouth(), b.getEast(), b.getNorth()],
    layers: layers,
    rasterScale: parseInt($('rasterScale').value, 10),
    terrainStep: parseInt($('terrainStep').value, 10),
    terenChmuraKrok: parseFloat($('terenChmuraKrok').value),
    poziomiceCiecie: parseFloat($('poziomiceCiecie').value),
    poziomiceWygladz: $('poziomiceWygladz').checked
  });
});

$('btnPlace').addEventListener('click', function () {
  if (placing || !hasData) return;
  if (placed && !window.confirm('Te dane są już w projekcie. Dodać je jeszcze raz?\n' +
                                'Wszystkie elementy powstaną drugi raz.')) return;
  placing = true;
  updatePlaceButton();
  setStep(2, 'active');
  setStatus('Dodaję do projektu…');
  GISBridge.send('place', {});
});

$('btnCancel').addEventListener('click', function () {
  GISBridge.send('cancel');
  this.disabled = true;
  this.textContent = 'Anulowanie…';
});

$('btnOrigin').addEventListener('click', function () {
  var c = map.getCenter();
  GISBridge.send('setOrigin', {lat: c.lat, lon: c.lng});
});

$('btnLayers').addEventListener('click', function () { GISBridge.send('getLayers'); });

// ---- Layer mapping ----
var NEW_LAYER = '__new__';

function addLayerOption(select, name, isNew, before) {
  var opt = document.createElement('option');
  opt.value = name;
  opt.textContent = isNew ? name + ' (nowa)' : name;
  select.insertBefore(opt, before || null);
  return opt;
}

function openMapping(msg) {
  var rows = $('mappingRows');
  rows.textContent = '';
  var layers = msg.layers || [];
  var mapping = msg.mapping || {};
  MAPPING_TYPES.forEach(function (t) {
    var key = t[0];
    var row = document.createElement('div');
    row.className = 'row';
    var label = document.createElement('span');
    label.textContent = t[1];
    var select = document.createElement('select');
    select.dataset.key = key;
    layers.forEach(function (name) { addLayerOption(select, name, false); });
    var newOpt = document.createElement('option');
    newOpt.value = NEW_LAYER;
    newOpt.textContent = '➕ nowa warstwa…';
    select.appendChild(newOpt);
    var mapped = mapping[key];
    if (mapped) {
      if (layers.indexOf(mapped) < 0) addLayerOption(select, mapped, true, newOpt);
      select.value = mapped;
    }
    select.dataset.previous = select.value;
    select.addEventListener('change', function () {
      if (select.value !== NEW_LAYER) {
        select.dataset.previous = select.value;
        return;
      }
      var name = window.prompt('Nazwa nowej warstwy:', 'GIS_' + key.toUpperCase());
      name = name === null ? '' : name.trim();
      if (!name) {
        select.value = select.dataset.previous;
        return;
      }
      var existing = Array.prototype.find.call(select.options, function (o) { return o.value === name; });
      (existing || addLayerOption(select, name, true, newOpt)).selected = true;
      select.dataset.previous = name;
    });
    row.appendChild(label);
    row.appendChild(select);
    rows.appendChild(row);
  });
  $('mapping').classList.remove('hidden');
}

$('btnMappingClose').addEventListener('click', function () { $('mapping').classList.add('hidden'); });
$('btnMappingSave').addEventListener('click', function () {
  var mapping = {};
  document.querySelectorAll('#mappingRows select').forEach(function (s) {
    if (s.value && s.value !== NEW_LAYER) mapping[s.dataset.key] = s.value;
  });
  GISBridge.send('settingsChanged', {mapping: mapping});
  $('mapping').classList.add('hidden');
  setStatus('Ustawienia zapisane');
});

// Links open outside the palette, through the add-on.
document.addEventListener('click', function (ev) {
  var a = ev.target && ev.target.closest ? ev.target.closest('a[href]') : null;
  if (!a) return;
  var url = a.getAttribute('href');
  if (/^https?:\/\//i.test(url)) {
    ev.preventDefault();
    GISBridge.send('openExternal', {url: url});
  }
}, true);

// ---- Messages from the add-on ----
var lastCounts = {};

GISBridge.listen({
  pong: function (msg) {
    setStatus('Połączono z ArchiCAD ✓');
    $('version').textContent = msg.wersja ? 'v' + msg.wersja : 'build ' + msg.build;
  },
  init: function (msg) {
    if (viewRestored) return;  // a reloaded page stays where the user was
    if (msg.lat != null && msg.lon != null) map.setView([msg.lat, msg.lon], msg.zoom || 16);
  },
  addressResults: function (msg) {
    if (msg.lat != null && msg.lon != null) {
      map.setView([msg.lat, msg.lon], 17);
      setStatus(msg.label || '');
    } else {
      setStatus('Nie znaleziono adresu', true);
    }
  },
  addressSuggestions: function (msg) {
    suggestCache[msg.query] = msg.items || [];
    if (msg.query === $('addr').value.trim()) showSuggestions(msg.items || []);
  },
  progress: function (msg) {
    if (msg.total > 0 && msg.done != null) {
      var percent = Math.round(100 * msg.done / msg.total);
      setStatus((msg.label || 'Pobieranie') + ' — ' + percent + '%');
      setProgress(percent);
    } else {
      setStatus(msg.label || 'Pobieranie…');
      setProgress(5);
    }
    if (!fetching) setFetching(true);  // also after a reload while the add-on still fetches
    fetchRunning = true;
    updatePlaceButton();
    var cancel = $('btnCancel');
    if (msg.cancellable === true) {
      cancel.classList.remove('hidden');
    } else {
      cancel.classList.add('hidden');
      cancel.disabled = false;
      cancel.textContent = 'Anuluj';
    }
  },
  fetchDone: function (msg) {
    var counts = msg.counts || {};
    var anything = Object.keys(counts).length > 0;
    setFetching(false);
    hasData = anything;
    placed = false;
    updatePlaceButton();
    var geojson = msg.geojson;
    if (typeof geojson === 'string') {
      try { geojson = JSON.parse(geojson); } catch (e) { geojson = null; }
    }
    preview.clearLayers();
    if (geojson) preview.addData(geojson);
    progressOff();
    lastCounts = counts;
    showChips(counts, false);
    setStep(1, anything ? 'done' : null);
    setStep(2, anything ? 'active' : null);
    if (msg.warning) setStatus(notesText(msg.warning), !anything);
    else if (anything) setStatus('Pobrano — sprawdź podgląd i kliknij „2. Dodaj do projektu”');
    else setStatus('Nic nie pobrano dla tego obszaru', true);
  },
  placeDone: function (msg) {
    placing = false;
    placed = true;
    updatePlaceButton();
    progressOff();
    showChips(lastCounts, true);
    setStep(2, 'done');
    setStatus('Dodano do projektu' + (msg.warning ? ' — uwagi w Raporcie (Okno → Palety → Raport)' : ''));
  },
  originSet: function (msg) {
    var epsg = msg.epsg || 2180;
    var crs = epsg >= 2176 && epsg <= 2179 ? 'PL-2000 strefa ' + (epsg - 2171) + ', EPSG:' + epsg : 'EPSG:' + epsg;
    var text = 'Lokalizacja projektu ustawiona: E=' + Math.round(msg.e) + ' N=' + Math.round(msg.n) + ' (' + crs + ')';
    if (msg.h != null && msg.h !== 0) text += ', H=' + Math.round(msg.h) + ' m n.p.m. (PL-EVRF2007-NH)';
    setStatus(text);
  },
  layerList: openMapping,
  error: function (msg) {
    setStatus(msg.msg || 'Błąd', true);
    // A refused fetch never reports progress; one that runs ends with "fetchDone" and keeps its progress.
    if (fetching && !fetchRunning) setFetching(false);
    if (!fetching) progressOff();
    placing = false;
    updatePlaceButton();
  },
  cancelled: function () {
    setStatus('Anulowano');
    progressOff();
  },
  noop: function () {}
});

GISBridge.send('ping');
GISBridge.send('getInit');
