// By hand (no test): the live figures of the page on a large model, in
// headless chromium. Builds a model of TABLES tables (model-file.mjs, 100
// per folder) with `qms model apply` in a new folder, serves it and prints
// the median and the spread (lowest - highest) over REPEATS runs of:
// - an edit's round trip: from the page sending a PATCH of a table's
//   display name to the redraw painted (refreshModel() of live.js), and its
//   page part: from the redraw's answers arrived (Resource Timing) to the
//   redraw painted, and the renderer main thread's work in it (a trace);
// - panning: the time between frames drawn while the view is dragged (from
//   a background point found anew for each run), from a Chrome trace
//   (page.tracing), and the renderer's main-thread work per frame;
// - a change by another process (`qms column change`): from the command's
//   start, and from its end, to the redraw painted.
//   node tests/browser/live-perf.mjs QMS [TABLES=2000] [REPEATS=7] [COLUMNS]
// (COLUMNS: plain columns fill each table up to that many)
import {execFile, execFileSync} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {promisify} from 'node:util';
import {launch, pageWithToken} from './chromium.mjs';
import {modelFile} from './model-file.mjs';
import {startServer} from './serve.mjs';

const qms = path.resolve(process.argv[2]);
const count = Number(process.argv[3] || 2000);
const repeats = Number(process.argv[4] || 7);
const width = Number(process.argv[5] || 0);
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'qms_liveperf_'));
const run = (...args) => execFileSync(qms, args, {cwd: work, encoding: 'utf8', timeout: 600000});
const runAsync = promisify(execFile);

const figure = (name, values, unit = 'ms') => {
  const sorted = [...values].sort((a, b) => a - b);
  const median = sorted.length % 2 ? sorted[(sorted.length - 1) / 2]
    : (sorted[sorted.length / 2 - 1] + sorted[sorted.length / 2]) / 2;
  console.log(`${name}: median ${median.toFixed(1)} ${unit}, spread ${sorted[0].toFixed(1)} - ` +
      `${sorted.at(-1).toFixed(1)} ${unit} (${sorted.length} values)`);
  return median;
};

let started = Date.now();
run('init');
run('project', 'create', 'Bench');
run('model', 'create', 'Bench', 'Big');
fs.writeFileSync(path.join(work, 'm.json'), JSON.stringify(modelFile('Bench', 'Big', count, 100, width)));
run('model', 'apply', 'Big', 'm.json');
const model = JSON.parse(run('model', 'show', 'Big', '--json')).id;
console.log(`${count} tables made in ${((Date.now() - started) / 1000).toFixed(0)} s`);

const server = await startServer(qms, work);
// UNCAPPED=1: frames are not held to the 60 Hz clock, so the time between
// them shows what each costs rather than the refresh rate.
const browser = await launch(process.env.UNCAPPED === '1' ? ['--disable-frame-rate-limit', '--disable-gpu-vsync'] : []);
try {
  const page = await pageWithToken(browser, server.token, 1400, 860);
  page.on('pageerror', (e) => console.error(`page error: ${e}`));
  started = Date.now();
  await page.goto(`${server.base}#/model/${model}`);
  await page.waitForFunction(() => document.body.dataset.drawnMs, {timeout: 120000});
  await page.waitForSelector('#live.ok', {timeout: 10000});
  console.log(`drawn ${Date.now() - started} ms after navigation`);
  // Zoomed in until column lines are drawn, about the middle of the view.
  await page.mouse.move(700, 430);
  while (parseInt(await page.$eval('#scale', (s) => s.textContent), 10) < 60) {
    await page.mouse.wheel({deltaY: -300});
    await new Promise((r) => setTimeout(r, 50));
  }
  const first = await page.$eval('g.table', (g) => Number(g.dataset.id));

  // The renderer main thread's busy time in a trace from the end of the
  // last answer loaded of those whose address holds `route`.
  const busyAfterAnswers = (events, route) => {
    const main = new Set(events.filter((e) => e.name === 'thread_name' && e.args.name === 'CrRendererMain')
        .map((e) => `${e.pid}:${e.tid}`));
    const asked = new Set(events.filter((e) => e.name === 'ResourceSendRequest' &&
        e.args.data.url.includes(route)).map((e) => e.args.data.requestId));
    const from = Math.max(...events.filter((e) => e.name === 'ResourceFinish' &&
        asked.has(e.args.data.requestId)).map((e) => e.ts));
    return events.filter((e) => e.ph === 'X' && /RunTask$/.test(e.name) && main.has(`${e.pid}:${e.tid}`) &&
        e.ts >= from).reduce((sum, e) => sum + (e.dur || 0) / 1000, 0);
  };
  const trips = [];
  const busy = [];
  for (let i = 0; i < repeats; ++i) {
    await page.tracing.start({categories: ['devtools.timeline', 'toplevel']});
    trips.push(await page.evaluate(async (m, t, n) => {
      const {refreshModel} = await import('/live.js');
      const start = performance.now();
      const answer = await fetch(`/api/models/${m}/tables/${t}`, {method: 'PATCH',
        headers: {'Content-Type': 'application/json', 'X-QMS-Token': sessionStorage.getItem('qms-write-token')},
        body: JSON.stringify({display: `Round trip ${n}`})});
      if (!answer.ok) throw new Error(await answer.text());
      performance.clearResourceTimings();
      await refreshModel();
      // The page's part: from the last answer of the redraw's GETs to the redraw painted.
      const answers = performance.getEntriesByType('resource').filter((r) => r.name.includes(`/api/models/${m}`));
      const arrived = Math.max(...answers.map((r) => r.responseEnd));
      return [performance.now() - start, Number(document.body.dataset.liveDrawnMs) - arrived];
    }, model, first, i));
    const trace = JSON.parse(new TextDecoder().decode(await page.tracing.stop()));
    busy.push(busyAfterAnswers(trace.traceEvents, `/api/models/${model}`));
  }
  figure('edit round trip, request to redraw painted', trips.map((t) => t[0]));
  figure('  its page part, answers arrived to redraw painted', trips.map((t) => t[1]));
  figure('  the page\'s main-thread work in that part', busy);

  const frames = [];
  const perFrame = [];
  for (let i = 0; i < repeats; ++i) {
    const sign = i % 2 ? -1 : 1;
    // A point of the background to drag the view by, found anew each run
    // (the picture moved), from which the drag stays in the window.
    const spot = await page.evaluate((dir) => {
      for (let y = 120; y < 800; y += 17) {
        for (let x = 40; x < 1300; x += 17) {
          const end = {x: x + dir * 480, y: y + dir * 180};
          if (end.x < 10 || end.x > 1390 || end.y < 10 || end.y > 850) continue;
          const e = document.elementFromPoint(x, y);
          if (e && !e.closest('g.table') && !e.matches('.frame-head, .arrange') && e.closest('#canvas')) return {x, y};
        }
      }
      return null;
    }, sign);
    if (!spot) throw new Error('no background to drag the view by');
    await page.tracing.start({categories: ['devtools.timeline', 'disabled-by-default-devtools.timeline.frame',
      'toplevel']});
    await page.mouse.move(spot.x, spot.y);
    await page.mouse.down();
    for (let s = 1; s <= 60; ++s) await page.mouse.move(spot.x + sign * 8 * s, spot.y + sign * 3 * s);
    await page.mouse.up();
    const trace = JSON.parse(new TextDecoder().decode(await page.tracing.stop()));
    const events = trace.traceEvents;
    const main = new Set(events.filter((e) => e.name === 'thread_name' && e.args.name === 'CrRendererMain')
        .map((e) => `${e.pid}:${e.tid}`));
    const draws = events.filter((e) => e.name === 'DrawFrame').map((e) => e.ts).sort((a, b) => a - b);
    const gaps = draws.slice(1).map((t, k) => (t - draws[k]) / 1000);
    const busy = events.filter((e) => e.ph === 'X' && /RunTask$/.test(e.name) && main.has(`${e.pid}:${e.tid}`))
        .reduce((sum, e) => sum + (e.dur || 0) / 1000, 0);
    frames.push(figure(`  pan ${i + 1}: time between frames`, gaps));
    perFrame.push(busy / Math.max(1, draws.length));
  }
  figure('panning, median time between frames per run', frames);
  figure('panning, main-thread work per frame per run', perFrame);

  const seen = [];
  const fromEnd = [];
  for (let i = 0; i < repeats; ++i) {
    const before = await page.evaluate(() => document.body.dataset.liveDrawnMs || '');
    const start = Date.now();
    await runAsync(qms, ['column', 'change', 'Big', 'T1', 'title', '--display', `Title ${i}`], {cwd: work, timeout: 60000});
    const end = Date.now();
    await page.waitForFunction((b) => (document.body.dataset.liveDrawnMs || '') !== b, {timeout: 10000}, before);
    const drawn = await page.evaluate(() => performance.timeOrigin + Number(document.body.dataset.liveDrawnMs));
    seen.push(drawn - start);
    fromEnd.push(drawn - end);
  }
  figure('change by another process drawn, from the command\'s start', seen);
  figure('change by another process drawn, from the command\'s end', fromEnd);
} finally {
  await browser.close().catch(() => {});
  await server.stop();
  fs.rmSync(work, {recursive: true, force: true});
}
