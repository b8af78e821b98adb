// The live dashboard: polls the run's JSON, follows its event stream, and drives the devices through
// the same API that scripts use.
'use strict';

const $ = (id) => document.getElementById(id);
const kLargePlant = 2000;  // devices
const state = { series: null, devices: new Map(), panel: null, panelEvents: null, paused: false, log: [], held: [] };

async function api(method, path, body) {
  const init = { method, credentials: 'same-origin', headers: {} };
  if (body !== undefined) {
    init.headers['Content-Type'] = 'application/json';
    init.body = JSON.stringify(body);
  }
  const response = await fetch(path, init);
  const text = await response.text();
  let json = null;
  try { json = JSON.parse(text); } catch (e) { json = { error: text }; }
  return { status: response.status, json };
}

// The first answers, asked for before the charts are built, which takes the browser a while: the
// first render waits for both.
const early = new Map();
function askEarly(...paths) { for (const path of paths) early.set(path, api('GET', path)); }
function get(path) {
  const asked = early.get(path);
  early.delete(path);
  return asked || api('GET', path);
}

// The series arrive whole once, then only the seconds after the last one held.
function appendSeries(more) {
  if (!state.series || more.second.length === 0) {
    if (!state.series) state.series = more;
    return;
  }
  const s = state.series;
  const from = more.second[0];
  let keep = s.second.findIndex((second) => second >= from);
  if (keep < 0) keep = s.second.length;
  const kinds = new Set([...Object.keys(s.faults), ...Object.keys(more.faults)]);
  for (const key of Object.keys(more)) {
    if (key === 'faults') continue;
    s[key] = s[key].slice(0, keep).concat(more[key]);
  }
  for (const kind of kinds) {
    const old = (s.faults[kind] || new Array(s.second.length).fill(0)).slice(0, keep);
    while (old.length < keep) old.unshift(0);
    s.faults[kind] = old.concat(more.faults[kind] || new Array(more.second.length).fill(0));
  }
}

// When the page first shows the whole run: the charts and the device table, for the benchmark.
function markRendered() {
  if (window.mimicRendered === undefined && state.series && state.devices.size > 0) window.mimicRendered = performance.now();
}

async function pollHistory(charts) {
  const last = state.series && state.series.second.length ? state.series.second[state.series.second.length - 1] : -1;
  const { status, json } = await get(last < 0 ? '/history' : `/history?from=${last}`);
  if (status !== 200) return;
  const before = state.series ? state.series.second.length : -1;
  appendSeries(json);
  // The last point is asked for again each time; the charts are drawn only when one is added.
  if (state.series.second.length !== before) charts.update(state.series);
  markRendered();
}

// Per second over the last five seconds: a Thermo-Box reports every 1.5 s, so one second alone jumps.
function recentRate(column) {
  const s = state.series;
  if (!s || s.second.length === 0) return 0;
  const from = Math.max(0, s.second.length - 5);
  let count = 0, seconds = 0;
  for (let i = from; i < s.second.length; ++i) { count += s[column][i]; seconds += s.width[i]; }
  return Math.round(count / seconds * 10) / 10;
}

async function pollRun() {
  const { status, json } = await get('/run');
  if (status !== 200) return;
  const perSecond = recentRate('sent');
  const commands = recentRate('commands');
  const e = json.expectations;
  Mimic.tiles($('glance'), [
    ['running', Mimic.clock(json.elapsed)], ['seed', json.seed], ['connected', `${json.connected} of ${json.devices}`],
    ['records/s', perSecond], ['commands/s', commands], ['faults fired', json.faults],
    ['expectations', `${e.held} held · ${e.failed} failed · ${e.open} open`],
  ]);
}

async function pollDevices(table) {
  const { status, json } = await get('/devices');
  if (status !== 200) return;
  state.devices = new Map(json.map((d) => [d.name, d]));
  table.setDevices(json);
  $('device-count').textContent = `${json.length}`;
  markRendered();
}

async function pollDrawn(table) {
  const names = table.drawnNames();
  if (names.length === 0) return;
  const { status, json } = await api('GET', '/devices?names=' + encodeURIComponent(names.join(',')));
  if (status !== 200) return;
  table.updateSome(json);  // the table's devices are those of state.devices
}

function logLine(event) {
  const what = event.record !== undefined ? Mimic.bytesText(event.record) : Mimic.bytesText(event.reason || event.action || '');
  return `${event.t.toFixed(3)}  ${event.device}  ${event.event}${event.fault ? ' [' + event.fault + ']' : ''}  ${what}`;
}

function drawLog() {
  const needle = $('log-filter').value.toLowerCase();
  const lines = state.log.filter((line) => !needle || line.toLowerCase().includes(needle));
  $('log').textContent = lines.slice(-500).join('\n');
  $('log').scrollTop = $('log').scrollHeight;
  $('log-count').textContent = `${state.log.length} kept${state.paused ? `, ${state.held.length} waiting` : ''}`;
}

// At most once a frame, however many events arrive: the stream replays the run's events at once
// when the page opens (10,000 connects, for a large plant), and drawing after each froze the page.
function onceAFrame(draw) {
  let pending = false;
  return () => {
    if (pending) return;
    pending = true;
    requestAnimationFrame(() => { pending = false; draw(); });
  };
}

function followEvents(table) {
  const redrawLog = onceAFrame(drawLog);
  const redrawTable = onceAFrame(() => table.draw());
  const source = new EventSource('/events?reports=0&since=0');
  source.onopen = () => { $('status').textContent = 'live'; };
  source.onerror = () => { $('status').textContent = 'the run has ended or cannot be reached'; };
  source.onmessage = (message) => {
    const event = JSON.parse(message.data);
    // A switch the server flips shows at once, not at the next poll.
    if (event.event === 'received' && event.toggled && state.devices.has(event.device)) {
      const device = state.devices.get(event.device);
      device.switch = device.switch === 'on' ? 'off' : 'on';
      redrawTable();
      if (state.panel === event.device) showPanel(event.device);
    }
    (state.paused ? state.held : state.log).push(logLine(event));
    if (state.log.length > 5000) state.log.splice(0, state.log.length - 5000);
    if (!state.paused) redrawLog();
  };
}

function controlsHtml(d) {
  const row = (label, input, button) => `<label>${label}</label>${input}${button}`;
  const thermo = d.model === 'thermo';
  return `<div class="controls">
    ${thermo ? row('temperature', '<input id="c-temp" type="number" step="0.01" min="-30" max="150">', '<button data-do="temperature">Set</button>') : ''}
    ${thermo ? row('profile', '<input id="c-profile" value=\'{"kind": "sine", "mean": 40, "amplitude": 10, "period": 60}\'>', '<button data-do="profile">Set</button>') : ''}
    ${thermo ? '' : row('switch', '<select id="c-switch"><option>on</option><option>off</option><option>toggle</option></select>', '<button data-do="switch">Set</button>')}
    ${row('silence', '<input id="c-silence" type="number" value="5" min="0">', '<button data-do="silence">Silence</button>')}
    ${row('fault', '<input id="c-fault" value=\'{"kind": "split", "delay": 0.2}\'>', '<button data-do="fault">Inject</button>')}
  </div>
  <div class="filters">
    <button data-do="disconnect">Disconnect</button><button data-do="reset">Reset</button>
    <button data-do="reconnect">Reconnect</button><button data-do="remove">Remove</button>
  </div><div id="c-result" class="muted"></div>`;
}

function parsed(id) {
  try { return JSON.parse($(id).value); } catch (e) { return null; }
}

async function act(name, what) {
  const base = `/devices/${encodeURIComponent(name)}`;
  const requests = {
    temperature: () => api('PUT', base + '/temperature', { value: Number($('c-temp').value) }),
    profile: () => api('PUT', base + '/profile', parsed('c-profile')),
    switch: () => api('PUT', base + '/switch', { state: $('c-switch').value }),
    silence: () => api('POST', base + '/silence', { duration: Number($('c-silence').value) }),
    fault: () => api('POST', base + '/fault', parsed('c-fault')),
    disconnect: () => api('POST', base + '/disconnect', {}),
    reset: () => api('POST', base + '/reset', {}),
    reconnect: () => api('POST', base + '/reconnect', {}),
    remove: () => api('DELETE', base),
  };
  $('c-result').textContent = `${what}…`;
  const { status, json } = await requests[what]();
  const done = json && json.note ? `${what}: done; ${json.note}` : `${what}: done`;
  $('c-result').textContent = status < 300 ? done : `${what}: ${status} ${json.error || ''}`;
}

async function showPanel(name) {
  const panel = $('device-panel');
  const first = state.panel !== name;
  state.panel = name;
  const [one, history] = await Promise.all([api('GET', `/devices/${encodeURIComponent(name)}`), api('GET', `/devices/${encodeURIComponent(name)}/history`)]);
  if (one.status !== 200 || state.panel !== name) return;
  const d = one.json;
  if (first) {
    panel.hidden = false;
    panel.innerHTML = `<h2 id="p-title"></h2><div class="chart"><canvas id="p-chart"></canvas></div>
      <h2>Last records as sent</h2><div id="p-records" class="records"></div>${controlsHtml(d)}
      <h2>Events</h2><pre id="p-events" class="log"></pre>`;
    panel.querySelectorAll('[data-do]').forEach((b) => b.addEventListener('click', () => act(name, b.dataset.do)));
    if (state.panelChart) state.panelChart.destroy();
    state.panelChart = new Chart($('p-chart'), { type: 'line', data: { datasets: [] },
      options: { animation: false, parsing: false, maintainAspectRatio: false, elements: { point: { radius: 0 } },
        scales: { x: { type: 'linear', ticks: { callback: (v) => Mimic.secondTick(v) } } }, plugins: { legend: { display: false } } } });
    if (state.panelEvents) state.panelEvents.close();
    $('p-events').textContent = '';
    state.panelEvents = new EventSource(`/events?reports=0&since=0&device=${encodeURIComponent(name)}`);
    state.panelEvents.onmessage = (m) => { $('p-events').textContent += logLine(JSON.parse(m.data)) + '\n'; };
  }
  $('p-title').textContent = `${d.name} · ${d.state} · ${d.model === 'thermo' ? d.temperature.toFixed(2) + ' °C' : 'switch ' + d.switch}`;
  const reports = history.json;
  state.panelChart.data.datasets = [{ borderColor: '#2f6fde', stepped: d.model === 'relay', data: reports.map((r) => ({ x: r.t, y: r.value })) }];
  state.panelChart.update('none');
  // Newest first: the record just sent is where the eye goes.
  $('p-records').innerHTML = reports.filter((r) => r.bytes !== undefined).reverse().map((r) =>
    `<div>${r.t.toFixed(3)} ${r.fault ? `<span class="fault">[${Mimic.escape(r.fault)}]</span> ` : ''}${Mimic.bytesHtml(r.bytes)}</div>`).join('');
}

function wire(table) {
  $('filter-text').addEventListener('input', (e) => table.setFilter({ text: e.target.value }));
  $('filter-model').addEventListener('change', (e) => table.setFilter({ model: e.target.value }));
  $('filter-state').addEventListener('change', (e) => table.setFilter({ state: e.target.value }));
  $('log-filter').addEventListener('input', drawLog);
  $('log-pause').addEventListener('click', () => {
    state.paused = !state.paused;
    $('log-pause').textContent = state.paused ? 'Resume' : 'Pause';
    if (!state.paused) { state.log.push(...state.held); state.held = []; }
    drawLog();
  });
  $('add-form').addEventListener('submit', async (e) => {
    e.preventDefault();
    const form = new FormData(e.target);
    const serials = String(form.get('serials')).trim();
    const body = { model: form.get('model') };
    if (/^\d+$/.test(serials)) body.serial = Number(serials); else body.serials = serials;
    const { status, json } = await api('POST', '/devices', body);
    $('add-result').textContent = status === 201 ? `added ${json.length}` : `${status} ${json.error || ''}`;
  });
}

function start() {
  askEarly('/history', '/devices', '/run');
  const charts = new Mimic.Charts($('charts'));
  const table = new Mimic.DeviceTable($('device-table'), showPanel);
  wire(table);
  followEvents(table);
  const every = (ms, poll) => { const run = () => poll().catch(() => {}).finally(() => setTimeout(run, ms)); run(); };
  every(1000, () => pollHistory(charts));
  every(1000, pollRun);
  every(1000, async () => {
    await pollDevices(table);
    // A large plant's whole list is polled seldom: it costs the runner and the browser the most.
    // The rows in view are refreshed in between, by name.
    if (state.devices.size > kLargePlant) await new Promise((r) => setTimeout(r, 9000));
  });
  every(2000, async () => { if (state.devices.size > kLargePlant) await pollDrawn(table); });
  every(1000, async () => { if (state.panel) await showPanel(state.panel); });
}

start();
