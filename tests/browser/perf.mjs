// By hand: how fast the page of a large model is drawn and takes a box
// move, in headless chromium. Serve a model first, e.g. the benchmark's
// 2,000 tables x 20 columns:
//   ARX_SERVE_HOLD=120 build/bin/bench_serve --benchmark_filter=Layout &
//   node tests/browser/perf.mjs URL MODEL_ID TOKEN
// Prints the time from navigation until the picture is painted, until a
// box dragged right then is stored, and from pointer-up to the stored write.
import {launch, pageWithToken} from './chromium.mjs';

const [url, model, token] = process.argv.slice(2);
const browser = await launch();
try {
  const page = await pageWithToken(browser, token, 1280, 720);
  await page.goto(`${url}#/model/${model}`);
  await page.waitForFunction(() => document.body.dataset.drawnMs, {timeout: 60000});
  const drawn = Number(await page.evaluate(() => document.body.dataset.drawnMs));
  const box = await page.$eval('g.table', (g) => g.querySelector('rect.head').getBoundingClientRect().toJSON());
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  await page.mouse.down();
  for (let i = 1; i <= 5; ++i) await page.mouse.move(box.x + box.width / 2 + 8 * i, box.y + box.height / 2 + 4 * i);
  await page.mouse.up();
  await page.waitForFunction(() => document.body.dataset.lastWriteMs);
  const [write, stored] = await page.evaluate(() => [Number(document.body.dataset.lastWriteMs), performance.now()]);
  const boxes = await page.$$eval('g.table', (g) => g.length);
  console.log(`${boxes} boxes: drawn ${drawn} ms after navigation; a box dragged then stored ` +
      `${stored.toFixed(0)} ms after navigation; pointer-up to stored write ${write} ms`);
} finally {
  await browser.close();
}
