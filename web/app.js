// The monitor wall in a browser: loads the status, the monitors and the
// latest events, then follows the live feed, and reconnects by itself (with
// a growing pause) when the controller goes away, re-reading everything once
// it is back. No library, nothing fetched from anywhere but the controller.
'use strict';

(() => {
  const TokenKey = 'kelvaro.token';
  const EventsShown = 10;
  const EventsKept = 50;         // what the live feed's hello carries
  const FirstRetryMs = 500;
  const LongestRetryMs = 10000;
  const IconCell = 80;           // the icon view's grid, in its pixels
  const SmallestPlacedTile = 100; // below this, placed tiles reflow as a grid

  // The application's own alarm images, by the alarm names the API gives.
  const AlarmIcons = {
    'NO SIGNAL': 'nosignal_alarm',
    'AUDIO MUTE': 'mute_alarm',
    'BLACK FIELD': 'black_alarm',
    'BLUE FIELD': 'blue_alarm',
    'IRE ALARM': 'ire_alarm',
    'RGB ALARM': 'rgb_alarm',
  };
  const LinkCaptions = { ok: 'Link OK', portLost: 'Port lost', busSilent: 'Bus silent' };

  const monitors = new Map(); // address -> monitor, as the API gives it
  let order = [];             // addresses in table order
  let events = [];            // {id, line}, oldest first, at most EventsKept
  let status = null;
  let socket = null;
  let retryMs = FirstRetryMs;
  let retryTimer = 0;
  let tokenWanted = null;     // a pending promise while the dialog is open

  const $ = (id) => document.getElementById(id);
  const wall = $('wall');

  // --- the token ---------------------------------------------------------

  function token() {
    try { return localStorage.getItem(TokenKey) || ''; } catch (e) { return ''; }
  }

  function askToken(refused) {
    if (tokenWanted)
      return tokenWanted;
    const dialog = $('token-dialog');
    $('token-reason').textContent = refused
      ? 'The controller refused this token. Enter the right one.'
      : 'This controller needs a token for reading.';
    $('token-input').value = '';
    tokenWanted = new Promise((resolve) => {
      $('token-form').onsubmit = () => {
        const entered = $('token-input').value.trim();
        try { localStorage.setItem(TokenKey, entered); } catch (e) { /* private mode: this session only */ }
        tokenWanted = null;
        resolve(entered);
      };
    });
    if (!dialog.open)
      dialog.showModal();
    return tokenWanted;
  }

  class AuthError extends Error {
    constructor(code) { super('HTTP ' + code); this.code = code; }
  }

  async function getJson(path) {
    const headers = { Accept: 'application/json' };
    const t = token();
    if (t)
      headers.Authorization = 'Bearer ' + t;
    const reply = await fetch(new URL(path, document.baseURI), { headers, cache: 'no-store' });
    if (reply.status === 401 || reply.status === 403)
      throw new AuthError(reply.status);
    if (!reply.ok)
      throw new Error('HTTP ' + reply.status);
    return reply.json();
  }

  // --- the connection ----------------------------------------------------

  function setConnected(connected, text) {
    document.body.dataset.connected = connected ? 'true' : 'false';
    $('connection').textContent = text;
  }

  function scheduleRetry() {
    clearTimeout(retryTimer);
    const wait = retryMs;
    retryMs = Math.min(retryMs * 2, LongestRetryMs);
    setConnected(false, 'Reconnecting in ' + Math.ceil(wait / 1000) + ' s…');
    retryTimer = setTimeout(connect, wait);
  }

  // Reads everything, then opens the live feed; its hello replaces what was
  // read, so that a reconnect never keeps anything stale.
  async function connect() {
    clearTimeout(retryTimer);
    setConnected(false, 'Connecting…');
    try {
      const s = await getJson('api/status');
      // Only the events the page keeps, not the controller's whole backlog.
      const since = Math.max(0, (Number(s.lastEvent) || 0) - EventsKept);
      const [m, e] = await Promise.all([getJson('api/monitors'), getJson('api/events?since=' + since)]);
      resync(s, m.monitors, e.events);
    } catch (error) {
      if (error instanceof AuthError) {
        const hadToken = token() !== '';
        setConnected(false, 'Token needed');
        await askToken(hadToken && error.code === 403);
        connect();
      } else {
        scheduleRetry();
      }
      return;
    }
    openSocket();
  }

  function openSocket() {
    const url = new URL('api/live', document.baseURI);
    url.protocol = url.protocol === 'https:' ? 'wss:' : 'ws:';
    const t = token();
    if (t)
      url.searchParams.set('token', t);
    const ws = new WebSocket(url.href);
    socket = ws;
    ws.onmessage = (message) => {
      if (socket !== ws)
        return;
      let data;
      try { data = JSON.parse(message.data); } catch (e) { return; }
      receive(data);
    };
    ws.onclose = () => {
      if (socket !== ws)
        return;
      socket = null;
      scheduleRetry();
    };
  }

  function receive(data) {
    switch (data.type) {
    case 'hello':
      retryMs = FirstRetryMs;
      resync(data.status, data.monitors, data.events);
      setConnected(true, 'Live');
      break;
    case 'monitor':
      upsert(data.monitor);
      break;
    case 'removed':
      monitors.delete(data.address);
      order = order.filter((a) => a !== data.address);
      renderWall();
      break;
    case 'status':
      status = data.status;
      renderStatus();
      break;
    case 'event':
      addEvents([{ id: data.id, line: data.line }]);
      break;
    default:
      break; // a message of a newer server: not ours to read
    }
  }

  // --- the data ----------------------------------------------------------

  function resync(newStatus, list, newEvents) {
    status = newStatus;
    monitors.clear();
    order = [];
    for (const m of list || []) {
      monitors.set(m.address, m);
      order.push(m.address);
    }
    events = [];
    addEvents(newEvents || []);
    renderStatus();
    renderWall();
  }

  function upsert(m) {
    const known = monitors.has(m.address);
    monitors.set(m.address, m);
    if (!known)
      order.push(m.address);
    const placed = wall.dataset.layout === 'placed';
    const hasPosition = !!positionOf(m);
    // A new tile or a moved one changes the layout; anything else only
    // the tile.
    if (!known || placed !== layoutIsPlaced() || hasPosition)
      renderWall();
    else
      renderTile(m);
  }

  function addEvents(list) {
    const lastId = events.length ? events[events.length - 1].id : 0;
    for (const e of list)
      if (e.id > lastId)
        events.push({ id: e.id, line: String(e.line) });
    if (events.length > EventsKept)
      events = events.slice(-EventsKept);
    renderEvents();
  }

  // --- drawing -----------------------------------------------------------

  function renderStatus() {
    if (!status)
      return;
    const link = $('link');
    link.dataset.state = status.link;
    link.textContent = LinkCaptions[status.link] || String(status.link);
    if (status.link !== 'ok' && status.linkSince)
      link.title = 'Since ' + new Date(status.linkSince).toLocaleString();
    else
      link.removeAttribute('title');
    $('port').textContent = status.port || '';
    $('version').textContent = status.version ? 'v' + status.version : '';
    setCount('count-monitors', status.monitors);
    setCount('count-alarming', status.alarming);
    setCount('count-acknowledged', status.acknowledged);
    setCount('count-zombies', status.zombies);
  }

  function setCount(id, n) {
    const box = $(id);
    box.querySelector('.n').textContent = Number.isFinite(n) ? String(n) : '–';
    box.dataset.nonzero = n > 0 ? 'true' : 'false';
  }

  function renderEvents() {
    const list = $('events');
    list.textContent = '';
    const shown = events.slice(-EventsShown).reverse();
    for (const e of shown) {
      const item = document.createElement('li');
      item.textContent = e.line;
      item.dataset.id = e.id;
      if (/\[ALARM\]|ALARM</.test(e.line) && !/STATE\(NORMAL\)/.test(e.line))
        item.className = 'alarm';
      else if (/\[ERROR\]|ZOMBIE|LINK LOST|BUS SILENT/.test(e.line))
        item.className = 'fault';
      list.appendChild(item);
    }
  }

  // A saved position, or null when there is none or it is not a pair of
  // numbers.
  function positionOf(m) {
    const p = m && m.position;
    return p && Number.isFinite(p.x) && Number.isFinite(p.y) ? p : null;
  }

  function layoutIsPlaced() {
    return order.some((a) => positionOf(monitors.get(a)));
  }

  function tileFor(address) {
    let tile = wall.querySelector('.tile[data-address="' + address + '"]');
    if (!tile) {
      tile = document.createElement('article');
      tile.className = 'tile';
      tile.dataset.address = String(address);
      tile.innerHTML =
        '<div class="band"></div>' +
        '<header><span class="addr"></span><span class="serial"></span></header>' +
        '<div class="umd"><i class="lamp red"></i><span class="umd-text"></span><i class="lamp green"></i></div>' +
        '<div class="status"><span class="status-text"></span><span class="badge"></span></div>' +
        '<div class="icons"></div>';
    }
    return tile;
  }

  function renderTile(m) {
    const tile = tileFor(m.address);
    const alarming = !!m.alarming;
    const acknowledged = alarming && !!m.acknowledged;
    tile.dataset.alarm = alarming ? 'true' : 'false';
    tile.dataset.acknowledged = acknowledged ? 'true' : 'false';
    tile.dataset.zombie = m.zombie ? 'true' : 'false';
    tile.style.setProperty('--status', /^#[0-9a-fA-F]{6}$/.test(m.colour || '') ? m.colour : '#808080');
    tile.querySelector('.addr').textContent = String(m.address);
    tile.querySelector('.serial').textContent = m.serial || '';
    const umd = m.umd;
    const umdBox = tile.querySelector('.umd');
    umdBox.dataset.empty = umd ? 'false' : 'true';
    tile.querySelector('.umd-text').textContent = umd ? umd.text : '';
    tile.querySelector('.lamp.red').dataset.on = umd && umd.red ? 'true' : 'false';
    tile.querySelector('.lamp.green').dataset.on = umd && umd.green ? 'true' : 'false';
    // An alarm reads best by its names; the table's text stays as the tip.
    const statusText = tile.querySelector('.status-text');
    statusText.textContent = alarming && (m.alarms || []).length ? m.alarms.join(' · ') : (m.status || '');
    statusText.title = m.status || '';
    tile.querySelector('.badge').textContent = acknowledged ? 'ACK' : '';
    const icons = tile.querySelector('.icons');
    icons.textContent = '';
    for (const name of m.alarms || []) {
      const img = document.createElement('img');
      img.alt = name;
      img.title = name;
      img.src = 'icons/' + (AlarmIcons[name] || 'nosignal_alarm') + '.svg';
      icons.appendChild(img);
    }
    const label = 'Monitor ' + m.address + (m.serial ? ', ' + m.serial : '') + ': ' + (m.status || '')
      + (acknowledged ? ', acknowledged' : '');
    tile.setAttribute('aria-label', label);
    return tile;
  }

  // Places the tiles: as the icon view's saved layout when any monitor has a
  // position and the page is wide enough for it, else in table order.
  function renderWall() {
    const wanted = new Set(order.map(String));
    for (const tile of Array.from(wall.children))
      if (!wanted.has(tile.dataset.address))
        tile.remove();
    $('empty').hidden = order.length > 0;

    const tiles = order.map((a) => renderTile(monitors.get(a)));
    const placed = layoutIsPlaced() ? placements() : null;
    let cell = 0;
    if (placed) {
      const width = wall.parentElement.clientWidth;
      cell = Math.min(width / placed.columns, 260);
    }
    if (placed && cell >= SmallestPlacedTile) {
      wall.dataset.layout = 'placed';
      wall.style.height = Math.ceil(placed.rows * cell) + 'px';
      wall.style.width = Math.ceil(placed.columns * cell) + 'px';
      wall.style.setProperty('--cell', cell + 'px');
      tiles.forEach((tile, i) => {
        const p = placed.cells[i];
        tile.style.left = (p.x * cell) + 'px';
        tile.style.top = (p.y * cell) + 'px';
        if (tile.parentElement !== wall)
          wall.appendChild(tile);
      });
    } else {
      wall.dataset.layout = 'grid';
      wall.style.height = '';
      wall.style.width = '';
      // The saved layout's reading order when there is one, else the table's.
      const sequence = placed
        ? tiles.map((tile, i) => [tile, placed.cells[i]]).sort((a, b) => a[1].y - b[1].y || a[1].x - b[1].x).map((p) => p[0])
        : tiles;
      for (const tile of sequence) {
        tile.style.left = '';
        tile.style.top = '';
        wall.appendChild(tile); // moves it into place
      }
    }
  }

  // Each monitor's cell in icon-grid units, the top left cell at 0,0; those
  // without a saved position follow in a row below the others.
  function placements() {
    const positioned = order.map((a) => positionOf(monitors.get(a))).filter((p) => p);
    const minX = Math.min(...positioned.map((p) => p.x));
    const minY = Math.min(...positioned.map((p) => p.y));
    let columns = 1;
    let rows = 1;
    const cells = order.map((a) => {
      const p = positionOf(monitors.get(a));
      if (!p)
        return null;
      const c = { x: (p.x - minX) / IconCell, y: (p.y - minY) / IconCell };
      columns = Math.max(columns, c.x + 1);
      rows = Math.max(rows, c.y + 1);
      return c;
    });
    const spareRow = Math.ceil(rows);
    let next = 0;
    cells.forEach((c, i) => {
      if (c)
        return;
      cells[i] = { x: next % Math.max(1, Math.floor(columns)), y: spareRow + Math.floor(next / Math.max(1, Math.floor(columns))) };
      rows = Math.max(rows, cells[i].y + 1);
      ++next;
    });
    return { cells, columns, rows };
  }

  let resizeTimer = 0;
  window.addEventListener('resize', () => {
    clearTimeout(resizeTimer);
    resizeTimer = setTimeout(renderWall, 100);
  });

  connect();
})();
