// The timeline page around the data. The chart draws only what is in view and folds marks that
// would sit closer than a few pixels into one numbered mark, so a run of 10^5 events pans and
// zooms as quickly as a short one. States are told apart by pattern and by their written name,
// not by colour alone.
#include "device/timeline/timeline_page.h"

namespace device::timeline {

const char* const kPageHead = R"PAGE(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; style-src 'unsafe-inline'; script-src 'unsafe-inline'; img-src data:">
<meta name="viewport" content="width=device-width, initial-scale=1">
)PAGE";

const char* const kPageStyle = R"PAGE(<style>
body { font: 14px/1.4 system-ui, sans-serif; margin: 0; color: #111; background: #fff; }
header { padding: 10px 16px 6px; border-bottom: 1px solid #ccc; }
h1 { font-size: 18px; margin: 0 0 2px; }
h2 { font-size: 15px; margin: 0 0 6px; }
#summary { margin: 0 0 6px; }
.controls { display: flex; gap: 6px; align-items: center; flex-wrap: wrap; }
button { font: inherit; padding: 3px 10px; border: 1px solid #555; border-radius: 4px;
  background: #f4f4f4; color: #111; cursor: pointer; }
button:focus-visible, #chart:focus-visible, .mark:focus-visible { outline: 3px solid #0050b3;
  outline-offset: 2px; }
#range { margin-left: 10px; font-variant-numeric: tabular-nums; }
#help { margin: 4px 0 0; color: #333; font-size: 13px; }
#chart { position: relative; overflow: hidden; padding: 4px 0; user-select: none; }
#timeline { display: block; cursor: grab; }
#timeline.dragging { cursor: grabbing; }
.lane-bg { fill: #fff; }
.lane-bg.odd { fill: #f3f5f8; }
.lane-name { font-size: 13px; font-weight: 600; fill: #111; }
.lane-count { font-size: 11px; fill: #444; }
.tick { stroke: #d5d9de; stroke-width: 1; }
.tick-text { font-size: 11px; fill: #333; font-variant-numeric: tabular-nums; }
.span { stroke: #333; stroke-width: 0.6; }
.span:hover { stroke-width: 2; }
.span-text { font-size: 11px; fill: #111; paint-order: stroke; stroke: #fff; stroke-width: 3px;
  stroke-linejoin: round; pointer-events: none; }
.busy { fill: url(#p-busy); stroke: #333; stroke-width: 0.6; }
.s-on { fill: #fff4b8; }
.s-off { fill: url(#p-off); }
.s-locked { fill: url(#p-locked); }
.s-unlocked { fill: #e3f2dc; }
.s-absent { fill: #fff; stroke-dasharray: 3 2; }
.s-hidden { fill: url(#p-hidden); }
.s-visible { fill: #cfe3f7; }
.s-front { fill: url(#p-front); }
.s-ac { fill: url(#p-ac); }
.s-battery { fill: #eef3e6; }
.s-offered { fill: url(#p-offered); }
.s-dialing { fill: url(#p-dialing); }
.s-connected { fill: #bfe6c3; }
.s-held { fill: url(#p-held); }
.s-unread { fill: #e6dcf5; }
.s-armed { fill: #d9d9d9; }
.mark { cursor: pointer; }
.mark > * { fill: #1d4f91; stroke: #fff; stroke-width: 1.2; }
.mark:hover > *, .mark:focus > * { stroke: #000; stroke-width: 2; }
.mark .count { fill: #fff; stroke: none; font-size: 10px; font-weight: 700; text-anchor: middle; }
.k-request > *, .k-handed > *, .k-wake > * { fill: #7a3e9d; }
.k-set > * { fill: #555; }
.k-kill > * { fill: #222; }
.k-fired > * { fill: #b35c00; }
.k-exit > * { fill: #6b4a00; }
.k-launch > * { fill: #1a6b2f; }
.k-warn > * { fill: #b35c00; }
.k-fail > .fail-dot { fill: #cc0000; stroke: #fff; }
.k-fail > .fail-x { stroke: #fff; stroke-width: 2.2; fill: none; }
.k-fail > .fail-text { fill: #cc0000; stroke: #fff; stroke-width: 3px; paint-order: stroke;
  font-size: 12px; font-weight: 700; }
.fail-rule { stroke: #cc0000; stroke-width: 1.5; stroke-dasharray: 5 3; pointer-events: none; }
#card { position: absolute; z-index: 5; max-width: 640px; background: #fffef5; color: #111;
  border: 1px solid #333; border-radius: 4px; padding: 6px 8px; box-shadow: 0 2px 8px #0004;
  font-size: 12px; pointer-events: none; }
#card .what { white-space: pre-wrap; font-weight: 600; margin-bottom: 4px; }
#card .fail { color: #a00000; }
#card pre, #trace-lines { font: 12px/1.35 ui-monospace, monospace; margin: 0; white-space: pre; }
#trace { padding: 8px 16px; border-top: 1px solid #ccc; }
#trace-lines { list-style: none; padding: 0; max-height: 360px; overflow: auto;
  border: 1px solid #ccc; background: #fafafa; }
#trace-lines li { padding: 0 6px; }
#trace-lines li.at { background: #fff4b8; }
#trace-lines li.hit { background: #ffd9a0; font-weight: 700; }
#trace-lines li.hit::before { content: "\25B6 "; }
#legend { padding: 6px 16px 12px; font-size: 13px; }
#legend ul { list-style: none; padding: 0; margin: 0; display: flex; flex-wrap: wrap; gap: 4px 16px; }
#legend svg { vertical-align: middle; margin-right: 4px; }
</style>
)PAGE";

const char* const kPageBody =
    R"PAGE(<svg width="0" height="0" aria-hidden="true" style="position:absolute">
<defs>
<pattern id="p-off" width="6" height="6" patternUnits="userSpaceOnUse" patternTransform="rotate(45)"><rect width="6" height="6" fill="#3b3f46"/><line x1="0" y1="0" x2="0" y2="6" stroke="#8a9099" stroke-width="2"/></pattern>
<pattern id="p-locked" width="8" height="8" patternUnits="userSpaceOnUse"><rect width="8" height="8" fill="#d8cdf0"/><path d="M0,0L8,8M8,0L0,8" stroke="#5b4b8a" stroke-width="1.2"/></pattern>
<pattern id="p-hidden" width="6" height="6" patternUnits="userSpaceOnUse"><rect width="6" height="6" fill="#eceff2"/><circle cx="3" cy="3" r="1" fill="#6d7680"/></pattern>
<pattern id="p-front" width="6" height="6" patternUnits="userSpaceOnUse"><rect width="6" height="6" fill="#8fbbea"/><line x1="0" y1="3" x2="6" y2="3" stroke="#1d4f91" stroke-width="1.4"/></pattern>
<pattern id="p-ac" width="6" height="6" patternUnits="userSpaceOnUse"><rect width="6" height="6" fill="#cfeccb"/><line x1="3" y1="0" x2="3" y2="6" stroke="#2e7d32" stroke-width="1.4"/></pattern>
<pattern id="p-offered" width="6" height="6" patternUnits="userSpaceOnUse" patternTransform="rotate(-45)"><rect width="6" height="6" fill="#ffd8a8"/><line x1="0" y1="0" x2="0" y2="6" stroke="#b35c00" stroke-width="2"/></pattern>
<pattern id="p-dialing" width="6" height="6" patternUnits="userSpaceOnUse"><rect width="6" height="6" fill="#ffe9cc"/><circle cx="3" cy="3" r="1.3" fill="#b35c00"/></pattern>
<pattern id="p-held" width="8" height="8" patternUnits="userSpaceOnUse"><rect width="8" height="8" fill="#fff1a8"/><path d="M0,4H8M4,0V8" stroke="#8a7000" stroke-width="1"/></pattern>
<pattern id="p-busy" width="4" height="4" patternUnits="userSpaceOnUse"><rect width="4" height="4" fill="#999"/><rect width="2" height="2" fill="#444"/></pattern>
</defs>
</svg>
<header>
<h1 id="title">Timeline</h1>
<p id="summary"></p>
<div class="controls" role="toolbar" aria-label="Zoom and pan" aria-controls="chart">
<button type="button" id="zoom-in">+ Zoom in</button>
<button type="button" id="zoom-out">&minus; Zoom out</button>
<button type="button" id="pan-left">&#9664; Earlier</button>
<button type="button" id="pan-right">Later &#9654;</button>
<button type="button" id="fit">Whole run</button>
<span id="range" aria-live="polite"></span>
</div>
<p id="help">Keys on the chart: <kbd>+</kbd>/<kbd>&minus;</kbd> zoom, <kbd>&larr;</kbd>/<kbd>&rarr;</kbd> pan, <kbd>Home</kbd> the whole run, <kbd>Tab</kbd> from mark to mark, <kbd>Enter</kbd> shows the trace there, <kbd>Esc</kbd> closes the card. Mouse: the wheel zooms, dragging pans, a click shows the trace around that moment.</p>
</header>
<main>
<div id="chart" tabindex="0" role="group" aria-label="Timeline of the run; plus and minus zoom, arrows pan" aria-describedby="help">
<svg id="timeline" role="img" aria-label="Lanes over device time"></svg>
<div id="card" role="tooltip" hidden></div>
</div>
<section id="trace" aria-labelledby="trace-head">
<h2 id="trace-head">Trace: click a mark or a moment to see the lines around it</h2>
<ol id="trace-lines"></ol>
</section>
<section id="legend" aria-label="Legend"></section>
</main>
)PAGE";

const char* const kPageScript = R"PAGE((function () {
'use strict';
const LABEL_W = 190, AXIS_H = 30, PAD_R = 20, MARK_GAP = 8, MIN_VIEW = 5, AROUND = 12;
const STATES = [['on', 'display on'], ['off', 'display off'], ['locked', 'locked'],
  ['unlocked', 'unlocked'], ['absent', 'not running'], ['hidden', 'hidden'],
  ['visible', 'visible'], ['front', 'in front'], ['ac', 'external power'],
  ['battery', 'battery'], ['offered', 'call offered'], ['dialing', 'dialling'],
  ['connected', 'connected'], ['held', 'on hold'], ['unread', 'unread'],
  ['armed', 'timer armed'], ['busy', 'many short states']];
const STATE_NAME = Object.fromEntries(STATES);
const svg = document.getElementById('timeline');
const chart = document.getElementById('chart');
const card = document.getElementById('card');
const traceList = document.getElementById('trace-lines');
const traceHead = document.getElementById('trace-head');
const rangeOut = document.getElementById('range');

function pad(n, w) { return String(n).padStart(w, '0'); }
function fmt(ms, withMs) {
  ms = Math.max(0, Math.floor(ms));
  const text = pad(Math.floor(ms / 3600000), 2) + ':' + pad(Math.floor(ms / 60000) % 60, 2) +
    ':' + pad(Math.floor(ms / 1000) % 60, 2);
  return withMs ? text + '.' + pad(ms % 1000, 3) : text;
}
function lineAt(i) {
  const k = DATA.lineText[i];
  return k >= 0 ? fmt(DATA.times[i], true) + ' ' + DATA.texts[k] : DATA.texts[-1 - k];
}
function duration(ms) {
  if (ms < 1000) return ms.toFixed(ms < 10 ? 1 : 0) + ' ms';
  if (ms < 60000) return (ms / 1000).toFixed(ms < 10000 ? 2 : 1) + ' s';
  if (ms < 3600000) return (ms / 60000).toFixed(1) + ' min';
  return (ms / 3600000).toFixed(2) + ' h';
}
function esc(s) {
  return String(s).replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;')
    .replace(/"/g, '&quot;');
}
// First index whose value is >= t (or > t when `after`).
function bound(arr, t, after) {
  let lo = 0, hi = arr.length;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    if (arr[mid] < t || (after && arr[mid] === t)) lo = mid + 1; else hi = mid;
  }
  return lo;
}

const lanes = DATA.lanes.map(function (l) {
  // Labels travel as numbers into the shared table of texts.
  for (const s of l.spans) s[3] = DATA.texts[s[3]];
  for (const m of l.marks) m[2] = DATA.texts[m[2]];
  const rows = [];
  for (let r = 0; r < Math.max(1, l.rows); r++) rows.push([]);
  for (const s of l.spans) rows[Math.min(s[5], rows.length - 1)].push(s);
  const multi = rows.length > 1;
  return { id: l.id, name: l.name, rows: rows, rowEnds: rows.map(r => r.map(s => s[1])),
    marks: l.marks, times: l.marks.map(m => m[0]), spanCount: l.spans.length,
    height: multi ? 30 + rows.length * 10 : 48, multi: multi };
});

let first = DATA.start, last = Math.max(DATA.end, DATA.start + 1000);
const margin = (last - first) * 0.01;
const full0 = Math.max(0, first - margin), full1 = last + margin;
let v0 = full0, v1 = full1, scale = 1, plotW = 800;
function xOf(t) { return LABEL_W + (t - v0) * scale; }

const STEPS = [1, 2, 5, 10, 20, 50, 100, 200, 500, 1e3, 2e3, 5e3, 1e4, 15e3, 3e4, 6e4, 12e4,
  3e5, 6e5, 9e5, 18e5, 36e5, 72e5, 108e5, 216e5, 432e5, 864e5];
function axis(out, height) {
  const want = (v1 - v0) * 90 / plotW;
  const step = STEPS.find(s => s >= want) || STEPS[STEPS.length - 1];
  const withMs = step < 1000;
  for (let t = Math.ceil(v0 / step) * step; t <= v1; t += step) {
    const x = xOf(t).toFixed(1);
    out.push('<line class="tick" x1="' + x + '" x2="' + x + '" y1="' + (AXIS_H - 6) + '" y2="' +
      height + '"/><text class="tick-text" x="' + x + '" y="' + (AXIS_H - 10) +
      '" text-anchor="middle">' + fmt(t, withMs) + '</text>');
  }
}

function spans(out, lane, li, y) {
  lane.rows.forEach(function (row, r) {
    const top = lane.multi ? y + 6 + r * 10 : y + 5, h = lane.multi ? 8 : 20;
    let bx0 = -1, bx1 = -1;
    function flush() {
      if (bx0 < 0) return;
      out.push('<rect class="busy" x="' + bx0.toFixed(1) + '" y="' + top + '" width="' +
        Math.max(1, bx1 - bx0).toFixed(1) + '" height="' + h + '"><title>many short states: ' +
        'zoom in</title></rect>');
      bx0 = -1;
    }
    const right = LABEL_W + plotW;
    for (let i = bound(lane.rowEnds[r], v0); i < row.length && row[i][0] <= v1; i++) {
      const s = row[i];
      const x0 = Math.max(xOf(s[0]), LABEL_W), x1 = Math.min(xOf(s[1]), right), w = x1 - x0;
      if (w < 2) {
        if (bx0 < 0 || x0 > bx1 + 1) { flush(); bx0 = x0; }
        bx1 = Math.max(bx1, x0 + Math.max(w, 1));
        continue;
      }
      flush();
      out.push('<rect class="span s-' + esc(s[2]) + '" data-lane="' + li + '" data-row="' + r +
        '" data-i="' + i + '" x="' + x0.toFixed(1) + '" y="' + top + '" width="' +
        w.toFixed(1) + '" height="' + h + '"/>');
      if (lane.multi) continue;
      const name = STATE_NAME[s[2]] || s[2];
      const text = s[3].length * 6.6 + 8 < w ? s[3] : name.length * 6.6 + 8 < w ? name : '';
      if (text) out.push('<text class="span-text" x="' + (x0 + 4).toFixed(1) + '" y="' +
        (top + 14) + '">' + esc(text) + '</text>');
    }
    flush();
  });
}

function shape(kind, n, label) {
  if (kind === 'fail') {
    const where = /:(\d+):/.exec(label);
    return '<circle class="fail-dot" r="7"/><path class="fail-x" d="M-3.5,-3.5L3.5,3.5M3.5,-3.5L-3.5,3.5"/>' +
      '<text class="fail-text" x="10" y="4">' + (n > 1 ? n + ' failed' : 'line ' + (where ? where[1] : '?')) + '</text>';
  }
  if (n > 1) {
    return '<circle r="' + (n > 99 ? 9 : 7) + '"/><text class="count" y="3.5">' +
      (n > 999 ? '1k+' : n) + '</text>';
  }
  switch (kind) {
    case 'request': case 'handed': case 'wake': case 'launch': return '<path d="M0,-6L6,5H-6Z"/>';
    case 'exit': case 'kill': return '<path d="M-6,-5H6L0,6Z"/>';
    case 'set': case 'counter': case 'info': return '<rect x="-4.5" y="-4.5" width="9" height="9"/>';
    case 'fired': case 'change': case 'switch': return '<path d="M0,-6L6,0L0,6L-6,0Z"/>';
    default: return '<circle r="5"/>';
  }
}

function marks(out, lane, li, y) {
  const ts = lane.times, my = y + lane.height - 13;
  let i = bound(ts, v0);
  const end = bound(ts, v1, true);
  while (i < end) {
    const x = xOf(ts[i]);
    let j = i + 1, kind = lane.marks[i][1];
    while (j < end && xOf(ts[j]) - x < MARK_GAP) {
      if (lane.marks[j][1] !== kind) kind = 'many';
      j++;
    }
    const n = j - i, m = lane.marks[i];
    const aria = n > 1 ? n + ' marks from ' + fmt(m[0], true) : fmt(m[0], true) + ' ' + m[2];
    out.push('<g class="mark k-' + esc(kind) + '" tabindex="0" role="button" data-lane="' + li +
      '" data-i="' + i + '" data-count="' + n + '" transform="translate(' + x.toFixed(1) + ',' +
      my + ')" aria-label="' + esc(aria) + '">' + shape(kind, n, m[2]) + '</g>');
    i = j;
  }
}

function render() {
  const width = Math.max(chart.clientWidth, 640);
  plotW = width - LABEL_W - PAD_R;
  scale = plotW / (v1 - v0);
  const height = AXIS_H + lanes.reduce((h, l) => h + l.height, 0) + 6;
  const out = [];
  let y = AXIS_H;
  lanes.forEach(function (lane, li) {
    out.push('<rect class="lane-bg' + (li % 2 ? ' odd' : '') + '" x="0" y="' + y + '" width="' +
      width + '" height="' + lane.height + '"/>');
    y += lane.height;
  });
  axis(out, height);
  y = AXIS_H;
  const rules = [];
  lanes.forEach(function (lane, li) {
    out.push('<g class="lane" id="lane-' + esc(lane.id) + '" data-lane="' + esc(lane.id) +
      '" data-marks="' + lane.marks.length + '" data-spans="' + lane.spanCount +
      '" role="group" aria-label="' + esc(lane.name + ', ' + lane.marks.length + ' marks') + '">' +
      '<text class="lane-name" x="10" y="' + (y + 20) + '">' + esc(lane.name) + '</text>' +
      '<text class="lane-count" x="10" y="' + (y + 36) + '">' + lane.marks.length +
      (lane.marks.length === 1 ? ' mark' : ' marks') + '</text>');
    spans(out, lane, li, y);
    marks(out, lane, li, y);
    out.push('</g>');
    if (lane.id === 'failures') {
      for (let i = bound(lane.times, v0); i < lane.times.length && lane.times[i] <= v1; i++) {
        const x = xOf(lane.times[i]).toFixed(1);
        rules.push('<line class="fail-rule" x1="' + x + '" x2="' + x + '" y1="' + AXIS_H +
          '" y2="' + (height - 4) + '"/>');
      }
    }
    y += lane.height;
  });
  svg.setAttribute('width', width);
  svg.setAttribute('height', height);
  svg.setAttribute('viewBox', '0 0 ' + width + ' ' + height);
  // Redrawing replaces the marks; keyboard users keep their place on the chart.
  const hadFocus = svg.contains(document.activeElement);
  svg.innerHTML = out.join('') + rules.join('');
  if (hadFocus) chart.focus();
  svg.dataset.start = String(Math.round(v0));
  svg.dataset.end = String(Math.round(v1));
  rangeOut.textContent = fmt(v0, true) + ' to ' + fmt(v1, true) + ' (' + duration(v1 - v0) + ')';
}

function setView(a, b) {
  let w = Math.min(Math.max(b - a, MIN_VIEW), full1 - full0);
  a = Math.min(Math.max(a, full0), full1 - w);
  v0 = a;
  v1 = a + w;
  hideCard();
  render();
}
function zoom(factor, at) {
  if (at === undefined) at = (v0 + v1) / 2;
  setView(at - (at - v0) * factor, at + (v1 - at) * factor);
}
function pan(fraction) { const w = v1 - v0; setView(v0 + w * fraction, v1 + w * fraction); }
function fit() { setView(full0, full1); }

// --- Hover card and trace panel ---------------------------------------------------------
function itemOf(el) {
  const mark = el.closest && el.closest('.mark');
  if (mark) {
    const lane = lanes[+mark.dataset.lane], i = +mark.dataset.i, n = +mark.dataset.count;
    return { lane: lane, time: lane.marks[i][0], marks: lane.marks.slice(i, i + n), el: mark };
  }
  const span = el.closest && el.closest('.span');
  if (span) {
    const lane = lanes[+span.dataset.lane], s = lane.rows[+span.dataset.row][+span.dataset.i];
    return { lane: lane, time: s[0], span: s, el: span };
  }
  return null;
}
function eventsOf(item) {
  if (item.span) return [item.span[4]];
  const ev = [];
  for (const m of item.marks) for (const e of m[3]) ev.push(e);
  return ev;
}
function showCard(item, px, py) {
  card.textContent = '';
  const what = document.createElement('div');
  what.className = 'what' + (item.lane.id === 'failures' ? ' fail' : '');
  if (item.span) {
    const s = item.span;
    what.textContent = item.lane.name + ': ' + s[3] + '\n' + fmt(s[0], true) + ' to ' +
      fmt(s[1], true) + ' (' + duration(s[1] - s[0]) + ')';
  } else {
    const shown = item.marks.slice(0, 6).map(m => fmt(m[0], true) + '  ' + m[2]);
    if (item.marks.length > 6) shown.push('and ' + (item.marks.length - 6) + ' more marks: zoom in');
    what.textContent = item.lane.name + (item.marks.length > 1 ? ' (' + item.marks.length + ' marks)' : '') +
      '\n' + shown.join('\n');
  }
  card.appendChild(what);
  const ev = eventsOf(item);
  if (ev.length) {
    const pre = document.createElement('pre');
    const lines = ev.slice(0, 14).map(lineAt);
    if (ev.length > 14) lines.push('... ' + (ev.length - 14) + ' more trace lines');
    pre.textContent = lines.join('\n');
    card.appendChild(pre);
  }
  card.hidden = false;
  const box = chart.getBoundingClientRect();
  let left = px - box.left + 14, top = py - box.top + 14;
  if (left + card.offsetWidth > box.width) left = Math.max(4, box.width - card.offsetWidth - 4);
  if (top + card.offsetHeight > box.height) top = Math.max(4, py - box.top - card.offsetHeight - 10);
  card.style.left = left + 'px';
  card.style.top = top + 'px';
}
function hideCard() { card.hidden = true; }

function showTrace(time, hits) {
  const hit = new Set(hits);
  const times = DATA.times;
  let at = bound(times, time);
  if (hits.length) at = hits.reduce((a, b) => Math.min(a, b));
  const from = Math.max(0, at - AROUND), to = Math.min(times.length, at + AROUND + 1);
  traceHead.textContent = 'Trace around ' + fmt(time, true) + ' (lines ' + (from + 1) + ' to ' +
    to + ' of ' + times.length + ')';
  traceList.textContent = '';
  let firstHit = null;
  for (let i = from; i < to; i++) {
    const li = document.createElement('li');
    li.textContent = lineAt(i);
    if (hit.has(i)) { li.className = 'hit'; firstHit = firstHit || li; }
    else if (times[i] === Math.floor(time)) li.className = 'at';
    traceList.appendChild(li);
  }
  if (!times.length) traceList.textContent = 'The trace is empty.';
  if (firstHit) traceList.scrollTop = Math.max(0, firstHit.offsetTop - traceList.clientHeight / 2);
}
function select(item) { showTrace(item.time, eventsOf(item)); }

// --- Input ------------------------------------------------------------------------------
let drag = null;
svg.addEventListener('mouseover', function (ev) {
  const item = itemOf(ev.target);
  if (item) showCard(item, ev.clientX, ev.clientY); else hideCard();
});
svg.addEventListener('mouseleave', hideCard);
svg.addEventListener('focusin', function (ev) {
  const item = itemOf(ev.target);
  if (!item) return;
  const r = item.el.getBoundingClientRect();
  showCard(item, r.right, r.bottom);
});
svg.addEventListener('focusout', hideCard);
svg.addEventListener('wheel', function (ev) {
  ev.preventDefault();
  const box = svg.getBoundingClientRect();
  const at = v0 + (ev.clientX - box.left - LABEL_W) / scale;
  zoom(ev.deltaY < 0 ? 0.8 : 1.25, Math.min(Math.max(at, v0), v1));
}, { passive: false });
svg.addEventListener('pointerdown', function (ev) {
  drag = { x: ev.clientX, a: v0, b: v1, moved: false };
});
window.addEventListener('pointermove', function (ev) {
  if (!drag) return;
  const dx = ev.clientX - drag.x;
  if (Math.abs(dx) > 3) { drag.moved = true; svg.classList.add('dragging'); }
  if (drag.moved) setView(drag.a - dx / scale, drag.b - dx / scale);
});
window.addEventListener('pointerup', function () {
  svg.classList.remove('dragging');
  setTimeout(function () { drag = null; }, 0);
});
svg.addEventListener('click', function (ev) {
  if (drag && drag.moved) return;
  const item = itemOf(ev.target);
  if (item) return select(item);
  const box = svg.getBoundingClientRect(), x = ev.clientX - box.left;
  if (x >= LABEL_W) showTrace(v0 + (x - LABEL_W) / scale, []);
});
chart.addEventListener('keydown', function (ev) {
  const keys = {
    '+': () => zoom(0.5), '=': () => zoom(0.5), '-': () => zoom(2), '_': () => zoom(2),
    'ArrowLeft': () => pan(-0.2), 'ArrowRight': () => pan(0.2), 'Home': fit, '0': fit,
    'Escape': hideCard
  };
  if (keys[ev.key]) { ev.preventDefault(); keys[ev.key](); return; }
  if (ev.key === 'Enter' || ev.key === ' ') {
    const item = itemOf(ev.target);
    if (item) { ev.preventDefault(); select(item); }
  }
});
document.getElementById('zoom-in').addEventListener('click', () => zoom(0.5));
document.getElementById('zoom-out').addEventListener('click', () => zoom(2));
document.getElementById('pan-left').addEventListener('click', () => pan(-0.2));
document.getElementById('pan-right').addEventListener('click', () => pan(0.2));
document.getElementById('fit').addEventListener('click', fit);
window.addEventListener('resize', render);

// --- Header and legend ------------------------------------------------------------------
document.getElementById('title').textContent = DATA.title + ': timeline';
document.getElementById('summary').textContent = DATA.passed + ' passed, ' + DATA.failed +
  ' failed; ' + DATA.lineText.length + ' trace lines from ' + fmt(DATA.start, true) + ' to ' +
  fmt(DATA.end, true) + ' device time';
const legend = document.getElementById('legend');
legend.innerHTML = '<h2>Legend</h2><ul>' + STATES.map(s => '<li><svg width="28" height="14">' +
  '<rect class="' + (s[0] === 'busy' ? 'busy' : 'span s-' + s[0]) +
  '" x="0.5" y="0.5" width="27" height="13"/></svg>' + esc(s[1]) + '</li>').join('') +
  '<li><svg width="16" height="14"><g class="mark" transform="translate(8,7)"><circle r="5"/></g></svg>event</li>' +
  '<li><svg width="16" height="14"><g class="mark k-request" transform="translate(8,7)"><path d="M0,-6L6,5H-6Z"/></g></svg>request, launch</li>' +
  '<li><svg width="16" height="14"><g class="mark k-exit" transform="translate(8,7)"><path d="M-6,-5H6L0,6Z"/></g></svg>exit, timer killed</li>' +
  '<li><svg width="16" height="14"><g class="mark k-fired" transform="translate(8,7)"><path d="M0,-6L6,0L0,6L-6,0Z"/></g></svg>change, timer fired</li>' +
  '<li><svg width="16" height="16"><g class="mark k-fail" transform="translate(8,8)"><circle class="fail-dot" r="7"/><path class="fail-x" d="M-3.5,-3.5L3.5,3.5M3.5,-3.5L-3.5,3.5"/></g></svg>failed expectation</li>' +
  '<li><svg width="20" height="16"><g class="mark" transform="translate(10,8)"><circle r="7"/><text class="count" y="3.5">5</text></g></svg>several marks: zoom in</li></ul>';
window.dvTimeline = { zoom: zoom, pan: pan, fit: fit, setView: setView, render: render };
render();
})();
)PAGE";

}  // namespace device::timeline
