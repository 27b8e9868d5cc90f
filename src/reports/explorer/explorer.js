'use strict';
// The explorer: every view is built from the inline data with DOM calls and
// textContent, never with markup, so a name in the data always stays text.
(function () {
  const GENDERS = ['Male', 'Female', 'Neutral'];
  const REACHES = ['global', 'local', 'imported'];
  const SHOWN_PER_GROUP = 25;

  let data = {};
  try {
    data = JSON.parse(document.getElementById('zira-data').textContent);
  } catch (e) {
    data = {};
  }
  // The data may come from a hand-made database: take only rows that are arrays
  // and fields of the expected type.
  const rows = (name) => (Array.isArray(data[name]) ? data[name].filter(Array.isArray) : []);
  const num = (v) => (typeof v === 'number' && Number.isFinite(v) ? v : null);
  const opt = (v) => (v === null || v === undefined ? null : String(v));
  const str = (v) => (v === null || v === undefined ? '' : String(v));

  // --- The tables and their indexes ------------------------------------------

  const run = rows('run')[0] || [];
  const expansionNames = new Map();
  for (const r of rows('expansions')) if (num(r[0]) !== null) expansionNames.set(r[0], opt(r[1]));

  const races = new Map();
  const codeRaces = new Map(); // code -> [{race, gender}]
  const addTo = (map, key, value) => {
    const list = map.get(key);
    if (list) list.push(value);
    else map.set(key, [value]);
  };
  for (const r of rows('races')) {
    const id = num(r[0]);
    if (id === null) continue;
    const race = { id, name: opt(r[1]), plural: opt(r[2]), description: opt(r[3]), playable: r[4] === 1,
      global: r[5] === 1, codes: [opt(r[6]), opt(r[7]), opt(r[8])] };
    races.set(id, race);
    race.codes.forEach((code, g) => { if (code) addTo(codeRaces, code, { race: id, gender: g }); });
  }

  const sources = new Map();
  const packages = new Map(); // name -> [source]
  for (const r of rows('sources')) {
    const id = num(r[0]);
    if (id === null) continue;
    const source = { id, name: str(r[1]), kind: num(r[2]) || 0, label: str(r[3]), orphan: r[4] === 1,
      scanned: r[5] === 1, models: [], localZones: [], importZones: new Map() };
    sources.set(id, source);
    addTo(packages, source.name, source);
  }
  const sourceKind = (s) => (s.kind !== 0 ? 'global' : s.orphan ? 'orphan' : 'zone');

  const models = new Map();
  const codeModels = new Map(); // code -> [model]
  for (const r of rows('models')) {
    const id = num(r[0]);
    const source = sources.get(num(r[1]));
    if (id === null || !source) continue;
    const model = { id, source, code: str(r[2]), race: num(r[3]), gender: 'MFN'.indexOf(str(r[4]) || '?'),
      variations: str(r[5]) };
    models.set(id, model);
    source.models.push(model);
    addTo(codeModels, model.code, model);
  }

  const zones = new Map();
  for (const r of rows('zones')) {
    const id = num(r[0]);
    if (id === null) continue;
    const zone = { id, nick: opt(r[1]), name: opt(r[2]), expansion: num(r[3]) || 0, flags: num(r[4]) || 0,
      chr: sources.get(num(r[5])) || null, chr2: sources.get(num(r[6])) || null, stringId: num(r[7]),
      stringName: opt(r[8]), minLevel: num(r[9]), unknown7: num(r[10]), unknown8: num(r[11]), imports: [] };
    zones.set(id, zone);
    for (const own of [zone.chr, zone.chr2]) if (own) own.localZones.push(zone);
  }
  const zoneList = [...zones.values()].sort((a, b) => a.id - b.id);
  const zonesByExpansion = new Map();
  for (const zone of zoneList) addTo(zonesByExpansion, zone.expansion, zone);
  const expansionName = (e) => expansionNames.get(e) || 'Expansion ' + e;

  for (const r of rows('imports')) {
    const zone = zones.get(num(r[0]));
    const model = models.get(num(r[1]));
    if (!zone || !model) continue;
    zone.imports.push(model);
    addTo(model.source.importZones, zone.id, model);
  }

  // Availability rows: a global row (zone null) reaches every zone.
  const byRace = new Map();
  const byZone = new Map();
  const globalRows = [];
  for (const r of rows('availability')) {
    const model = models.get(num(r[4]));
    const row = { race: num(r[0]), gender: num(r[1]), zone: num(r[2]), reach: num(r[3]), model };
    if (row.race === null || !model || !(row.gender >= 0 && row.gender <= 2) || !(row.reach >= 0 && row.reach <= 2)) {
      continue;
    }
    addTo(byRace, row.race, row);
    if (row.zone === null) globalRows.push(row);
    else addTo(byZone, row.zone, row);
  }

  // --- Filters -----------------------------------------------------------------

  const filters = { genders: new Set([0, 1, 2]), reaches: new Set([0, 1, 2]), playable: false };
  const passes = (row) => filters.genders.has(row.gender) && filters.reaches.has(row.reach) &&
    (!filters.playable || (races.get(row.race) || {}).playable === true);

  // --- DOM helpers: texts go in as text nodes, attributes one by one ---------

  function el(tag, attrs, ...children) {
    const node = document.createElement(tag);
    if (attrs) {
      for (const key of Object.keys(attrs)) {
        const value = attrs[key];
        if (value === null || value === undefined || value === false) continue;
        if (key === 'class') node.className = value;
        else node.setAttribute(key, value === true ? '' : String(value));
      }
    }
    for (const child of children) {
      if (child === null || child === undefined || child === false) continue;
      node.append(child instanceof Node ? child : String(child));
    }
    return node;
  }
  const link = (href, label, cls) => el('a', { href, class: cls }, label);
  const raceLabel = (id) => {
    const race = races.get(id);
    return race ? id + ' ' + (race.name || '(no name)') : 'race ' + id;
  };
  const zoneLabel = (zone) => zone.id + ' ' + (zone.nick || zone.name || '(no name)');
  const raceLink = (id) => link('#race/' + id, raceLabel(id));
  const zoneLink = (zone) => link('#zone/' + zone.id, zoneLabel(zone));
  const zoneIdLink = (id) => (zones.has(id) ? zoneLink(zones.get(id)) : document.createTextNode('zone ' + id));
  const packageLink = (name) => link('#package/' + encodeURIComponent(name), name, 'code');
  const codeLink = (code, gender) => link('#code/' + encodeURIComponent(code), code, 'code' + (gender >= 0 ? ' g' + gender : ''));
  const genderText = (g) => el('span', { class: 'g' + g }, GENDERS[g] || 'unknown');
  const reachText = (r) => el('span', { class: 'r' + r }, REACHES[r]);
  function heading(text) {
    return el('h2', { tabindex: '-1' }, text);
  }
  function facts(pairs) {
    const dl = el('dl', { class: 'facts' });
    for (const [term, value] of pairs) {
      if (value === null || value === undefined) continue;
      dl.append(el('dt', null, term), el('dd', null, value));
    }
    return dl;
  }
  // Rows are lists of cells, or {cells, data} for a row that carries data-* attributes.
  function table(head, bodyRows) {
    const tbody = el('tbody');
    for (const row of bodyRows) {
      const tr = document.createElement('tr');
      const cells = Array.isArray(row) ? row : row.cells;
      if (!Array.isArray(row)) Object.assign(tr.dataset, row.data);
      for (const cell of cells) tr.append(el('td', null, cell));
      tbody.append(tr);
    }
    return el('table', null, el('thead', null, el('tr', null, ...head.map((h) => el('th', { scope: 'col' }, h)))), tbody);
  }
  const plural = (n, one, many) => n + ' ' + (n === 1 ? one : many);

  // --- Views -------------------------------------------------------------------

  function homeView() {
    const node = el('div');
    node.append(heading('Inventory of the ' + (str(run[0]) || 'unknown') + ' client'),
      facts([['Written', str(run[2])], ['Client size', run[1] === undefined ? null : str(run[1]) + ' bytes'],
        ['Tool version', str(run[3])],
        ['Holds', plural(races.size, 'race', 'races') + ', ' + plural(zones.size, 'zone', 'zones') + ', ' +
          plural(packages.size, 'package', 'packages') + ', ' + plural(models.size, 'model', 'models')]]));
    const shown = [...races.values()].filter((r) => !filters.playable || r.playable);
    node.append(el('h3', null, 'Races (' + shown.length + ')'),
      chunked(shown.map((r) => el('li', null, raceLink(r.id))), 'flow'));
    // Long lists open on demand and are built then, not with the first view.
    node.append(el('h3', null, 'Zones by expansion (' + zones.size + ')'));
    for (const e of [...zonesByExpansion.keys()].sort((a, b) => a - b)) {
      const list = zonesByExpansion.get(e);
      node.append(onDemand(expansionName(e) + ' (' + list.length + ')', () => list.map((z) => el('li', null, zoneLink(z)))));
    }
    const names = [...packages.keys()].sort();
    node.append(el('h3', null, 'Packages'),
      onDemand('Every package (' + names.length + ')', () => names.map((n) => el('li', null, packageLink(n)))));
    return { node, title: 'Inventory', count: plural(shown.length, 'race', 'races') + ' listed' };
  }

  // Views repeat big blocks (every zone, a zone's global races): each is built
  // once and copied, which costs a fraction of building it again.
  const blocks = new Map();
  function block(key, build) {
    if (!blocks.has(key)) blocks.set(key, build());
    return blocks.get(key).cloneNode(true);
  }
  const allZones = () => block('zones', () => el('div', { class: 'block' }, zoneGroups(zoneList.map((z) => [z, null]), () => null)));

  // A long list as lists of a few dozen items each: the browser then lays out
  // only the ones near the screen (content-visibility), not the whole list.
  // The longest (hundreds of zones, every global race) are runs of links in
  // paragraphs, half the elements of list items.
  function chunked(items, cls, tag = 'ul') {
    const out = document.createDocumentFragment();
    for (let i = 0; i < items.length; i += 40) out.append(el(tag, { class: cls }, ...items.slice(i, i + 40)));
    return out;
  }

  // A summary that shows its list when opened.
  function onDemand(summary, items) {
    const more = el('details', null, el('summary', null, summary));
    more.addEventListener('toggle', () => {
      if (more.open && more.childElementCount === 1) more.append(chunked(items(), 'flow'));
    });
    return more;
  }

  // Zones grouped by expansion, each with what the caller puts beside its link.
  function zoneGroups(entries, describe) {
    const groups = new Map();
    for (const [zone, info] of entries) addTo(groups, zone.expansion, [zone, info]);
    const out = document.createDocumentFragment();
    for (const e of [...groups.keys()].sort((a, b) => a - b)) {
      const list = groups.get(e).sort((a, b) => a[0].id - b[0].id);
      out.append(el('h4', null, expansionName(e) + ' (' + list.length + ')'),
        chunked(list.map(([zone, info]) => {
          const beside = describe(info);
          return beside ? el('span', null, zoneLink(zone), beside) : zoneLink(zone);
        }), 'flow', 'p'));
    }
    return out;
  }

  function raceView(id) {
    const race = races.get(id);
    if (!race) return missing('No race ' + id + ' in this inventory.');
    const node = el('div');
    node.append(heading('Race ' + id + ': ' + (race.name || '(no name)')),
      facts([['Plural', race.plural || '(none)'], ['Playable', race.playable ? 'yes' : 'no'],
        ['In every zone', race.global ? 'yes (a global package holds one of its models)' : 'no']]));
    if (race.description !== null) node.append(el('h3', null, 'Description'), el('p', null, race.description));
    node.append(el('h3', null, 'Model codes'), table(['Gender', 'Code'], race.codes.map((code, g) =>
      [genderText(g), code ? codeLink(code, g) : el('span', { class: 'note' }, 'none')])));
    const all = byRace.get(id) || [];
    const shownZones = new Set();
    let shownRows = 0;
    for (let g = 0; g < 3; ++g) {
      if (!filters.genders.has(g)) continue;
      const code = race.codes[g];
      const list = all.filter((row) => row.gender === g && filters.reaches.has(row.reach));
      if (!code && list.length === 0) continue;
      const section = el('section', { 'data-gender': g });
      node.append(section);
      section.append(el('h3', null, genderText(g), ' ', code ? codeLink(code, g) : '(no code)'));
      if (list.length === 0) {
        section.append(el('p', { class: 'note' }, 'No package shows this form' +
          (filters.reaches.size < 3 ? ' with the chosen reach.' : '.')));
        continue;
      }
      shownRows += list.length;
      // One line per model: its package, its reaches and how many zones each reaches.
      const perModel = new Map();
      for (const row of list) {
        const entry = perModel.get(row.model) || new Map();
        entry.set(row.reach, (entry.get(row.reach) || 0) + 1);
        perModel.set(row.model, entry);
      }
      section.append(el('h4', null, 'Packages'), table(['Package', 'Kind', 'Model', 'Reach', 'Variations'],
        [...perModel].map(([model, reaches]) => [packageLink(model.source.name), sourceKind(model.source),
          codeLink(model.code, g), joinNodes([...reaches].sort((a, b) => a[0] - b[0]).map(([r, n]) =>
            el('span', null, reachText(r), r === 0 ? ' (every zone)' : ' (' + plural(n, 'zone', 'zones') + ')'))),
          model.variations || '—'])));
      // Every zone that can show this form, "all zones" spelt out: a global
      // package reaches all of them, the others their own zones.
      const global = list.some((row) => row.zone === null);
      const reached = new Map();
      for (const row of list) {
        if (row.zone === null || !zones.has(row.zone)) continue;
        const zone = zones.get(row.zone);
        reached.set(zone, (reached.get(zone) || []).concat(row));
        shownZones.add(zone);
      }
      if (global) {
        for (const zone of zoneList) shownZones.add(zone);
        section.append(el('h4', null, 'Every zone (' + zoneList.length + '), through a global package'), later(allZones));
      }
      if (reached.size > 0) {
        section.append(el('h4', null, (global ? 'Also through their own packages or import lists (' :
          'Zones (') + reached.size + ')'), zoneGroups(reached, (notes) =>
          el('span', { class: 'note' }, ' ', joinNodes(notes.map((row) =>
            el('span', null, reachText(row.reach), ' via ', packageLink(row.model.source.name)))))));
      }
    }
    return { node, title: 'Race ' + id, count: plural(shownRows, 'availability row', 'availability rows') + ', ' +
      plural(shownZones.size, 'zone', 'zones') + ' shown' };
  }

  function joinNodes(nodes) {
    const out = document.createDocumentFragment();
    nodes.forEach((n, i) => { if (i > 0) out.append(', '); out.append(n); });
    return out;
  }

  function flagBits(flags) {
    return (flags >>> 0).toString(2).padStart(32, '0');
  }

  function zoneView(id) {
    const zone = zones.get(id);
    if (!zone) return missing('No zone ' + id + ' in this inventory.');
    const node = el('div');
    node.append(heading('Zone ' + id + ': ' + (zone.nick || '(no nick)') + (zone.name ? ' – ' + zone.name : '')),
      facts([['Nick', zone.nick || '(none)'], ['Name', zone.name || '(none)'],
        ['String-list name', zone.stringName],
        ['Expansion', zone.expansion + ' – ' + expansionName(zone.expansion)],
        ['StringID', zone.stringId], ['Minimum level', zone.minLevel], ['Unknown7', zone.unknown7],
        ['Unknown8', zone.unknown8],
        ['Flags', el('pre', { class: 'flags' }, '0x' + (zone.flags >>> 0).toString(16).padStart(8, '0') + '  ' +
          flagBits(zone.flags))],
        ['Own packages', zone.chr || zone.chr2 ? joinNodes([zone.chr, zone.chr2].filter(Boolean).map((s) =>
          packageLink(s.name))) : '(none)']]));
    if (zone.imports.length > 0) {
      node.append(el('h3', null, 'Imports (' + (zone.nick || '') + '_chr.txt)'),
        table(['Model', 'Race', 'From package'], zone.imports.map((m) =>
          [codeLink(m.code, m.gender), m.race !== null ? raceLink(m.race) : 'unrecognized', packageLink(m.source.name)])));
    }
    const global = globalRows.filter(passes);
    const own = (byZone.get(id) || []).filter(passes);
    own.sort((a, b) => a.race - b.race || a.gender - b.gender || a.reach - b.reach || a.model.id - b.model.id);
    const list = global.concat(own);
    const raceCount = new Set(list.map((row) => row.race)).size;
    node.append(el('h3', null, 'Races it can show (' + raceCount + ')'));
    for (let reach = 1; reach < 3; ++reach) {
      const part = own.filter((row) => row.reach === reach);
      if (part.length === 0) continue;
      node.append(el('h4', null, reachText(reach), ' (' + plural(new Set(part.map((r) => r.race)).size, 'race', 'races') + ')'),
        table(['Race', 'Gender', 'Model', 'Package', 'Variations'], part.map((row) => ({
          data: { race: row.race, gender: row.gender, reach: row.reach },
          cells: [raceLink(row.race), genderText(row.gender), codeLink(row.model.code, row.gender),
            packageLink(row.model.source.name), row.model.variations || '—'] }))));
    }
    if (global.length > 0) {
      node.append(el('h4', null, reachText(0), ' (' + plural(new Set(global.map((r) => r.race)).size, 'race', 'races') +
        ', in every zone)'), later(() => block('global|' + [...filters.genders].sort() + '|' + filters.playable,
        () => globalRaces(global))));
    }
    if (list.length === 0) node.append(el('p', { class: 'note' }, 'No race model reaches this zone with these filters.'));
    return { node, title: 'Zone ' + id, count: plural(raceCount, 'race', 'races') + ' shown' };
  }

  // The races of the global packages, by package: the same in every zone.
  function globalRaces(rows) {
    const bySource = new Map();
    for (const row of rows) {
      const perRace = bySource.get(row.model.source) || new Map();
      perRace.set(row.race, (perRace.get(row.race) || []).concat(row));
      bySource.set(row.model.source, perRace);
    }
    const out = el('div', { class: 'block' });
    for (const [source, perRace] of [...bySource].sort((a, b) => a[0].id - b[0].id)) {
      const items = [];
      for (const [race, list] of [...perRace].sort((a, b) => a[0] - b[0])) {
        const item = el('span', null, raceLink(race));
        for (const row of list.sort((a, b) => a.gender - b.gender)) {
          const code = codeLink(row.model.code, row.gender);
          code.setAttribute('data-race', row.race);
          code.setAttribute('data-gender', row.gender);
          code.setAttribute('data-reach', row.reach);
          item.append(' ', code, ' (' + 'MFN'[row.gender] + ')');
        }
        items.push(item);
      }
      out.append(el('p', { class: 'via' }, 'via ', packageLink(source.name), ' (' + source.label + ')'), chunked(items, 'flow', 'p'));
    }
    return out;
  }

  function packageView(name) {
    const list = packages.get(name);
    if (!list) return missing('No package named ' + name + ' in this inventory.');
    const node = el('div');
    node.append(heading('Package ' + name));
    let modelCount = 0;
    const everyZone = list.some((s) => s.kind !== 0);
    const local = new Set();
    const imported = new Map();
    for (const source of list) {
      modelCount += source.models.length;
      node.append(el('h3', null, 'Registered as ' + sourceKind(source) + (source.label ? ' (' + source.label + ')' : '')));
      if (!source.scanned) node.append(el('p', { class: 'note' }, 'Not read completely.'));
      node.append(source.models.length === 0 ? el('p', { class: 'note' }, 'No models.') :
        table(['Model', 'Race', 'Gender', 'Variations'], source.models.map((m) =>
          [codeLink(m.code, m.gender), m.race !== null ? raceLink(m.race) : 'unrecognized',
            m.gender >= 0 ? genderText(m.gender) : '—', m.variations || '—'])));
      for (const zone of source.localZones) local.add(zone);
      for (const [zoneId, imports] of source.importZones) {
        if (zones.has(zoneId)) imported.set(zones.get(zoneId), (imported.get(zones.get(zoneId)) || []).concat(imports));
      }
    }
    node.append(el('h3', null, 'Zones that use it'));
    if (everyZone) node.append(el('p', null, 'Every zone: it is a global package.'));
    if (local.size > 0) {
      node.append(el('h4', null, 'As their own package'), zoneGroups([...local].map((z) => [z, null]), () => null));
    }
    if (imported.size > 0) {
      node.append(el('h4', null, 'Through their import lists'), zoneGroups(imported, (imports) =>
        el('span', { class: 'note' }, ' ', joinNodes(imports.map((m) => codeLink(m.code, m.gender))))));
    }
    if (!everyZone && local.size === 0 && imported.size === 0) node.append(el('p', { class: 'note' }, 'No zone uses it.'));
    return { node, title: 'Package ' + name, count: plural(modelCount, 'model', 'models') };
  }

  function codeView(code) {
    const holders = codeModels.get(code) || [];
    const owners = codeRaces.get(code) || [];
    if (holders.length === 0 && owners.length === 0) return missing('No model code ' + code + ' in this inventory.');
    const node = el('div');
    node.append(heading('Model code ' + code));
    node.append(el('h3', null, 'Race and gender'), owners.length === 0 ?
      el('p', { class: 'note' }, 'No race has this code.') :
      table(['Race', 'Gender'], owners.map((o) => [raceLink(o.race), genderText(o.gender)])));
    node.append(el('h3', null, 'Packages that hold it (' + holders.length + ')'), holders.length === 0 ?
      el('p', { class: 'note' }, 'No package holds it.') :
      table(['Package', 'Kind', 'Shown as', 'Variations'], holders.map((m) =>
        [packageLink(m.source.name), sourceKind(m.source),
          m.race !== null ? joinNodes([raceLink(m.race), m.gender >= 0 ? genderText(m.gender) : 'no gender']) : 'unrecognized',
          m.variations || '—'])));
    return { node, title: 'Code ' + code, count: plural(holders.length, 'package', 'packages') };
  }

  function missing(message) {
    const node = el('div');
    node.append(heading('Not found'), el('p', null, message), el('p', null, link('#', 'All races, zones and packages')));
    return { node, title: 'Not found', count: message };
  }

  // --- Search ------------------------------------------------------------------

  // Every searchable thing once, with its texts in lower case; made at the
  // first search, so that it costs the first view nothing.
  const searchIndex = [];
  const addEntry = (kind, href, label, texts) =>
    searchIndex.push({ kind, href, label, texts: texts.filter((t) => t !== null && t !== '').map((t) => String(t).toLowerCase()) });
  function buildSearchIndex() {
  for (const race of races.values()) {
    addEntry('Races', '#race/' + race.id, raceLabel(race.id), [String(race.id), race.name, race.plural, ...race.codes]);
  }
  for (const zone of zoneList) {
    addEntry('Zones', '#zone/' + zone.id, zoneLabel(zone) + (zone.name && zone.nick ? ' – ' + zone.name : ''),
      [String(zone.id), zone.nick, zone.name, zone.stringName]);
  }
  for (const name of [...packages.keys()].sort()) addEntry('Packages', '#package/' + encodeURIComponent(name), name, [name]);
  for (const code of [...new Set([...codeModels.keys(), ...codeRaces.keys()])].sort()) {
    addEntry('Codes', '#code/' + encodeURIComponent(code), code, [code]);
  }
  }
  const KINDS = ['Races', 'Zones', 'Packages', 'Codes'];

  // Exact matches first, then those that begin with the text, then the rest.
  function search(query) {
    const q = query.trim().toLowerCase();
    const groups = new Map(KINDS.map((k) => [k, []]));
    if (q === '') return groups;
    if (searchIndex.length === 0) buildSearchIndex();
    for (const entry of searchIndex) {
      let rank = 3;
      for (const t of entry.texts) {
        if (t === q) { rank = 0; break; }
        if (rank > 1 && t.startsWith(q)) rank = 1;
        else if (rank > 2 && t.includes(q)) rank = 2;
      }
      if (rank < 3) groups.get(entry.kind).push([rank, entry]);
    }
    for (const list of groups.values()) list.sort((a, b) => a[0] - b[0]);
    return groups;
  }

  let options = [];
  let active = -1;

  function searchView(query) {
    const node = el('div', { class: 'results' });
    node.append(heading(query.trim() ? 'Search: ' + query : 'Search'));
    options = [];
    active = -1;
    let total = 0;
    if (query.trim() === '') {
      node.append(el('p', { class: 'note' }, 'Type a race ID, name or code, a zone ID, nick or name, or a package name.'));
    }
    const box = el('div', { role: 'listbox', id: 'results', 'aria-label': 'Results' });
    for (const [kind, list] of search(query)) {
      total += list.length;
      if (list.length === 0) continue;
      const ul = el('ul', { role: 'group', 'aria-label': kind });
      for (const [, entry] of list.slice(0, SHOWN_PER_GROUP)) {
        const option = el('a', { href: entry.href, role: 'option', id: 'option-' + options.length, 'aria-selected': 'false' },
          entry.label);
        options.push(option);
        ul.append(el('li', { role: 'presentation' }, option));
      }
      box.append(el('h3', null, kind + ' (' + list.length + ')'), ul);
      if (list.length > SHOWN_PER_GROUP) box.append(el('p', { class: 'note' }, (list.length - SHOWN_PER_GROUP) + ' more; type more to narrow.'));
    }
    node.append(box);
    if (query.trim() !== '' && total === 0) node.append(el('p', null, 'Nothing matches.'));
    return { node, title: 'Search', count: query.trim() === '' ? '' : plural(total, 'result', 'results') };
  }

  function choose(index) {
    if (active >= 0 && options[active]) options[active].setAttribute('aria-selected', 'false');
    active = options.length === 0 ? -1 : (index + options.length) % options.length;
    const input = document.getElementById('search');
    if (active < 0) {
      input.removeAttribute('aria-activedescendant');
      return;
    }
    options[active].setAttribute('aria-selected', 'true');
    input.setAttribute('aria-activedescendant', options[active].id);
    options[active].scrollIntoView({ block: 'nearest' });
  }

  // --- Routing -----------------------------------------------------------------

  const view = document.getElementById('view');
  const status = document.getElementById('status');
  const searchInput = document.getElementById('search');
  let current = '';

  function route() {
    const raw = location.hash.slice(1);
    const slash = raw.indexOf('/');
    const kind = slash < 0 ? raw : raw.slice(0, slash);
    let arg = slash < 0 ? '' : raw.slice(slash + 1);
    try { arg = decodeURIComponent(arg); } catch (e) { /* keep it as written */ }
    return { kind, arg };
  }
  const idOf = (arg) => (/^\d{1,9}$/.test(arg) ? Number(arg) : -1);

  // A view shows its top at once and its longest blocks one frame later, so
  // that the first screen does not wait for them; the view is aria-busy until
  // they are in. ziraViewShown and ziraViewDone time both (for the benchmark).
  let deferred = [];
  let renderCount = 0;
  function later(build) {
    const slot = el('div');
    deferred.push(() => slot.replaceWith(build()));
    return slot;
  }
  const afterPaint = (work) => requestAnimationFrame(() => setTimeout(work, 0));

  function render(moveFocus) {
    const { kind, arg } = route();
    const count = ++renderCount;
    deferred = [];
    let shown;
    if (kind === 'race') shown = raceView(idOf(arg));
    else if (kind === 'zone') shown = zoneView(idOf(arg));
    else if (kind === 'package') shown = packageView(arg);
    else if (kind === 'code') shown = codeView(arg);
    else if (kind === 'search') shown = searchView(arg);
    else shown = homeView();
    current = kind;
    view.replaceChildren(shown.node);
    document.title = shown.title + ' – ' + (str(run[0]) || 'race') + ' inventory explorer';
    status.textContent = shown.count;
    searchInput.setAttribute('aria-expanded', kind === 'search' && options.length > 0 ? 'true' : 'false');
    if (kind === 'search') {
      if (searchInput.value !== arg) searchInput.value = arg;
      choose(0);
    } else {
      searchInput.removeAttribute('aria-activedescendant');
      if (moveFocus) {
        window.scrollTo(0, 0);
        view.querySelector('h2').focus({ preventScroll: true });
      }
    }
    const work = deferred;
    if (work.length > 0) view.setAttribute('aria-busy', 'true');
    else view.removeAttribute('aria-busy');
    afterPaint(() => {
      if (count !== renderCount) return;
      window.ziraViewShown = performance.now();
      if (work.length === 0) {
        window.ziraViewDone = window.ziraViewShown;
        return;
      }
      for (const build of work) build();
      view.removeAttribute('aria-busy');
      afterPaint(() => { window.ziraViewDone = performance.now(); });
    });
  }

  // Typing shows the results at once; the address follows without a new
  // history entry per keystroke (one for the search as a whole).
  searchInput.addEventListener('input', () => {
    const hash = '#search/' + encodeURIComponent(searchInput.value);
    if (current === 'search') history.replaceState(null, '', hash);
    else history.pushState(null, '', hash);
    render(false);
  });
  searchInput.addEventListener('keydown', (event) => {
    if (event.key === 'ArrowDown' || event.key === 'ArrowUp') {
      event.preventDefault();
      if (current !== 'search') return;
      choose(active + (event.key === 'ArrowDown' ? 1 : -1));
    } else if (event.key === 'Enter') {
      event.preventDefault();
      if (current === 'search' && active >= 0 && options[active]) location.hash = options[active].getAttribute('href');
    } else if (event.key === 'Escape') {
      event.preventDefault();
      searchInput.value = '';
      if (current === 'search') {
        history.replaceState(null, '', '#search/');
        render(false);
      }
    }
  });
  document.getElementById('search-form').addEventListener('submit', (event) => event.preventDefault());
  document.addEventListener('keydown', (event) => {
    const target = event.target;
    const typing = target instanceof HTMLInputElement || target instanceof HTMLTextAreaElement || target.isContentEditable;
    if (event.key === '/' && !typing && !event.ctrlKey && !event.metaKey && !event.altKey) {
      event.preventDefault();
      searchInput.focus();
      searchInput.select();
    }
  });
  document.getElementById('filters').addEventListener('change', (event) => {
    const box = event.target;
    if (box.id === 'playable') filters.playable = box.checked;
    else if (box.name === 'gender' || box.name === 'reach') {
      const set = box.name === 'gender' ? filters.genders : filters.reaches;
      if (box.checked) set.add(Number(box.value));
      else set.delete(Number(box.value));
    }
    render(false);
  });
  window.addEventListener('hashchange', () => render(true));
  document.getElementById('edition').textContent = str(run[0]) + (run[2] ? ', ' + str(run[2]) : '');
  render(false);
  // When the first view is on screen, in milliseconds from the start of the load (for the benchmark).
  requestAnimationFrame(() => setTimeout(() => {
    window.ziraFirstView = performance.now();
    // Then, while the reader reads, what the next views and the first search will need.
    const idle = window.requestIdleCallback || ((work) => setTimeout(work, 50));
    idle(() => {
      allZones();
      block('global|0,1,2|false', () => globalRaces(globalRows));
      if (searchIndex.length === 0) buildSearchIndex();
      window.ziraPrepared = performance.now();
    }, { timeout: 1000 });
  }, 0));
})();
