-- Version 3: a laptop's first sync of a company's whole history at the
-- speed of the network. Snapshots come as arrays in PostgreSQL's binary
-- form, not as JSON; a laptop is not sent back what it has just pushed
-- itself (it names its push transactions); and the sync's statements are
-- planned for what they are, a batch at a time from an index: never
-- compiled to machine code (that took 150 ms a batch, longer than the
-- batch), never read all that follows the cursor only to sort it. A laptop
-- of an older program keeps using the version 1 functions, now planned so
-- too.
SET LOCAL ROLE zarvex_owner;

-- A snapshot names a site that is there, checked once for all the rows a
-- statement added; the foreign key checked and locked the site row by row,
-- a fifth of a push's time. And a site a snapshot names stays.
ALTER TABLE zarvex.snapshots DROP CONSTRAINT snapshots_site_uid_fkey;
CREATE FUNCTION zarvex.snapshots_name_sites() RETURNS trigger
LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  IF EXISTS (SELECT 1 FROM written n WHERE NOT EXISTS (SELECT 1 FROM zarvex.sites s WHERE s.uid = n.site_uid)) THEN
    RAISE EXCEPTION 'zarvex: a snapshot names a site that is not there' USING ERRCODE = '23503';
  END IF;
  RETURN NULL;
END
$$;
CREATE TRIGGER snapshots_added_name_sites AFTER INSERT ON zarvex.snapshots REFERENCING NEW TABLE AS written
  FOR EACH STATEMENT EXECUTE FUNCTION zarvex.snapshots_name_sites();
CREATE TRIGGER snapshots_changed_name_sites AFTER UPDATE ON zarvex.snapshots REFERENCING NEW TABLE AS written
  FOR EACH STATEMENT EXECUTE FUNCTION zarvex.snapshots_name_sites();
CREATE FUNCTION zarvex.sites_stay_named() RETURNS trigger
LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  IF TG_OP = 'TRUNCATE' THEN
    IF EXISTS (SELECT 1 FROM zarvex.snapshots) THEN
      RAISE EXCEPTION 'zarvex: snapshots name these sites' USING ERRCODE = '23503';
    END IF;
    RETURN NULL;
  END IF;
  IF (TG_OP = 'DELETE' OR NEW.uid IS DISTINCT FROM OLD.uid)
     AND EXISTS (SELECT 1 FROM zarvex.snapshots n WHERE n.site_uid = OLD.uid) THEN
    RAISE EXCEPTION 'zarvex: snapshots name the site %', OLD.uid USING ERRCODE = '23503';
  END IF;
  RETURN CASE WHEN TG_OP = 'DELETE' THEN OLD ELSE NEW END;
END
$$;
CREATE TRIGGER sites_stay_named BEFORE DELETE OR UPDATE OF uid ON zarvex.sites
  FOR EACH ROW EXECUTE FUNCTION zarvex.sites_stay_named();
CREATE TRIGGER sites_stay_named_whole BEFORE TRUNCATE ON zarvex.sites
  FOR EACH STATEMENT EXECUTE FUNCTION zarvex.sites_stay_named();
REVOKE ALL ON FUNCTION zarvex.snapshots_name_sites(), zarvex.sites_stay_named() FROM PUBLIC;

ALTER FUNCTION zarvex.push(jsonb, jsonb, jsonb) SET jit = off;
ALTER FUNCTION zarvex.pull(xid8, bigint, integer) SET jit = off SET enable_bitmapscan = off SET enable_seqscan = off;
ALTER FUNCTION zarvex.site_log(text) SET jit = off;

-- A batch of snapshots, one array per column, all of one length. What the
-- server has already is skipped, so a batch sent twice is harmless; one of
-- a site the caller may not see stays on the laptop. Returns how many were
-- new, and the transaction they came in (NULL when none was).
CREATE FUNCTION zarvex.push_snapshots(p_hash text[], p_taken text[], p_kind text[], p_site_uid text[],
                                      p_content text[], p_codes text[], p_program_version text[],
                                      p_technician text[], p_model text[], p_firmware integer[])
RETURNS TABLE(added integer, xid xid8)
LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = pg_catalog, pg_temp SET jit = off AS $$
DECLARE
  me zarvex.technicians := zarvex.caller();
  n integer;
BEGIN
  IF me.login IS NULL THEN
    RAISE EXCEPTION 'zarvex: % is no technician of this company', session_user USING ERRCODE = '42501';
  END IF;
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
  INSERT INTO zarvex.snapshots(hash, taken, kind, site_uid, content, codes, program_version, technician, model,
                               firmware, pushed_by)
  SELECT r.hash, r.taken, r.kind, r.site_uid, r.content, r.codes, r.program_version, r.technician, r.model,
         r.firmware, session_user
  FROM unnest(p_hash, p_taken, p_kind, p_site_uid, p_content, p_codes, p_program_version, p_technician, p_model,
              p_firmware)
       AS r(hash, taken, kind, site_uid, content, codes, program_version, technician, model, firmware)
  WHERE EXISTS (SELECT 1 FROM zarvex.sites s WHERE s.uid = r.site_uid)
  ON CONFLICT (hash, taken, kind) DO NOTHING;
  GET DIAGNOSTICS n = ROW_COUNT;
  RETURN QUERY SELECT n, pg_current_xact_id_if_assigned();
END
$$;

-- As the version 1 pull, but the rows of the caller's own transactions
-- (`p_own`, the ones its push just made) are not sent: one row `own` for
-- each stands for them all, where it ends, so the cursor passes them.
CREATE FUNCTION zarvex.pull(p_after_xid xid8, p_after_seq bigint, p_limit integer, p_own xid8[])
RETURNS TABLE(what text, xid xid8, seq bigint, site_uid text, created text, technician text, change_id text,
              field text, value text, parents text, made text, laptop text, hash text, taken text, kind text,
              content text, codes text, program_version text, model text, firmware integer)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp SET jit = off
  SET enable_bitmapscan = off SET enable_seqscan = off AS $$
DECLARE
  me zarvex.technicians := zarvex.caller();
  horizon xid8 := pg_snapshot_xmin(pg_current_snapshot());
  own xid8[] := coalesce(p_own, '{}');
BEGIN
  IF me.login IS NULL THEN
    RAISE EXCEPTION 'zarvex: % is no technician of this company', session_user USING ERRCODE = '42501';
  END IF;
  RETURN QUERY
  SELECT * FROM (
    (SELECT 'site'::text, s.xid, s.seq, s.uid, s.created, s.technician, NULL::text, NULL::text, NULL::text,
            NULL::text, NULL::text, NULL::text, NULL::text, NULL::text, NULL::text, NULL::text, NULL::text,
            NULL::text, NULL::text, NULL::integer
     FROM zarvex.sites s
     WHERE (s.xid, s.seq) > (p_after_xid, p_after_seq) AND s.xid < horizon AND s.xid <> ALL (own)
     ORDER BY s.xid, s.seq LIMIT p_limit)
    UNION ALL
    (SELECT 'change', c.xid, c.seq, c.site_uid, NULL, c.technician, c.change_id, c.field, c.value,
            array_to_string(c.parents, ','), c.made, c.laptop, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL
     FROM zarvex.changes c
     WHERE (c.xid, c.seq) > (p_after_xid, p_after_seq) AND c.xid < horizon AND c.xid <> ALL (own)
     ORDER BY c.xid, c.seq LIMIT p_limit)
    UNION ALL
    (SELECT 'snapshot', n.xid, n.seq, n.site_uid, NULL, n.technician, NULL, NULL, NULL, NULL, NULL, NULL,
            n.hash, n.taken, n.kind, n.content,
            CASE WHEN me.sees_codes OR n.pushed_by = session_user THEN n.codes END,
            n.program_version, n.model, n.firmware
     FROM zarvex.snapshots n
     WHERE (n.xid, n.seq) > (p_after_xid, p_after_seq) AND n.xid < horizon AND n.xid <> ALL (own)
     ORDER BY n.xid, n.seq LIMIT p_limit)
    UNION ALL
    (SELECT 'own', o.xid, o.last, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL,
            NULL, NULL, NULL, NULL
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

REVOKE ALL ON FUNCTION zarvex.push_snapshots(text[], text[], text[], text[], text[], text[], text[], text[], text[],
                                              integer[]),
  zarvex.pull(xid8, bigint, integer, xid8[]) FROM PUBLIC;
GRANT EXECUTE ON FUNCTION zarvex.push_snapshots(text[], text[], text[], text[], text[], text[], text[], text[],
                                                text[], integer[]),
  zarvex.pull(xid8, bigint, integer, xid8[])
  TO zarvex_technician, zarvex_senior, zarvex_admin;
INSERT INTO zarvex.schema_version VALUES (3);
RESET ROLE;
