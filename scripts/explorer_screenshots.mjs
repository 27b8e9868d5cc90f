// Photographs views of an explorer page in headless Chromium:
//   node explorer_screenshots.mjs PAGE.html FOLDER HASH FILE [HASH FILE]...
import { createRequire } from 'node:module';
import { pathToFileURL, fileURLToPath } from 'node:url';
import path from 'node:path';

const here = path.dirname(fileURLToPath(import.meta.url));
const require = createRequire(path.join(here, '../tests/browser/package.json'));
const { chromium } = require('playwright-core');

const [file, folder, ...pairs] = process.argv.slice(2);
const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--hide-scrollbars'],
});
const page = await browser.newPage({ viewport: { width: 1100, height: 820 }, colorScheme: 'light' });
for (let i = 0; i + 1 < pairs.length; i += 2) {
  await page.goto(pathToFileURL(path.resolve(file)).href + pairs[i]);
  await page.waitForFunction(() => window.ziraViewDone !== undefined);
  await page.screenshot({ path: path.join(folder, pairs[i + 1]) });
  console.log(path.join(folder, pairs[i + 1]));
}
await browser.close();
