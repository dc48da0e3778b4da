// The page of qms serve in headless Debian chromium, as a person uses it:
// projects -> models -> a model, every name on the page, a table opened,
// a column found, boxes dragged and resized and still there after a reload
// (and in the database, as qms diagram draws it), a refused write reported,
// versions switched and compared, a hostile name shown as text
// with nothing run, and a screenshot of the model view.
//
//   node serve-page.test.mjs QMS ARTIFACT_FOLDER      (run.sh checks what it needs)
import assert from 'node:assert/strict';
import {execFileSync, spawn} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {launch} from './chromium.mjs';

const [qms, artifacts] = process.argv.slice(2).map((p) => path.resolve(p));
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'qms_browser_'));
fs.mkdirSync(artifacts, {recursive: true});
const hostile = '<img src=x onerror=alert(1)>';
const hostileColumn = '<script>alert(2)</script>';
// Every wait has a deadline: a command 60 s, the server's start 30 s, the
// page's waits puppeteer's 30 s, the server's stop 10 s.
const run = (...args) => execFileSync(qms, args, {cwd: work, encoding: 'utf8', timeout: 60000});

// Sales version 1, then version 2 with one table more, a column ended and
// one given a display name.
const tables = {
  Customer: ['name: text', 'city: text', 'since: int'],
  Order: ['customer: int', 'total: real', 'placed: text'],
  '订单明细': ['order: int', 'amount: real'],
  [hostile]: [`${hostileColumn}: text`],
};
for (const args of [
  ['init'], ['project', 'create', 'Shop'], ['model', 'create', 'Shop', 'Sales'],
  ['folder', 'add', 'Sales', 'Orders'], ['folder', 'add', 'Sales', 'Orders/Archive'],
  ['folder', 'add', 'Sales', 'Odd'], ['table', 'add', 'Sales', 'Orders', 'Customer'],
  ['table', 'add', 'Sales', 'Orders', 'Order'], ['table', 'add', 'Sales', 'Orders/Archive', '订单明细'],
  ['table', 'add', 'Sales', 'Odd', hostile],
  ['column', 'add', 'Sales', 'Customer', 'name', '--type', 'text', '--find-key'],
  ['column', 'add', 'Sales', 'Customer', 'city', '--type', 'text'],
  ['column', 'add', 'Sales', 'Customer', 'since', '--type', 'int'],
  ['column', 'add', 'Sales', 'Order', 'customer', '--type', 'int', '--references', 'Customer'],
  ['column', 'add', 'Sales', 'Order', 'total', '--type', 'real'],
  ['column', 'add', 'Sales', 'Order', 'placed', '--type', 'text'],
  ['column', 'add', 'Sales', '订单明细', 'order', '--type', 'int', '--references', 'Order'],
  ['column', 'add', 'Sales', '订单明细', 'amount', '--type', 'real'],
  ['column', 'add', 'Sales', hostile, hostileColumn, '--type', 'text'],
  ['model', 'upgrade', 'Sales'], ['table', 'add', 'Sales', 'Orders', 'Invoice'],
  ['column', 'add', 'Sales', 'Invoice', 'order', '--type', 'int', '--references', 'Order'],
  ['column', 'delete', 'Sales', 'Customer', 'since'],
  ['column', 'change', 'Sales', 'Customer', 'city', '--display', 'Town'],
]) run(...args);
tables.Invoice = ['order: int'];
tables.Customer.pop();

// The server on a free port; its first lines give the address and the token.
const server = spawn(qms, ['serve', '--port', '0'], {cwd: work, stdio: ['ignore', 'pipe', 'pipe']});
const serverLog = [];
let stopping = false;
let died = '';
const ended = new Promise((resolve) => server.on('exit', (code, signal) => resolve(code ?? signal)));
server.stderr.on('data', (d) => serverLog.push(String(d)));
const [base, writeToken] = await new Promise((resolve, reject) => {
  let out = '';
  server.stdout.on('data', (d) => {
    out += d;
    const m = out.match(/(http:\/\/127\.0\.0\.1:\d+\/)[^\n]*\nwrite token: (\w+)\n/);
    if (m) resolve([m[1], m[2]]);
  });
  ended.then(() => reject(new Error(`qms serve ended: ${serverLog.join('')}`)));
  setTimeout(() => reject(new Error('qms serve did not start within 30 s')), 30000).unref();
});

const browser = await launch();
// A server that ends while the page waits for it fails the test at once:
// closing the browser ends every wait.
ended.then((how) => {
  if (stopping) return;
  died = `qms serve ended (${how}) during the test: ${serverLog.join('')}`;
  browser.close();
});
const passed = [];
function step(name) {
  passed.push(name);
  console.log(`ok ${passed.length} - ${name}`);
}

try {
  const page = await browser.newPage();
  page.setDefaultTimeout(30000);
  await page.setViewport({width: 1280, height: 720});
  const dialogs = [];
  const problems = [];
  const requested = [];
  page.on('dialog', (d) => { dialogs.push(d.message()); d.dismiss(); });
  page.on('pageerror', (e) => problems.push(String(e)));
  page.on('console', (m) => { if (m.type() === 'error') problems.push(m.text()); });
  page.on('request', (r) => requested.push(r.url()));
  const drawn = async () => {
    await page.waitForFunction(() => document.body.dataset.drawnMs);
    await page.evaluate(() => { delete document.body.dataset.drawnMs; });
  };
  const box = (name) => page.evaluate((n) => {
    const g = [...document.querySelectorAll('g.table')]
        .find((t) => t.querySelector('text.name').textContent === n);
    const body = g.querySelector('rect.body');
    return {x: Number(g.dataset.x), y: Number(g.dataset.y), width: Number(body.getAttribute('width')),
      height: Number(body.getAttribute('height')), screen: g.getBoundingClientRect().toJSON()};
  }, name);
  const drag = async (from, dx, dy) => {
    await page.mouse.move(from.x, from.y);
    await page.mouse.down();
    for (let i = 1; i <= 5; ++i) await page.mouse.move(from.x + dx * i / 5, from.y + dy * i / 5);
    await page.evaluate(() => { delete document.body.dataset.lastWriteMs; });
    await page.mouse.up();
  };

  await page.goto(base);
  await page.waitForSelector('#lists a');
  assert.deepEqual(await page.$$eval('#lists a', (links) => links.map((a) => a.textContent)),
      ['Shop'], 'the projects without the platform\'s own');
  await page.locator('a::-p-text(Shop)').click();
  await page.locator('a::-p-text(Sales)').click();
  await drawn();
  const texts = await page.$$eval('#canvas text', (nodes) => nodes.map((n) => n.textContent));
  for (const [table, columns] of Object.entries(tables)) {
    for (const text of [table, ...columns]) assert.ok(texts.includes(text), `${text} is drawn`);
  }
  assert.equal(await page.$eval('#crumbs', (n) => n.textContent), 'Projects / Shop / Sales v2');
  step('projects -> models -> Sales v2: every table and column name is drawn');

  // The hostile table opens like any other: its names are text, nothing runs.
  const odd = await box(hostile);
  await page.mouse.click(odd.screen.x + 20, odd.screen.y + 10);
  await page.waitForSelector('#panel:not([hidden]) h2');
  assert.equal(await page.$eval('#panel h2', (n) => n.textContent), hostile);
  assert.ok((await page.$$eval('#panel td', (n) => n.map((c) => c.textContent))).includes(hostileColumn));
  assert.equal(await page.$$eval('img, script:not([src])', (n) => n.length), 0);
  assert.deepEqual(dialogs, []);
  assert.ok(!requested.some((u) => u.endsWith('/x')), 'no image was loaded');
  await page.screenshot({path: path.join(artifacts, 'qms-serve-hostile.png')});
  await page.click('#panel .close');
  step('the hostile table shows its names as text; no dialog, no script, no image');

  // Columns of the opened table, with their flags and references.
  const order = await box('Order');
  await page.mouse.click(order.screen.x + 20, order.screen.y + 10);
  await page.waitForFunction(() => document.querySelector('#panel h2')?.textContent === 'Order');
  const row = await page.$$eval('#panel table.columns tr', (rows) => rows[1].textContent);
  assert.equal(row, 'customercustomer_1intCustomer');
  assert.equal(await page.$eval('#panel dd.folders', (n) => n.textContent), 'Orders');
  await page.screenshot({path: path.join(artifacts, 'qms-serve.png')});
  await page.click('#panel .close');
  step('a table opens with its columns, references and folder (screenshot qms-serve.png)');

  await page.type('#search', 'city');
  await page.waitForSelector('#results:not([hidden]) button');
  assert.deepEqual(await page.$$eval('#results button', (b) => b.map((x) => x.textContent)),
      ['Customer.city']);
  assert.equal(await page.$$eval('g.table.found', (g) => g.length), 1);
  await page.$eval('#search', (s) => { s.value = ''; s.dispatchEvent(new Event('input')); });
  await page.waitForSelector('#results', {hidden: true});
  step('the search finds a column');

  // A write with a wrong token is refused, said so, and the box goes back.
  const customer = await box('Customer');
  await page.type('#token', 'wrong');
  await drag({x: customer.screen.x + 30, y: customer.screen.y + 10}, 200, 90);
  await page.waitForSelector('#message:not([hidden])');
  assert.match(await page.$eval('#message span', (n) => n.textContent), /Customer was not moved: wrong write token/);
  assert.deepEqual((await box('Customer')).x, customer.x);
  step('a refused write shows its message and the box goes back');

  await page.$eval('#token', (t) => { t.value = ''; });
  await page.type('#token', writeToken);
  await drag({x: customer.screen.x + 30, y: customer.screen.y + 10}, 260, 120);
  await page.waitForFunction(() => document.body.dataset.lastWriteMs);
  const movedTo = await box('Customer');
  assert.notEqual(movedTo.x, customer.x);
  const before = await box('Order');
  await drag({x: before.screen.x + before.screen.width - 3, y: before.screen.y + before.screen.height - 3}, 60, 30);
  await page.waitForFunction(() => document.body.dataset.lastWriteMs);
  const resized = await box('Order');
  assert.ok(resized.width > before.width && resized.height > before.height, 'Order grew');
  await page.reload();
  await drawn();
  for (const [name, expected] of [['Customer', movedTo], ['Order', resized]]) {
    const now = await box(name);
    assert.deepEqual([now.x, now.y, now.width, now.height],
        [expected.x, expected.y, expected.width, expected.height], name);
  }
  const svg = run('diagram', 'Sales');
  for (const b of [movedTo, resized]) {
    assert.ok(svg.includes(`<rect x="${b.x}" y="${b.y}" width="${b.width}" height="${b.height}"`),
        `qms diagram draws the box at ${b.x},${b.y}`);
  }
  step('a dragged and a resized box stay after a reload and in qms diagram');

  const versions = await page.$$eval('#version option', (o) => o.map((x) => [x.value, x.textContent]));
  assert.deepEqual(versions.map((v) => v[1]), ['version 1 (locked)', 'version 2']);
  await page.select('#version', versions[0][0]);
  await drawn();
  const first = await page.$$eval('#canvas text.name', (n) => n.map((t) => t.textContent));
  assert.ok(!first.includes('Invoice') && first.includes('Customer'));
  assert.ok((await page.$eval('#crumbs', (n) => n.textContent)).endsWith('Sales v1'));
  await page.select('#version', versions[1][0]);
  await drawn();
  step('the version selector switches versions');

  // Version 2 compared with version 1: what the model diff found is marked,
  // the ended column drawn struck through; the comparison stays on a reload.
  await page.select('#compare', '1');
  await drawn();
  const marked = () => page.$$eval('g.table:is(.added, .changed, .ended) text.name, text.column:is(.added, .changed, .ended)',
      (n) => n.map((t) => `${t.closest('.added, .changed, .ended').classList} ${t.textContent}`));
  const expected = ['table changed Customer', 'column changed city: text', 'column ended since: int',
    'table added Invoice'];
  assert.deepEqual(await marked(), expected);
  assert.match(await page.evaluate(() => location.hash), /\/compare\/1$/);
  await page.screenshot({path: path.join(artifacts, 'qms-serve-compare.png')});
  await page.reload();
  await drawn();
  assert.deepEqual(await marked(), expected);
  await page.select('#compare', '');
  await drawn();
  assert.deepEqual(await marked(), []);
  step('version 2 compared with version 1 marks what changed (screenshot qms-serve-compare.png)');

  assert.deepEqual(dialogs, []);
  assert.deepEqual(problems.filter((p) => !p.includes('status of 403')), []);
  step(`no dialog and no error on the page; screenshots in ${artifacts}`);
} catch (e) {
  throw died ? new Error(died) : e;
} finally {
  stopping = true;
  await browser.close().catch(() => {});
  server.kill('SIGTERM');
  const stop = setTimeout(() => server.kill('SIGKILL'), 10000);
  await ended;
  clearTimeout(stop);
  fs.rmSync(work, {recursive: true, force: true});
}
console.log(`${passed.length} passed, 0 failed`);
