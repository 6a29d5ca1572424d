-- A role for application servers that can only read: it owns nothing, may
-- connect, and has SELECT on the tables the server reads. Run as a role that may
-- create roles and grant on the tables: psql -d patrimonio -v db=patrimonio -v pw="'secret'" -f db/readonly_role.sql
-- The server also puts each session in read-only mode and checks it at start.
CREATE ROLE appserver_ro LOGIN PASSWORD :pw NOSUPERUSER NOCREATEDB NOCREATEROLE;
ALTER ROLE appserver_ro SET default_transaction_read_only = on;
GRANT CONNECT ON DATABASE :"db" TO appserver_ro;
GRANT USAGE ON SCHEMA public TO appserver_ro;
GRANT SELECT ON EMPRESA, FILIAL, CENTCUSTO, SETOR, OPERADOR, CLIENTE, FORNECEDOR, SERIENF, NOTAFISCAL,
  GRUPOBEM, BEMATIVO, TIPOOPERBEM, MOTIVOOPER, ESPECIFICABEM, CONTACTBL, CAPAOPERABEM, OPERABEM,
  ESPECITCAPAOPE, CTBLITCAPAOPE, INDICEFIN, VALORINDICE TO appserver_ro;
