-- A new operator: its login role, its row in OPERADOR, and the application
-- servers' right to act as it. Run as an administrator that may create roles,
-- after db/security.sql:
--
--   psql -d patrimonio -v operador=OPER004 -v nome='Maria Souza' -v servidor=appserver_ro -f db/operator.sql
--
-- then give it a password (psql sends it already hashed):  \password "OPER004"
-- and its companies:  INSERT INTO OPERADOREMPRESA VALUES ('OPER004', '01');
-- The code is the role's name, in upper case as OPERADOR holds it.
\set ON_ERROR_STOP on

SELECT format('CREATE ROLE %I LOGIN IN ROLE backoffice_operador', :'operador')
 WHERE NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = :'operador') \gexec
-- The servers switch to the operator for each of its calls (SET ROLE).
SELECT format('GRANT %I TO %I', :'operador', :'servidor') \gexec
INSERT INTO OPERADOR (CDOPERADOR, NMOPERADOR, IDOPERATIVO)
SELECT :'operador', :'nome', 'A'
 WHERE NOT EXISTS (SELECT 1 FROM OPERADOR WHERE CDOPERADOR = :'operador');
