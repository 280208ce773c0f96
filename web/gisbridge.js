/* The bridge between a page and the add-on, shared by both pages. */
'use strict';

// Messages to the add-on wait in a queue until its object "GIS" exists; messages from the add-on that come
// before the page has installed its handlers (a reloaded page gets its state back at once) wait for them.
var GISBridge = {
  _queue: [],
  _timer: null,
  _early: [],
  _listening: false,
  handlers: {},
  send: function (type, payload) {
    var msg = payload || {};
    msg.type = type;
    GISBridge._queue.push(msg);
    if (!GISBridge._flush() && !GISBridge._timer) {
      GISBridge._timer = setInterval(function () {
        if (GISBridge._flush()) {
          clearInterval(GISBridge._timer);
          GISBridge._timer = null;
        }
      }, 100);
    }
  },
  _flush: function () {
    if (typeof window.GIS === 'undefined' || !window.GIS || typeof window.GIS.postMessage !== 'function') return false;
    while (GISBridge._queue.length) window.GIS.postMessage(JSON.stringify(GISBridge._queue.shift()));
    return true;
  },
  receive: function (msg) {
    if (!GISBridge._listening) {
      GISBridge._early.push(msg);
      return;
    }
    var handler = msg && GISBridge.handlers[msg.type];
    if (handler) handler(msg);
    else console.warn('GISBridge: brak obsługi wiadomości', msg);
  },
  // Installs the page's handlers and hands them what came before.
  listen: function (handlers) {
    GISBridge.handlers = handlers;
    GISBridge._listening = true;
    var early = GISBridge._early;
    GISBridge._early = [];
    early.forEach(function (msg) { GISBridge.receive(msg); });
  }
};

// A decimal comma in every number the pages show, as in the add-on's own texts.
function decimalText(value, digits) {
  return value.toFixed(digits).replace('.', ',');
}

// The map's view survives a reload of the page (in the tab's session storage). True when a view was restored:
// the page then keeps it instead of moving to the project's place once more.
function keepMapView(map, key) {
  var restored = false;
  try {
    var v = JSON.parse(sessionStorage.getItem(key) || 'null');
    if (v && isFinite(v[0]) && isFinite(v[1]) && isFinite(v[2])) {
      map.setView([v[0], v[1]], v[2]);
      restored = true;
    }
  } catch (e) { /* storage off */ }
  map.on('moveend', function () {
    var c = map.getCenter();
    try { sessionStorage.setItem(key, JSON.stringify([c.lat, c.lng, map.getZoom()])); } catch (e) { /* storage off */ }
  });
  return restored;
}
