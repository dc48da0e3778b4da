// Editing a model in the page of qms serve, in headless Debian chromium, as
// a person does it: a model made from nothing through the page's forms
// (the project, the model, folders nested, five tables with references,
// their columns, a version upgrade and the comparison), then read back
// with qms; a refusal shown beside its field; the edit bar covering no
// folder's name; a stale write (412) refused while another browser changed
// the table; undo and redo, a deleted record coming back under a new id,
// the lists kept over a reload, a folder with what it held, a project made
// and an upgrade taken back, an undo refused once the version is locked
// or the project holds a model; the Delete key with its confirmation and
// Esc; hostile names in every field, shown as text with nothing run; a
// read-only server offers no editing. One chromium, two browser contexts.
//
//   node edit.test.mjs QMS ARTIFACT_FOLDER      (run.sh checks what it needs)
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {launch} from './chromium.mjs';
import {startServer} from './serve.mjs';

const [qms, artifacts] = process.argv.slice(2).map((p) => path.resolve(p));
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'qms_edit_'));
fs.mkdirSync(artifacts, {recursive: true});
// Every wait has a deadline: a command 60 s, a server's start 30 s, the
// page's waits 15 s, a server's stop 10 s.
const run = (...args) => execFileSync(qms, args, {cwd: work, encoding: 'utf8', timeout: 60000});
const json = (...args) => JSON.parse(run(...args, '--json'));

const img = '<img src=x onerror=alert(1)>';
const quotes = 'Say "hi" & \'bye\'';
const long = `L${'o'.repeat(120)}ng`;  // 123 bytes: within the 128 a name may have
const chinese = '订单明细 Kundenübersicht';  // GBK stores ü, not Ü
run('init');

const [server, readOnly, browser] = await Promise.all([startServer(qms, work),
  startServer(qms, work, ['--read-only']), launch()]);
let stopping = false;
let died = '';
for (const s of [server, readOnly]) {
  s.ended.then((how) => {
    if (stopping) return;
    died = `qms serve ended (${how}) during the test: ${s.log.join('')}`;
    browser.close();
  });
}
const passed = [];
function step(name) {
  passed.push(name);
  console.log(`ok ${passed.length} - ${name} (${(performance.now() / 1000).toFixed(1)} s)`);
}

// A page of its own browser context, with what went wrong on it collected.
async function newPage(context) {
  const page = await context.newPage();
  page.setDefaultTimeout(15000);
  await page.setViewport({width: 1280, height: 760});
  page.dialogs = [];
  page.problems = [];
  page.on('dialog', (d) => { page.dialogs.push(d.message()); d.dismiss(); });
  page.on('pageerror', (e) => page.problems.push(String(e)));
  page.images = [];  // an image a name would have made loads /x
  page.on('request', (q) => { if (q.url().endsWith('/x')) page.images.push(q.url()); });
  page.on('console', (m) => { if (m.type() === 'error') page.problems.push(m.text()); });
  return page;
}

let a = null;
try {
  a = await newPage(await browser.createBrowserContext());
  // No request under way but the event stream: the live redraws of the
  // page's own edits are done.
  const quiet = (page = a) => page.waitForNetworkIdle({idleTime: 120, concurrency: 1, timeout: 15000});
  // A model drawn: shown anew (drawnMs) or drawn again in place (liveDrawnMs).
  const drawn = async (page = a) => {
    await page.waitForFunction(() => document.body.dataset.drawnMs || document.body.dataset.liveDrawnMs);
    await page.evaluate(() => { delete document.body.dataset.drawnMs; delete document.body.dataset.liveDrawnMs; });
  };
  const fill = (values) => a.evaluate((v) => {
    for (const [name, value] of Object.entries(v)) {
      const n = document.getElementById(`edit-${name}`);
      if (n.type === 'checkbox') n.checked = value;
      else if (n.tagName === 'SELECT') {
        n.selectedIndex = [...n.options].findIndex((o) => o.textContent === value);
        if (n.selectedIndex < 0) throw new Error(`no option ${value} in ${name}`);
      } else n.value = value;
    }
  }, values);
  // Submits the open form; answers the refusal shown beside `refused`, or
  // waits until the form closed and the model is drawn again.
  const submit = async (refused = null, redraw = true) => {
    await a.evaluate(() => { delete document.body.dataset.drawnMs; delete document.body.dataset.liveDrawnMs; });
    await a.click('form.edit button[type=submit]');
    if (refused !== null) {
      return a.$eval(`form.edit p.refusal[data-field="${refused}"]:not([hidden])`, (p) => p.textContent)
          .catch(async () => {
            await a.waitForSelector(`form.edit p.refusal[data-field="${refused}"]:not([hidden])`);
            return a.$eval(`form.edit p.refusal[data-field="${refused}"]`, (p) => p.textContent);
          });
    }
    await a.waitForSelector('#form-layer', {hidden: true});
    if (redraw) await drawn();
    await quiet();
    return '';
  };
  const form = async (button, values, refused = null) => {
    await a.click(button);
    await a.waitForSelector('form.edit');
    await fill(values);
    return submit(refused);
  };
  const tableIds = () => a.evaluate(() => Object.fromEntries([...document.querySelectorAll('g.table')]
      .map((g) => [g.querySelector('text.name').textContent, Number(g.dataset.id)])));
  const openBox = async (name) => {
    await quiet();
    if (await a.$eval('#panel', (p, n) => !p.hidden && p.querySelector('h2')?.textContent === n, name)) return;
    await a.keyboard.press('0');
    const at = await a.evaluate((n) => [...document.querySelectorAll('g.table')]
        .find((g) => g.querySelector('text.name').textContent === n)
        .querySelector('rect.head').getBoundingClientRect().toJSON(), name);
    await a.mouse.click(at.x + 10, at.y + at.height / 2);
    await a.waitForFunction((n) => document.querySelector('#panel:not([hidden]) h2')?.textContent === n, {}, name);
  };
  const openFrame = async (id) => {
    await a.keyboard.press('0');
    const at = await a.$eval(`g.folder[data-id="${id}"] rect.frame-head`, (r) => r.getBoundingClientRect().toJSON());
    await a.mouse.click(at.x + 4, at.y + at.height / 2);
    await a.waitForSelector('#panel:not([hidden]) .edit-actions');
  };

  // The write token as a person enters it: the edit bar appears only then.
  await a.goto(server.base);
  await a.waitForSelector('#lists h1');
  assert.equal(await a.$('#lists .edit-actions'), null, 'no editing without the token');
  await a.type('#token', server.token);
  await a.waitForSelector('#lists .edit-actions');
  await quiet();
  const newProject = async (values, refused = null) => {
    await a.click('#lists .edit-actions button');
    await a.waitForSelector('form.edit');
    await fill(values);
    return submit(refused, false);
  };
  assert.match(await newProject({name: 'Ünïcødé'}, 'name'), /holds Ü \(U\+00DC\), which GBK cannot store/);
  await fill({name: 'Shop', author: img, type: 'application'});
  await submit(null, false);
  await a.waitForFunction(() => document.querySelector('#lists h1')?.textContent === 'Shop');
  const made = json('project', 'show', 'Shop');
  assert.deepEqual([made.name, made.author, made.type, made.models], ['Shop', img, 2, []]);
  step('with the token the list of projects offers "New project": a refusal beside its field, the project made');

  // Undo of a new project deletes it while it is empty; redo makes it again.
  await a.goto(server.base);
  await a.waitForSelector('#lists .edit-actions');
  await newProject({name: 'Scratch'});
  await a.waitForFunction(() => document.querySelector('#lists h1')?.textContent === 'Scratch');
  const projectNames = async () => (await (await fetch(new URL('/api/projects', server.base))).json()).map((p) => p.name).sort();
  const message = (pattern) => a.waitForFunction((p) => new RegExp(p).test(document.querySelector('#message span').textContent), {}, pattern.source);
  await a.evaluate(() => document.activeElement?.blur());
  await a.keyboard.down('Control');
  await a.keyboard.press('z');
  await a.keyboard.up('Control');
  await message(/^Undone: new project Scratch$/);
  await a.waitForFunction(() => document.querySelector('#lists h1')?.textContent === 'Projects');
  assert.deepEqual(await projectNames(), ['Shop']);
  await a.click('#lists button.redo');
  await message(/^Redone: new project Scratch$/);
  await a.waitForFunction(() => document.querySelector('#lists h1')?.textContent === 'Scratch');
  assert.deepEqual(await projectNames(), ['Scratch', 'Shop']);
  run('model', 'create', 'Scratch', 'Held');  // someone else fills it
  await a.waitForFunction(() => [...document.querySelectorAll('#lists a')].some((l) => l.textContent === 'Held'));
  await quiet();
  await a.click('#lists button.undo');
  await message(/^Cannot undo/);
  assert.match(await a.$eval('#message span', (n) => n.textContent),
      /^Cannot undo "new project Scratch": project Scratch is no longer empty: undo would delete its models .* it is taken off the undo list$/);
  assert.deepEqual(json('project', 'show', 'Scratch').models.map((m) => m.name), ['Held']);
  assert.equal(await a.$eval('#lists button.undo', (u) => u.title), 'Undo: new project Shop (Ctrl+Z)');
  run('project', 'delete', 'Scratch');
  step('undo and redo of a new project; its undo refused once it holds a model, which stays');

  // Undo of a new model deletes it while nothing in it changed, also once
  // redo made it again under a new id.
  const openShop = async () => {
    await a.goto(server.base);
    await a.locator('a::-p-text(Shop)').click();
    await a.waitForSelector('#lists .edit-actions');
    await quiet();
  };
  const shopModels = () => json('project', 'show', 'Shop').models.map((m) => m.name);
  await openShop();
  await a.click('#lists .edit-actions button');
  await a.waitForSelector('form.edit');
  await fill({name: 'Draft'});
  await submit();
  for (const _ of [1, 2]) {
    await openShop();
    await a.click('#lists button.undo');
    await message(/^Undone: new model Draft$/);
    assert.deepEqual(shopModels(), []);
    await a.click('#lists button.redo');
    await message(/^Redone: new model Draft$/);
    await a.waitForFunction(() => /Shop \/ Draft v1$/.test(document.querySelector('#crumbs').textContent));
    assert.deepEqual(shopModels(), ['Draft']);
  }
  run('folder', 'add', 'Draft', 'Kept');  // someone else adds to it
  await openShop();
  await a.click('#lists button.undo');
  await message(/^Cannot undo/);
  assert.match(await a.$eval('#message span', (n) => n.textContent),
      /^Cannot undo "new model Draft": model Draft changed since it was made: undo would delete what was added to it .* it is taken off the undo list$/);
  assert.deepEqual(shopModels(), ['Draft']);
  const draft = json('project', 'show', 'Shop').models[0].id;
  assert.equal(await a.evaluate(async (base, token, id) => (await fetch(`${base}api/models/${id}?confirm=Draft`,
      {method: 'DELETE', headers: {'Content-Type': 'application/json', 'X-QMS-Token': token}})).status,
  server.base, server.token, draft), 200);
  step('undo and redo of a new model, twice; its undo refused once someone added to it, which stays');

  await a.goto(server.base);
  await a.locator('a::-p-text(Shop)').click();
  await a.waitForSelector('#lists .edit-actions');
  await quiet();
  await a.click('#lists .edit-actions button');
  await a.waitForSelector('form.edit');
  await fill({name: 'Sales', display: 'Ünïcødé'});
  assert.match(await submit('display'), /holds Ü \(U\+00DC\), which GBK cannot store — use printable characters GBK can store/);
  await fill({display: chinese});
  await submit();
  assert.match(await a.$eval('#crumbs', (n) => n.textContent), /Shop \/ Sales v1$/);
  assert.ok(await a.$eval('#edit-tools', (n) => n.checkVisibility()));
  step('with the token a project offers "New model"; the model made is drawn');

  // Folders, nested, and a refusal beside the name field.
  const refusal = await form('#new-folder', {name: 'a/b'}, 'name');
  assert.match(refusal, /a folder name holds no '\/' \u2014 leave out the '\/'/);
  assert.equal(await a.$$eval('g.folder', (g) => g.length), 0, 'a refused form changes nothing');
  await a.keyboard.press('Escape');
  await a.waitForSelector('#form-layer', {hidden: true});
  await form('#new-folder', {name: 'Orders'});
  await form('#new-folder', {name: img, parent: 'Orders'});
  await form('#new-folder', {name: chinese, parent: `Orders/${img}`});
  await form('#new-folder', {name: quotes});
  const folders = await a.$$eval('g.folder', (g) => g.map((f) => [f.querySelector('text').textContent, Number(f.dataset.id)]));
  const folder = Object.fromEntries(folders);
  assert.deepEqual(Object.keys(folder).sort(), ['Orders', img, chinese, quotes].sort());
  step('folders made in the page, nested two deep; a refused name is shown beside its field with what to do');

  // Five tables and their columns with references, in the folders.
  const tables = [['Customer', 'Orders', 'Kunde'], ['Order', 'Orders', quotes], [img, `Orders/${img}`, long],
    [chinese, `Orders/${img}/${chinese}`, chinese], [long, quotes, img]];
  for (const [name, where, display] of tables) await form('#new-table', {folder: where, name, display});
  const id = await tableIds();
  assert.deepEqual(Object.keys(id).sort(), tables.map((t) => t[0]).sort());
  const columns = [
    ['Customer', {name: 'name', type: 'text', display: img, default: quotes, maxLength: '40', unique: true}],
    ['Customer', {name: 'referrer', type: 'int', references: 'Customer'}],
    ['Order', {name: 'customer', type: 'int', index: true, references: 'Customer'}],
    ['Order', {name: img, type: 'text', display: chinese, default: img}],
    [img, {name: 'order', type: 'int', references: 'Order'}],
    [chinese, {name: chinese, type: 'int', display: long, references: img}],
    [long, {name: 'ref', type: 'int', display: quotes, references: chinese}],
  ];
  for (const [table, values] of columns) {
    await openBox(table);
    await a.click('#panel .edit-actions button[title="A new column of this table"]');
    await a.waitForSelector('form.edit');
    if (table === long) {  // the library's own refusal, beside the field
      await fill({...values, name: quotes});
      assert.match(await submit('name'), /列名称含有不允许的字符.* — nothing was written/);
    }
    await fill(values);
    await submit();
  }
  assert.deepEqual(await a.$$eval('polyline.reference', (l) => l.map((x) => x.classList.contains('loop'))).then((l) => l.sort()),
      [false, false, false, false, true], 'five references drawn, one a loop');
  await a.screenshot({path: path.join(artifacts, 'qms-serve-edit-model.png')});
  step('five tables with columns referring to each other, all made in the page');

  // The edit bar is no part of the drawing: after a fit every frame's name
  // line shows, also in a window too low for the model at full size.
  await a.click('#panel .close');
  await a.setViewport({width: 1280, height: 400});
  await a.keyboard.press('0');
  const covered = await a.evaluate(() => {
    const bar = document.getElementById('edit-tools').getBoundingClientRect();
    const canvas = document.getElementById('canvas').getBoundingClientRect();
    return [...document.querySelectorAll('g.folder rect.frame-head')].map((h) => h.getBoundingClientRect())
        .filter((h) => h.top < bar.bottom || h.top < canvas.top || h.left < canvas.left).length;
  });
  assert.equal(covered, 0, 'a frame\'s name line under the edit bar');
  await a.setViewport({width: 1280, height: 760});
  await a.keyboard.press('0');
  step('after a fit no folder frame\'s name is under the edit bar');

  // A table's display name and folder changed, a column changed.
  await openBox('Customer');
  await a.click('#panel .edit-actions button');
  await a.waitForSelector('form.edit');
  assert.equal(await a.$eval('#edit-name', (n) => n.textContent), 'Customer');
  await fill({display: 'Client', folder: quotes});
  await submit();
  assert.ok(await a.$eval('#panel:not([hidden]) h2', (h) => h.textContent === 'Customer'), 'the panel stays open');
  assert.equal(await a.$eval('#panel dd.folders', (n) => n.textContent), quotes);
  await a.click('#panel tr[data-id] button');
  await a.waitForSelector('form.edit');
  assert.deepEqual(await a.$$eval('form.edit input, form.edit select', (n) => n.map((x) =>
    (x.type === 'checkbox' ? x.checked : x.tagName === 'SELECT' ? x.selectedOptions[0].textContent : x.value))),
  ['text', img, quotes, false, true, '40', '(none)'], 'the form shows the column as it stands');
  await fill({maxLength: '60', index: true, display: 'Full name'});
  await submit();
  step('a table renamed (display) and moved, a column changed; the panel stays open');

  // A screenshot of a form with a refusal beside its field.
  await a.click('#panel .edit-actions button[title="A new column of this table"]');
  await a.waitForSelector('form.edit');
  await fill({name: 'name', type: 'int', display: 'Name again', index: true});
  assert.match(await submit('name'), /exists/);
  await a.screenshot({path: path.join(artifacts, 'qms-serve-edit-form.png')});
  await a.keyboard.press('Escape');
  await a.waitForSelector('#form-layer', {hidden: true});

  // What the page made, as qms reads it.
  const model = json('model', 'show', 'Sales');
  assert.equal(model.display, chinese);
  const tree = (list) => list.map((f) => ({name: f.name, tables: f.tables.map((t) => t.name).sort(), folders: tree(f.folders)}));
  assert.deepEqual(tree(model.folders.filter((f) => !f.temporary)).sort((x, y) => (x.name < y.name ? -1 : 1)), [
    {name: 'Orders', tables: ['Order'], folders: [{name: img, tables: [img], folders: [{name: chinese, tables: [chinese], folders: []}]}]},
    {name: quotes, tables: ['Customer', long].sort(), folders: []},
  ].sort((x, y) => (x.name < y.name ? -1 : 1)));
  const customer = json('table', 'show', 'Sales', 'Customer');
  assert.equal(customer.display, 'Client');
  assert.deepEqual(customer.columns.map((c) => [c.name, c.type, c.display, c.default, c.index, c.unique, c.maxLength, c.references]),
      [['name', 'text', 'Full name', quotes, true, true, 60, ''], ['referrer', 'int', 'referrer', '', false, false, customer.columns[1].maxLength, 'Customer']]);
  assert.deepEqual(json('table', 'show', 'Sales', chinese).columns.map((c) => [c.name, c.display, c.references]), [[chinese, long, img]]);
  assert.deepEqual(json('table', 'show', 'Sales', long).columns.map((c) => [c.name, c.display, c.references]), [['ref', quotes, chinese]]);
  step('qms model show / table show --json read what the page made, names and all fields as given');

  // From here the server's answers (the same as qms's, ServeTest checks) say what is stored.
  const read = async (url) => (await fetch(new URL(url, server.base))).json();
  const shop = (await read('/api/projects'))[0].id;
  const stored = async (name) => {
    const shown = await read(`/api/models/${model.id}`);
    return read(`/api/models/${model.id}/tables/${shown.diagram.tables.find((t) => t.name === name).id}`);
  };

  // Undo and redo: a change, a new table, a deleted column and a deleted
  // table come back (under new ids, which later undos reach).
  const undo = async () => { await a.evaluate(() => { delete document.body.dataset.drawnMs; delete document.body.dataset.liveDrawnMs; }); await a.keyboard.down('Control'); await a.keyboard.press('z'); await a.keyboard.up('Control'); };
  const redo = async () => { await a.evaluate(() => { delete document.body.dataset.drawnMs; delete document.body.dataset.liveDrawnMs; }); await a.keyboard.down('Control'); await a.keyboard.down('Shift'); await a.keyboard.press('Z'); await a.keyboard.up('Shift'); await a.keyboard.up('Control'); };
  const said = async (pattern) => {
    await a.waitForFunction((p) => new RegExp(p).test(document.querySelector('#message span').textContent), {}, pattern.source);
    await quiet();
    return a.$eval('#message span', (n) => n.textContent);
  };
  await a.click('#panel .close');
  await a.mouse.click(640, 700);  // the page, not a field, has the keys
  await undo();
  await said(/^Undone: change column Customer\.name$/);
  await drawn();
  let c = (await stored('Customer')).columns[0];
  assert.deepEqual([c.display, c.index, c.maxLength], [img, false, 40]);
  await redo();
  await said(/^Redone: change column Customer\.name$/);
  await drawn();
  c = (await stored('Customer')).columns[0];
  assert.deepEqual([c.display, c.index, c.maxLength], ['Full name', true, 60]);
  await a.click('#undo');
  await said(/^Undone/);
  await a.click('#redo');
  await said(/^Redone/);

  await openBox('Order');
  await a.click(`#panel tr[data-id] td:first-child`);
  await a.keyboard.press('Delete');
  await a.waitForSelector('form.edit');
  assert.equal(await a.$eval('form.edit h2', (h) => h.textContent), 'Delete column Order.customer?');
  await a.keyboard.press('Escape');
  await a.waitForSelector('#form-layer', {hidden: true});
  assert.equal((await stored('Order')).columns.length, 2, 'Esc deleted nothing');
  await a.keyboard.press('Delete');
  await a.waitForSelector('form.edit');
  await submit();
  assert.deepEqual((await stored('Order')).columns.map((x) => x.name), [img]);
  await a.keyboard.press('Delete');  // the panel's table now: Order with its one column
  await a.waitForSelector('form.edit');
  assert.equal(await a.$eval('form.edit h2', (h) => h.textContent), 'Delete table Order?');
  await submit();
  assert.ok(!('Order' in await tableIds()));
  await undo();
  await drawn();
  await undo();
  await drawn();
  const order = (await stored('Order'));
  assert.deepEqual(order.columns.map((x) => [x.name, x.index, x.references, x.display, x.default]).sort(),
      [[img, false, '', chinese, img], ['customer', true, 'Customer', 'customer', '']].sort());
  assert.notEqual(order.id, id.Order, 'the table came back under a new id');
  await redo();  // deletes the column again: it is reached under its new id
  await said(/^Redone: delete column Order\.customer$/);
  await drawn();
  assert.deepEqual((await stored('Order')).columns.map((x) => x.name), [img]);
  await redo();
  await said(/^Redone: delete table Order$/);
  await drawn();
  await undo();
  await drawn();
  await undo();
  await drawn();
  assert.equal((await stored('Order')).columns.length, 2);
  step('undo and redo (keys and buttons) of a change, a deleted column and a deleted table, which come back under new ids');

  // The lists survive a reload, with the ids of records made again.
  const titles = () => a.evaluate(() => [document.getElementById('undo').title, document.getElementById('redo').title]);
  await a.waitForFunction(() => document.getElementById('redo').title.startsWith('Redo: delete column Order.customer'));
  await quiet();
  const beforeReload = await titles();
  await a.reload();
  await drawn();
  assert.deepEqual(await titles(), beforeReload);
  await a.evaluate(() => document.activeElement?.blur());  // the page has the keys
  await redo();  // the column made again by an undo before the reload
  await said(/^Redone: delete column Order\.customer$/);
  await drawn();
  assert.deepEqual((await stored('Order')).columns.map((x) => x.name), [img]);
  await undo();
  await said(/^Undone: delete column Order\.customer$/);
  await drawn();
  assert.equal((await stored('Order')).columns.length, 2);
  step('the undo and redo lists survive a reload and reach records made again under new ids');

  // A folder with a sub-folder, tables and a reference between them:
  // deleted, and made again by undo.
  await form('#new-folder', {name: 'Box', parent: '(the model: a root folder)'});
  await form('#new-folder', {name: 'Inner', parent: 'Box'});
  await form('#new-table', {folder: 'Box', name: 'Crate'});
  await form('#new-table', {folder: 'Box/Inner', name: 'Bin'});
  await openBox('Bin');
  await a.click('#panel .edit-actions button[title="A new column of this table"]');
  await a.waitForSelector('form.edit');
  await fill({name: 'crate', type: 'int', references: 'Crate'});
  await submit();
  await a.click('#panel .close');
  const boxId = (await a.$$eval('g.folder', (g) => g.map((f) => [f.querySelector('text').textContent, Number(f.dataset.id)])))
      .find(([n]) => n === 'Box')[1];
  await openFrame(boxId);
  await a.keyboard.press('Delete');
  await a.waitForSelector('form.edit');
  assert.match(await a.$eval('form.edit', (f) => f.textContent), /Goes with it: 1 folder\(s\) and 2 table\(s\).*Undo makes them again/);
  await submit();
  assert.ok(!('Crate' in await tableIds()));
  await undo();
  await said(/^Undone: delete folder Box$/);
  await drawn();
  const box = json('model', 'show', 'Sales').folders.find((f) => f.name === 'Box');
  assert.deepEqual(tree([box]), [{name: 'Box', tables: ['Crate'], folders: [{name: 'Inner', tables: ['Bin'], folders: []}]}]);
  assert.deepEqual(json('table', 'show', 'Sales', 'Bin').columns.map((x) => [x.name, x.references]), [['crate', 'Crate']]);
  step('a folder deleted with its sub-folder, tables and their reference; undo makes them all again');

  // The Delete key on a folder (after its confirmation) and undo of it.
  await form('#new-folder', {name: 'Empty', parent: quotes});
  const emptyId = (await a.$$eval('g.folder', (g) => g.map((f) => [f.querySelector('text').textContent, Number(f.dataset.id)])))
      .find(([n]) => n === 'Empty')[1];
  await openFrame(emptyId);
  await a.keyboard.press('Delete');
  await a.waitForSelector('form.edit');
  assert.match(await a.$eval('form.edit', (f) => f.textContent), /The folder is empty; undo brings it back/);
  await submit();
  assert.ok(!(await a.$$eval('g.folder text', (t) => t.map((x) => x.textContent))).includes('Empty'));
  await undo();
  await drawn();
  assert.ok((await a.$$eval('g.folder text', (t) => t.map((x) => x.textContent))).includes('Empty'));
  step('Delete on a folder asks first and deletes it; undo makes it again');

  // Two browsers on one table: B changes it through the API while A's form
  // is open; A's write is refused (412), shown, and writes nothing.
  const b = await newPage(await browser.createBrowserContext());
  await b.goto(server.base);
  await openBox(img);
  await a.click('#panel .edit-actions button');
  await a.waitForSelector('form.edit');
  await fill({display: 'A first'});  // an edit the undo below would take back
  await submit();
  await a.click('#panel .edit-actions button');
  await a.waitForSelector('form.edit');
  await fill({display: 'From A'});
  const answer = await b.evaluate(async (base, token, mid, tid) => {
    const r = await fetch(`${base}api/models/${mid}/tables/${tid}`, {method: 'PATCH',
      headers: {'Content-Type': 'application/json', 'X-QMS-Token': token}, body: JSON.stringify({display: 'From B'})});
    return r.status;
  }, server.base, server.token, model.id, id[img]);
  assert.equal(answer, 200);
  await drawn();  // A draws B's change live; its open form still holds the tag it was opened with
  const stale = await submit('');  // above the buttons: no field of the form
  assert.match(stale, new RegExp(`the model changed since it was read \\(changed: tables ${id[img]}\\) \u2014 read the model again`));
  assert.equal((await stored(img)).display, 'From B', 'nothing of A was written');
  await a.keyboard.press('Escape');
  // Undoing A's first change would overwrite B's: refused, the entry stays.
  await a.waitForSelector('#form-layer', {hidden: true});
  const top = await a.$eval('#undo', (u) => u.title);
  await undo();
  assert.match(await said(/^Cannot undo/), /the model changed since it was read \(changed: tables \d+\) — read the model again and redo the change on it$/);
  assert.equal(await a.$eval('#undo', (u) => u.title), top);
  step('a stale write (412) from one browser while another changed the table is refused and shown, and so is a stale undo; nothing written');

  // An undo refused: the version got locked meanwhile. The entry leaves the list.
  await a.reload();  // reads the model as B left it
  await drawn();
  await openBox(chinese);
  await a.click('#panel .edit-actions button');
  await a.waitForSelector('form.edit');
  await fill({display: 'Soon locked'});
  await submit();
  await a.click('#lock');
  await a.waitForSelector('form.edit');
  await submit();
  await a.mouse.click(640, 700);
  const undoneBefore = await a.$eval('#undo', (u) => u.title);
  assert.match(undoneBefore, /change table/);
  await undo();
  assert.match(await said(/^Cannot undo/), new RegExp(`^Cannot undo "change table ${chinese}": .*is locked.* \u2014 it is taken off the undo list$`));
  assert.equal((await stored(chinese)).display, 'Soon locked');
  assert.notEqual(await a.$eval('#undo', (u) => u.title), undoneBefore);
  step('an undo after the version was locked is refused with the reason and taken off the list');

  // A version upgrade, a change in it, and the comparison with version 1.
  await a.click('#upgrade');
  await a.waitForSelector('form.edit');
  await submit();
  await a.waitForFunction(() => document.getElementById('crumbs').textContent.endsWith('Sales v2'));
  // Taken back while nothing in it changed, and made again.
  await a.evaluate(() => document.activeElement?.blur());
  await undo();
  await said(/^Undone: upgrade Sales to version 2$/);
  await a.waitForFunction(() => document.getElementById('crumbs').textContent.endsWith('Sales v1'));
  await drawn();
  assert.deepEqual((await read('/api/models')).filter((m) => m.name === 'Sales').map((m) => [m.version, m.locked]), [[1, true]]);
  await redo();
  await said(/^Redone: upgrade Sales to version 2$/);
  await a.waitForFunction(() => document.getElementById('crumbs').textContent.endsWith('Sales v2'));
  await drawn();
  await form('#new-table', {folder: 'Orders', name: 'Invoice', display: 'Bill'});
  await a.select('#compare', '1');
  await drawn();
  assert.equal((await a.$$eval('#legend .count', (n) => n.map((x) => x.textContent)))[0], '1 table, 0 columns');
  const versions = (await read('/api/models')).filter((m) => m.name === 'Sales').map((m) => [m.version, m.locked]);
  assert.deepEqual(versions.sort(), [[1, true], [2, false]]);
  step('a version upgrade from the page, taken back and made again, a table added in it, and the comparison with version 1');

  // No dialog and no element made of a name: every name was text.
  for (const page of [a, b]) {
    assert.deepEqual(page.dialogs, []);
    assert.equal(await page.$$eval('img, script:not([src])', (n) => n.length), 0);
    assert.deepEqual(page.images, []);
  }
  assert.ok((await a.$$eval('#canvas text', (t) => t.map((x) => x.textContent))).includes(img));
  assert.deepEqual(a.problems.filter((p) => !/status of 4\d\d/.test(p)), []);
  step('hostile names in every field: shown as text, no dialog, no element made of them');

  // A read-only server: no edit bar, no edit buttons, no Delete key, even with the token.
  const r = b;  // B's browser context, on the read-only server's address
  await r.evaluateOnNewDocument((t) => sessionStorage.setItem('qms-write-token', t), server.token);
  await r.goto(`${readOnly.base}#/model/${model.id}`);
  await drawn(r);
  assert.equal(await r.evaluate(() => document.body.classList.contains('editable')), false);
  assert.equal(await r.$eval('#edit-tools', (n) => n.checkVisibility()), false);
  const head = await r.$eval('g.table rect.head', (h) => h.getBoundingClientRect().toJSON());
  await r.mouse.click(head.x + 10, head.y + 8);
  await r.waitForSelector('#panel:not([hidden]) h2');
  await r.keyboard.press('Delete');
  assert.equal(await r.$$eval('.edit-actions, form.edit, td.actions', (n) => n.length), 0);
  step('a read-only server offers no editing, also with the token');

  // Deleting a model and a project asks first, naming what goes.
  await a.goto(`${server.base}#/project/${shop}`);
  await a.waitForSelector('#lists .edit-actions');
  await a.click('#lists .edit-actions button');
  await a.waitForSelector('form.edit');
  await fill({name: 'Scratch'});
  await submit();
  await a.click('#delete-model');
  await a.waitForSelector('form.edit');
  assert.match(await a.$eval('form.edit', (f) => f.textContent), /Every version goes: version 1, with their folders/);
  await submit(null, false);
  await a.waitForFunction(() => document.querySelector('#lists h1')?.textContent === 'Shop');
  assert.deepEqual((await read(`/api/projects/${shop}`)).models.map((m) => m.name), ['Sales', 'Sales']);
  await a.click('#lists .edit-actions button.danger');
  await a.waitForSelector('form.edit');
  assert.match(await a.$eval('form.edit', (f) => f.textContent), /Its models go with it:Sales version 1Sales version 2/);
  await submit(null, false);
  await a.waitForFunction(() => document.querySelector('#lists h1')?.textContent === 'Projects');
  assert.deepEqual((await read('/api/projects')), []);
  step('deleting a model and a project asks first, naming the versions and models that go');
} catch (e) {
  // What the page showed: its message line and an open form.
  const shown = await a?.evaluate(() => [document.getElementById('message').innerText,
    document.querySelector('form.edit')?.innerText ?? '']).catch(() => []);
  console.log(`the page showed: ${JSON.stringify(shown)}\n${a?.problems.join('\n')}`);
  await a?.screenshot({path: path.join(artifacts, 'qms-serve-edit-failed.png')}).catch(() => {});
  throw died ? new Error(died) : e;
} finally {
  stopping = true;
  await browser.close().catch(() => {});
  await server.stop();
  await readOnly.stop();
  fs.rmSync(work, {recursive: true, force: true});
}
console.log(`${passed.length} passed, 0 failed`);
