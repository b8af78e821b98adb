// What the live dashboard and the HTML report share: the charts of the plant's series, the device
// table, and records shown with their unprintable bytes visible.
'use strict';
const Mimic = {};

Mimic.escape = (text) => String(text).replace(/[&<>"']/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;' })[c]);

// Record bytes arrive as code points 0-255; printable ASCII stays, every other byte is marked.
Mimic.bytesHtml = (bytes) => {
  let html = '';
  for (const ch of bytes) {
    const code = ch.codePointAt(0);
    if (code >= 0x20 && code < 0x7f) html += Mimic.escape(ch);
    else if (code === 0) html += '<span class="byte" title="NUL">\\0</span>';
    else html += `<span class="byte">\\x${code.toString(16).padStart(2, '0')}</span>`;
  }
  return html;
};

// The same as text: "\xNN" for every byte that is not printable ASCII, as the terminal writes it.
Mimic.bytesText = (bytes) => {
  let text = '';
  for (const ch of bytes) {
    const code = ch.codePointAt(0);
    text += code >= 0x20 && code < 0x7f ? ch : code === 0 ? '\\0' : `\\x${code.toString(16).padStart(2, '0')}`;
  }
  return text;
};

Mimic.clock = (seconds) => {
  const s = Math.floor(seconds);
  const h = Math.floor(s / 3600), m = Math.floor((s % 3600) / 60), r = s % 60;
  return (h ? h + ':' + String(m).padStart(2, '0') : m) + ':' + String(r).padStart(2, '0');
};

// A time axis names whole seconds only: an empty chart's axis runs from 0 to 1, and would read
// "0:00 0:00 0:00".
Mimic.secondTick = (value) => (Number.isInteger(value) ? Mimic.clock(value) : '');

// An axis's numbers as they are: the chart library's own labels go through Intl.NumberFormat, whose
// first use costs a page that has just opened a tenth of a second.
Mimic.tick = (value) => String(Math.round(value * 1000) / 1000);

const kColours = ['#2f6fde', '#c0392b', '#1f8a4c', '#d68910', '#8e44ad', '#16a085', '#7f8c8d', '#e84393', '#0c2461', '#6ab04c', '#b33939', '#218c74', '#ff9f1a'];

// Each chart: a title, and its lines made from the series' columns.
const kCharts = [
  { id: 'connected', title: 'Connected devices', lines: (s) => [['connected', s.connected]] },
  { id: 'records', title: 'Records sent per second', lines: (s) => [['records/s', Mimic.perSecond(s, s.sent)]] },
  { id: 'lateness', title: 'Lateness (ms)', lines: (s) => [['p50', s.p50], ['p99', s.p99], ['max', s.max]] },
  { id: 'faults', title: 'Faults per second by kind', lines: (s) => Object.keys(s.faults).map((k) => [k, Mimic.perSecond(s, s.faults[k])]) },
  { id: 'commands', title: 'Commands received per second', lines: (s) => [['commands/s', Mimic.perSecond(s, s.commands)]] },
  { id: 'connections', title: 'Disconnects and reconnects per second', lines: (s) => [['disconnects', Mimic.perSecond(s, s.disconnects)], ['reconnects', Mimic.perSecond(s, s.reconnects)]] },
];

const kChartOptions = {
  animation: false, parsing: false, normalized: true, maintainAspectRatio: false,
  elements: { point: { radius: 0 }, line: { borderWidth: 1.5 } },
  scales: { x: { type: 'linear', ticks: { callback: (v) => Mimic.secondTick(v), maxTicksLimit: 8 } }, y: { beginAtZero: true, ticks: { callback: Mimic.tick } } },
  plugins: { legend: { display: true, labels: { boxWidth: 10 } }, decimation: { enabled: true, algorithm: 'lttb', samples: 600 } },
};

Mimic.perSecond = (series, column) => column.map((value, i) => value / series.width[i]);

// The charts are made with their first points rather than empty: laying out an empty chart first
// would cost an opening page a second layout of each.
Mimic.Charts = class {
  constructor(container) {
    this.charts = kCharts.map((kind) => {
      const box = document.createElement('div');
      box.className = 'chart';
      box.innerHTML = `<b>${kind.title}</b><canvas id="chart-${kind.id}"></canvas>`;
      container.appendChild(box);
      return { kind, canvas: box.querySelector('canvas'), chart: null };
    });
  }

  // The points sit at the middle of their span of seconds.
  update(series) {
    const xs = series.second.map((second, i) => second + series.width[i] / 2);
    for (const shown of this.charts) {
      const datasets = shown.kind.lines(series).map(([label, ys], n) => ({
        label, borderColor: kColours[n % kColours.length], backgroundColor: kColours[n % kColours.length],
        data: xs.map((x, i) => ({ x, y: ys[i] })),
      }));
      if (shown.chart) {
        shown.chart.data.datasets = datasets;
        shown.chart.update('none');
      } else {
        shown.chart = new Chart(shown.canvas, { type: 'line', data: { datasets }, options: kChartOptions });
      }
    }
  }
};

const kColumns = [
  { key: 'name', title: 'name', text: (d) => d.name },
  { key: 'state', title: 'state', text: (d) => d.state },
  { key: 'value', title: 'temperature / switch', text: (d) => (d.model === 'thermo' ? Number(d.temperature).toFixed(2) : d.switch), sortBy: (d) => (d.model === 'thermo' ? d.temperature : d.switch === 'on' ? 1 : 0) },
  { key: 'profile', title: 'profile', text: (d) => d.profile || '' },
  { key: 'reports_sent', title: 'reports', text: (d) => d.reports_sent },
  { key: 'commands_received', title: 'commands', text: (d) => d.commands_received },
  { key: 'lateness_p99_ms', title: 'lateness p99', text: (d) => Number(d.lateness_p99_ms).toFixed(2) + ' ms' },
  { key: 'last_report_age', title: 'last record', text: (d) => (d.last_report_age === undefined ? '–' : Number(d.last_report_age).toFixed(1) + ' s ago'), sortBy: (d) => (d.last_report_age === undefined ? Infinity : d.last_report_age) },
];
const kRowHeight = 26;

// Only the rows in view are in the page, so that 10,000 devices scroll and filter at once.
Mimic.DeviceTable = class {
  constructor(container, onSelect) {
    this.container = container;
    this.onSelect = onSelect;
    this.devices = [];
    this.shown = [];
    this.sort = { key: 'name', up: true };
    this.filter = { text: '', model: '', state: '' };
    this.selected = null;
    container.innerHTML = '<div class="head">' + kColumns.map((c) => `<span data-key="${c.key}">${c.title}</span>`).join('') + '</div><div class="body"></div>';
    this.body = container.querySelector('.body');
    this.body.style.position = 'relative';
    container.querySelector('.head').addEventListener('click', (e) => this.sortBy(e.target.dataset.key));
    container.addEventListener('scroll', () => this.draw());
    this.body.addEventListener('click', (e) => {
      const row = e.target.closest('.row');
      if (row) { this.selected = row.dataset.name; this.draw(); this.onSelect(row.dataset.name); }
    });
  }

  setDevices(devices) { this.devices = devices; this.refresh(); }
  // The names of the rows drawn now, and fresher values for some of them, in place: the order stays
  // until the whole list comes again.
  drawnNames() { return [...this.body.querySelectorAll('.row')].map((row) => row.dataset.name); }
  updateSome(fresh) {
    const byName = new Map(fresh.map((d) => [d.name, d]));
    for (const d of this.devices) if (byName.has(d.name)) Object.assign(d, byName.get(d.name));
    this.draw();
  }
  setFilter(filter) { Object.assign(this.filter, filter); this.refresh(); }

  sortBy(key) {
    if (!key) return;
    this.sort = { key, up: this.sort.key === key ? !this.sort.up : true };
    this.refresh();
  }

  refresh() {
    const { text, model, state } = this.filter;
    const needle = text.toLowerCase();
    this.shown = this.devices.filter((d) => (!model || d.model === model) && (!state || d.state === state) &&
      (!needle || d.name.includes(needle) || (d.last_record || '').toLowerCase().includes(needle)));
    const column = kColumns.find((c) => c.key === this.sort.key);
    const value = column.sortBy || ((d) => d[column.key]);
    const sign = this.sort.up ? 1 : -1;
    const byName = (a, b) => (a.model === b.model ? a.serial - b.serial : a.model < b.model ? -1 : 1);
    this.shown.sort((a, b) => {
      if (column.key === 'name') return sign * byName(a, b);
      const x = value(a), y = value(b);
      return x === y ? byName(a, b) : (x < y ? -sign : sign);
    });
    this.body.style.height = this.shown.length * kRowHeight + 'px';
    this.draw();
  }

  draw() {
    const first = Math.max(0, Math.floor(this.container.scrollTop / kRowHeight) - 5);
    const last = Math.min(this.shown.length, first + Math.ceil(this.container.clientHeight / kRowHeight) + 10);
    let html = '';
    for (let i = first; i < last; ++i) {
      const d = this.shown[i];
      const cells = kColumns.map((c) => {
        const cls = c.key === 'state' ? ` class="state-${d.state.replace(' ', '-')}"` : '';
        return `<span${cls}>${Mimic.escape(c.text(d))}</span>`;
      }).join('');
      const selected = d.name === this.selected ? ' selected' : '';
      html += `<div class="row${selected}" data-name="${d.name}">${cells}</div>`;
    }
    this.body.innerHTML = html;
    // Placed through the style object: the page's policy takes no style attribute in markup.
    Array.from(this.body.children).forEach((row, k) => { row.style.top = `${(first + k) * kRowHeight}px`; });
  }
};

Mimic.tiles = (container, tiles) => {
  container.innerHTML = tiles.map(([label, value]) => `<div class="tile"><span class="muted">${Mimic.escape(label)}</span><b>${Mimic.escape(value)}</b></div>`).join('');
};
