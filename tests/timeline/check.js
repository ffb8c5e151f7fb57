// Appended to the timeline page of tests/timeline/day.scn by tests/timeline_browser.sh; runs
// in headless Chromium after the page's own script and writes one "ok"/"not ok" line per check
// into <pre id="dv-check">, which the driver reads from the dumped DOM.
(function () {
  'use strict';
  const out = [];
  function check(name, good, detail) {
    out.push((good ? 'ok ' : 'not ok ') + name + (good ? '' : ': ' + detail));
  }
  function range() {
    const svg = document.getElementById('timeline');
    return [+svg.dataset.start, +svg.dataset.end];
  }
  function key(k) {
    document.getElementById('chart').dispatchEvent(
        new KeyboardEvent('keydown', { key: k, bubbles: true, cancelable: true }));
  }
  function laneMarks(id) {
    return Array.from(document.querySelectorAll('#lane-' + id + ' .mark'));
  }

  // What the day does, lane by lane:
  //  display   idle, on, idle, on: four power manager transitions
  //  lock      two locks and two unlocks, each a report to the daemon and its 32841 answer
  //            (the charger's delayed unlock request shares its millisecond with the report)
  //  slide     started hidden, in front, hidden, in front while locked, hidden for the call,
  //            in front again when it ended, hidden
  //  power     three unattended-mode requests and releases by the daemon (a standing request
  //            is not made twice), the call's request, two power-info changes
  //  calls     call 1 offered, its caller, connected, on hold, connected again, disconnected
  //            and ended, beside the daemon's call messages
  //  messages  missed call, the repeat-lock request it causes, SMS, e-mail
  //  timers    eleven armings of daemon timers, each set, fired and killed (32 marks: the
  //            two first armings share their "set" mark)
  //  programs  the boot's launches (one millisecond), fenk.exe started, fenk.exe ended
  //  failures  the expectation that fails on purpose
  const expected = { display: 4, lock: 8, slide: 6, power: 6, calls: 12, messages: 4,
    timers: 32, programs: 3, failures: 1 };
  for (const [id, count] of Object.entries(expected)) {
    const lane = document.getElementById('lane-' + id);
    if (!lane) { check('lane ' + id, false, 'missing'); continue; }
    check('lane ' + id + ' has ' + count + ' marks', +lane.dataset.marks === count,
          'data-marks=' + lane.dataset.marks);
    const drawn = laneMarks(id).reduce((n, m) => n + +m.dataset.count, 0);
    check('lane ' + id + ' draws every mark', drawn === count, 'drawn ' + drawn);
  }
  check('nine lanes', document.querySelectorAll('#timeline .lane').length === 9,
        document.querySelectorAll('#timeline .lane').length);
  check('state spans drawn',
        document.querySelectorAll('#lane-lock .s-locked').length === 2 &&
            document.querySelectorAll('#lane-calls .s-connected').length === 2,
        'locked ' + document.querySelectorAll('#lane-lock .s-locked').length);

  // The call's bars: one per state, labelled with the call and its caller, and none after the
  // call ended.
  const calls = DATA.lanes.find(l => l.id === 'calls');
  const bars = calls.spans.map(s => s[2] + ' ' + s[3]).join(' | ');
  const caller = ' from +491705550123';
  check('call bars and labels', bars === 'offered call 1 ringing' + caller +
        ' | connected call 1 connected' + caller + ' | held call 1 on hold' + caller +
        ' | connected call 1 connected' + caller, bars);
  const ended = calls.marks.find(m => m[2] === 'call 1 ended');
  check('no call bar after the call ended', !!ended && calls.spans.every(s => s[1] <= ended[0]) &&
        calls.spans[calls.spans.length - 1][1] === ended[0],
        (ended ? ended[0] : 'no end mark') + ' / ' + calls.spans.map(s => s[1]).join(','));
  const talk = document.querySelector('#lane-calls .s-connected');
  if (talk) {
    const tb = talk.getBoundingClientRect();
    talk.dispatchEvent(new MouseEvent('mouseover', { bubbles: true, clientX: tb.x, clientY: tb.y }));
  }
  check('hovering a call bar names the call and its caller', !!talk &&
        document.getElementById('card').textContent.includes('call 1 connected' + caller),
        talk ? document.getElementById('card').textContent : 'no connected bar drawn');

  // The failure: red, with its line number written beside it, and a red rule across the lanes.
  const fail = document.querySelector('#lane-failures .mark.k-fail');
  check('failure marked', !!fail, 'no .k-fail mark');
  if (fail) {
    const dot = fail.querySelector('.fail-dot');
    check('failure is red', getComputedStyle(dot).fill === 'rgb(204, 0, 0)',
          getComputedStyle(dot).fill);
    check('failure names its line', fail.textContent.includes('line 47'), fail.textContent);
    check('failure rule', document.querySelectorAll('.fail-rule').length === 1, 'no rule');
    const box = fail.getBoundingClientRect();
    fail.dispatchEvent(new MouseEvent('mouseover', { bubbles: true, clientX: box.x,
                                                     clientY: box.y }));
    const card = document.getElementById('card');
    check('hover card shows the scenario line and the trace', !card.hidden &&
          card.textContent.includes('day.scn:47: expectation failed: expect window Vurl hidden') &&
          card.textContent.includes('TotalEmail'), card.textContent);
    fail.dispatchEvent(new MouseEvent('click', { bubbles: true, clientX: box.x, clientY: box.y }));
    const hits = document.querySelectorAll('#trace-lines li.hit');
    check('click shows the trace around it', hits.length === 6 &&
          document.querySelectorAll('#trace-lines li').length > 6 &&
          hits[5].textContent.includes('post -> Vurl 32783'), hits.length + ' hits');
  }

  // Zoom and pan, by keys, buttons and the wheel.
  const [a0, b0] = range();
  key('+');
  const [a1, b1] = range();
  check('+ zooms in', b1 - a1 < (b0 - a0) * 0.6, [a0, b0, a1, b1].join(' '));
  key('ArrowRight');
  const [a2, b2] = range();
  check('arrow pans', a2 > a1 && Math.abs((b2 - a2) - (b1 - a1)) < 2, [a1, a2].join(' '));
  document.getElementById('zoom-out').click();
  check('zoom-out button', range()[1] - range()[0] > b2 - a2, range().join(' '));
  key('Home');
  check('Home shows the whole run', range()[0] === a0 && range()[1] === b0, range().join(' '));
  const svg = document.getElementById('timeline');
  const sbox = svg.getBoundingClientRect();
  svg.dispatchEvent(new WheelEvent('wheel', { deltaY: -100, bubbles: true, cancelable: true,
                                              clientX: sbox.x + sbox.width / 2,
                                              clientY: sbox.y + 50 }));
  check('wheel zooms', range()[1] - range()[0] < b0 - a0, range().join(' '));
  for (let i = 0; i < 30; i++) key('+');
  const [a3, b3] = range();
  const ticks = Array.from(document.querySelectorAll('.tick-text')).map(t => t.textContent);
  check('zooms down to milliseconds', b3 - a3 <= 10 && ticks.some(t => /\.\d{3}$/.test(t)),
        (b3 - a3) + ' ms, ticks ' + ticks.join(','));
  key('Home');
  check('marks are keyboard reachable', laneMarks('lock').every(m => m.tabIndex === 0), 'tabindex');

  const pre = document.createElement('pre');
  pre.id = 'dv-check';
  pre.textContent = out.join('\n');
  document.body.appendChild(pre);
})();
