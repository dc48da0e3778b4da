// The page of qms serve drawn live, in two browser contexts (two people)
// on one model: an edit made in one (through the API, with its token)
// drawn in the other within a second, its pan, zoom and open panel kept and
// the change marked; a table added by qms in another process drawn without
// a reload; the open panel of a table deleted meanwhile closed with a word;
// the event stream lost when the server stops, said so, and back (with what
// changed meanwhile) when it runs again on the same port; "Arrange" and
// "Reset layout" move boxes, which stay where they went after a reload.
// After each change both pages draw exactly what the server answers.
//
//   node live.test.mjs QMS ARTIFACT_FOLDER      (run.sh checks what it needs)
import assert from 'node:assert/strict';
import {execFile} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {promisify} from 'node:util';
import {launch, pageWithToken} from './chromium.mjs';
import {startServer} from './serve.mjs';

const [qms] = process.argv.slice(2).map((p) => path.resolve(p));
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'qms_live_'));
// Every wait has a deadline: a command 60 s, the server's start 30 s, a
// live change 1 s, the stream's return 15 s, other page waits 10 s.
const run = async (...args) =>
  (await promisify(execFile)(qms, args, {cwd: work, encoding: 'utf8', timeout: 60000})).stdout;
const LIVE = 1000;

// Sales: People (Customer) and Orders (Order -> Customer, Line -> Order),
// made in one command.
await run('init');
await run('project', 'create', 'Shop');
await run('model', 'create', 'Shop', 'Sales');
const table = (name, columns) => ({name, display: name, columns});
fs.writeFileSync(path.join(work, 'sales.json'), JSON.stringify({project: 'Shop', model: 'Sales', version: 1,
  type: 1, display: 'Sales', folders: [
    {name: 'People', display: 'People', folders: [], tables: [table('Customer', [{name: 'name', type: 'text'}])]},
    {name: 'Orders', display: 'Orders', folders: [], tables: [
      table('Order', [{name: 'customer', type: 'int', references: 'Customer'}]),
      table('Line', [{name: 'order', type: 'int', references: 'Order'}])]}]}));
await run('model', 'apply', 'Sales', 'sales.json');
const model = JSON.parse(await run('model', 'show', 'Sales', '--json')).id;

let server = await startServer(qms, work);
const port = new URL(server.base).port;
const {base, token} = server;
let stopping = false;
let died = '';
const browser = await launch();
const watchServer = (s) => s.ended.then((how) => {
  if (stopping || s !== server) return;
  died = `qms serve ended (${how}) during the test: ${s.log.join('')}`;
  browser.close();
});
watchServer(server);
const passed = [];
const began = Date.now();
function step(name) {
  passed.push(name);
  console.log(`ok ${passed.length} - ${name} (${((Date.now() - began) / 1000).toFixed(1)} s)`);
}

// A page of its own browser context (its own session storage), with the token.
async function person() {
  const page = await pageWithToken(await browser.createBrowserContext(), token, 1200, 700);
  page.setDefaultTimeout(10000);
  page.problems = [];
  page.on('pageerror', (e) => page.problems.push(String(e)));
  page.on('dialog', (d) => d.accept());
  await page.goto(`${base}#/model/${model}`);
  await page.waitForFunction(() => document.body.dataset.drawnMs);
  await page.waitForSelector('#live.ok');
  return page;
}

// An API call with the token, as a page's own edit would be.
async function api(method, route, body) {
  const response = await fetch(new URL(route, base), {method,
    headers: {'Content-Type': 'application/json', 'X-QMS-Token': token}, body: JSON.stringify(body)});
  const answer = await response.json();
  assert.ok(response.ok, `${method} ${route}: ${response.status} ${JSON.stringify(answer)}`);
  return answer;
}

const tableId = async (name) => {
  const m = await (await fetch(new URL(`/api/models/${model}`, base))).json();
  return m.diagram.tables.find((t) => t.name === name).id;
};
// The view: the layer's transform and the picture's own (a pan within its slack).
const viewport = (page) => page.$eval('#canvas g.viewport', (g) => `${g.getAttribute('transform')} ${g.ownerSVGElement.style.transform}`);
const boxOf = (page, name) => page.evaluate((n) => {
  const g = [...document.querySelectorAll('g.table')]
      .find((t) => t.querySelector('text.name').textContent === n);
  if (!g) return null;
  const body = g.querySelector('rect.body');
  return {x: Number(g.dataset.x), y: Number(g.dataset.y), width: Number(body.getAttribute('width')),
    height: Number(body.getAttribute('height')), classes: g.getAttribute('class'),
    screen: g.querySelector('rect.head').getBoundingClientRect().toJSON()};
}, name);
const boxes = (page) => page.$$eval('g.table', (gs) => gs.map((g) => [g.querySelector('text.name').textContent,
  g.dataset.x, g.dataset.y, g.querySelector('rect.body').getAttribute('width')].join(' ')).sort());
const drag = async (page, from, dx, dy) => {
  await page.mouse.move(from.x, from.y);
  await page.mouse.down();
  for (let i = 1; i <= 5; ++i) await page.mouse.move(from.x + dx * i / 5, from.y + dy * i / 5);
  await page.evaluate(() => { delete document.body.dataset.lastWriteMs; });
  await page.mouse.up();
  await page.waitForFunction(() => document.body.dataset.lastWriteMs);
};
// What a page draws and what the server says it should (a redraw replaces
// only what changed: no box, column line or arrow may be left as it was):
// each box's name, place and column lines, and each arrow's route.
const drawn = (page) => page.evaluate(() => ({
  boxes: [...document.querySelectorAll('g.table')].map((g) => [g.querySelector('text.name').textContent,
    g.dataset.x, g.dataset.y, ...[...g.querySelectorAll('text.column')].map((c) => c.textContent)].join(' ')).sort(),
  arrows: [...document.querySelectorAll('polyline.reference')].map((l) => l.getAttribute('points')).sort()}));
async function serverPicture() {
  const get = async (route) => (await fetch(new URL(route, base))).json();
  const [{diagram}, layout] = [await get(`/api/models/${model}`), await get(`/api/models/${model}/layout`)];
  const at = new Map(layout.boxes.map((b) => [b.table, b]));
  return {boxes: diagram.tables.map((t) => [t.name, at.get(t.id).x, at.get(t.id).y,
    ...t.columns.map((c) => `${c.name}: ${c.type}`)].join(' ')).sort(),
  arrows: layout.arrows.map((a) => a.points.map((p) => p.join(',')).join(' ')).sort()};
}
// Waits (up to 2 s: a change may come as several events) for the page to
// draw what the server says, then compares them.
async function drawsServer(page) {
  const want = await serverPicture();
  const until = Date.now() + 2000;
  let seen = await drawn(page);
  while (JSON.stringify(seen) !== JSON.stringify(want) && Date.now() < until) {
    await new Promise((r) => setTimeout(r, 100));
    seen = await drawn(page);
  }
  assert.deepEqual(seen, want, 'the page draws the model as the server has it');
}
// Every write of the page answered (the event stream stays open).
const settled = (page) => page.waitForNetworkIdle({idleTime: 400, concurrency: 1, timeout: 10000});

try {
  const [a, b] = [await person(), await person()];

  // B zooms, pans and opens Customer's panel; A renames Order and adds a
  // column to Customer.
  await b.click('#zoom-in');
  const head = (await boxOf(b, 'Customer')).screen;
  await b.mouse.move(head.x - 30, head.y + 200);
  await b.mouse.down();
  await b.mouse.move(head.x - 10, head.y + 190, {steps: 3});
  await b.mouse.up();
  await b.mouse.click(head.x + 20, head.y + 8);
  await b.waitForSelector('#panel:not([hidden]) h2');
  await b.evaluate(() => { window.notReloaded = true; });
  const seen = await viewport(b);
  const [order, customer] = [await tableId('Order'), await tableId('Customer')];
  await api('PATCH', `/api/models/${model}/tables/${order}`, {display: 'Orders placed'});
  await api('POST', `/api/models/${model}/tables/${customer}/columns`, {name: 'city', type: 'text'});
  await b.waitForFunction(() => [...document.querySelectorAll('#panel td')].some((t) => t.textContent === 'city') &&
      document.querySelector('g.table.live-changed text.column.live-added'), {timeout: LIVE});
  assert.equal(await viewport(b), seen, 'pan and zoom kept');
  assert.equal(await b.$eval('#panel h2', (h) => h.textContent), 'Customer');
  assert.match((await boxOf(b, 'Order')).classes, /live-changed/);
  assert.match((await boxOf(b, 'Customer')).classes, /selected/);
  assert.ok(await b.evaluate(() => window.notReloaded));
  await drawsServer(b);
  await b.waitForFunction(() => !document.querySelector('g.table[class*="live-"]'), {timeout: 8000});
  step('an edit in one browser is drawn in the other within 1 s, pan, zoom and panel kept, marked for a while');

  await run('table', 'add', 'Sales', 'Orders', 'Invoice');
  await b.waitForFunction(() => [...document.querySelectorAll('g.table.live-added text.name')]
      .some((t) => t.textContent === 'Invoice'), {timeout: LIVE});
  await a.waitForFunction(() => [...document.querySelectorAll('g.table text.name')]
      .some((t) => t.textContent === 'Invoice'), {timeout: LIVE});
  assert.ok(await b.evaluate(() => window.notReloaded), 'no reload');
  await drawsServer(a);
  await drawsServer(b);
  step('a table added by qms in another process is drawn in both without a reload');

  await run('table', 'delete', 'Sales', 'Customer');
  await b.waitForFunction(() => document.querySelector('#panel').hidden &&
      /Customer has been deleted/.test(document.querySelector('#message').textContent), {timeout: LIVE});
  assert.equal(await boxOf(b, 'Customer'), null);
  await drawsServer(b);
  step('the open panel of a table deleted meanwhile closes, saying so');

  // The server stops: the page says so; a change made meanwhile is drawn
  // once the server runs again on the same port.
  stopping = true;
  await server.stop();
  await b.waitForSelector('#live.lost', {timeout: 5000});
  assert.match(await b.$eval('#message', (m) => m.textContent), /connection to the server is lost/);
  await run('table', 'add', 'Sales', 'Orders', 'Refund');
  server = await startServer(qms, work, [], port);
  stopping = false;
  watchServer(server);
  await b.waitForSelector('#live.ok', {timeout: 15000});
  await b.waitForFunction(() => [...document.querySelectorAll('g.table text.name')]
      .some((t) => t.textContent === 'Refund') && /is back/.test(document.querySelector('#message').textContent),
  {timeout: 5000});
  assert.ok(await b.evaluate(() => window.notReloaded), 'no reload');
  step('a lost event stream is shown, and when the server is back the page catches up');

  // A box dragged away, then "Arrange" puts it back in rows; "Reset layout"
  // gives a widened box its own size again; both survive a reload.
  await a.waitForSelector('#live.ok', {timeout: 15000});
  const line = await boxOf(a, 'Line');
  await drag(a, {x: line.screen.x + 30, y: line.screen.y + 8}, 260, 140);
  await settled(a);
  const dragged = await boxes(a);
  await a.click('#arrange');
  await settled(a);
  const arranged = await boxes(a);
  assert.notDeepEqual(arranged, dragged, 'Arrange moved boxes');
  await b.waitForFunction(() => document.querySelector('g.table.live-moved'), {timeout: LIVE});
  await drawsServer(a);
  await drawsServer(b);
  await a.reload();
  await a.waitForFunction(() => document.body.dataset.drawnMs);
  assert.deepEqual(await boxes(a), arranged, 'arranged boxes after a reload');
  const wide = await boxOf(a, 'Order');
  await a.evaluate(() => { delete document.body.dataset.lastWriteMs; });
  await a.hover(`g.table[data-id="${order}"]`);
  const handle = await a.$eval(`g.table[data-id="${order}"] rect.resize`, (r) => r.getBoundingClientRect().toJSON());
  await drag(a, {x: handle.x + 3, y: handle.y + 3}, 120, 40);
  await settled(a);
  assert.ok((await boxOf(a, 'Order')).width > wide.width + 50, 'widened');
  await a.click('#reset-layout');
  await settled(a);
  const reset = await boxes(a);
  assert.equal((await boxOf(a, 'Order')).width, wide.width, 'its own width again');
  await a.reload();
  await a.waitForFunction(() => document.body.dataset.drawnMs);
  assert.deepEqual(await boxes(a), reset, 'reset layout after a reload');
  step('"Arrange" and "Reset layout" move boxes, seen live by the other, and stay after a reload');

  assert.deepEqual([...a.problems, ...b.problems], []);
  step('no error on either page');
} catch (e) {
  throw died ? new Error(died) : e;
} finally {
  stopping = true;
  await browser.close().catch(() => {});
  await server.stop();
  fs.rmSync(work, {recursive: true, force: true});
}
console.log(`${passed.length} passed, 0 failed`);
