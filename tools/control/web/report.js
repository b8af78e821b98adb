// The HTML report: everything it shows is in the page's own data element, so that it opens from a
// file with no network.
'use strict';

function rows(table, head, lines) {
  const esc = Mimic.escape;
  table.innerHTML = '<tr>' + head.map((h) => `<th>${esc(h)}</th>`).join('') + '</tr>' +
    lines.map((cells) => '<tr>' + cells.map((c) => (typeof c === 'object' && c !== null ? `<td class="${c.cls}">${esc(c.text)}</td>` : `<td>${esc(c)}</td>`)).join('') + '</tr>').join('');
}

// The devices come as gzipped columns in base64: turned back into rows by the browser itself.
async function unpackDevices(text) {
  const bytes = Uint8Array.from(atob(text.trim()), (c) => c.charCodeAt(0));
  const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('gzip'));
  const c = JSON.parse(await new Response(stream).text());
  return c.serial.map((serial, i) => {
    const d = { name: `${c.model[i]}:${serial}`, model: c.model[i], serial, state: c.state[i],
      profile: c.profile[i] || '', reports_sent: c.reports_sent[i], commands_received: c.commands_received[i],
      lateness_p99_ms: c.lateness_p99_ms[i], connects: c.connects[i], missed: c.missed[i] };
    if (c.last_report_age[i] !== null) d.last_report_age = c.last_report_age[i];
    if (d.model === 'thermo') d.temperature = c.value[i]; else d.switch = c.value[i] ? 'on' : 'off';
    return d;
  });
}

function verdictRows(groups) {
  return groups.map((g) => {
    const listed = g.failures.map((f) => `${f.device} (${f.detail})`).join(', ');
    const more = g.failed > g.failures.length ? ` and ${g.failed - g.failures.length} more` : '';
    return [{ cls: g.failed ? 'fail' : 'pass', text: g.failed ? 'FAILED' : 'held' }, g.expectation, g.held, g.failed,
      listed + more];
  });
}

async function startReport() {
  const data = JSON.parse(document.getElementById('data').textContent);
  const $ = (id) => document.getElementById(id);
  const failed = data.verdicts.reduce((n, g) => n + g.failed, 0);
  const judged = data.verdicts.reduce((n, g) => n + g.held + g.failed, 0);
  const total = (column) => column.reduce((a, b) => a + b, 0);
  $('verdict-line').innerHTML = judged === 0 ? 'no expectations'
    : failed ? `<span class="fail">${failed} of ${judged} expectations failed</span>`
      : `<span class="pass">all ${judged} expectations held</span>`;
  Mimic.tiles($('glance'), [
    ['duration', Mimic.clock(data.duration)], ['seed', data.seed === null ? 'not known' : data.seed],
    ['devices', data.device_count], ['reports sent', total(data.series.sent)],
    ['commands received', total(data.series.commands)], ['faults fired', Object.values(data.faults).reduce((a, b) => a + b, 0)],
  ]);
  rows($('facts'), ['', ''], [['command line', data.command_line], ['run', data.runs], ['start', data.start], ['end', data.end],
    ['duration', `${data.duration} s`], ['seed', data.seed === null ? 'not known' : data.seed]]);
  $('scenario').textContent = data.scenario || '(none)';
  rows($('verdicts'), ['result', 'expectation', 'held', 'failed', 'failing devices'], verdictRows(data.verdicts));
  new Mimic.Charts($('charts')).update(data.series);
  rows($('faults'), ['kind', 'fired'], Object.entries(data.faults));
  const events = data.events.listed.map((e) => [e.kind, e.count]);
  if (data.events.others > 0) events.push([`${data.events.other_kinds} others`, data.events.others]);
  rows($('events'), ['kind', 'count'], events);
  const table = new Mimic.DeviceTable($('device-table'), () => {});
  $('device-count').textContent = data.device_count;
  $('filter-text').addEventListener('input', (e) => table.setFilter({ text: e.target.value }));
  $('filter-model').addEventListener('change', (e) => table.setFilter({ model: e.target.value }));
  $('filter-state').addEventListener('change', (e) => table.setFilter({ state: e.target.value }));
  window.mimicDevices = await unpackDevices($('devices').textContent);
  table.setDevices(window.mimicDevices);
  window.mimicRendered = performance.now();
}
