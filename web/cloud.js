/* Velmora Cloud page: frame an area, estimate the points, download them as one E57 file. */
'use strict';

var ORTO = 'https://mapy.geoportal.gov.pl/wss/service/PZGIK/ORTO/WMS/StandardResolution';
var DETAILS = ['lekki', 'standard', 'full'];

function routed(url) {
  var base = window.GEODRAFT_SERVICES;
  if (!base) return url;
  var m = /^(https?):\/\/(.*)$/.exec(url);
  return m ? base.replace(/\/$/, '') + '/' + m[1] + '/' + m[2] : url;
}

function $(id) { return document.getElementById(id); }

var map = L.map('map', {minZoom: 4, maxZoom: 21}).setView([52.2297, 21.0122], 16);
var viewRestored = keepMapView(map, 'cloud_map_view');
L.tileLayer.wms(routed(ORTO), {layers: 'Raster', format: 'image/jpeg', maxZoom: 21}).addTo(map);

var downloading = false;
var overLimit = false;

function setStatus(text, isError) {
  $('status').textContent = text;
  $('status').classList.toggle('error', !!isError);
}

function frame() {
  var b = map.getBounds();
  return [b.getWest(), b.getSouth(), b.getEast(), b.getNorth()];
}

function detail() { return DETAILS[parseInt($('detail').value, 10)] || 'standard'; }

var estimateTimer = null;
function estimateSoon() {
  clearTimeout(estimateTimer);
  estimateTimer = setTimeout(function () {
    GISBridge.send('frameEstimate', {bboxWgs84: frame(), detail: detail()});
  }, 400);
}

function pointsText(points) {
  if (points >= 1000000) return decimalText(points / 1000000, 1) + ' mln pkt';
  if (points >= 1000) return Math.round(points / 1000) + ' tys. pkt';
  return points + ' pkt';
}

function startDownload() {
  downloading = true;
  $('btnDownload').disabled = true;
  $('btnCancel').classList.remove('hidden');
}

function endDownload(text, isError) {
  downloading = false;
  // A bar left part-way would say the work still runs.
  $('progressBar').style.width = isError ? '0%' : '100%';
  $('btnCancel').classList.add('hidden');
  $('btnCancel').textContent = 'Anuluj';
  $('btnCancel').disabled = false;
  $('btnDownload').disabled = overLimit;
  setStatus(text, isError);
}

map.on('moveend', estimateSoon);
// The quality survives a reload like the view.
try {
  var keptDetail = sessionStorage.getItem('cloud_detail');
  if (keptDetail !== null) $('detail').value = keptDetail;
} catch (e) { /* storage off */ }
$('detail').addEventListener('input', function () {
  try { sessionStorage.setItem('cloud_detail', this.value); } catch (e) { /* storage off */ }
  estimateSoon();
});

$('btnDownload').addEventListener('click', function () {
  GISBridge.send('download', {bboxWgs84: frame(), detail: detail()});
  startDownload();
  setStatus('Pobieram chmurę punktów…');
});

$('btnCancel').addEventListener('click', function () {
  GISBridge.send('cancel', {});
  this.textContent = 'Anulowanie…';
});

$('btnOrigin').addEventListener('click', function () {
  var c = map.getCenter();
  GISBridge.send('setOrigin', {lat: c.lat, lon: c.lng});
});

GISBridge.listen({
  pong: function () { $('connection').textContent = 'Połączono z ArchiCAD ✓'; },
  init: function (msg) {
    if (viewRestored) return;  // a reloaded page stays where the user was
    if (typeof msg.lat === 'number' && typeof msg.lon === 'number') {
      map.setView([msg.lat, msg.lon], typeof msg.zoom === 'number' ? msg.zoom : map.getZoom());
    }
  },
  estimateDone: function (msg) {
    overLimit = !!msg.overLimit;
    var text = '~' + pointsText(msg.points || 0) + ' · ~' + Math.round(msg.sizeMB || 0) + ' MB';
    if (msg.density) text += ' · ' + String(msg.density).replace('.', ',') + ' pkt/m²';
    if (overLimit) text += ' — przekroczono limit, zmniejsz kadr lub jakość';
    $('estimate').textContent = text;
    $('estimate').classList.toggle('over', overLimit);
    $('btnDownload').disabled = downloading || overLimit;
  },
  progress: function (msg) {
    if (!downloading) startDownload();  // a page reloaded while the add-on downloads
    var hasPct = typeof msg.pct === 'number';
    setStatus((msg.label || 'Pobieranie') + (hasPct ? ' — ' + Math.round(msg.pct) + '%' : '…'));
    if (hasPct) $('progressBar').style.width = Math.max(0, Math.min(100, msg.pct)) + '%';
  },
  downloadDone: function (msg) {
    var ok = msg.ok !== false;
    endDownload(msg.msg || (ok ? 'Pobrano chmurę punktów' : 'Nie udało się pobrać chmury'), !ok);
  },
  error: function (msg) {
    if (downloading) setStatus(msg.msg || 'Błąd', true);
    else endDownload(msg.msg || 'Błąd', true);
  },
  originSet: function (msg) { console.log('originSet', msg); },
  cancelled: function (msg) { console.log('cancelled', msg); }
});

GISBridge.send('ping');
GISBridge.send('getInit');
GISBridge.send('frameEstimate', {bboxWgs84: frame(), detail: detail()});
