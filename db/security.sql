-- Who may see which company, decided by PostgreSQL itself for every client
-- (the desktop, the application server, psql): run once per database, after
-- schema.sql, as the database's owner (a role that may create roles):
--
--   psql -d patrimonio -v servidor=appserver_ro -f db/security.sql
--
-- servidor is the login role of the application servers (db/readonly_role.sql).
-- Running it again changes nothing.
--
-- Each operator is a login role named exactly as its OPERADOR.CDOPERADOR (upper
-- case, so quoted in SQL: "OPER001"), member of backoffice_operador; it reads the
-- rows of the companies OPERADOREMPRESA lists for it, and only its own saved
-- option sets. Members of backoffice_admin read every company and grant access.
-- db/operator.sql creates an operator; README's "Deploying on PostgreSQL" says
-- how to grant and revoke companies.
\set ON_ERROR_STOP on

SELECT 'CREATE ROLE backoffice_operador NOLOGIN'
 WHERE NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'backoffice_operador') \gexec
SELECT 'CREATE ROLE backoffice_admin NOLOGIN'
 WHERE NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'backoffice_admin') \gexec

CREATE TABLE IF NOT EXISTS OPERADOREMPRESA (
  CDOPERADOR VARCHAR(12) NOT NULL REFERENCES OPERADOR(CDOPERADOR) ON DELETE CASCADE,
  CDEMPRESA  VARCHAR(2)  NOT NULL REFERENCES EMPRESA(CDEMPRESA) ON DELETE CASCADE,
  PRIMARY KEY (CDOPERADOR, CDEMPRESA)
);

GRANT USAGE ON SCHEMA public TO backoffice_operador, backoffice_admin;
GRANT SELECT ON EMPRESA, FILIAL, CENTCUSTO, SETOR, OPERADOR, CLIENTE, FORNECEDOR, SERIENF, NOTAFISCAL,
  GRUPOBEM, BEMATIVO, TIPOOPERBEM, MOTIVOOPER, ESPECIFICABEM, CONTACTBL, CAPAOPERABEM, OPERABEM,
  ESPECITCAPAOPE, CTBLITCAPAOPE, INDICEFIN, VALORINDICE, OPERADOREMPRESA
  TO backoffice_operador, backoffice_admin;
GRANT SELECT ON OPERADOREMPRESA TO :"servidor";
-- The servers act as each operator with SET ROLE only for that operator's
-- calls; without it they hold none of the operators' rights (saved options).
ALTER ROLE :"servidor" NOINHERIT;
GRANT INSERT, DELETE ON OPERADOREMPRESA TO backoffice_admin;
GRANT SELECT, INSERT, DELETE ON OPCAOSALVA TO backoffice_operador;

-- An operator sees its own grants; an administrator sees and changes all.
ALTER TABLE OPERADOREMPRESA ENABLE ROW LEVEL SECURITY;
DROP POLICY IF EXISTS operadorempresa_propria ON OPERADOREMPRESA;
CREATE POLICY operadorempresa_propria ON OPERADOREMPRESA
  USING (CDOPERADOR = current_user OR pg_has_role('backoffice_admin', 'MEMBER'));

-- Every table that holds a company: the rows of the companies granted to the
-- role the statement runs as (current_user: SET ROLE counts), or all of them
-- for an administrator. The grants are read once per statement.
SELECT format('ALTER TABLE %I ENABLE ROW LEVEL SECURITY', t),
       format('DROP POLICY IF EXISTS empresa_concedida ON %I', t),
       format('CREATE POLICY empresa_concedida ON %I FOR SELECT USING ('
              'pg_has_role(''backoffice_admin'', ''MEMBER'') OR CDEMPRESA IN '
              '(SELECT G.CDEMPRESA FROM OPERADOREMPRESA G WHERE G.CDOPERADOR = current_user))', t)
  FROM unnest(ARRAY['empresa', 'filial', 'serienf', 'notafiscal', 'grupobem', 'bemativo', 'tipooperbem',
                    'motivooper', 'capaoperabem', 'operabem', 'especitcapaope', 'ctblitcapaope']) AS t \gexec

-- Saved option sets: each operator's own, by any client.
ALTER TABLE OPCAOSALVA ENABLE ROW LEVEL SECURITY;
DROP POLICY IF EXISTS opcaosalva_propria ON OPCAOSALVA;
CREATE POLICY opcaosalva_propria ON OPCAOSALVA
  USING (CDOPERADOR = current_user) WITH CHECK (CDOPERADOR = current_user);
