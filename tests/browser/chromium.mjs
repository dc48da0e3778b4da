// Debian's chromium, headless, in a new empty profile, with the background
// traffic that would flood a closed network turned off.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

/** The browser, with `extra` arguments; close() also removes its profile. */
export async function launch(extra = []) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'qms_chromium_'));
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync', ...extra],
  });
  const close = browser.close.bind(browser);
  browser.close = async () => {
    await close();
    fs.rmSync(profile, {recursive: true, force: true});
  };
  return browser;
}

/**
 * A new page of `owner` (the browser or one of its contexts) of the given
 * size, which finds the write token `token` in its session storage.
 */
export async function pageWithToken(owner, token, width, height) {
  const page = await owner.newPage();
  await page.setViewport({width, height});
  await page.evaluateOnNewDocument((t) => sessionStorage.setItem('qms-write-token', t), token);
  return page;
}
