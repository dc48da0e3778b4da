// The page of qms serve in headless Debian chromium, as a person uses it:
// projects -> models -> a model, every name on the page with its marks,
// arrows at right angles around boxes and a loop, a table opened, a column
// found and centred beside the panel, boxes and a frame dragged and still
// there after a reload (and in the database, as qms diagram draws it),
// frames around their boxes, a refused write reported, fit, zoom and the
// keyboard, display names, export, dark colours, versions switched and
// compared with a legend, a hostile name shown as text with nothing run,
// and screenshots of the model view.
//
//   node serve-page.test.mjs QMS ARTIFACT_FOLDER      (run.sh checks what it needs)
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {launch} from './chromium.mjs';
import {startServer} from './serve.mjs';

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
  Customer: ['name: text', 'city: text', 'since: int', 'referrer: int'],
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
  ['column', 'add', 'Sales', 'Customer', 'referrer', '--type', 'int', '--references', 'Customer'],
  ['column', 'change', 'Sales', 'Order', 'total', '--index', '1'],
  ['column', 'change', 'Sales', 'Order', 'placed', '--unique', '1'],
  ['model', 'upgrade', 'Sales'], ['table', 'add', 'Sales', 'Orders', 'Invoice'],
  ['column', 'add', 'Sales', 'Invoice', 'order', '--type', 'int', '--references', 'Order'],
  ['column', 'delete', 'Sales', 'Customer', 'since'],
  ['column', 'change', 'Sales', 'Customer', 'city', '--display', 'Town'],
]) run(...args);
tables.Invoice = ['order: int'];
tables.Customer.splice(2, 1);

const server = await startServer(qms, work);
const {base, token: writeToken, log: serverLog} = server;
let stopping = false;
let died = '';
const browser = await launch();
// A server that ends while the page waits for it fails the test at once:
// closing the browser ends every wait.
server.ended.then((how) => {
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
  // What is drawn, in picture units: boxes, frames and arrows.
  const geometry = () => page.evaluate(() => {
    const size = (g) => {
      const [x, y] = g.getAttribute('transform').match(/-?[\d.]+/g).map(Number);
      const r = g.querySelector('rect');
      return {x, y, width: Number(r.getAttribute('width')), height: Number(r.getAttribute('height'))};
    };
    return {
      boxes: [...document.querySelectorAll('g.table')].map((g) => ({...size(g),
        name: g.querySelector('text.name').textContent, folder: Number(g.dataset.folder)})),
      frames: [...document.querySelectorAll('g.folder')].map((g) => ({...size(g),
        id: Number(g.dataset.id), parent: Number(g.dataset.parent)})),
      arrows: [...document.querySelectorAll('polyline.reference')].map((l) => ({loop: l.classList.contains('loop'),
        title: l.querySelector('title').textContent,
        points: l.getAttribute('points').split(' ').map((p) => p.split(',').map(Number))})),
    };
  });
  const inside = (b, f) => b.x >= f.x && b.y >= f.y && b.x + b.width <= f.x + f.width &&
      b.y + b.height <= f.y + f.height;
  const overlap = (a, b) => a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
      b.y < a.y + a.height;
  // Each frame holds its boxes and sub-frames; sibling frames do not overlap.
  const framesHoldTheirBoxes = (g) => {
    for (const f of g.frames) {
      for (const b of g.boxes.filter((x) => x.folder === f.id)) assert.ok(inside(b, f), `${b.name} in frame ${f.id}`);
      for (const sub of g.frames.filter((x) => x.parent === f.id)) assert.ok(inside(sub, f), `frame ${sub.id} in ${f.id}`);
      for (const other of g.frames.filter((x) => x.parent === f.parent && x.id > f.id)) {
        assert.ok(!overlap(f, other), `frames ${f.id} and ${other.id} overlap`);
      }
    }
  };
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

  const marks = await page.$$eval('g.table', (gs) => gs.flatMap((g) => [...g.querySelectorAll('text.column')]
      .map((c) => `${g.querySelector('text.name').textContent}.${c.textContent} ${c.nextSibling?.classList.contains('marks') ? c.nextSibling.firstChild.textContent : ''}`)));
  for (const line of ['Customer.name: text K', 'Customer.referrer: int FK', 'Order.customer: int FK',
    'Order.total: real IX', 'Order.placed: text UQ', 'Customer.city: text ']) {
    assert.ok(marks.includes(line), `${line} in ${marks}`);
  }
  const drawnNow = await geometry();
  const loop = drawnNow.arrows.find((a) => a.loop);
  const customerBox = drawnNow.boxes.find((b) => b.name === 'Customer');
  assert.equal(loop?.title, 'Customer.referrer: int -> Customer');
  const right = customerBox.x + customerBox.width;
  assert.deepEqual([loop.points[0][0], loop.points.at(-1)[0]], [right, right], 'the loop starts and ends at the right side');
  assert.ok(loop.points.some(([x]) => x > right), 'the loop goes out of the box');
  const checkArrows = (g) => {
    assert.ok(g.arrows.length >= 4);
    for (const a of g.arrows) {
      for (let i = 0; i + 1 < a.points.length; ++i) {
        const [[x1, y1], [x2, y2]] = [a.points[i], a.points[i + 1]];
        assert.ok(x1 === x2 || y1 === y2, `${a.title}: a right angle at ${a.points[i]}`);
        for (const b of g.boxes) {
          const through = x1 === x2
            ? x1 > b.x && x1 < b.x + b.width && Math.min(y1, y2) < b.y + b.height && Math.max(y1, y2) > b.y
            : y1 > b.y && y1 < b.y + b.height && Math.min(x1, x2) < b.x + b.width && Math.max(x1, x2) > b.x;
          assert.ok(!through, `${a.title} runs through ${b.name}: ${a.points.join(" ")}`);
        }
      }
    }
  };
  checkArrows(drawnNow);
  framesHoldTheirBoxes(drawnNow);
  step('key, index, unique and reference marks; a loop for the own table; arrows at right angles around boxes');

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
  await page.click('#results button');
  await page.waitForFunction(() => document.querySelector('#panel h2')?.textContent === 'Customer');
  await new Promise((r) => setTimeout(r, 100));  // the view moves at the next frame
  const [found, canvasRect, panelRect] = await page.evaluate(() => [
    document.querySelector('g.table.found rect.body').getBoundingClientRect().toJSON(),
    document.getElementById('canvas').getBoundingClientRect().toJSON(),
    document.getElementById('panel').getBoundingClientRect().toJSON()]);
  assert.ok(Math.abs(found.x + found.width / 2 - (canvasRect.left + panelRect.left) / 2) < 3,
      `the found box is centred left of the panel: ${found.x + found.width / 2} of ${canvasRect.left}-${panelRect.left}`);
  assert.ok(Math.abs(found.y + found.height / 2 - (canvasRect.top + canvasRect.height / 2)) < 3);
  await page.keyboard.press('Escape');
  await page.waitForSelector('#panel', {hidden: true});
  await page.$eval('#search', (s) => { s.value = ''; s.dispatchEvent(new Event('input')); });
  await page.waitForSelector('#results', {hidden: true});
  step('the search finds a column and centres it beside the open panel; Esc closes the panel');

  // A write with a wrong token is refused, said so, and the box goes back.
  // (With a token the edit bar shows above the drawing, which moves down.)
  await page.type('#token', 'wrong');
  const customer = await box('Customer');
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
  await drag({x: before.screen.x + before.screen.width - 3, y: before.screen.y + before.screen.height - 3}, 10, 30);  // no box overlaps another: arrows go around all
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
  const afterReload = await geometry();
  framesHoldTheirBoxes(afterReload);
  checkArrows(afterReload);
  step('a dragged and a resized box stay after a reload and in qms diagram; frames hold their boxes');

  // A frame dragged by its name line carries its boxes; after a reload they are where it left them.
  const oddBox = (g) => g.boxes.find((b) => b.name === hostile);
  const oddFrame = afterReload.frames.find((f) => f.id === oddBox(afterReload).folder);
  const head = await page.$eval(`g.folder[data-id="${oddFrame.id}"] rect.frame-head`, (r) => r.getBoundingClientRect().toJSON());
  await drag({x: head.x + head.width / 2, y: head.y + 8}, 0, 160);
  await page.waitForFunction(() => document.body.dataset.lastWriteMs);
  await page.reload();
  await drawn();
  const framed = await geometry();
  assert.ok(oddBox(framed).y > oddBox(afterReload).y + 50, 'the box went down with its frame');
  assert.equal(oddBox(framed).x, oddBox(afterReload).x);
  framesHoldTheirBoxes(framed);
  checkArrows(framed);
  step('a frame dragged moves its boxes; after a reload frames hold their boxes and do not overlap');

  // A box dragged onto its folder's sibling: its frame follows it while it
  // moves, the sibling makes room, and so it stays after a reload.
  const hostileAt = (await box(hostile)).screen;
  await page.mouse.move(hostileAt.x + 20, hostileAt.y + 10);
  await page.mouse.down();
  for (let i = 1; i <= 5; ++i) await page.mouse.move(hostileAt.x + 20 + 30 * i, hostileAt.y + 10 - 60 * i);
  const moving = await geometry();
  const movingFrame = moving.frames.find((f) => f.id === oddBox(moving).folder);
  assert.ok(inside(oddBox(moving), movingFrame), 'the frame follows the box while it moves');
  await page.evaluate(() => { delete document.body.dataset.lastWriteMs; });
  await page.mouse.up();
  await page.waitForFunction(() => document.body.dataset.lastWriteMs);
  await page.reload();
  await drawn();
  const pushed = await geometry();
  assert.ok(oddBox(pushed).y < oddBox(framed).y - 200, 'the box stayed where it was dropped');
  framesHoldTheirBoxes(pushed);
  checkArrows(pushed);
  step('a box dragged onto a sibling folder: its frame follows, the sibling makes room, also after a reload');

  // Fit, zoom and the keyboard.
  const scale = () => page.$eval('#scale', (n) => parseInt(n.textContent, 10));
  await page.mouse.click(5, 200);
  const before0 = await scale();
  for (let i = 0; i < 3; ++i) await page.keyboard.press('+');
  await page.waitForFunction((k) => parseInt(document.getElementById('scale').textContent, 10) > k, {}, before0);
  await page.keyboard.press('0');
  await page.waitForFunction((k) => parseInt(document.getElementById('scale').textContent, 10) <= k, {}, before0);
  const fitted = await scale();
  const all = await page.$$eval('g.table rect.body', (r) => r.map((x) => x.getBoundingClientRect().toJSON()));
  const area = await page.$eval('#canvas', (c) => c.getBoundingClientRect().toJSON());
  for (const b of all) assert.ok(inside(b, area), `fit shows ${JSON.stringify(b)}`);
  await page.keyboard.press('+');
  await page.waitForFunction((k) => parseInt(document.getElementById('scale').textContent, 10) > k, {}, fitted);
  await page.keyboard.press('-');
  await page.keyboard.press('-');
  await page.waitForFunction((k) => parseInt(document.getElementById('scale').textContent, 10) < k, {}, fitted);
  await page.click('#zoom-in');
  await page.click('#fit');
  await page.waitForFunction((k) => parseInt(document.getElementById('scale').textContent, 10) === k, {}, fitted);
  await page.keyboard.press('/');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'search');
  await page.keyboard.press('Escape');
  step('fit shows every box; + - 0, the zoom buttons and / work');

  // Display names instead of names: Customer.city is drawn as Town.
  await page.click('#display-names');
  await page.waitForFunction(() => [...document.querySelectorAll('text.column')].some((t) => t.textContent === 'Town: text'));
  await page.click('#display-names');
  await page.waitForFunction(() => [...document.querySelectorAll('text.column')].some((t) => t.textContent === 'city: text'));
  step('the switch between names and display names');

  // Export: a PNG and an SVG file of the whole picture.
  const downloads = fs.mkdtempSync(path.join(os.tmpdir(), 'qms_downloads_'));
  const cdp = await page.createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: downloads});
  for (const button of ['#export-svg', '#export-png']) await page.click(button);
  const file = (name) => path.join(downloads, name);
  for (let i = 0; i < 100 && !(fs.existsSync(file('Sales-v2.png')) && fs.existsSync(file('Sales-v2.svg'))); ++i) {
    await new Promise((r) => setTimeout(r, 100));
  }
  const png = fs.readFileSync(file('Sales-v2.png'));
  assert.equal(png.subarray(0, 8).toString('latin1'), '\x89PNG\r\n\x1a\n');
  assert.ok(png.readUInt32BE(16) > 300 && png.readUInt32BE(20) > 200, 'a PNG of the whole picture');
  const exported = await page.evaluate((text) => {
    const doc = new DOMParser().parseFromString(text, 'image/svg+xml');
    return {error: doc.querySelector('parsererror')?.textContent ?? '',
      texts: [...doc.querySelectorAll('text')].map((t) => t.textContent),
      arrows: doc.querySelectorAll('polyline').length};
  }, fs.readFileSync(file('Sales-v2.svg'), 'utf8'));
  assert.equal(exported.error, '');
  for (const [table, columns] of Object.entries(tables)) {
    for (const text of [table, ...columns]) assert.ok(exported.texts.includes(text), `${text} exported`);
  }
  assert.equal(exported.arrows, framed.arrows.length);
  fs.rmSync(downloads, {recursive: true, force: true});
  step('PNG and SVG export of the whole picture');

  await page.emulateMediaFeatures([{name: 'prefers-color-scheme', value: 'dark'}]);
  assert.equal(await page.$eval('#canvas', (c) => getComputedStyle(c).backgroundColor), 'rgb(23, 25, 35)');
  await page.screenshot({path: path.join(artifacts, 'qms-serve-dark.png')});
  await page.emulateMediaFeatures([{name: 'prefers-color-scheme', value: 'light'}]);
  assert.equal(await page.$eval('#canvas', (c) => getComputedStyle(c).backgroundColor), 'rgb(255, 255, 255)');
  step('dark colours when the system asks for them (screenshot qms-serve-dark.png)');

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
  assert.deepEqual(await page.$$eval('#legend .count', (n) => n.map((c) => `${c.dataset.kind}: ${c.textContent}`)),
      ['added: 1 table, 0 columns', 'changed: 1 table, 1 column', 'ended: 0 tables, 1 column']);
  assert.deepEqual(await page.$$eval('#legend .changed-columns li', (n) => n.map((c) => c.textContent)),
      ['Customer.city DisplayName: "city" \u2192 "Town"']);
  await page.screenshot({path: path.join(artifacts, 'qms-serve-compare.png')});
  await page.reload();
  await drawn();
  assert.deepEqual(await marked(), expected);
  await page.select('#compare', '');
  await drawn();
  assert.deepEqual(await marked(), []);
  assert.ok(await page.$eval('#legend', (l) => l.hidden));
  step('version 2 compared with version 1 marks what changed, with a legend of counts and old -> new (screenshot qms-serve-compare.png)');

  assert.deepEqual(dialogs, []);
  assert.deepEqual(problems.filter((p) => !p.includes('status of 403')), []);
  step(`no dialog and no error on the page; screenshots in ${artifacts}`);
} catch (e) {
  throw died ? new Error(died) : e;
} finally {
  stopping = true;
  await browser.close().catch(() => {});
  await server.stop();
  fs.rmSync(work, {recursive: true, force: true});
}
console.log(`${passed.length} passed, 0 failed`);
