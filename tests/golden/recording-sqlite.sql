CREATE TABLE schema_version (
  version INTEGER NOT NULL,
  PRIMARY KEY (version)
);
CREATE TABLE runs (
  id INTEGER PRIMARY KEY,
  started TEXT NOT NULL,
  started_ms INTEGER NOT NULL,
  ended TEXT,
  korda_version TEXT NOT NULL,
  library_version TEXT NOT NULL,
  command_line TEXT NOT NULL
);
CREATE TABLE instruments (
  id INTEGER PRIMARY KEY,
  run_id INTEGER NOT NULL REFERENCES runs(id),
  host TEXT NOT NULL,
  address TEXT NOT NULL,
  model TEXT NOT NULL,
  identity TEXT NOT NULL,
  config_json TEXT
);
CREATE INDEX instruments_by_run ON instruments (run_id, host, address);
CREATE TABLE channels (
  instrument_id INTEGER NOT NULL REFERENCES instruments(id),
  position INTEGER NOT NULL,
  number INTEGER NOT NULL,
  name TEXT NOT NULL,
  unit TEXT NOT NULL,
  function TEXT NOT NULL,
  range TEXT NOT NULL,
  PRIMARY KEY (instrument_id, position)
) WITHOUT ROWID;
CREATE INDEX channels_by_number ON channels (number, instrument_id);
CREATE TABLE scans (
  instrument_id INTEGER NOT NULL REFERENCES instruments(id),
  sequence INTEGER NOT NULL,
  time_ms INTEGER NOT NULL,
  utc_offset_min INTEGER NOT NULL,
  alarms INTEGER,
  readings BLOB NOT NULL,
  PRIMARY KEY (instrument_id, sequence)
) WITHOUT ROWID;
CREATE INDEX scans_by_time ON scans (instrument_id, time_ms);
CREATE TABLE gaps (
  id INTEGER PRIMARY KEY,
  instrument_id INTEGER NOT NULL REFERENCES instruments(id),
  gap_from TEXT NOT NULL,
  gap_until TEXT NOT NULL,
  reason TEXT NOT NULL,
  scans_lost INTEGER NOT NULL
);
CREATE INDEX gaps_by_instrument ON gaps (instrument_id);
