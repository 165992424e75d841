// The live page: the latest pulse from the event stream, the last 70 minutes from the history,
// today's figures from the state. Everything it loads comes from this meter.
'use strict';

const kMinutes = 70;
const kStateEveryMs = 10000;
const kDayEveryMs = 60000;
const byId = (id) => document.getElementById(id);
const history = { t: [], f: [], g: [] };
let charts = null;
let nominal = 0;
let bands = [];  // the grid's, mildest first
let bandsCharted = '';

function utcTime(seconds) {
  return uPlot.tzDate(new Date(seconds * 1e3), 'Etc/UTC');
}

function fixed(value, digits) {
  return value === null || value === undefined ? '–' : value.toFixed(digits);
}

function signed(value, digits) {
  return value === null || value === undefined ? '–' : (value >= 0 ? '+' : '') + value.toFixed(digits);
}

// ISO 8601 order, 24 hours, and the zone said: a reader in another zone is never misled.
function utcText(utc) {
  return utc ? utc.replace('T', ' ').replace(/\.\d+Z$/, ' UTC') : '';
}

function withLocalTime(element, utc) {
  element.textContent = utcText(utc);
  element.title = utc ? new Date(utc).toLocaleString() + ' local time' : '';
}

function limitsText(band) {
  return `${band.low_hz.toFixed(3)} to ${band.high_hz.toFixed(3)} Hz`;
}

// The most severe band the grid is outside of (the operators list them mildest first), or the
// mildest it is inside; outside the first is a warning, outside any later one an alarm.
function bandVerdict(outsideNames) {
  if (!bands.length) return { text: 'no bands known for this grid yet', level: '' };
  const outside = bands.filter((b) => outsideNames.includes(b.name));
  if (!outside.length) {
    return { text: `inside the ${bands[0].name} (${limitsText(bands[0])})`, level: 'ok' };
  }
  const worst = outside[outside.length - 1];
  return { text: `outside the ${worst.name} (${limitsText(worst)})`,
    level: worst === bands[0] ? 'warn' : 'alarm' };
}

function showBand(outsideNames) {
  const verdict = bandVerdict(outsideNames || []);
  byId('band').textContent = verdict.text;
  byId('band').className = `band ${verdict.level}`;
}

// A clock that is not kept to UTC costs accuracy: said in colour beside the uncertainty.
const kCostlyClocks = ['unsynchronised', 'never disciplined', 'slewing'];

function showTrust(pulse) {
  const u = pulse.frequency_uncertainty_hz;
  byId('trust').textContent = u === null || u === undefined ? '–' : `±${(u * 1e3).toFixed(1)} mHz`;
  byId('clock').textContent = pulse.clock ? `clock ${pulse.clock}` : '';
  byId('clock').className = kCostlyClocks.includes(pulse.clock) ? 'warn' : '';
}

function showLastEvent(text, utc) {
  byId('event').textContent = text;
  withLocalTime(byId('event-utc'), utc);
}

function showPulse(pulse) {
  byId('frequency').textContent = fixed(pulse.frequency_hz, 3);
  const deviationMilliHz = pulse.frequency_hz == null || !nominal
    ? null : Math.round((pulse.frequency_hz - nominal) * 1e3);
  byId('deviation').textContent = deviationMilliHz === null ? '–'
    : `${deviationMilliHz > 0 ? '+' : ''}${deviationMilliHz} mHz`;
  if (pulse.bands_outside) showBand(pulse.bands_outside);
  byId('grid-time').textContent = signed(pulse.grid_time_deviation_s, 3);
  withLocalTime(byId('grid-time-since'), pulse.grid_time_since);
  const anchored = utcText(pulse.grid_time_anchored);
  byId('grid-time-since').textContent = `s since ${byId('grid-time-since').textContent || '–'}` +
    (anchored ? `, anchored at ${anchored}` : '');
  byId('mean').textContent = fixed(pulse.mean_frequency_hz, 4);
  byId('count').textContent = pulse.count ?? '–';
  withLocalTime(byId('utc'), pulse.utc);
  showTrust(pulse);
  if (pulse.event) showLastEvent(pulse.event, pulse.utc);
}

// Hours and minutes in UTC, 24 hours; the date (ISO 8601) under the first tick of each day.
function utcTicks(u, splits, axis, space, increment) {
  let dayBefore = null;
  return splits.map((seconds) => {
    const iso = new Date(seconds * 1e3).toISOString();
    const day = iso.slice(0, 10);
    const clock = increment < 60 ? iso.slice(11, 19) : iso.slice(11, 16);
    const label = day === dayBefore ? clock : `${clock}\n${day}`;
    dayBefore = day;
    return label;
  });
}

function colour(name) {
  return getComputedStyle(document.documentElement).getPropertyValue(name).trim();
}

// uPlot draws its axes on a canvas, where the page's colours do not reach by themselves.
function axis(extra) {
  return { stroke: colour('--ink'), grid: { stroke: colour('--line'), width: 1 },
    ticks: { stroke: colour('--line'), width: 1 }, ...extra };
}

// Whole seconds at the finest: the pulses come a second apart.
const kTickSeconds = [1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 10800,
  21600, 43200, 86400];

function timeAxis() {
  return axis({ values: utcTicks, incrs: kTickSeconds, label: 'UTC', size: 50 });
}

function chartHeight() {
  return window.innerWidth < 576 ? 170 : 220;
}

// As many decimals as the ticks' spacing needs: a grid time that moves by microseconds shows them.
function tickValues(u, splits, axis, space, increment) {
  const digits = Math.min(6, Math.max(0, Math.ceil(-Math.log10(increment))));
  return splits.map((value) => value.toFixed(digits));
}

function chartOptions(title, unit, series, element) {
  return {
    title, width: element.clientWidth, height: chartHeight(), tzDate: utcTime,
    legend: { live: false },
    scales: { x: { time: true } },
    axes: [timeAxis(), axis({ label: unit, size: 70, values: tickValues })],
    series: [{}, ...series],
  };
}

function constant(value) {
  return history.t.map(() => value);
}

function frequencyData() {
  const low = bands.length ? bands[0].low_hz : null;
  const high = bands.length ? bands[0].high_hz : null;
  return [history.t, history.f, constant(nominal || null), constant(low), constant(high)];
}

function makeCharts() {
  const f = byId('frequency-chart');
  const g = byId('grid-time-chart');
  const bandLine = { stroke: '#d08a0b', dash: [6, 4], width: 1, points: { show: false } };
  const limit = (which) => (bands.length ? `${bands[0][which].toFixed(3)} Hz` : 'no band');
  bandsCharted = JSON.stringify(bands);
  charts = {
    frequency: new uPlot(chartOptions('Frequency', 'Hz', [
      { label: 'frequency (Hz)', stroke: '#0b6bcb', width: 1.5 },
      { label: `nominal ${nominal || '–'} Hz`, stroke: '#7a7a7a', dash: [2, 4], width: 1,
        points: { show: false } },
      { ...bandLine, label: limit('low_hz') }, { ...bandLine, label: limit('high_hz') }], f),
    frequencyData(), f),
    gridTime: new uPlot(chartOptions('Grid time deviation', 's', [
      { label: 'grid time deviation (s)', stroke: '#2f9e44', width: 1.5 }], g),
    [history.t, history.g], g),
  };
}

// The band's lines are named in the legend, so the chart is made again when the grid is known.
function redraw() {
  if (charts && bandsCharted !== JSON.stringify(bands)) {
    charts.frequency.destroy();
    charts.gridTime.destroy();
    charts = { ...charts, frequency: null, gridTime: null };
  }
  if (!charts || !charts.frequency) {
    const others = charts || {};
    makeCharts();
    charts = { ...others, ...charts };
    return;
  }
  charts.frequency.setData(frequencyData());
  charts.gridTime.setData([history.t, history.g]);
}

function keepLast70Minutes() {
  const from = history.t.length ? history.t[history.t.length - 1] - kMinutes * 60 : 0;
  let drop = 0;
  while (drop < history.t.length && history.t[drop] < from) drop++;
  for (const key of ['t', 'f', 'g']) history[key].splice(0, drop);
}

function addPulse(pulse) {
  if (pulse.frequency_hz === null || pulse.frequency_hz === undefined || !pulse.utc) return;
  history.t.push(Date.parse(pulse.utc) / 1e3);
  history.f.push(pulse.frequency_hz);
  history.g.push(pulse.grid_time_deviation_s);
  keepLast70Minutes();
  redraw();
}

function todayRows(today) {
  if (!today.readings) return [['Readings', '0'], ['Lost pulses', today.lost]];
  const at = (utc) => utc.replace(/^.*T/, '').replace(/\.\d+Z$/, ' UTC');
  return [
    ['Lowest', `${today.lowest_hz.toFixed(3)} Hz at ${at(today.lowest_utc)}`],
    ['Highest', `${today.highest_hz.toFixed(3)} Hz at ${at(today.highest_utc)}`],
    ['Mean', `${today.mean_hz.toFixed(4)} Hz`],
    ['Standard deviation', `${(today.standard_deviation_hz * 1e3).toFixed(1)} mHz`],
    // The grid's own standard range; a grid whose operators define none has no such row.
    ...(today.standard_range_hz == null ? [] : [[
      `Seconds outside ±${Math.round(today.standard_range_hz * 1e3)} mHz`,
      `${today.seconds_outside_standard_range} of ${today.readings}`]]),
    ['Lost pulses', today.lost],
  ];
}

function showToday(today) {
  const table = byId('today');
  table.replaceChildren(...todayRows(today).map(([name, value]) => {
    const row = document.createElement('tr');
    const th = document.createElement('th');
    const td = document.createElement('td');
    th.textContent = name;
    td.textContent = value;
    row.append(th, td);
    return row;
  }));
  showHistogram(today.histogram);
}

function showHistogram(histogram) {
  const element = byId('histogram-chart');
  if (!histogram) return;
  const x = histogram.today.map((_, i) => histogram.from_hz + i * histogram.bin_hz);
  const data = [x, histogram.today, histogram.yesterday || x.map(() => null)];
  if (charts && charts.histogram) {
    charts.histogram.setData(data);
    return;
  }
  const bars = uPlot.paths.bars({ size: [0.9, 20] });
  charts.histogram = new uPlot({
    title: 'Seconds at each frequency (10 mHz bins)', width: element.clientWidth, height: 200,
    legend: { live: false },
    scales: { x: { time: false } },
    axes: [axis({ label: 'Hz' }), axis({ label: 's', size: 60 })],
    series: [{}, { label: 'today', fill: '#0b6bcb80', stroke: '#0b6bcb', paths: bars },
      { label: 'yesterday', stroke: '#7a7a7a', width: 1 }],
  }, data, element);
}

function showEvents(events) {
  if (!events || !events.length) return;
  byId('events').replaceChildren(...events.map((event) => {
    const item = document.createElement('li');
    const time = document.createElement('time');
    withLocalTime(time, event.utc);
    item.append(time, ` ${event.text}`);
    return item;
  }));
}

// The machinery, for whoever asks how the figures were made.
function showMeter(state) {
  const meter = state.meter || {};
  const outputs = (meter.outputs || []).map((o) => `${o.name}: ${o.dropped} dropped`).join(', ');
  byId('meter').textContent = `${meter.device_up ? 'device up' : 'device away'} · ` +
    `${meter.timing || 'timing path not yet known'} · ${outputs}`;
  byId('grid-name').textContent = state.grid ? `${state.grid.replace(/-/g, ' ')} grid` +
    (nominal ? `, ${nominal} Hz` : '') : '';
}

async function fetchJson(path) {
  const response = await fetch(path, { cache: 'no-store' });
  if (!response.ok) throw new Error(`${path}: ${response.status}`);
  return response.json();
}

async function loadState() {
  const state = await fetchJson('/api/v1/state');
  nominal = state.nominal_hz || nominal;
  bands = state.bands && state.bands.length ? state.bands : bands;
  showPulse(state);
  showMeter(state);
  showEvents(state.events);
  // The latest event, even one from before the page was opened.
  if (state.events && state.events.length) showLastEvent(state.events[0].text, state.events[0].utc);
  if (charts) showToday(state.today);
}

// The minutes this meter has, but never less than an hour: a first minute is not a blank day.
function showMinutes(chart, data) {
  const times = data[0];
  if (!times.length) return;
  const last = times[times.length - 1];
  const first = Math.min(times[0], last - 3600);
  chart.setScale('x', { min: first, max: last + 60 });
}

// Each minute's lowest to highest frequency as a band around its mean, and the grid time.
async function loadDay() {
  const m = await fetchJson('/api/v1/minutes?hours=24');
  const data = [m.utc_s, m.lowest_hz, m.mean_hz, m.highest_hz, m.grid_time_deviation_s];
  if (charts && charts.day) {
    charts.day.setData(data);
    showMinutes(charts.day, data);
    return;
  }
  const element = byId('day-chart');
  const edge = { stroke: '#0b6bcb60', width: 1 };
  charts.day = new uPlot({
    title: 'Frequency: lowest, mean and highest of each minute; grid time deviation',
    width: element.clientWidth, height: chartHeight() + 20, tzDate: utcTime,
    legend: { live: false },
    scales: { x: { time: true }, s: {} },
    axes: [timeAxis(), axis({ label: 'Hz', size: 70, values: tickValues }),
      axis({ scale: 's', side: 1, label: 's', size: 70, values: tickValues, grid: { show: false } })],
    series: [{}, { label: 'lowest', ...edge }, { label: 'mean', stroke: '#0b6bcb', width: 1.5 },
      { label: 'highest', ...edge },
      { label: 'grid time deviation (s)', stroke: '#2f9e44', width: 1, scale: 's' }],
    bands: [{ series: [3, 1], fill: '#0b6bcb30' }],
  }, data, element);
  showMinutes(charts.day, data);
}

async function loadHistory() {
  const rows = await fetchJson(`/api/v1/history?minutes=${kMinutes}`);
  history.t = rows.utc_s;
  history.f = rows.frequency_hz;
  history.g = rows.grid_time_deviation_s;
  redraw();
}

// After a sleep or a dropped connection the stream resumes by itself; the history fills the gap.
function follow() {
  const stream = new EventSource('/api/v1/stream');
  stream.addEventListener('open', () => loadHistory().catch(() => {}));
  stream.addEventListener('message', (message) => {
    const pulse = JSON.parse(message.data);
    showPulse(pulse);
    addPulse(pulse);
  });
}

async function start() {
  await loadState().catch(() => {});
  await loadHistory().catch(() => {});
  await loadState().catch(() => {});
  await loadDay().catch(() => {});
  follow();
  setInterval(() => loadState().catch(() => {}), kStateEveryMs);
  setInterval(() => loadDay().catch(() => {}), kDayEveryMs);
  window.addEventListener('resize', () => {
    for (const chart of Object.values(charts || {})) {
      chart.setSize({ width: chart.root.parentElement.clientWidth, height: chart.height });
    }
  });
}

start();
