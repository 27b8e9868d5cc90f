// Drives the explorer page of sample editions in headless Chromium: every
// view against the database it was made from, deep links, back and forward,
// search from the keyboard, filters, hostile names, and no network requests.
// run-explorer writes the pages; ZIRA_EXPLORER names their folder, which
// holds <edition>.db and <edition>.html for each of ZIRA_EXPLORER_EDITIONS.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { pathToFileURL } from 'node:url';
import path from 'node:path';
import { chromium } from 'playwright-core';

const folder = process.env.ZIRA_EXPLORER;
if (!folder) throw new Error('ZIRA_EXPLORER must name the folder with the explorer pages');
const editions = (process.env.ZIRA_EXPLORER_EDITIONS ?? 'Cobalt Lirael').split(' ');

// Rows of a query over an edition's database, through the sqlite3 shell.
function query(edition, sql) {
  const out = execFileSync('sqlite3', ['-json', path.join(folder, `${edition}.db`), sql], { encoding: 'latin1' });
  return out.trim() === '' ? [] : JSON.parse(out);
}
const sorted = (list) => [...new Set(list)].sort();

let browser;
before(async () => {
  browser = await chromium.launch({
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync'],
  });
});
after(async () => { await browser?.close(); });

// A page with its errors and every request that is not the file itself.
async function open(edition, hash = '') {
  const page = await browser.newPage();
  const problems = [];
  page.on('pageerror', (e) => problems.push(`error: ${e.message}`));
  page.on('request', (r) => { if (!r.url().startsWith('file:')) problems.push(`request: ${r.url()}`); });
  await page.goto(pathToFileURL(path.join(folder, `${edition}.html`)).href + hash);
  return { page, problems };
}

// Goes to a view by its address and waits until it is shown whole.
async function show(page, hash) {
  await page.evaluate((h) => new Promise((resolve) => {
    if (location.hash === h) return resolve();
    addEventListener('hashchange', () => resolve(), { once: true });
    location.hash = h;
  }), hash);
  await page.waitForFunction(() => !document.getElementById('view').hasAttribute('aria-busy'));
  return page.locator('main h2').textContent();
}

async function headingMatches(page, pattern) {
  await page.waitForFunction((source) => new RegExp(source).test(document.querySelector('main h2')?.textContent ?? ''),
    pattern.source, { timeout: 5000 });
}

// What each view shows, read from its links: "race|gender|zone" pairs, codes, packages.
const readers = {
  // Each gender section of a race lists its zones.
  race: (page) => page.$$eval('main section[data-gender]', (sections) => sections.flatMap((s) =>
    [...s.querySelectorAll('a[href^="#zone/"]')].map((a) => `${s.dataset.gender}|${a.getAttribute('href').slice(6)}`))),
  // Each race a zone can show names a race and a gender.
  zone: (page) => page.$$eval('main [data-race][data-gender]', (es) => es.map((e) => `${e.dataset.race}|${e.dataset.gender}`)),
  package: (page) => page.$$eval('main table a[href^="#code/"]', (as) => as.map((a) => a.textContent)),
  code: (page) => page.$$eval('main table a[href^="#package/"]', (as) => as.map((a) => a.textContent)),
};

// Per view: the ids to visit and what the database says each shows.
const GENDER = "instr('MFN', gender) - 1";
const views = [
  { kind: 'race', ids: (e) => query(e, 'SELECT race_id AS id FROM races').map((r) => String(r.id)),
    expected: (e, id) => query(e, `SELECT DISTINCT ${GENDER} AS g, zone_id AS z FROM availability_by_zone
      WHERE race_id = ${Number(id)}`).map((r) => `${r.g}|${r.z}`) },
  { kind: 'zone', ids: (e) => query(e, 'SELECT zone_id AS id FROM zones').map((r) => String(r.id)),
    expected: (e, id) => query(e, `SELECT DISTINCT race_id AS r, ${GENDER} AS g FROM availability_by_zone
      WHERE zone_id = ${Number(id)}`).map((r) => `${r.r}|${r.g}`) },
  { kind: 'package', ids: (e) => query(e, 'SELECT DISTINCT name AS id FROM sources').map((r) => r.id),
    expected: (e, id) => query(e, `SELECT m.code FROM models m JOIN sources s USING (source_id)
      WHERE s.name = '${id.replaceAll("'", "''")}'`).map((r) => r.code) },
  { kind: 'code', ids: (e) => query(e, 'SELECT DISTINCT code AS id FROM models').map((r) => r.id),
    expected: (e, id) => query(e, `SELECT s.name FROM models m JOIN sources s USING (source_id)
      WHERE m.code = '${id.replaceAll("'", "''")}'`).map((r) => r.name) },
];

for (const edition of editions) {
  test(`${edition}: every view shows what the database holds, reachable from both sides`, { timeout: 300000 }, async () => {
    const { page, problems } = await open(edition);
    for (const view of views) {
      const ids = view.ids(edition);
      assert.ok(ids.length > 0, `${view.kind}: the database has some`);
      for (const id of ids) {
        await show(page, `#${view.kind}/${encodeURIComponent(id)}`);
        assert.deepEqual(sorted(await readers[view.kind](page)), sorted(view.expected(edition, id)), `#${view.kind}/${id}`);
      }
    }
    assert.deepEqual(problems, []);
    await page.close();
  });

  test(`${edition}: deep links, back and forward, and zone 0 of its own`, { timeout: 120000 }, async () => {
    const zone0 = query(edition, 'SELECT nick FROM zones WHERE zone_id = 0')[0];
    const deep = [
      ['#race/1', /^Race 1: /], ['#zone/0', zone0 ? /^Zone 0: / : /^Not found$/], ['#package/gear_chr2.obg', /^Package gear_chr2\.obg$/],
      ['#code/HUM', /^Model code HUM$/], ['#search/abc', /^Search: abc$/], ['#race/99999', /^Not found$/], ['', /^Inventory of the /],
    ];
    for (const [hash, heading] of deep) {
      const { page, problems } = await open(edition, hash);
      assert.match(await page.locator('main h2').textContent(), heading, hash);
      assert.deepEqual(problems, []);
      await page.close();
    }
    const { page } = await open(edition);
    await page.locator('main a[href="#race/1"]').first().click();
    await headingMatches(page, /^Race 1: /);
    const zoneLink = page.locator('main a[href^="#zone/"]').first();
    const zoneHref = await zoneLink.getAttribute('href');
    await zoneLink.click();
    assert.equal(new URL(page.url()).hash, zoneHref);
    await page.goBack();
    await headingMatches(page, /^Race 1: /);
    await page.goForward();
    await headingMatches(page, /^Zone /);
    await page.close();
  });

  test(`${edition}: search from the keyboard, and the filters`, { timeout: 120000 }, async () => {
    const { page, problems } = await open(edition, '#race/1');
    await page.locator('main h2').click();
    await page.keyboard.press('/');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'search');
    const searches = [
      // text, a result that must be among them, the group it belongs to
      ['hum', '#code/HUM', 'Codes'], ['1500', '#zone/1500', 'Zones'], ['gear', '#package/gear_chr2.obg', 'Packages'],
      ['human', '#race/1', 'Races'],
    ];
    for (const [text, href, group] of searches) {
      await page.locator('#search').fill('');
      await page.keyboard.type(text);
      // The page's own address: the one Playwright reports follows replaceState
      // only when the browser's notice of it has come, which a busy machine delays.
      await page.waitForFunction((h) => location.hash === h, `#search/${text}`, { timeout: 5000 });
      assert.ok(await page.locator(`[role="group"][aria-label="${group}"] a[href="${href}"]`).count() === 1, `${text} finds ${href}`);
      assert.match(await page.locator('#status').textContent(), /^\d+ results?$/);
    }
    // Down twice, up once: the second result opens.
    await page.locator('#search').fill('');
    await page.keyboard.type('a');
    const second = await page.locator('[role="option"]').nth(1).getAttribute('href');
    for (const key of ['ArrowDown', 'ArrowDown', 'ArrowUp']) await page.keyboard.press(key);
    assert.equal(await page.locator('#search').getAttribute('aria-activedescendant'), 'option-1');
    await page.keyboard.press('Enter');
    await page.waitForFunction((h) => location.hash === h, second);
    await page.locator('#search').focus();
    await page.keyboard.press('Escape');
    assert.equal(await page.locator('#search').inputValue(), '');

    // Filters: a gender off hides its section; playable only hides the other races of a zone.
    await show(page, '#race/1');
    await page.locator('input[name="gender"][value="0"]').uncheck();
    assert.equal(await page.locator('main section[data-gender="0"]').count(), 0);
    assert.equal(await page.locator('main section[data-gender="1"]').count(), 1);
    await page.locator('input[name="gender"][value="0"]').check();
    await show(page, '#zone/2');
    await page.locator('#playable').check();
    const playable = new Set(query(edition, 'SELECT race_id FROM races WHERE playable = 1').map((r) => String(r.race_id)));
    for (const race of await page.$$eval('main [data-race]', (es) => es.map((e) => e.dataset.race))) {
      assert.ok(playable.has(race), `race ${race} is playable`);
    }
    await page.locator('input[name="reach"][value="0"]').uncheck();
    assert.ok(await page.locator('main [data-reach]').count() > 0);
    assert.equal(await page.locator('main [data-reach="0"]').count(), 0);
    assert.deepEqual(problems, []);
    await page.close();
  });
}

// The hostile database: every kind of text replaced by markup, script and bytes that are not UTF-8.
test('hostile names stay text in every view', { timeout: 60000 }, async () => {
  const edition = process.env.ZIRA_EXPLORER_HOSTILE ?? 'hostile';
  const { page, problems } = await open(edition);
  const hashes = ['', '#race/1', '#zone/2', `#package/${encodeURIComponent('<img src=x onerror=window.pwned=1>.s3d')}`,
    `#code/${encodeURIComponent('"><svg onload=window.pwned=1>')}`, `#search/${encodeURIComponent('<')}`];
  for (const hash of hashes) {
    if (hash) await show(page, hash);
    const found = await page.evaluate(() => ({
      pwned: window.pwned === 1,
      markup: document.querySelectorAll('main img, main svg, main script, main iframe').length,
      text: document.querySelector('main').textContent,
    }));
    assert.equal(found.pwned, false, hash);
    assert.equal(found.markup, 0, hash);
  }
  await show(page, '#race/1');
  const text = await page.locator('main').textContent();
  assert.ok(text.includes('</script><script>window.pwned=1</script>'), 'the race name reads as written');
  assert.ok(text.includes('\u00ff\u00fe'), 'bytes that are not UTF-8 read as Latin-1');
  assert.deepEqual(problems, []);
  await page.close();
});
