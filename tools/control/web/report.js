// The HTML report: everything it shows is in the page's own data element, so that it opens from a
// file with no network.
'use strict';

function rows(table, head, lines) {
  const esc = Mimic.escape;
  table.innerHTML = '<tr>' + head.map((h) => `<th>${esc(h)}</th>`).join('') + '</tr>' +
    lines.map((cells) => '<tr>' + cells.map((c) => (typeof c === 'object' && c !== null ? `<td class="${c.cls}">${esc(c.text)}</td>` : `<td>${esc(c)}</td>`)).join('') + '</tr>').join('');
}

function startReport() {
  const data = JSON.parse(document.getElementById('data').textContent);
  const $ = (id) => document.getElementById(id);
  const failed = data.verdicts.filter((v) => !v.passed).length;
  const total = (column) => column.reduce((a, b) => a + b, 0);
  $('verdict-line').innerHTML = data.verdicts.length === 0 ? 'no expectations'
    : failed ? `<span class="fail">${failed} of ${data.verdicts.length} expectations failed</span>`
      : `<span class="pass">all ${data.verdicts.length} expectations held</span>`;
  Mimic.tiles($('glance'), [
    ['duration', Mimic.clock(data.duration)], ['seed', data.seed === null ? 'not known' : data.seed],
    ['devices', data.devices.length], ['reports sent', total(data.series.sent)],
    ['commands received', total(data.series.commands)], ['faults fired', Object.values(data.faults).reduce((a, b) => a + b, 0)],
  ]);
  rows($('facts'), ['', ''], [['command line', data.command_line], ['run', data.runs], ['start', data.start], ['end', data.end],
    ['duration', `${data.duration} s`], ['seed', data.seed === null ? 'not known' : data.seed]]);
  $('scenario').textContent = data.scenario || '(none)';
  rows($('verdicts'), ['result', 'device', 'expectation', 'seen'], data.verdicts.map((v) =>
    [{ cls: v.passed ? 'pass' : 'fail', text: v.passed ? 'held' : 'FAILED' }, v.device, v.expectation, v.detail]));
  new Mimic.Charts($('charts')).update(data.series);
  const table = new Mimic.DeviceTable($('device-table'), () => {});
  table.setDevices(data.devices);
  $('device-count').textContent = data.devices.length;
  $('filter-text').addEventListener('input', (e) => table.setFilter({ text: e.target.value }));
  $('filter-model').addEventListener('change', (e) => table.setFilter({ model: e.target.value }));
  $('filter-state').addEventListener('change', (e) => table.setFilter({ state: e.target.value }));
  rows($('faults'), ['kind', 'fired'], Object.entries(data.faults));
  const events = data.events.listed.map((e) => [e.kind, e.count]);
  if (data.events.others > 0) events.push([`${data.events.other_kinds} others`, data.events.others]);
  rows($('events'), ['kind', 'count'], events);
  window.mimicRendered = performance.now();
}
