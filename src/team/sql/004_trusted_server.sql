-- Version 4: a server that carries real panels and believes no laptop.
-- A panel's texts are Windows-1251 bytes, so settings files, their codes
-- and field values are stored and travel as bytes. Each row a laptop sends
-- is checked on its own: its id against its content, its size, its time,
-- the pusher's right to its site and his hourly share; a row refused is
-- named with its reason and never blocks the rest. Authorship is the
-- session's login; what the laptop says of its technician and its name is
-- kept as its claim. A technician without the codes gets a masked snapshot
-- named by a hash of what he received, so nothing he holds depends on the
-- codes. The functions of older programs now only tell them to update.
SET LOCAL ROLE zarvex_owner;

ALTER TABLE zarvex.snapshots ALTER COLUMN content TYPE bytea USING convert_to(content, 'UTF8'),
                             ALTER COLUMN codes TYPE bytea USING convert_to(codes, 'UTF8');
-- Named once, when it comes, for every laptop that will pull it masked.
ALTER TABLE zarvex.snapshots
  ADD COLUMN masked_hash text GENERATED ALWAYS AS ('m' || encode(sha256(content), 'hex')) STORED;
ALTER TABLE zarvex.changes ALTER COLUMN value TYPE bytea USING convert_to(value, 'UTF8');
CREATE INDEX changes_by_pusher ON zarvex.changes(pushed_by, received);

-- What one call and one technician may send; a settings file is 61 short
-- lines, a few kilobytes.
-- A push runs for a second or so; one running past push_seconds is ended
-- by the next pull.
CREATE FUNCTION zarvex.limits(OUT rows_per_call integer, OUT bytes_per_call bigint, OUT snapshot_bytes integer,
                              OUT codes_bytes integer, OUT value_bytes integer, OUT text_bytes integer,
                              OUT changes_per_hour integer, OUT push_seconds integer)
LANGUAGE sql IMMUTABLE SET search_path = pg_catalog, pg_temp AS $$
  SELECT 10000, 33554432::bigint, 16384, 256, 8192, 256, 50000, 25
$$;

-- A time a laptop names, as it writes them (UTC, ISO 8601): later than the
-- server's own clock with a few minutes' leeway is a forgery or a broken clock.
CREATE FUNCTION zarvex.future_bound() RETURNS text
LANGUAGE sql STABLE AS $$
  SELECT to_char((now() + interval '10 minutes') AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS.MS"Z"')
$$;
CREATE FUNCTION zarvex.in_future(p_when text) RETURNS boolean
LANGUAGE sql STABLE AS $$
  SELECT p_when > zarvex.future_bound()
$$;

-- The id a laptop gives a change: the hash of all it holds, its parents sorted.
CREATE FUNCTION zarvex.change_id_of(p_site_uid text, p_field text, p_value bytea, p_parents text[], p_made text,
                                    p_technician text, p_laptop text) RETURNS text
LANGUAGE sql IMMUTABLE SET search_path = pg_catalog, pg_temp AS $$
  SELECT encode(sha256(convert_to(p_site_uid || E'\x1f' || p_field || E'\x1f', 'UTF8') || p_value ||
                       convert_to(E'\x1f' || coalesce((SELECT string_agg(p || ' ', '' ORDER BY p COLLATE "C")
                                                       FROM unnest(p_parents) p), '') ||
                                  E'\x1f' || p_made || E'\x1f' || p_technician || E'\x1f' || p_laptop, 'UTF8')), 'hex')
$$;

-- Where the codes line of a masked settings file begins: after its second
-- line end, as the settings format reads lines (an LF ends one). NULL when
-- the file has no third line. One expression without settings of its own,
-- so the planner inlines it into a push's statement (whose search_path is
-- pinned) rather than calling it row by row.
CREATE FUNCTION zarvex.codes_line_start(p_content bytea) RETURNS integer
LANGUAGE sql IMMUTABLE AS $$
  SELECT nullif(position('\x0a'::bytea IN substring(p_content FROM position('\x0a'::bytea IN p_content) + 1)), 0)
         + nullif(position('\x0a'::bytea IN p_content), 0) + 1
$$;

-- The whole file a masked one and its codes were split from.
CREATE FUNCTION zarvex.joined(p_content bytea, p_codes bytea) RETURNS bytea
LANGUAGE sql IMMUTABLE AS $$
  SELECT coalesce(overlay(p_content PLACING p_codes FROM zarvex.codes_line_start(p_content) FOR 0), p_content)
$$;

CREATE FUNCTION zarvex.me() RETURNS zarvex.technicians
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  me zarvex.technicians := zarvex.caller();
BEGIN
  IF me.login IS NULL THEN
    RAISE EXCEPTION 'zarvex: % is no technician of this company', session_user USING ERRCODE = '42501';
  END IF;
  RETURN me;
END
$$;

-- Every push begins a transaction of its own and says, by a lock only
-- its transaction holds, when it began: a pull's horizon then waits for
-- pushes still running and for nothing else, and ends one that runs far
-- longer than an honest push can. A transaction that got its id before
-- calling a push could otherwise write rows behind a horizon already past it.
CREATE FUNCTION zarvex.begin_push() RETURNS void
LANGUAGE plpgsql VOLATILE SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  IF pg_current_xact_id_if_assigned() IS NOT NULL THEN
    RAISE EXCEPTION 'zarvex: a push must be the first thing its transaction writes' USING ERRCODE = '25001';
  END IF;
  PERFORM pg_advisory_xact_lock_shared(20260, (extract(epoch FROM clock_timestamp()) - 1577836800)::integer);
END
$$;

-- Rows below the horizon are all a pull may serve: no transaction that
-- may still add rows below it is running. Pushes running longer than an
-- honest one can are ended first; any other session, whatever it holds
-- open, is passed over.
CREATE FUNCTION zarvex.pull_horizon() RETURNS xid8
LANGUAGE plpgsql VOLATILE SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  stale record;
  s pg_snapshot;
  h xid8;
BEGIN
  FOR stale IN
    SELECT l.pid FROM pg_locks l
    WHERE l.locktype = 'advisory' AND l.classid = 20260 AND l.objsubid = 2 AND l.granted AND l.pid <> pg_backend_pid()
    GROUP BY l.pid
    HAVING min(l.objid::bigint) < extract(epoch FROM clock_timestamp())::bigint - 1577836800
                                  - (SELECT push_seconds FROM zarvex.limits())
  LOOP
    PERFORM pg_terminate_backend(stale.pid, 5000);
  END LOOP;
  s := pg_current_snapshot();
  -- A running transaction is passed over only when it is seen running and
  -- not writing these tables, which only a push can; one that has ended
  -- since the snapshot is waited for until the next pull.
  SELECT min(x) INTO h FROM pg_snapshot_xip(s) AS x
  WHERE NOT EXISTS (
    SELECT 1 FROM pg_stat_activity a
    WHERE a.backend_xid = xid(x)
      AND NOT EXISTS (SELECT 1 FROM pg_locks l
                      WHERE l.pid = a.pid AND l.locktype = 'relation' AND l.mode = 'RowExclusiveLock'
                        AND l.relation IN ('zarvex.sites'::regclass, 'zarvex.changes'::regclass,
                                           'zarvex.snapshots'::regclass)));
  RETURN coalesce(h, pg_snapshot_xmax(s));
END
$$;

-- One call's size: refused whole, with the limit named.
CREATE FUNCTION zarvex.check_call(p_rows integer, p_bytes bigint) RETURNS void
LANGUAGE plpgsql STABLE SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  l record;
BEGIN
  SELECT * INTO l FROM zarvex.limits();
  IF coalesce(p_rows, 0) > l.rows_per_call THEN
    RAISE EXCEPTION 'zarvex: сервер принимает не больше % строк за раз, прислано %', l.rows_per_call, p_rows
      USING ERRCODE = '54000';
  END IF;
  IF coalesce(p_bytes, 0) > l.bytes_per_call THEN
    RAISE EXCEPTION 'zarvex: сервер принимает не больше % байт за раз, прислано %', l.bytes_per_call, p_bytes
      USING ERRCODE = '54000';
  END IF;
END
$$;

-- Each push answers with one row of what was added and the transaction it
-- made, then one row for each row refused, with its reason.

-- A site the caller may see, or may add in his own branch.
CREATE FUNCTION zarvex.push_sites(p_uid text[], p_created text[], p_technician text[])
RETURNS TABLE(item text, refusal text, added integer, xid xid8)
LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = pg_catalog, pg_temp SET jit = off AS $$
DECLARE
  me zarvex.technicians := zarvex.me();
  l record;
  bad_ord bigint[];
  bad_why text[];
  inserted text[];
BEGIN
  PERFORM zarvex.begin_push();
  SELECT * INTO l FROM zarvex.limits();
  PERFORM zarvex.check_call(cardinality(p_uid), NULL);
  IF cardinality(p_uid) IS DISTINCT FROM cardinality(p_created)
     OR cardinality(p_uid) IS DISTINCT FROM cardinality(p_technician) THEN
    RAISE EXCEPTION 'zarvex: the columns of a batch of sites differ in length' USING ERRCODE = '22023';
  END IF;
  SELECT coalesce(array_agg(j.ord), '{}'), coalesce(array_agg(j.why), '{}') INTO bad_ord, bad_why FROM (
    SELECT r.ord, CASE
        WHEN r.uid = '' OR greatest(octet_length(r.uid), octet_length(r.created), octet_length(r.technician))
                           > l.text_bytes THEN 'слишком длинное поле объекта'
        WHEN zarvex.in_future(r.created) THEN 'время создания объекта позже времени сервера'
      END AS why
    FROM unnest(p_uid, p_created, p_technician) WITH ORDINALITY AS r(uid, created, technician, ord)) j
  WHERE j.why IS NOT NULL;
  WITH ins AS (
    INSERT INTO zarvex.sites(uid, branch, created, technician)
    SELECT r.uid, me.branch, r.created, r.technician
    FROM unnest(p_uid, p_created, p_technician) WITH ORDINALITY AS r(uid, created, technician, ord)
    WHERE r.ord <> ALL (bad_ord)
    ON CONFLICT (uid) DO NOTHING RETURNING uid)
  SELECT coalesce(array_agg(ins.uid), '{}') INTO inserted FROM ins;
  RETURN QUERY SELECT NULL::text, NULL::text, cardinality(inserted), pg_current_xact_id_if_assigned();
  RETURN QUERY SELECT p_uid[b.ord], b.why, NULL::integer, NULL::xid8 FROM unnest(bad_ord, bad_why) AS b(ord, why);
  -- Neither added nor to be seen: the site is another branch's.
  RETURN QUERY SELECT r.uid, 'объект другого филиала: на сервер его передаёт техник того филиала или старший',
                      NULL::integer, NULL::xid8
    FROM unnest(p_uid) WITH ORDINALITY AS r(uid, ord)
    WHERE r.ord <> ALL (bad_ord) AND r.uid <> ALL (inserted)
      AND NOT EXISTS (SELECT 1 FROM zarvex.sites s WHERE s.uid = r.uid);
END
$$;

-- Changes, one array per column; parents as one text each, comma-separated.
CREATE FUNCTION zarvex.push_changes(p_change_id text[], p_site_uid text[], p_field text[], p_value bytea[],
                                    p_parents text[], p_made text[], p_technician text[], p_laptop text[])
RETURNS TABLE(item text, refusal text, added integer, xid xid8)
LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = pg_catalog, pg_temp SET jit = off AS $$
DECLARE
  me zarvex.technicians := zarvex.me();
  l record;
  hour_used integer;
  bad_ord bigint[];
  bad_why text[];
  n integer;
BEGIN
  PERFORM zarvex.begin_push();
  SELECT * INTO l FROM zarvex.limits();
  PERFORM zarvex.check_call(cardinality(p_change_id), (SELECT sum(octet_length(v)) FROM unnest(p_value) v));
  IF cardinality(p_change_id) IS DISTINCT FROM cardinality(p_site_uid)
     OR cardinality(p_change_id) IS DISTINCT FROM cardinality(p_field)
     OR cardinality(p_change_id) IS DISTINCT FROM cardinality(p_value)
     OR cardinality(p_change_id) IS DISTINCT FROM cardinality(p_parents)
     OR cardinality(p_change_id) IS DISTINCT FROM cardinality(p_made)
     OR cardinality(p_change_id) IS DISTINCT FROM cardinality(p_technician)
     OR cardinality(p_change_id) IS DISTINCT FROM cardinality(p_laptop) THEN
    RAISE EXCEPTION 'zarvex: the columns of a batch of changes differ in length' USING ERRCODE = '22023';
  END IF;
  -- One technician's share an hour, counted one push at a time, so no
  -- login floods every laptop of the company.
  PERFORM pg_advisory_xact_lock(hashtext('zarvex pusher ' || session_user));
  SELECT count(*) INTO hour_used FROM zarvex.changes c
  WHERE c.pushed_by = session_user AND c.received > now() - interval '1 hour';
  SELECT coalesce(array_agg(j.ord), '{}'), coalesce(array_agg(j.why), '{}') INTO bad_ord, bad_why FROM (
    SELECT k.ord, CASE
        WHEN k.why IS NOT NULL THEN k.why
        -- Only what is new counts against the hour; what the server has is no load.
        WHEN hour_used + sum(CASE WHEN k.fresh THEN 1 ELSE 0 END) OVER (ORDER BY k.ord) > l.changes_per_hour
          THEN format('больше %s изменений за час от одного техника', l.changes_per_hour)
      END AS why
    FROM (
      SELECT r.ord, r.why, r.why IS NULL AND NOT EXISTS (SELECT 1 FROM zarvex.changes c WHERE c.change_id = r.change_id) AS fresh
      FROM (
        SELECT r.ord, r.change_id, CASE
            WHEN octet_length(r.value) > l.value_bytes
              THEN format('значение поля длиннее %s байт: %s', l.value_bytes, octet_length(r.value))
            WHEN greatest(octet_length(r.change_id), octet_length(r.site_uid), octet_length(r.field),
                          octet_length(r.made), octet_length(r.technician), octet_length(r.laptop),
                          octet_length(r.parents) / 65) > l.text_bytes
              THEN 'слишком длинное поле изменения'
            WHEN r.field NOT IN ('name', 'customer', 'address', 'phones', 'notes') THEN 'неизвестное поле объекта'
            WHEN r.change_id IS DISTINCT FROM zarvex.change_id_of(r.site_uid, r.field, r.value,
                   CASE WHEN r.parents = '' THEN '{}'::text[] ELSE string_to_array(r.parents, ',') END,
                   r.made, r.technician, r.laptop)
              THEN 'номер изменения не совпадает с его содержимым'
            WHEN zarvex.in_future(r.made) THEN 'время изменения позже времени сервера: проверьте часы ноутбука'
            WHEN NOT EXISTS (SELECT 1 FROM zarvex.sites s WHERE s.uid = r.site_uid)
              THEN 'объект другого филиала или ещё не на сервере'
          END AS why
        FROM unnest(p_change_id, p_site_uid, p_field, p_value, p_parents, p_made, p_technician, p_laptop)
             WITH ORDINALITY AS r(change_id, site_uid, field, value, parents, made, technician, laptop, ord)) r) k) j
  WHERE j.why IS NOT NULL;
  INSERT INTO zarvex.changes(change_id, site_uid, field, value, parents, made, technician, laptop, pushed_by)
  SELECT r.change_id, r.site_uid, r.field, r.value,
         CASE WHEN r.parents = '' THEN '{}'::text[] ELSE string_to_array(r.parents, ',') END,
         r.made, r.technician, r.laptop, session_user
  FROM unnest(p_change_id, p_site_uid, p_field, p_value, p_parents, p_made, p_technician, p_laptop)
       WITH ORDINALITY AS r(change_id, site_uid, field, value, parents, made, technician, laptop, ord)
  WHERE r.ord <> ALL (bad_ord)
  ORDER BY r.ord
  ON CONFLICT (change_id) DO NOTHING;
  GET DIAGNOSTICS n = ROW_COUNT;
  RETURN QUERY SELECT NULL::text, NULL::text, n, pg_current_xact_id_if_assigned();
  RETURN QUERY SELECT p_change_id[b.ord], b.why, NULL::integer, NULL::xid8 FROM unnest(bad_ord, bad_why) AS b(ord, why);
END
$$;

-- Snapshots: the file without its codes line's text, and the codes apart;
-- the hash names the whole file and is checked against it.
CREATE FUNCTION zarvex.push_snapshot_files(p_hash text[], p_taken text[], p_kind text[], p_site_uid text[],
                                           p_content bytea[], p_codes bytea[], p_program_version text[],
                                           p_technician text[], p_model text[], p_firmware integer[])
RETURNS TABLE(item text, refusal text, added integer, xid xid8)
LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = pg_catalog, pg_temp SET jit = off AS $$
DECLARE
  me zarvex.technicians := zarvex.me();
  l record;
  future text := zarvex.future_bound();
  bad_ord bigint[];
  bad_why text[];
  n integer;
BEGIN
  PERFORM zarvex.begin_push();
  SELECT * INTO l FROM zarvex.limits();
  PERFORM zarvex.check_call(cardinality(p_hash), (SELECT sum(octet_length(v)) FROM unnest(p_content) v));
  IF cardinality(p_hash) IS DISTINCT FROM cardinality(p_taken) OR cardinality(p_hash) IS DISTINCT FROM cardinality(p_kind)
     OR cardinality(p_hash) IS DISTINCT FROM cardinality(p_site_uid)
     OR cardinality(p_hash) IS DISTINCT FROM cardinality(p_content)
     OR cardinality(p_hash) IS DISTINCT FROM cardinality(p_codes)
     OR cardinality(p_hash) IS DISTINCT FROM cardinality(p_program_version)
     OR cardinality(p_hash) IS DISTINCT FROM cardinality(p_technician)
     OR cardinality(p_hash) IS DISTINCT FROM cardinality(p_model)
     OR cardinality(p_hash) IS DISTINCT FROM cardinality(p_firmware) THEN
    RAISE EXCEPTION 'zarvex: the columns of a batch of snapshots differ in length' USING ERRCODE = '22023';
  END IF;
  -- One pass: each row judged, the good ones added, in one statement; a
  -- batch's rows name few sites, each looked up once.
  WITH seen AS (
    SELECT d.uid FROM (SELECT DISTINCT u AS uid FROM unnest(p_site_uid) u) d
    WHERE EXISTS (SELECT 1 FROM zarvex.sites s WHERE s.uid = d.uid)),
  judged AS MATERIALIZED (
    SELECT r.*, CASE
        WHEN octet_length(r.content) + octet_length(r.codes) > l.snapshot_bytes
          THEN format('снимок больше, чем бывает файл настроек: %s байт (не больше %s)',
                      octet_length(r.content) + octet_length(r.codes), l.snapshot_bytes)
        WHEN octet_length(r.codes) > l.codes_bytes OR position('\x0a'::bytea IN r.codes) > 0
             OR (octet_length(r.codes) > 0 AND zarvex.codes_line_start(r.content) IS NULL)
          THEN 'строка кодов снимка не такая, какой бывает'
        WHEN greatest(octet_length(r.hash), octet_length(r.taken), octet_length(r.kind), octet_length(r.site_uid),
                      octet_length(r.program_version), octet_length(r.technician), octet_length(r.model))
             > l.text_bytes
          THEN 'слишком длинное поле снимка'
        WHEN r.hash IS DISTINCT FROM encode(sha256(zarvex.joined(r.content, r.codes)), 'hex')
          THEN 'хеш снимка не совпадает с его содержимым'
        WHEN r.taken > future THEN 'время снимка позже времени сервера: проверьте часы ноутбука'
        WHEN NOT EXISTS (SELECT 1 FROM seen WHERE seen.uid = r.site_uid)
          THEN 'объект другого филиала или ещё не на сервере'
      END AS why
    FROM unnest(p_hash, p_taken, p_kind, p_site_uid, p_content, p_codes, p_program_version, p_technician, p_model,
                p_firmware) WITH ORDINALITY
         AS r(hash, taken, kind, site_uid, content, codes, program_version, technician, model, firmware, ord)),
  added AS (
    INSERT INTO zarvex.snapshots(hash, taken, kind, site_uid, content, codes, program_version, technician, model,
                                 firmware, pushed_by)
    SELECT j.hash, j.taken, j.kind, j.site_uid, j.content, j.codes, j.program_version, j.technician, j.model,
           j.firmware, session_user
    FROM judged j WHERE j.why IS NULL ORDER BY j.ord
    ON CONFLICT (hash, taken, kind) DO NOTHING RETURNING 1)
  SELECT (SELECT count(*) FROM added), coalesce(array_agg(j.ord) FILTER (WHERE j.why IS NOT NULL), '{}'),
         coalesce(array_agg(j.why) FILTER (WHERE j.why IS NOT NULL), '{}')
  INTO n, bad_ord, bad_why FROM judged j;
  RETURN QUERY SELECT NULL::text, NULL::text, n, pg_current_xact_id_if_assigned();
  RETURN QUERY SELECT p_hash[b.ord] || ' ' || p_taken[b.ord] || ' ' || p_kind[b.ord], b.why, NULL::integer, NULL::xid8
               FROM unnest(bad_ord, bad_why) AS b(ord, why);
END
$$;

-- As the version 3 pull, with bytes for bytes, the login that pushed each
-- row and when the server took it. A masked snapshot comes named by the
-- hash of what is sent.
CREATE FUNCTION zarvex.pull_rows(p_after_xid xid8, p_after_seq bigint, p_limit integer, p_own xid8[])
RETURNS TABLE(what text, xid xid8, seq bigint, site_uid text, created text, technician text, change_id text,
              field text, value bytea, parents text, made text, laptop text, hash text, taken text, kind text,
              content bytea, codes bytea, program_version text, model text, firmware integer, pushed_by name,
              received timestamptz)
LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = pg_catalog, pg_temp SET jit = off
  SET enable_bitmapscan = off SET enable_seqscan = off AS $$
DECLARE
  me zarvex.technicians := zarvex.me();
  horizon xid8 := zarvex.pull_horizon();
  own xid8[] := coalesce(p_own, '{}');
BEGIN
  RETURN QUERY
  SELECT * FROM (
    (SELECT 'site'::text, s.xid, s.seq, s.uid, s.created, s.technician, NULL::text, NULL::text, NULL::bytea,
            NULL::text, NULL::text, NULL::text, NULL::text, NULL::text, NULL::text, NULL::bytea, NULL::bytea,
            NULL::text, NULL::text, NULL::integer, NULL::name, NULL::timestamptz
     FROM zarvex.sites s
     WHERE (s.xid, s.seq) > (p_after_xid, p_after_seq) AND s.xid < horizon AND s.xid <> ALL (own)
     ORDER BY s.xid, s.seq LIMIT p_limit)
    UNION ALL
    (SELECT 'change', c.xid, c.seq, c.site_uid, NULL, c.technician, c.change_id, c.field, c.value,
            array_to_string(c.parents, ','), c.made, c.laptop, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL,
            c.pushed_by, c.received
     FROM zarvex.changes c
     WHERE (c.xid, c.seq) > (p_after_xid, p_after_seq) AND c.xid < horizon AND c.xid <> ALL (own)
     ORDER BY c.xid, c.seq LIMIT p_limit)
    UNION ALL
    (SELECT 'snapshot', n.xid, n.seq, n.site_uid, NULL, n.technician, NULL, NULL, NULL, NULL, NULL, NULL,
            CASE WHEN me.sees_codes OR n.pushed_by = session_user THEN n.hash ELSE n.masked_hash END,
            n.taken, n.kind, n.content,
            CASE WHEN me.sees_codes OR n.pushed_by = session_user THEN n.codes END,
            n.program_version, n.model, n.firmware, n.pushed_by, n.received
     FROM zarvex.snapshots n
     WHERE (n.xid, n.seq) > (p_after_xid, p_after_seq) AND n.xid < horizon AND n.xid <> ALL (own)
     ORDER BY n.xid, n.seq LIMIT p_limit)
    UNION ALL
    (SELECT 'own', o.xid, o.last, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL,
            NULL, NULL, NULL, NULL, NULL, NULL
     FROM (SELECT x AS xid,
                  greatest((SELECT max(s.seq) FROM zarvex.sites s WHERE s.xid = x),
                           (SELECT max(c.seq) FROM zarvex.changes c WHERE c.xid = x),
                           (SELECT max(n.seq) FROM zarvex.snapshots n WHERE n.xid = x)) AS last
           FROM unnest(own) AS x) o
     WHERE o.last IS NOT NULL AND o.xid < horizon AND (o.xid, o.last) > (p_after_xid, p_after_seq))
  ) AS rows
  ORDER BY 2, 3
  LIMIT p_limit;
END
$$;

-- The server's record of a site: the login that pushed each change, when
-- it took it, and what the laptop said (its technician, its name, its time).


-- A change of a technician's rights (role, branch, codes) is counted, so
-- his laptop takes everything anew once at its next sync: what he may now
-- see, and the codes of the snapshots it holds masked.
ALTER TABLE zarvex.technicians ADD COLUMN rights integer NOT NULL DEFAULT 0;
CREATE FUNCTION zarvex.count_rights() RETURNS trigger
LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  IF (NEW.role, NEW.branch, NEW.sees_codes, NEW.active) IS DISTINCT FROM (OLD.role, OLD.branch, OLD.sees_codes, OLD.active) THEN
    NEW.rights := OLD.rights + 1;
  END IF;
  RETURN NEW;
END
$$;
CREATE TRIGGER technicians_rights_counted BEFORE UPDATE ON zarvex.technicians
  FOR EACH ROW EXECUTE FUNCTION zarvex.count_rights();
DROP FUNCTION zarvex.whoami();
CREATE FUNCTION zarvex.whoami() RETURNS TABLE(login name, branch text, role text, sees_codes boolean, rights integer)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
  SELECT t.login, t.branch, t.role, t.sees_codes, t.rights FROM zarvex.technicians t
  WHERE t.login = session_user AND t.active
$$;

-- Administrators (members of the owner role) see and move every site.
CREATE FUNCTION zarvex.may_move() RETURNS boolean
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
  SELECT pg_has_role(session_user, 'zarvex_owner', 'MEMBER')
         OR coalesce((SELECT t.role IN ('senior', 'admin') FROM zarvex.technicians t
                      WHERE t.login = session_user AND t.active), false)
$$;
CREATE POLICY sites_by_administrators ON zarvex.sites FOR SELECT
  USING (pg_has_role(session_user, 'zarvex_owner', 'MEMBER'));
CREATE POLICY changes_by_administrators ON zarvex.changes FOR SELECT
  USING (pg_has_role(session_user, 'zarvex_owner', 'MEMBER'));
CREATE POLICY snapshots_by_administrators ON zarvex.snapshots FOR SELECT
  USING (pg_has_role(session_user, 'zarvex_owner', 'MEMBER'));
CREATE POLICY sites_moved ON zarvex.sites FOR UPDATE USING (zarvex.may_move()) WITH CHECK (zarvex.may_move());
CREATE POLICY changes_moved ON zarvex.changes FOR UPDATE USING (zarvex.may_move()) WITH CHECK (zarvex.may_move());
CREATE POLICY snapshots_moved ON zarvex.snapshots FOR UPDATE USING (zarvex.may_move()) WITH CHECK (zarvex.may_move());

CREATE TABLE zarvex.site_moves(
  site_uid text NOT NULL,
  from_branch text NOT NULL,
  to_branch text NOT NULL REFERENCES zarvex.branches,
  moved_by name NOT NULL,
  moved timestamptz NOT NULL DEFAULT now());
CREATE INDEX site_moves_by_site ON zarvex.site_moves(site_uid);
ALTER TABLE zarvex.site_moves ENABLE ROW LEVEL SECURITY;
ALTER TABLE zarvex.site_moves FORCE ROW LEVEL SECURITY;
CREATE POLICY site_moves_read ON zarvex.site_moves FOR SELECT
  USING (EXISTS (SELECT 1 FROM zarvex.sites s WHERE s.uid = site_uid));
CREATE POLICY site_moves_add ON zarvex.site_moves FOR INSERT WITH CHECK (moved_by = session_user AND zarvex.may_move());

-- A site moved to another branch, by a senior or an administrator: it and
-- all it holds come after every laptop's cursor again, so the new branch's
-- laptops receive it whole; the move is in the site's record.
CREATE FUNCTION zarvex.move_site(p_uid text, p_branch text) RETURNS text
LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = pg_catalog, pg_temp SET jit = off AS $$
DECLARE
  was text;
BEGIN
  PERFORM zarvex.begin_push();
  IF NOT zarvex.may_move() THEN
    RAISE EXCEPTION 'zarvex: переносить объекты между филиалами могут только старшие и администраторы'
      USING ERRCODE = '42501';
  END IF;
  IF NOT EXISTS (SELECT 1 FROM zarvex.branches b WHERE b.name = p_branch) THEN
    RAISE EXCEPTION 'zarvex: нет филиала «%»', p_branch USING ERRCODE = '23503';
  END IF;
  SELECT s.branch INTO was FROM zarvex.sites s WHERE s.uid = p_uid FOR UPDATE;
  IF NOT FOUND THEN
    RAISE EXCEPTION 'zarvex: этого объекта нет на сервере' USING ERRCODE = '23503';
  END IF;
  IF was = p_branch THEN
    RETURN was;
  END IF;
  UPDATE zarvex.sites s SET branch = p_branch, xid = pg_current_xact_id(), seq = nextval('zarvex.row_seq')
  WHERE s.uid = p_uid;
  UPDATE zarvex.changes c SET xid = pg_current_xact_id(), seq = nextval('zarvex.row_seq') WHERE c.site_uid = p_uid;
  UPDATE zarvex.snapshots n SET xid = pg_current_xact_id(), seq = nextval('zarvex.row_seq') WHERE n.site_uid = p_uid;
  INSERT INTO zarvex.site_moves(site_uid, from_branch, to_branch, moved_by) VALUES (p_uid, was, p_branch, session_user);
  RETURN was;
END
$$;

-- The server's record of a site: the login that pushed each change, when
-- it took it, and what the laptop said (its technician, its name, its
-- time); a move to another branch as a change of the field "branch".
CREATE FUNCTION zarvex.site_record(p_uid text)
RETURNS TABLE(received timestamptz, pushed_by name, technician text, laptop text, field text, value bytea, made text)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp SET jit = off AS $$
  SELECT r.received, r.pushed_by, r.technician, r.laptop, r.field, r.value, r.made FROM (
    SELECT c.received, c.pushed_by, c.technician, c.laptop, c.field, c.value, c.made, c.seq AS k
    FROM zarvex.changes c WHERE c.site_uid = p_uid
    UNION ALL
    SELECT m.moved, m.moved_by, '', '', 'branch', convert_to(m.from_branch || ' → ' || m.to_branch, 'UTF8'), '', 0
    FROM zarvex.site_moves m WHERE m.site_uid = p_uid) r
  WHERE (zarvex.caller()).login IS NOT NULL OR pg_has_role(session_user, 'zarvex_owner', 'MEMBER')
  ORDER BY r.received, r.k
$$;

-- Each laptop's syncs as the server saw them: who (the login), which
-- laptop (its claim), when, what went and came, and what the laptop said
-- still waits on it; so the administrator sees a laptop that has not
-- synced for days. One row a laptop, its last sync.
CREATE TABLE zarvex.laptop_syncs(
  login name NOT NULL,
  laptop text NOT NULL CHECK (octet_length(laptop) <= 256),
  synced timestamptz NOT NULL DEFAULT now(),
  sent integer NOT NULL,
  taken integer NOT NULL,
  waiting integer NOT NULL,
  refused integer NOT NULL,
  PRIMARY KEY (login, laptop));
ALTER TABLE zarvex.laptop_syncs ENABLE ROW LEVEL SECURITY;
ALTER TABLE zarvex.laptop_syncs FORCE ROW LEVEL SECURITY;
CREATE POLICY laptop_syncs_own ON zarvex.laptop_syncs FOR ALL
  USING (login = session_user) WITH CHECK (login = session_user);
CREATE POLICY laptop_syncs_by_administrators ON zarvex.laptop_syncs FOR SELECT
  USING (pg_has_role(session_user, 'zarvex_owner', 'MEMBER'));

CREATE FUNCTION zarvex.record_sync(p_laptop text, p_sent integer, p_taken integer, p_waiting integer,
                                   p_refused integer) RETURNS void
LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = pg_catalog, pg_temp SET jit = off AS $$
DECLARE
  me zarvex.technicians := zarvex.me();
BEGIN
  INSERT INTO zarvex.laptop_syncs(login, laptop, sent, taken, waiting, refused)
  VALUES (session_user, left(coalesce(p_laptop, ''), 128), greatest(coalesce(p_sent, 0), 0),
          greatest(coalesce(p_taken, 0), 0), greatest(coalesce(p_waiting, 0), 0), greatest(coalesce(p_refused, 0), 0))
  ON CONFLICT (login, laptop) DO UPDATE SET synced = now(), sent = excluded.sent, taken = excluded.taken,
    waiting = excluded.waiting, refused = excluded.refused;
END
$$;

-- For administrators: every laptop's last sync, oldest first.
CREATE FUNCTION zarvex.laptops()
RETURNS TABLE(login name, branch text, laptop text, synced timestamptz, sent integer, taken integer, waiting integer,
              refused integer, active boolean)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  IF NOT pg_has_role(session_user, 'zarvex_owner', 'MEMBER') THEN
    RAISE EXCEPTION 'zarvex: это видит только администратор компании' USING ERRCODE = '42501';
  END IF;
  RETURN QUERY
  SELECT l.login, t.branch, l.laptop, l.synced, l.sent, l.taken, l.waiting, l.refused, t.active
  FROM zarvex.laptop_syncs l LEFT JOIN zarvex.technicians t ON t.login = l.login
  ORDER BY l.synced, l.login, l.laptop;
END
$$;

-- What older programs call: told plainly to update, never half-served.
CREATE OR REPLACE FUNCTION zarvex.push(p_sites jsonb, p_changes jsonb, p_snapshots jsonb) RETURNS integer
LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  RAISE EXCEPTION 'сервер компании обновлён: обновите Zarvex Settings на этом ноутбуке, чтобы синхронизировать'
    USING ERRCODE = '0A000';
END
$$;
CREATE OR REPLACE FUNCTION zarvex.push_snapshots(p_hash text[], p_taken text[], p_kind text[], p_site_uid text[],
                                                 p_content text[], p_codes text[], p_program_version text[],
                                                 p_technician text[], p_model text[], p_firmware integer[])
RETURNS TABLE(added integer, xid xid8)
LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  RAISE EXCEPTION 'сервер компании обновлён: обновите Zarvex Settings на этом ноутбуке, чтобы синхронизировать'
    USING ERRCODE = '0A000';
END
$$;
CREATE OR REPLACE FUNCTION zarvex.pull(p_after_xid xid8, p_after_seq bigint, p_limit integer)
RETURNS TABLE(what text, xid xid8, seq bigint, site_uid text, created text, technician text, change_id text,
              field text, value text, parents text, made text, laptop text, hash text, taken text, kind text,
              content text, codes text, program_version text, model text, firmware integer)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  RAISE EXCEPTION 'сервер компании обновлён: обновите Zarvex Settings на этом ноутбуке, чтобы синхронизировать'
    USING ERRCODE = '0A000';
END
$$;
CREATE OR REPLACE FUNCTION zarvex.pull(p_after_xid xid8, p_after_seq bigint, p_limit integer, p_own xid8[])
RETURNS TABLE(what text, xid xid8, seq bigint, site_uid text, created text, technician text, change_id text,
              field text, value text, parents text, made text, laptop text, hash text, taken text, kind text,
              content text, codes text, program_version text, model text, firmware integer)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  RAISE EXCEPTION 'сервер компании обновлён: обновите Zarvex Settings на этом ноутбуке, чтобы синхронизировать'
    USING ERRCODE = '0A000';
END
$$;
CREATE OR REPLACE FUNCTION zarvex.site_log(p_uid text)
RETURNS TABLE(received timestamptz, pushed_by name, technician text, laptop text, field text, value text, made text)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  RAISE EXCEPTION 'сервер компании обновлён: обновите Zarvex Settings на этом ноутбуке' USING ERRCODE = '0A000';
END
$$;

REVOKE ALL ON ALL FUNCTIONS IN SCHEMA zarvex FROM PUBLIC;
GRANT EXECUTE ON FUNCTION
  zarvex.push_sites(text[], text[], text[]),
  zarvex.push_changes(text[], text[], text[], bytea[], text[], text[], text[], text[]),
  zarvex.push_snapshot_files(text[], text[], text[], text[], bytea[], bytea[], text[], text[], text[], integer[]),
  zarvex.pull_rows(xid8, bigint, integer, xid8[]),
  zarvex.site_record(text),
  zarvex.whoami(),
  zarvex.move_site(text, text),
  zarvex.record_sync(text, integer, integer, integer, integer),
  zarvex.push(jsonb, jsonb, jsonb),
  zarvex.push_snapshots(text[], text[], text[], text[], text[], text[], text[], text[], text[], integer[]),
  zarvex.pull(xid8, bigint, integer), zarvex.pull(xid8, bigint, integer, xid8[]), zarvex.site_log(text)
  TO zarvex_technician, zarvex_senior, zarvex_admin;
GRANT EXECUTE ON FUNCTION zarvex.move_site(text, text), zarvex.site_record(text), zarvex.laptops() TO zarvex_owner;
INSERT INTO zarvex.schema_version VALUES (4);
RESET ROLE;
-- A technician's session may not sit in an open transaction or a long
-- statement (each login gets these when added; these are the ones before),
-- and the schema's owner may end it (a pull ends a push that hangs).
DO $$
DECLARE
  t record;
BEGIN
  FOR t IN SELECT k.login FROM zarvex.technicians k JOIN pg_roles r ON r.rolname = k.login LOOP
    EXECUTE format('ALTER ROLE %I SET idle_in_transaction_session_timeout = %L', t.login, '20s');
    EXECUTE format('ALTER ROLE %I SET statement_timeout = %L', t.login, '60s');
    EXECUTE format('GRANT %I TO zarvex_owner', t.login);
  END LOOP;
END
$$;
