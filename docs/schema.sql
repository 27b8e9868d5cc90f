-- The inventory database that `zira --db FILE` writes: one run over one
-- client. zira creates every database from this text, so what is written
-- here is what a database holds. Genders are the letters the pages print:
-- 'M' male, 'F' female, 'N' neutral.

-- The schema version. Version 2 added race descriptions, the zones' other
-- registration values and string-list names, expansion names, the view
-- availability_by_zone, CHECK constraints and indexes on the foreign keys;
-- `zira compare` reads versions 1 and 2, `zira explore` needs 2.
PRAGMA user_version = 2;
-- The mark of a database zira wrote ('ZIRA' as a big-endian number): --db
-- replaces only a file that carries it, and `zira compare` reads only those.
PRAGMA application_id = 1514754625;

-- One row: the run that wrote the database.
CREATE TABLE run (
  edition      TEXT    NOT NULL, -- short name of the recognized edition (Cobalt, Lirael, MK2)
  client_size  INTEGER NOT NULL, -- size of obgame.exe in bytes
  run_time     TEXT    NOT NULL, -- when the run began, UTC, as YYYY-MM-DDTHH:MM:SSZ
  tool_version TEXT    NOT NULL  -- version of zira that wrote the database
);

-- Every race the race page lists, by race ID.
CREATE TABLE races (
  race_id            INTEGER PRIMARY KEY, -- RaceID
  name               TEXT,                -- race name from the string database; NULL when it has none
  plural             TEXT,                -- plural name from the string database; NULL when it has none
  description        TEXT,                -- character creation description; NULL when it has none ('' when empty)
  playable           INTEGER NOT NULL CHECK (playable IN (0, 1)),           -- 1 for a playable race, else 0
  globally_available INTEGER NOT NULL CHECK (globally_available IN (0, 1)), -- 1 when a global package holds one
                                                                             -- of its models (the page's (G)), else 0
  code_m             TEXT,                -- model code of the male form; NULL when the race has none
  code_f             TEXT,                -- model code of the female form; NULL when none
  code_n             TEXT                 -- model code of the neutral form; NULL when none
);

-- Every package registered as a model source, in the order of registration.
-- One package can be registered twice: as a zone's package and as a global
-- one, or as a zone's package and as an orphan.
CREATE TABLE sources (
  source_id  INTEGER PRIMARY KEY, -- registration order, 1 for the first source registered
  name       TEXT    NOT NULL,    -- package file name as registered: lower case, with extension
  kind       INTEGER NOT NULL CHECK (kind BETWEEN 0 AND 4), -- source kind: 0 local to zone, 1 hard-coded, 2 global load list,
                                  -- 3 loaded with Ostra models, 4 loaded when Ostra models are disabled
  kind_label TEXT    NOT NULL,    -- the kind's label as the pages print it
  orphan     INTEGER NOT NULL CHECK (orphan IN (0, 1)),     -- 1 when orphan discovery registered it (no other step reached it), else 0
  scanned    INTEGER NOT NULL CHECK (scanned IN (0, 1))     -- 1 when the package was read completely, else 0
);

-- Every model found, one row per model code and source.
CREATE TABLE models (
  model_id        INTEGER PRIMARY KEY,                      -- order in which the models were found, 1 first
  source_id       INTEGER NOT NULL REFERENCES sources,     -- the package holding the model
  slot            INTEGER NOT NULL,                         -- position among the package's models, 0 first
  code            TEXT    NOT NULL,                         -- model code, upper case
  race_id         INTEGER,                                  -- race the zone page gives the model; NULL when unrecognized
  gender          TEXT CHECK (gender IN ('M', 'F', 'N')),   -- gender the zone page gives the model; NULL when unrecognized
  variations      TEXT    NOT NULL,                         -- the variation summary as plain text ('' when none)
  variations_html TEXT    NOT NULL                          -- the variation summary exactly as the zone page prints it
);

-- The variations found for each model; variation 0, the base, is implied.
CREATE TABLE variations (
  model_id INTEGER NOT NULL REFERENCES models, -- the model
  kind     TEXT    NOT NULL                    -- texture, head, face, hair, beard, tattoo or detail
    CHECK (kind IN ('texture', 'head', 'face', 'hair', 'beard', 'tattoo', 'detail')),
  number   INTEGER NOT NULL CHECK (number BETWEEN 1 AND 255), -- variation number
  PRIMARY KEY (model_id, kind, number)
) WITHOUT ROWID;

-- Every expansion number from 0 to the highest one a zone has, with the
-- name the zone page's menu gives it.
CREATE TABLE expansions (
  expansion INTEGER PRIMARY KEY CHECK (expansion BETWEEN 0 AND 255), -- expansion number
  name      TEXT                  -- its name; NULL when it has none (the menu then says Expansion N)
);

-- Every zone the zone page has a section for.
CREATE TABLE zones (
  zone_id         INTEGER PRIMARY KEY,  -- ZoneID
  nick            TEXT,                 -- short name, lower case; NULL when the zone has none
  name            TEXT,                 -- long name; NULL when the zone has none
  expansion       INTEGER NOT NULL REFERENCES expansions, -- expansion number
  flags           INTEGER NOT NULL,     -- the 32 flag bits, as an unsigned number
  chr_source_id   INTEGER REFERENCES sources, -- the zone's own package (nick_chr); NULL when it has none
  chr2_source_id  INTEGER REFERENCES sources, -- its second own package (nick_chr2); NULL when it has none
  string_id       INTEGER NOT NULL,     -- StringID: the zone's name in the string list, unsigned
  string_name     TEXT,                 -- the string list's text for StringID; NULL when it has none
  min_level       INTEGER NOT NULL CHECK (min_level BETWEEN 0 AND 255), -- MinLevel, the level to enter; 0 none
  unknown7        INTEGER NOT NULL,     -- Unknown7, the seventh registration value, unsigned
  unknown8        INTEGER NOT NULL      -- Unknown8, the eighth registration value, unsigned
);

-- The models each zone imports through its import list, in list order.
CREATE TABLE zone_imports (
  zone_id  INTEGER NOT NULL REFERENCES zones,  -- the importing zone
  position INTEGER NOT NULL,                   -- place in the zone's imports, 0 first
  model_id INTEGER NOT NULL REFERENCES models, -- the imported model (of another zone's or a global package)
  PRIMARY KEY (zone_id, position)
) WITHOUT ROWID;

-- Where each race's models can be shown: one row per race, gender, source
-- and zone, exactly the zone lines and "All Zones" lines of the race page.
CREATE TABLE availability (
  race_id   INTEGER NOT NULL REFERENCES races,   -- the race
  gender    TEXT    NOT NULL CHECK (gender IN ('M', 'F', 'N')), -- the form of the race
  source_id INTEGER NOT NULL REFERENCES sources, -- the package the model comes from
  zone_id   INTEGER REFERENCES zones,            -- the zone; NULL for all zones (a global package)
  reach     TEXT    NOT NULL                     -- how the zone gets the model: local (its own package),
    CHECK (reach IN ('local', 'imported', 'global')), -- imported (its import list) or global (every zone)
  model_id  INTEGER NOT NULL REFERENCES models,  -- the model shown
  CHECK ((zone_id IS NULL) = (reach = 'global'))
);

-- The availability with "all zones" spelt out: one row per race, gender,
-- source and zone, a global row once for every zone of the zones table.
CREATE VIEW availability_by_zone AS
  SELECT race_id, gender, source_id, zone_id, reach, model_id FROM availability WHERE zone_id IS NOT NULL
  UNION ALL
  SELECT a.race_id, a.gender, a.source_id, z.zone_id, a.reach, a.model_id
    FROM availability a CROSS JOIN zones z WHERE a.zone_id IS NULL;

-- Indexes ------------------------------------------------------------------
-- zira makes these once every row is in: an index built from all rows at
-- once costs less than one kept up row by row.
CREATE INDEX models_by_code ON models (code);
CREATE INDEX models_source ON models (source_id);
CREATE INDEX zones_chr_source ON zones (chr_source_id);
CREATE INDEX zones_chr2_source ON zones (chr2_source_id);
CREATE INDEX zones_expansion ON zones (expansion);
CREATE INDEX zone_imports_model ON zone_imports (model_id);
CREATE INDEX availability_by_race ON availability (race_id, gender);
CREATE INDEX availability_zone ON availability (zone_id);
CREATE INDEX availability_source ON availability (source_id);
CREATE INDEX availability_model ON availability (model_id);
