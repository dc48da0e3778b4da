// By hand: screenshots of the page for a model of 30 and of 150 tables,
// light and dark, the large one also arranged, and two editing forms
// (docs/ keeps some of them):
//   node tests/browser/screenshots.mjs build/bin/qms OUTPUT_FOLDER
import {execFileSync} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {launch, pageWithToken} from './chromium.mjs';
import {modelFile} from './model-file.mjs';
import {startServer} from './serve.mjs';

const [qms, out] = process.argv.slice(2).map((p) => path.resolve(p));
fs.mkdirSync(out, {recursive: true});
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'qms_shots_'));
const run = (...args) => execFileSync(qms, args, {cwd: work, encoding: 'utf8', timeout: 60000});
run('init');
run('project', 'create', 'Shop');
for (const [name, count] of [['Thirty', 30], ['Large', 150]]) {
  run('model', 'create', 'Shop', name);
  fs.writeFileSync(path.join(work, 'm.json'), JSON.stringify(modelFile('Shop', name, count, 6)));
  run('model', 'apply', name, 'm.json');
}
const models = JSON.parse(run('model', 'list', '--json'));
const server = await startServer(qms, work);
const browser = await launch();
try {
  const page = await pageWithToken(browser, server.token, 1400, 860);
  page.on('dialog', (d) => d.accept());
  for (const scheme of ['light', 'dark']) {
    await page.emulateMediaFeatures([{name: 'prefers-color-scheme', value: scheme}]);
    for (const m of models.filter((x) => ['Thirty', 'Large'].includes(x.name))) {
      await page.goto(`${server.base}#/model/${m.id}`);
      await page.waitForFunction(() => document.body.dataset.drawnMs);
      await page.evaluate(() => { delete document.body.dataset.drawnMs; });
      await new Promise((r) => setTimeout(r, 300));
      await page.screenshot({path: path.join(out, `${m.name}-${scheme}.png`)});
      if (m.name === 'Thirty' && scheme === 'light') {
        // The editing forms: a column's, and a refusal beside its field.
        const head = await page.$eval('g.table[data-id] rect.head', (h) => h.getBoundingClientRect().toJSON());
        await page.mouse.click(head.x + 10, head.y + 8);
        await page.waitForSelector('#panel tr[data-id] button');
        await page.click('#panel tr[data-id]:nth-child(3) button');
        await page.waitForSelector('form.edit');
        await page.screenshot({path: path.join(out, `${m.name}-edit-column.png`)});
        await page.keyboard.press('Escape');
        await page.click('#new-table');
        await page.waitForSelector('form.edit');
        await page.type('#edit-name', 'T3');
        await page.type('#edit-display', 'Customer orders');
        await page.click('form.edit button[type=submit]');
        await page.waitForSelector('form.edit p.refusal:not([hidden])');
        await page.screenshot({path: path.join(out, `${m.name}-edit-refused.png`)});
        await page.keyboard.press('Escape');
      }
      if (m.name === 'Large' && scheme === 'dark') {
        await page.click('#arrange');
        await page.waitForNetworkIdle({idleTime: 500, concurrency: 1});  // the event stream stays open
        await page.screenshot({path: path.join(out, `${m.name}-${scheme}-arranged.png`)});
        for (let i = 0; i < 4; ++i) await page.keyboard.press('+');
        await new Promise((r) => setTimeout(r, 300));
        await page.screenshot({path: path.join(out, `${m.name}-${scheme}-arranged-zoomed.png`)});
      }
      if (process.env.ZOOM) {
        for (let i = 0; i < 3; ++i) await page.keyboard.press('+');
        await new Promise((r) => setTimeout(r, 300));
        await page.screenshot({path: path.join(out, `${m.name}-${scheme}-zoomed.png`)});
      }
    }
  }
} finally {
  await browser.close();
  await server.stop();
  fs.rmSync(work, {recursive: true, force: true});
}
