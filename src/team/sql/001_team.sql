-- The company's site database, version 1. Run by `zarvex-cli team init`
-- with an administrator's connection, in one transaction. Technicians get
-- no table privileges: only the functions below, which run as the schema's
-- owner with a pinned search_path, and row-level security on every table
-- as a second wall.

DO $$
BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'zarvex_owner') THEN
    CREATE ROLE zarvex_owner NOLOGIN;
  END IF;
  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'zarvex_technician') THEN
    CREATE ROLE zarvex_technician NOLOGIN;
  END IF;
  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'zarvex_senior') THEN
    CREATE ROLE zarvex_senior NOLOGIN;
  END IF;
  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'zarvex_admin') THEN
    CREATE ROLE zarvex_admin NOLOGIN;
  END IF;
  -- An administrator who is no superuser (a managed PostgreSQL) acts for
  -- the schema's owner; a superuser is a member of every role already.
  IF NOT pg_has_role(current_user, 'zarvex_owner', 'MEMBER') THEN
    EXECUTE format('GRANT zarvex_owner TO %I', current_user);
  END IF;
  EXECUTE format('GRANT CREATE ON DATABASE %I TO zarvex_owner', current_database());
END
$$;

CREATE SCHEMA zarvex AUTHORIZATION zarvex_owner;
REVOKE ALL ON SCHEMA zarvex FROM PUBLIC;
GRANT USAGE ON SCHEMA zarvex TO zarvex_technician, zarvex_senior, zarvex_admin;
SET LOCAL ROLE zarvex_owner;

CREATE TABLE zarvex.schema_version(version integer NOT NULL);
INSERT INTO zarvex.schema_version VALUES (1);

CREATE TABLE zarvex.branches(name text PRIMARY KEY CHECK (name <> ''));

CREATE TABLE zarvex.technicians(
  login name PRIMARY KEY,
  branch text NOT NULL REFERENCES zarvex.branches,
  role text NOT NULL CHECK (role IN ('technician', 'senior', 'admin')),
  sees_codes boolean NOT NULL,
  active boolean NOT NULL DEFAULT true,
  added timestamptz NOT NULL DEFAULT now());

-- One order for every row a laptop pulls: the transaction that wrote it,
-- then the sequence within it.
CREATE SEQUENCE zarvex.row_seq;

CREATE TABLE zarvex.sites(
  uid text PRIMARY KEY,
  branch text NOT NULL REFERENCES zarvex.branches,
  created text NOT NULL,
  technician text NOT NULL DEFAULT '',
  seq bigint NOT NULL DEFAULT nextval('zarvex.row_seq'),
  xid xid8 NOT NULL DEFAULT pg_current_xact_id());

-- Append-only: a change is never updated or deleted, and is the site's log.
CREATE TABLE zarvex.changes(
  change_id text PRIMARY KEY,
  site_uid text NOT NULL REFERENCES zarvex.sites,
  field text NOT NULL,
  value text NOT NULL,
  parents text[] NOT NULL,
  made text NOT NULL,
  technician text NOT NULL,
  laptop text NOT NULL,
  pushed_by name NOT NULL,
  received timestamptz NOT NULL DEFAULT now(),
  seq bigint NOT NULL DEFAULT nextval('zarvex.row_seq'),
  xid xid8 NOT NULL DEFAULT pg_current_xact_id());
CREATE INDEX changes_by_site ON zarvex.changes(site_uid);
CREATE INDEX sites_in_order ON zarvex.sites(xid, seq);
CREATE INDEX changes_in_order ON zarvex.changes(xid, seq);

-- Immutable and named by content, time and kind; the keypad codes apart,
-- for the roles that may see them.
CREATE TABLE zarvex.snapshots(
  hash text NOT NULL,
  taken text NOT NULL,
  kind text NOT NULL,
  site_uid text NOT NULL REFERENCES zarvex.sites,
  content text NOT NULL,
  codes text NOT NULL,
  program_version text NOT NULL,
  technician text NOT NULL,
  model text NOT NULL,
  firmware integer NOT NULL,
  pushed_by name NOT NULL,
  received timestamptz NOT NULL DEFAULT now(),
  seq bigint NOT NULL DEFAULT nextval('zarvex.row_seq'),
  xid xid8 NOT NULL DEFAULT pg_current_xact_id(),
  PRIMARY KEY (hash, taken, kind));
CREATE INDEX snapshots_in_order ON zarvex.snapshots(xid, seq);

-- Who is calling: the technician behind the session, active.
CREATE FUNCTION zarvex.caller() RETURNS zarvex.technicians
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
  SELECT t FROM zarvex.technicians t WHERE t.login = session_user AND t.active
$$;

-- The second wall, written out so the planner evaluates the caller once per
-- statement: a site of the caller's branch, or any for a senior or an
-- administrator; a change or snapshot of a site the caller sees (the sites
-- table's own policy applies inside); pushed under the caller's own name.
ALTER TABLE zarvex.branches ENABLE ROW LEVEL SECURITY;
ALTER TABLE zarvex.branches FORCE ROW LEVEL SECURITY;
CREATE POLICY branches_seen ON zarvex.branches FOR SELECT USING (true);
ALTER TABLE zarvex.technicians ENABLE ROW LEVEL SECURITY;
ALTER TABLE zarvex.technicians FORCE ROW LEVEL SECURITY;
CREATE POLICY technicians_self ON zarvex.technicians FOR SELECT USING (login = session_user);
ALTER TABLE zarvex.sites ENABLE ROW LEVEL SECURITY;
ALTER TABLE zarvex.sites FORCE ROW LEVEL SECURITY;
CREATE POLICY sites_read ON zarvex.sites FOR SELECT USING (
  branch = (SELECT t.branch FROM zarvex.technicians t WHERE t.login = session_user AND t.active)
  OR EXISTS (SELECT 1 FROM zarvex.technicians t
             WHERE t.login = session_user AND t.active AND t.role IN ('senior', 'admin')));
CREATE POLICY sites_add ON zarvex.sites FOR INSERT WITH CHECK (
  branch = (SELECT t.branch FROM zarvex.technicians t WHERE t.login = session_user AND t.active));
ALTER TABLE zarvex.changes ENABLE ROW LEVEL SECURITY;
ALTER TABLE zarvex.changes FORCE ROW LEVEL SECURITY;
CREATE POLICY changes_read ON zarvex.changes FOR SELECT
  USING (EXISTS (SELECT 1 FROM zarvex.sites s WHERE s.uid = site_uid));
CREATE POLICY changes_add ON zarvex.changes FOR INSERT
  WITH CHECK (pushed_by = session_user AND EXISTS (SELECT 1 FROM zarvex.sites s WHERE s.uid = site_uid));
ALTER TABLE zarvex.snapshots ENABLE ROW LEVEL SECURITY;
ALTER TABLE zarvex.snapshots FORCE ROW LEVEL SECURITY;
CREATE POLICY snapshots_read ON zarvex.snapshots FOR SELECT
  USING (EXISTS (SELECT 1 FROM zarvex.sites s WHERE s.uid = site_uid));
CREATE POLICY snapshots_add ON zarvex.snapshots FOR INSERT
  WITH CHECK (pushed_by = session_user AND EXISTS (SELECT 1 FROM zarvex.sites s WHERE s.uid = site_uid));

-- A batch from a laptop: sites, changes and snapshots as JSON arrays. What
-- the server has already is skipped, so a batch sent twice is harmless; a
-- row of a site the caller may not see (one of another branch, handed over
-- by file) stays on the laptop. Returns how many rows were new.
CREATE FUNCTION zarvex.push(p_sites jsonb, p_changes jsonb, p_snapshots jsonb) RETURNS integer
LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  me zarvex.technicians := zarvex.caller();
  added integer := 0;
  n integer;
BEGIN
  IF me.login IS NULL THEN
    RAISE EXCEPTION 'zarvex: % is no technician of this company', session_user USING ERRCODE = '42501';
  END IF;
  INSERT INTO zarvex.sites(uid, branch, created, technician)
  SELECT r.uid, me.branch, r.created, coalesce(r.technician, '')
  FROM jsonb_to_recordset(coalesce(p_sites, '[]')) AS r(uid text, created text, technician text)
  ON CONFLICT (uid) DO NOTHING;
  GET DIAGNOSTICS n = ROW_COUNT;
  added := added + n;
  INSERT INTO zarvex.changes(change_id, site_uid, field, value, parents, made, technician, laptop, pushed_by)
  SELECT r.change_id, r.site_uid, r.field, r.value, ARRAY(SELECT jsonb_array_elements_text(r.parents)),
         r.made, r.technician, r.laptop, session_user
  FROM jsonb_to_recordset(coalesce(p_changes, '[]'))
       AS r(change_id text, site_uid text, field text, value text, parents jsonb, made text, technician text,
            laptop text)
  WHERE EXISTS (SELECT 1 FROM zarvex.sites s WHERE s.uid = r.site_uid)
  ON CONFLICT (change_id) DO NOTHING;
  GET DIAGNOSTICS n = ROW_COUNT;
  added := added + n;
  INSERT INTO zarvex.snapshots(hash, taken, kind, site_uid, content, codes, program_version, technician, model,
                               firmware, pushed_by)
  SELECT r.hash, r.taken, r.kind, r.site_uid, r.content, r.codes, r.program_version, r.technician, r.model,
         r.firmware, session_user
  FROM jsonb_to_recordset(coalesce(p_snapshots, '[]'))
       AS r(hash text, taken text, kind text, site_uid text, content text, codes text, program_version text,
            technician text, model text, firmware integer)
  WHERE EXISTS (SELECT 1 FROM zarvex.sites s WHERE s.uid = r.site_uid)
  ON CONFLICT (hash, taken, kind) DO NOTHING;
  GET DIAGNOSTICS n = ROW_COUNT;
  RETURN added + n;
END
$$;

-- What a laptop has not seen yet, in (transaction, sequence) order after
-- the cursor, only from transactions older than every one still running:
-- a row committed out of order is never passed over. Codes only to the
-- roles that may see them, and to whoever pushed them.
CREATE FUNCTION zarvex.pull(p_after_xid xid8, p_after_seq bigint, p_limit integer)
RETURNS TABLE(what text, xid xid8, seq bigint, site_uid text, created text, technician text, change_id text,
              field text, value text, parents text, made text, laptop text, hash text, taken text, kind text,
              content text, codes text, program_version text, model text, firmware integer)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  me zarvex.technicians := zarvex.caller();
  horizon xid8 := pg_snapshot_xmin(pg_current_snapshot());
BEGIN
  IF me.login IS NULL THEN
    RAISE EXCEPTION 'zarvex: % is no technician of this company', session_user USING ERRCODE = '42501';
  END IF;
  -- Each table's first rows by its own index, then the first of those:
  -- a batch costs the same however much the server holds.
  RETURN QUERY
  SELECT * FROM (
    (SELECT 'site'::text, s.xid, s.seq, s.uid, s.created, s.technician, NULL::text, NULL::text, NULL::text,
            NULL::text, NULL::text, NULL::text, NULL::text, NULL::text, NULL::text, NULL::text, NULL::text,
            NULL::text, NULL::text, NULL::integer
     FROM zarvex.sites s
     WHERE (s.xid, s.seq) > (p_after_xid, p_after_seq) AND s.xid < horizon
     ORDER BY s.xid, s.seq LIMIT p_limit)
    UNION ALL
    (SELECT 'change', c.xid, c.seq, c.site_uid, NULL, c.technician, c.change_id, c.field, c.value,
            array_to_string(c.parents, ','), c.made, c.laptop, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL
     FROM zarvex.changes c
     WHERE (c.xid, c.seq) > (p_after_xid, p_after_seq) AND c.xid < horizon
     ORDER BY c.xid, c.seq LIMIT p_limit)
    UNION ALL
    (SELECT 'snapshot', n.xid, n.seq, n.site_uid, NULL, n.technician, NULL, NULL, NULL, NULL, NULL, NULL,
            n.hash, n.taken, n.kind, n.content,
            CASE WHEN me.sees_codes OR n.pushed_by = session_user THEN n.codes END,
            n.program_version, n.model, n.firmware
     FROM zarvex.snapshots n
     WHERE (n.xid, n.seq) > (p_after_xid, p_after_seq) AND n.xid < horizon
     ORDER BY n.xid, n.seq LIMIT p_limit)
  ) AS rows
  ORDER BY 2, 3
  LIMIT p_limit;
END
$$;

-- The server's record of a site: every change, who pushed it and when.
CREATE FUNCTION zarvex.site_log(p_uid text)
RETURNS TABLE(received timestamptz, pushed_by name, technician text, laptop text, field text, value text, made text)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
  SELECT c.received, c.pushed_by, c.technician, c.laptop, c.field, c.value, c.made
  FROM zarvex.changes c WHERE c.site_uid = p_uid
  ORDER BY c.received, c.seq
$$;

CREATE FUNCTION zarvex.whoami() RETURNS TABLE(login name, branch text, role text, sees_codes boolean)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
  SELECT t.login, t.branch, t.role, t.sees_codes FROM zarvex.technicians t WHERE t.login = session_user AND t.active
$$;

REVOKE ALL ON ALL TABLES IN SCHEMA zarvex FROM PUBLIC;
REVOKE ALL ON ALL SEQUENCES IN SCHEMA zarvex FROM PUBLIC;
REVOKE ALL ON ALL FUNCTIONS IN SCHEMA zarvex FROM PUBLIC;
GRANT EXECUTE ON FUNCTION zarvex.push(jsonb, jsonb, jsonb), zarvex.pull(xid8, bigint, integer),
  zarvex.site_log(text), zarvex.whoami()
  TO zarvex_technician, zarvex_senior, zarvex_admin;
RESET ROLE;
