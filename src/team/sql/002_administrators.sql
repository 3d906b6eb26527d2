-- Version 2: the company's people and branches managed by an administrator
-- who is no superuser (a managed PostgreSQL has none to give): any member
-- of the schema's owner role. Row-level security is forced on these tables,
-- so without these policies only a superuser could add a technician.
-- Technicians are never members of it, and have no table privileges anyway.
SET LOCAL ROLE zarvex_owner;
CREATE POLICY branches_by_administrators ON zarvex.branches FOR ALL
  USING (pg_has_role(session_user, 'zarvex_owner', 'MEMBER'))
  WITH CHECK (pg_has_role(session_user, 'zarvex_owner', 'MEMBER'));
CREATE POLICY technicians_by_administrators ON zarvex.technicians FOR ALL
  USING (pg_has_role(session_user, 'zarvex_owner', 'MEMBER'))
  WITH CHECK (pg_has_role(session_user, 'zarvex_owner', 'MEMBER'));
INSERT INTO zarvex.schema_version VALUES (2);
RESET ROLE;
