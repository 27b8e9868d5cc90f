// Drives the race and zone pages of one sample edition in headless Chromium:
// the section shown at load, switching sections from the menu, and Show All.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { chromium } from 'playwright-core';
import { pathToFileURL } from 'node:url';
import { existsSync } from 'node:fs';
import path from 'node:path';

const reports = process.env.ZIRA_REPORTS;
const edition = process.env.ZIRA_EDITION ?? 'Cobalt';
if (!reports) throw new Error('ZIRA_REPORTS must name the folder with the pages');

let browser;
before(async () => {
  browser = await chromium.launch({
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
});
after(async () => { await browser?.close(); });

async function openPage(name) {
  const file = path.join(reports, `${edition}_${name}`);
  assert.ok(existsSync(file), `${file} exists`);
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(pathToFileURL(file).href);
  return { page, errors };
}

// The ids of the sections whose computed display is not none.
async function shownSections(page, prefix) {
  return page.$$eval(`span[id^="${prefix}"]`, (spans) =>
    spans.filter((s) => getComputedStyle(s).display !== 'none').map((s) => s.id));
}

async function menuEntry(page, text) {
  return page.locator('nobr a', { hasText: text }).first();
}

test('race page: race 1 at load, menu switches sections, Show All toggles', async () => {
  const { page, errors } = await openPage('OBRaces.htm');
  const all = await page.$$eval('span[id^="Race"]', (spans) => spans.map((s) => s.id));
  assert.ok(all.length >= 3, 'several race sections');
  assert.deepEqual(await shownSections(page, 'Race'), ['Race1']);

  const entries = await page.$$eval('nobr a', (as) => as.map((a) => a.textContent));
  const other = entries.find((t) => /^\d+ - /.test(t) && !t.startsWith('1 - '));
  const otherId = `Race${other.split(' - ')[0]}`;
  await (await menuEntry(page, other)).click();
  assert.deepEqual(await shownSections(page, 'Race'), [otherId]);

  const toggle = page.locator('#HideShow');
  assert.equal(await toggle.textContent(), 'Show All');
  await toggle.click();
  assert.deepEqual((await shownSections(page, 'Race')).sort(), [...all].sort());
  assert.equal(await toggle.textContent(), 'Show Single');
  await toggle.click();
  assert.deepEqual(await shownSections(page, 'Race'), [otherId]);
  assert.equal(await toggle.textContent(), 'Show All');
  assert.deepEqual(errors, []);
  await page.close();
});

test('zone page: globals at load, menu switches sections, Show All toggles', async () => {
  const { page, errors } = await openPage('OBZones.htm');
  const all = await page.$$eval('span[id^="Zone"]', (spans) => spans.map((s) => s.id));
  assert.ok(all.length >= 3, 'several zone sections');
  assert.deepEqual(await shownSections(page, 'Zone'), ['Zone0']);

  const entries = await page.$$eval('nobr a', (as) => as.map((a) => a.textContent));
  const zone = entries.find((t) => /^\d+ - /.test(t) && !t.startsWith('0 - '));
  const zoneId = `Zone${zone.split(' - ')[0]}`;
  await (await menuEntry(page, zone)).click();
  assert.deepEqual(await shownSections(page, 'Zone'), [zoneId]);

  const toggle = page.locator('#HideShow');
  await toggle.click();
  assert.deepEqual((await shownSections(page, 'Zone')).sort(), [...all].sort());
  assert.equal(await toggle.textContent(), 'Show Single');
  await toggle.click();
  assert.deepEqual(await shownSections(page, 'Zone'), [zoneId]);

  await (await menuEntry(page, '0 - Globals')).click();
  assert.deepEqual(await shownSections(page, 'Zone'), ['Zone0']);
  assert.deepEqual(errors, []);
  await page.close();
});
