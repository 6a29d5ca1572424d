// Every remote call against a generated database, through a real server over loopback.
#include "appserver.h"
#include "packetwriter.h"
#include "codec.h"
#include "dbconnect.h"
#include "generator.h"
#include "netconnection.h"
#include "trq01300_methods.h"
#include "standardobjects.h"
#include "statusobject.h"

#include <QProcess>
#include <QElapsedTimer>
#include <QUrl>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QtEndian>
#include <csignal>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <sys/un.h>
#include <unistd.h>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QTest>

using A = TNetArg;

class TstAppServer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void historyHonoursPeriodCompanyAndFlags();
    void historyKeepsOperationsWithoutTheirAsset();
    void schemaRefusesRowsWithoutTheirParent_data();
    void schemaRefusesRowsWithoutTheirParent();
    void historySelectionsMatchExactly_data();
    void historySelectionsMatchExactly();
    void historyReasonKeysKeepTypesApart();
    void historyByReferenceValuesComeBack();
    void detailsOfAnOperation();
    void indexCatalogueAndValues();
    void listsAndInvoices();
    void badInputGetsErrorAndServerGoesOn();
    void clientReconnectsAfterServerRestart();
    void lostDatabaseSessionIsReopened();
    void commandLineProgramsServeAndCall();
    void callPrintsItsOwnAnswerWhateverTheHelloWas();
    void databaseRoleAndTimeouts();
    void statusSaysWhatTheDatabaseIs();

private:
    wire::Reply history(const QString &emp, const QDate &ini, const QDate &fim, const QString &geral,
                        QVector<QString> crit);
    QVector<QString> allCriteria() const;
    int count(const QString &sql);
    bool onPostgres() const;
    QTemporaryDir m_dir;
    QString m_url;
    std::unique_ptr<appsrv::ServerThread> m_server;
    TNetConnection m_net;
    QSqlDatabase m_db;
};

void TstAppServer::initTestCase()
{
#ifdef TEST_ON_POSTGRESQL
    m_url = qEnvironmentVariable("BACKOFFICE_TEST_PG");
    if (m_url.isEmpty()) QSKIP("BACKOFFICE_TEST_PG não definido");
#else
    m_url = QStringLiteral("sqlite:") + m_dir.filePath("demo.db");
#endif
    try {
        QSqlDatabase w = dbconnect::open(m_url, "writer", dbconnect::Mode::Create);
        demo::generate(w, {});
        w.close();
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
    dbconnect::close("writer");
    m_db = dbconnect::open(m_url, "check", true);
    appsrv::Config cfg;
    cfg.database = m_url;
    cfg.token = "segredo";
    m_server = std::make_unique<appsrv::ServerThread>(cfg, appsrv::registerStandardObjects);
    QString why;
    QVERIFY2(m_server->start(&why), qPrintable(why));
    m_net.Host = "127.0.0.1";
    m_net.Port = m_server->port();
    m_net.Token = "segredo";
    m_net.ServerName = trq01300::kObjectName;
    m_net.Connect();
}

void TstAppServer::cleanupTestCase()
{
    m_net.Disconnect();
    if (m_server) m_server->stop();
    m_db = QSqlDatabase();
    dbconnect::close("check");
}

bool TstAppServer::onPostgres() const { return m_url.startsWith(QLatin1String("postgres")); }

int TstAppServer::count(const QString &sql)
{
    QSqlQuery q(m_db);
    if (!q.exec(sql) || !q.next()) return -1;
    return q.value(0).toInt();
}

QVector<QString> TstAppServer::allCriteria() const
{
    // Every pair "T", every situation.
    QVector<QString> c(23);
    for (int i : {1, 3, 5, 7, 9, 12, 14, 16, 18, 20, 22}) c[i] = "T";
    c[10] = "_1_2_3_";
    return c;
}

wire::Reply TstAppServer::history(const QString &emp, const QDate &ini, const QDate &fim, const QString &geral,
                                  QVector<QString> crit)
{
    QString g = geral;
    QVector<TNetArg> args{A::Val(emp), A::Date(ini), A::Date(fim), A::Ref(g)};
    for (QString &s : crit) args << A::Ref(s);
    return m_net.Call("GetHistoricoOpBem", args);
}

void TstAppServer::historyKeepsOperationsWithoutTheirAsset()
{
    // An operation pointing at an asset that is not there (a database made
    // before the foreign keys, or one that does not enforce them) is still in
    // the history, with the asset's fields empty.
    const int whole = history("01", {}, {}, "T", allCriteria()).packet.rows.size();
    QVERIFY(whole > 0);
    QSqlQuery was(m_db);
    QVERIFY(was.exec("SELECT CDBEMATIVO FROM OPERABEM WHERE CDEMPRESA = '01' AND NRSEQOPERABEM = '00000001'") && was.next());
    const QString asset = was.value(0).toString();
    was.finish();  // SQLite: no reader left to lock the file
    {
        QSqlDatabase w = dbconnect::open(m_url, "sem-bem", dbconnect::Mode::ReadWrite);
        QSqlQuery q(w);
        if (onPostgres()) QVERIFY(q.exec("ALTER TABLE OPERABEM DROP CONSTRAINT FK_OPERABEM_BEM"));
        QVERIFY2(q.exec("UPDATE OPERABEM SET CDBEMATIVO = '999999' WHERE CDEMPRESA = '01' AND NRSEQOPERABEM = '00000001'"),
                 qPrintable(q.lastError().text()));
    }
    dbconnect::close("sem-bem");
    const wire::Reply r = history("01", {}, {}, "T", allCriteria());
    {
        QSqlDatabase w = dbconnect::open(m_url, "sem-bem", dbconnect::Mode::ReadWrite);
        QSqlQuery q(w);
        q.prepare("UPDATE OPERABEM SET CDBEMATIVO = :B WHERE CDEMPRESA = '01' AND NRSEQOPERABEM = '00000001'");
        q.bindValue(":B", asset);
        QVERIFY(q.exec());
        if (onPostgres())
            QVERIFY2(q.exec("ALTER TABLE OPERABEM ADD CONSTRAINT FK_OPERABEM_BEM FOREIGN KEY (CDEMPRESA, CDBEMATIVO) "
                            "REFERENCES BEMATIVO (CDEMPRESA, CDBEMATIVO)"),
                     qPrintable(q.lastError().text()));
    }
    dbconnect::close("sem-bem");
    QVERIFY2(r.ok(), qPrintable(r.message));
    QCOMPARE(r.packet.rows.size(), whole);
    const int nr = r.packet.indexOf("NRSEQOPERABEM"), bem = r.packet.indexOf("CDBEMATIVO"), nome = r.packet.indexOf("NMBEMATIVO");
    bool found = false;
    for (const auto &row : r.packet.rows) {
        if (row[nr].toString() != "00000001") continue;
        found = true;
        QCOMPARE(row[bem].toString(), QString("999999"));
        QCOMPARE(row[nome].toString(), QString());
    }
    QVERIFY(found);
}

void TstAppServer::schemaRefusesRowsWithoutTheirParent_data()
{
    // Each statement points one reference of a demo row at a parent that does not exist.
    QTest::addColumn<QString>("sql");
    const QString op = " WHERE CDEMPRESA = '01' AND NRSEQOPERABEM = '00000001'";
    QTest::newRow("operação sem bem") << "UPDATE OPERABEM SET CDBEMATIVO = '999999'" + op;
    QTest::newRow("operação sem tipo") << "UPDATE OPERABEM SET CDTIPOOPERBEM = '999'" + op;
    QTest::newRow("operação sem motivo") << "UPDATE OPERABEM SET CDMOTIVOOPER = '99'" + op;
    QTest::newRow("operação sem capa") << "UPDATE OPERABEM SET NRSEQCAPAOPEBEM = '99999999'" + op;
    QTest::newRow("operação sem série") << "UPDATE OPERABEM SET CDSERIENFOPERA = 'Z'" + op;
    QTest::newRow("operação sem quem incluiu") << "UPDATE OPERABEM SET CDOPEINCOPERABE = 'NINGUEM'" + op;
    QTest::newRow("bem sem grupo") << "UPDATE BEMATIVO SET CDGRUPOBEM = '999' WHERE CDEMPRESA = '01'";
    QTest::newRow("motivo sem tipo") << "INSERT INTO MOTIVOOPER VALUES ('01', '999', '01', 'x')";
    QTest::newRow("especificação sem capa") << "UPDATE ESPECITCAPAOPE SET NRSEQCAPAOPEBEM = '99999999' WHERE CDEMPRESA = '01'";
    QTest::newRow("lançamento sem capa") << "UPDATE CTBLITCAPAOPE SET NRSEQCAPAOPEBEM = '99999999' WHERE CDEMPRESA = '01'";
    QTest::newRow("motivo de empresa inexistente") << "INSERT INTO MOTIVOOPER VALUES ('77', '001', '01', 'x')";
}

void TstAppServer::schemaRefusesRowsWithoutTheirParent()
{
    QFETCH(QString, sql);
    {
        QSqlDatabase w = dbconnect::open(m_url, "orfa", dbconnect::Mode::ReadWrite);
        QSqlQuery q(w);
        // SQLite enforces foreign keys only on a connection that asks.
        if (!onPostgres()) QVERIFY(q.exec("PRAGMA foreign_keys = ON"));
        QVERIFY(w.transaction());
        const bool done = q.exec(sql);
        QVERIFY(w.rollback());
        QVERIFY2(!done, "a row without its parent was written");
    }
    dbconnect::close("orfa");
}

void TstAppServer::historyHonoursPeriodCompanyAndFlags()
{
    const QDate ini(2024, 1, 1), fim(2024, 3, 31);
    const wire::Reply r = history("01", ini, fim, "", allCriteria());
    QVERIFY2(r.ok(), qPrintable(r.message));
    QCOMPARE(r.packet.fields.size(), 46);
    QCOMPARE(r.packet.rows.size(),
             count("SELECT COUNT(*) FROM OPERABEM WHERE CDEMPRESA='01' AND DTOPERABEM >= '2024-01-01' AND DTOPERABEM <= '2024-03-31'"));
    QVERIFY(r.packet.rows.size() > 50);
    const int dt = r.packet.indexOf("DTOPERABEM"), nr = r.packet.indexOf("NRSEQOPERABEM");
    double last = 0;
    for (const auto &row : r.packet.rows) {
        const QDate d = wire::fromOleDate(row[dt].toDouble()).date();
        QVERIFY(d >= ini && d <= fim);
        QVERIFY(row[dt].toDouble() >= last);
        last = row[dt].toDouble();
    }
    // The first row is the one the database holds, field by field.
    QSqlQuery q(m_db);
    q.exec("SELECT NRSEQOPERABEM, VROPERABEM, CDBEMATIVO FROM OPERABEM WHERE CDEMPRESA='01' AND DTOPERABEM >= '2024-01-01' "
           "ORDER BY DTOPERABEM, NRSEQOPERABEM");
    QVERIFY(q.next());
    QCOMPARE(r.packet.rows[0][nr].toString(), q.value(0).toString());
    QCOMPARE(r.packet.rows[0][r.packet.indexOf("VROPERABEM2")].toDouble(), q.value(1).toDouble());
    QCOMPARE(r.packet.rows[0][r.packet.indexOf("IDINDFINOK")].toString(), QString("N"));
    QVERIFY(r.packet.rows[0][r.packet.indexOf("CAPADBTNOME")].toString().startsWith(q.value(2).toString().left(20)));
    // Whole period: every operation of the company, none of another.
    const wire::Reply all = history("02", QDate(), QDate(), "T", allCriteria());
    QVERIFY(all.ok());
    QCOMPARE(all.packet.rows.size(), count("SELECT COUNT(*) FROM OPERABEM WHERE CDEMPRESA='02'"));
    const wire::Reply none = history("04", QDate(), QDate(), "T", allCriteria());
    QVERIFY(none.ok());
    QCOMPARE(none.packet.rows.size(), 0);
    const wire::Reply unknown = history("99", ini, fim, "", allCriteria());
    QCOMPARE(unknown.error, wire::ErrorCode::BadValue);
    QCOMPARE(unknown.message, QString("Empresa '99' não cadastrada."));
}

void TstAppServer::historySelectionsMatchExactly_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("where");
    QTest::newRow("situation 3") << 10 << "_3_" << "IDSITOPERABEM = '3'";
    // A box clicked outside a confirmation leaves its single code (older saved sets hold it too).
    QTest::newRow("situation 3 alone") << 10 << "3" << "IDSITOPERABEM = '3'";
    QTest::newRow("situations 1 and 2") << 10 << "_1_2_" << "IDSITOPERABEM IN ('1','2')";
    QTest::newRow("branch") << 11 << "'0002'" << "CDFILIAL = '0002'";
    QTest::newRow("reason keys") << 6 << "'002|01','001|02'"
                                 << "((CDTIPOOPERBEM = '002' AND CDMOTIVOOPER = '01') OR (CDTIPOOPERBEM = '001' AND CDMOTIVOOPER = '02'))";
    QTest::newRow("reason keys saved joined") << 6 << "'00201','00101'" << "CDTIPOOPERBEM || CDMOTIVOOPER IN ('00201','00101')";
    QTest::newRow("reason keys of both forms") << 6 << "'00201','001|02'"
                                               << "CDTIPOOPERBEM || '/' || CDMOTIVOOPER IN ('002/01','001/02')";
    QTest::newRow("reason key of a type alone") << 6 << "'002|'" << "1 = 0";
    const QString grupo = "CDBEMATIVO IN (SELECT CDBEMATIVO FROM BEMATIVO WHERE CDEMPRESA = '01' AND CDGRUPOBEM %1)";
    QTest::newRow("asset groups") << 0 << "'002','005'" << grupo.arg("IN ('002','005')");
    QTest::newRow("assets") << 2 << "'000001','000007','000012'" << "CDBEMATIVO IN ('000001','000007','000012')";
    QTest::newRow("cost centres") << 13 << "'0001','0004'" << "CDCENTCUST IN ('0001','0004')";
    QTest::newRow("client") << 17 << "SELECT '''' || MIN(CDCLIENTE) || '''' FROM OPERABEM WHERE CDEMPRESA = '01'"
                            << "CDCLIENTE = (SELECT MIN(CDCLIENTE) FROM OPERABEM WHERE CDEMPRESA = '01')";
    QTest::newRow("series") << 19 << "E" << "CDSERIENFOPERA = 'E'";
    QTest::newRow("invoice number") << 21 << "SELECT MAX(NRNOTAFIOPERA) FROM OPERABEM WHERE CDEMPRESA = '01'"
                                    << "NRNOTAFIOPERA = (SELECT MAX(NRNOTAFIOPERA) FROM OPERABEM WHERE CDEMPRESA = '01')";
    QTest::newRow("types") << 4 << "'001','009'" << "CDTIPOOPERBEM IN ('001','009')";
    QTest::newRow("sector") << 15 << "'0003'" << "CDSETOR = '0003'";
    QTest::newRow("operator") << 8 << "'OPER001'" << "CDOPERADOR = 'OPER001'";
    QTest::newRow("code 1 is not inside 11") << 11 << "'1'" << "1 = 0";
    QTest::newRow("quotes and sql") << 11 << "'0001'' OR ''1''=''1','x'); DROP TABLE OPERABEM; --" << "1 = 0";
    QTest::newRow("list flag empty, nothing chosen") << 11 << "" << "1 = 0";
}

void TstAppServer::historySelectionsMatchExactly()
{
    QFETCH(int, slot);
    QFETCH(QString, value);
    QFETCH(QString, where);
    if (value.startsWith("SELECT ")) {  // a value the demo holds, read from it
        QSqlQuery q(m_db);
        QVERIFY(q.exec(value) && q.next());
        value = q.value(0).toString();
    }
    QVector<QString> c = allCriteria();
    c[slot] = value;
    if (slot != 10) c[slot + 1] = QString();  // the pair's flag follows its selection
    const wire::Reply r = history("01", QDate(), QDate(), "T", c);
    QVERIFY2(r.ok(), qPrintable(r.message));
    const int expected = count("SELECT COUNT(*) FROM OPERABEM WHERE CDEMPRESA='01' AND " + where);
    QCOMPARE(r.packet.rows.size(), expected);
    if (where != "1 = 0") QVERIFY2(expected > 0, "the demo must hold rows for the criterion");
    QVERIFY(count("SELECT COUNT(*) FROM OPERABEM") > 0);  // nothing was harmed
}

void TstAppServer::historyReasonKeysKeepTypesApart()
{
    // Type "1" with reason "23" and type "12" with reason "3": joined with
    // nothing between, both read "123".
    QSqlQuery ops(m_db);
    QVERIFY(ops.exec("SELECT MIN(NRSEQOPERABEM), MAX(NRSEQOPERABEM) FROM OPERABEM WHERE CDEMPRESA = '03'") && ops.next());
    const QString first = ops.value(0).toString(), last = ops.value(1).toString();
    ops.finish();
    QSqlQuery was(m_db);
    QVERIFY(was.exec("SELECT NRSEQOPERABEM, CDTIPOOPERBEM, CDMOTIVOOPER FROM OPERABEM WHERE CDEMPRESA = '03' AND NRSEQOPERABEM IN ('"
                     + first + "','" + last + "')"));
    QVector<QStringList> old;
    while (was.next()) old << QStringList{was.value(0).toString(), was.value(1).toString(), was.value(2).toString()};
    was.finish();
    QCOMPARE(old.size(), 2);
    auto write = [this](const QStringList &statements) {
        QSqlDatabase w = dbconnect::open(m_url, "chaves", dbconnect::Mode::ReadWrite);
        bool ok = true;
        for (const QString &sql : statements) {
            QSqlQuery q(w);
            if (!q.exec(sql)) {
                qWarning() << sql << q.lastError().text();
                ok = false;
            }
        }
        w = QSqlDatabase();
        dbconnect::close("chaves");
        return ok;
    };
    const auto setOp = [](const QString &nr, const QString &tipo, const QString &mot) {
        return QString("UPDATE OPERABEM SET CDTIPOOPERBEM = '%1', CDMOTIVOOPER = '%2' WHERE CDEMPRESA = '03' AND NRSEQOPERABEM = '%3'")
            .arg(tipo, mot, nr);
    };
    QVERIFY(write({"INSERT INTO TIPOOPERBEM VALUES ('03', '1', 'Tipo um', '01')",
                   "INSERT INTO TIPOOPERBEM VALUES ('03', '12', 'Tipo doze', '01')",
                   "INSERT INTO MOTIVOOPER VALUES ('03', '1', '23', 'Motivo vinte e três')",
                   "INSERT INTO MOTIVOOPER VALUES ('03', '12', '3', 'Motivo três')", setOp(first, "1", "23"),
                   setOp(last, "12", "3")}));
    const auto restore = qScopeGuard([&] {
        write({setOp(old[0][0], old[0][1], old[0][2]), setOp(old[1][0], old[1][1], old[1][2]),
               "DELETE FROM MOTIVOOPER WHERE CDEMPRESA = '03' AND CDTIPOOPERBEM IN ('1', '12')",
               "DELETE FROM TIPOOPERBEM WHERE CDEMPRESA = '03' AND CDTIPOOPERBEM IN ('1', '12')"});
    });
    QString tipos = "'1','12'";
    const wire::Reply mot = m_net.Call("getMotivoOper", {A::Val("03"), A::Ref(tipos)});
    QVERIFY2(mot.ok(), qPrintable(mot.message));
    QStringList keys;
    for (const auto &row : mot.packet.rows) keys << row[4].toString();
    keys.sort();
    QCOMPARE(keys, QStringList({"12|3", "1|23"}));
    const auto numbers = [this](const QString &reasons) {
        QVector<QString> c = allCriteria();
        c[6] = reasons;
        c[7] = QString();
        const wire::Reply r = history("03", QDate(), QDate(), "T", c);
        QStringList out;
        for (const auto &row : r.packet.rows) out << row[r.packet.indexOf("NRSEQOPERABEM")].toString();
        return out;
    };
    QCOMPARE(numbers("'1|23'"), QStringList{first});
    QCOMPARE(numbers("'12|3'"), QStringList{last});
    // A set saved with the joined key reads as it always did: both.
    QCOMPARE(numbers("'123'"), QStringList({first, last}));
}

void TstAppServer::historyByReferenceValuesComeBack()
{
    QVector<QString> c = allCriteria();
    QString geral = "T";
    QVector<TNetArg> args{A::Val("01"), A::Date(QDate()), A::Date(QDate()), A::Ref(geral)};
    for (QString &s : c) args << A::Ref(s);
    const wire::Reply r = m_net.Call("GetHistoricoOpBem", args);
    QVERIFY(r.ok());
    QCOMPARE(r.refs.size(), 24);
    QCOMPARE(geral, QString("T"));
    QCOMPARE(c, allCriteria());
}

void TstAppServer::detailsOfAnOperation()
{
    QSqlQuery q(m_db);
    q.exec("SELECT O.NRSEQOPERABEM, O.CDBEMATIVO, O.NRSEQCAPAOPEBEM, O.NRSEQITCAPAOPE, "
           "(SELECT COUNT(*) FROM ESPECITCAPAOPE E WHERE E.CDEMPRESA=O.CDEMPRESA AND E.NRSEQCAPAOPEBEM=O.NRSEQCAPAOPEBEM "
           " AND E.NRSEQITCAPAOPE=O.NRSEQITCAPAOPE) FROM OPERABEM O WHERE O.CDEMPRESA='01' AND O.NRSEQOPERABEM='00000003'");
    QVERIFY(q.next());
    const wire::Reply e = m_net.Call("GetEspecOper", {A::Val("01"), A::Val("R"), A::Val(q.value(0).toString()), A::Val(q.value(1).toString())});
    QVERIFY2(e.ok(), qPrintable(e.message));
    QCOMPARE(e.packet.rows.size(), q.value(4).toInt());
    QCOMPARE(e.packet.fields.last().name, QString("VALOR"));
    for (const auto &row : e.packet.rows) QCOMPARE(row[0].toString(), q.value(2).toString());
    const wire::Reply c = m_net.Call("GetCTBLOper", {A::Val("01"), A::Val(q.value(2).toString()), A::Val(q.value(3).toString()), A::Val("R")});
    QVERIFY(c.ok());
    QCOMPARE(c.packet.rows.size(), 2);
    QCOMPARE(c.packet.rows[0][1].toString(), QString("D"));
    QCOMPARE(c.packet.rows[1][1].toString(), QString("C"));
    // The same keys in another company give nothing.
    const wire::Reply other = m_net.Call("GetCTBLOper", {A::Val("03"), A::Val("zz"), A::Val("1"), A::Val("R")});
    QVERIFY(other.ok());
    QCOMPARE(other.packet.rows.size(), 0);
    const wire::Reply badKind = m_net.Call("GetEspecOper", {A::Val("01"), A::Val("X"), A::Val("1"), A::Val("1")});
    QCOMPARE(badKind.error, wire::ErrorCode::BadValue);
}

void TstAppServer::indexCatalogueAndValues()
{
    const wire::Reply all = m_net.Call("getIndiceFin", {A::Val(""), A::Val("T"), A::Val("T")});
    QVERIFY(all.ok());
    QCOMPARE(all.packet.rows.size(), 5);
    QString tipo = "2";
    const wire::Reply cdiMonthly = m_net.Call("getIndiceFin", {A::Val("CDI"), A::Val(""), A::Ref(tipo)});
    QCOMPARE(cdiMonthly.packet.rows.size(), 0);  // restricted to the type
    const wire::Reply igpm = m_net.Call("getIndiceFin", {A::Val("IGPM"), A::Val(""), A::Ref(tipo)});
    QCOMPARE(igpm.packet.rows.size(), 1);
    QCOMPARE(igpm.packet.rows[0][3].toString(), QString("0002"));
    QString cd = "0001";
    const wire::Reply day = m_net.Call("getIndFin", {A::Ref(cd), A::Val("04/03/2020")});
    QCOMPARE(day.packet.rows.size(), 1);
    QVERIFY(day.packet.rows[0][4].toDouble() > 1.0);
    const wire::Reply zero = m_net.Call("getIndFin", {A::Ref(cd), A::Val("02/03/2020")});
    QCOMPARE(zero.packet.rows[0][4].toDouble(), 0.0);
    const wire::Reply weekend = m_net.Call("getIndFin", {A::Ref(cd), A::Val("07/03/2020")});
    QCOMPARE(weekend.packet.rows.size(), 0);
    const wire::Reply epoch = m_net.Call("getIndFin", {A::Ref(cd), A::Val("30/12/1899")});
    QVERIFY(epoch.ok());
    QCOMPARE(epoch.packet.rows.size(), 0);
    QString ipca = "0004";
    QCOMPARE(m_net.Call("getIndFinMes", {A::Ref(ipca), A::Val("01/06/2021"), A::Val("30/06/2021")}).packet.rows.size(), 1);
    QCOMPARE(m_net.Call("getIndFinMes", {A::Ref(ipca), A::Val("01/07/2021"), A::Val("31/07/2021")}).packet.rows.size(), 0);
    QCOMPARE(m_net.Call("getIndFin", {A::Ref(cd), A::Val("31/02/2020")}).error, wire::ErrorCode::BadValue);
}

void TstAppServer::listsAndInvoices()
{
    QString grupo = "'001'", flag = "";
    const wire::Reply bens = m_net.Call("getBem", {A::Val("01"), A::Ref(grupo), A::Ref(flag)});
    QVERIFY(bens.ok());
    QCOMPARE(bens.packet.rows.size(),
             count("SELECT COUNT(*) FROM BEMATIVO WHERE CDEMPRESA='01' AND CDGRUPOBEM='001' AND IDTIPOBEMATIVO='R'"));
    QCOMPARE(grupo, QString("'001'"));
    QString tipos = "'002'";
    const wire::Reply mot = m_net.Call("getMotivoOper", {A::Val("01"), A::Ref(tipos)});
    QCOMPARE(mot.packet.rows.size(), count("SELECT COUNT(*) FROM MOTIVOOPER WHERE CDEMPRESA='01' AND CDTIPOOPERBEM='002'"));
    QCOMPARE(mot.packet.rows[0][4].toString(), mot.packet.rows[0][1].toString() + "|" + mot.packet.rows[0][2].toString());
    QCOMPARE(m_net.Call("getTipoDeOperacao", {A::Val("01"), A::Val("T")}).packet.rows.size(), 9);
    QCOMPARE(m_net.Call("getCentCusto", {A::Val("T")}).packet.rows.size(), 8);
    QCOMPARE(m_net.Call("getSetor", {A::Val("T")}).packet.rows.size(), 7);
    QString cs = "", ct = "T", fs = "", ft = "T";
    const wire::Reply nf = m_net.Call("GetNotaFisc", {A::Val("01"), A::Ref(cs), A::Ref(ct), A::Ref(fs), A::Ref(ft)});
    QCOMPARE(nf.packet.rows.size(), count("SELECT COUNT(*) FROM NOTAFISCAL WHERE CDEMPRESA='01'"));
    fs = "'000001'";
    ft = "";
    const wire::Reply nf2 = m_net.Call("GetNotaFisc", {A::Val("01"), A::Ref(cs), A::Ref(ct), A::Ref(fs), A::Ref(ft)});
    QCOMPARE(nf2.packet.rows.size(), count("SELECT COUNT(*) FROM NOTAFISCAL WHERE CDEMPRESA='01' AND CDFORNECED='000001'"));
    // By client: the invoices of the clients chosen, whatever the suppliers' pair says.
    QSqlQuery cli(m_db);
    QVERIFY(cli.exec("SELECT MIN(CDCLIENTE), MAX(CDCLIENTE) FROM NOTAFISCAL WHERE CDEMPRESA='01'") && cli.next());
    const QString c1 = cli.value(0).toString(), c2 = cli.value(1).toString();
    cli.finish();
    QVERIFY(c1 != c2);
    cs = "'" + c1 + "','" + c2 + "'";
    ct = "";
    fs = "";
    ft = "T";
    const wire::Reply nf3 = m_net.Call("GetNotaFisc", {A::Val("01"), A::Ref(cs), A::Ref(ct), A::Ref(fs), A::Ref(ft)});
    QVERIFY(nf3.ok());
    const int byClient =
        count("SELECT COUNT(*) FROM NOTAFISCAL WHERE CDEMPRESA='01' AND CDCLIENTE IN ('" + c1 + "','" + c2 + "')");
    QVERIFY(byClient > 1);
    QCOMPARE(nf3.packet.rows.size(), byClient);
}

void TstAppServer::badInputGetsErrorAndServerGoesOn()
{
    QCOMPARE(m_net.Call("Inexistente", {}).error, wire::ErrorCode::UnknownMethod);
    QCOMPARE(m_net.CallObject("Outro.Objeto", "getSetor", {A::Val("T")}).error, wire::ErrorCode::UnknownObject);
    QCOMPARE(m_net.Call("getSetor", {}).error, wire::ErrorCode::BadArguments);
    QCOMPARE(m_net.Call("getSetor", {A::Date(QDate(2020, 1, 1))}).error, wire::ErrorCode::BadArguments);
    // Garbage, an oversized frame and a wrong token on raw sockets.
    for (int kind = 0; kind < 3; ++kind) {
        QTcpSocket s;
        s.connectToHost("127.0.0.1", m_server->port());
        QVERIFY(s.waitForConnected(3000));
        QByteArray answer;
        if (kind == 0) {
            QVERIFY(wire::writeFrame(&s, wire::encodeHello({"segredo"}), 3000));
            QCOMPARE(wire::readFrame(&s, &answer, wire::kMaxFrameBytes, 3000), wire::ReadStatus::Ok);
            QVERIFY(wire::writeFrame(&s, QByteArray("\xff\x00garbage", 9), 3000));
            QCOMPARE(wire::readFrame(&s, &answer, wire::kMaxFrameBytes, 3000), wire::ReadStatus::Ok);
            QCOMPARE(wire::decodeReply(answer)->error, wire::ErrorCode::BadFrame);
        } else if (kind == 1) {
            QByteArray hdr(4, 0);
            hdr[0] = char(0x7f);
            s.write(hdr);
            s.waitForBytesWritten(1000);
            QCOMPARE(wire::readFrame(&s, &answer, wire::kMaxFrameBytes, 3000), wire::ReadStatus::Ok);
            QCOMPARE(wire::decodeReply(answer)->error, wire::ErrorCode::BadFrame);
        } else {
            QVERIFY(wire::writeFrame(&s, wire::encodeHello({"errado"}), 3000));
            QCOMPARE(wire::readFrame(&s, &answer, wire::kMaxFrameBytes, 3000), wire::ReadStatus::Ok);
            QCOMPARE(wire::decodeReply(answer)->error, wire::ErrorCode::NotAuthenticated);
        }
    }
    QVERIFY(m_net.Call("getSetor", {A::Val("T")}).ok());
}

void TstAppServer::clientReconnectsAfterServerRestart()
{
    QVERIFY(m_net.Call("getCentCusto", {A::Val("T")}).ok());
    const quint16 port = m_server->port();
    m_server->stop();
    appsrv::Config cfg;
    cfg.database = m_url;
    cfg.token = "segredo";
    cfg.port = port;
    m_server = std::make_unique<appsrv::ServerThread>(cfg, appsrv::registerStandardObjects);
    QString why;
    QVERIFY2(m_server->start(&why), qPrintable(why));
    const wire::Reply r = m_net.Call("getCentCusto", {A::Val("T")});
    QVERIFY2(r.ok(), qPrintable(r.message));
    QCOMPARE(r.packet.rows.size(), 8);
}

void TstAppServer::lostDatabaseSessionIsReopened()
{
#ifndef TEST_ON_POSTGRESQL
    QSKIP("a database server ends sessions; a SQLite file does not");
#else
    QVERIFY(m_net.Call("getSetor", {A::Val("T")}).ok());
    // Every other session of the database ended, as an administrator or a restart would.
    QSqlQuery q(m_db);
    QVERIFY2(q.exec("SELECT COUNT(pg_terminate_backend(pid)) FROM pg_stat_activity "
                    "WHERE datname = current_database() AND pid <> pg_backend_pid()"),
             qPrintable(q.lastError().text()));
    QVERIFY(q.next());
    QVERIFY(q.value(0).toInt() >= 1);
    QTest::qWait(200);
    // Each worker finds its session gone, opens it again and answers.
    for (int i = 0; i < 8; ++i) {
        const wire::Reply r = m_net.Call("getSetor", {A::Val("T")});
        QVERIFY2(r.ok(), qPrintable(r.message));
        QCOMPARE(r.packet.rows.size(), 7);
    }
#endif
}

// A server that answers even the hello in pieces: appserver-call still
// prints the call's answer (it printed nothing once, taking the hello's
// pieces for the answer).
void TstAppServer::callPrintsItsOwnAnswerWhateverTheHelloWas()
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof at;
    QVERIFY(::bind(listener, reinterpret_cast<sockaddr *>(&at), sizeof at) == 0 && ::listen(listener, 1) == 0 &&
            ::getsockname(listener, reinterpret_cast<sockaddr *>(&at), &len) == 0);
    std::thread server([listener] {
        const int fd = ::accept(listener, nullptr, nullptr);
        const auto frame = [fd] {
            char word[4];
            if (::recv(fd, word, 4, MSG_WAITALL) != 4) return false;
            QByteArray payload(qFromBigEndian<quint32>(word), Qt::Uninitialized);
            return ::recv(fd, payload.data(), size_t(payload.size()), MSG_WAITALL) == payload.size();
        };
        const auto send = [fd](const QByteArray &b) { (void)::send(fd, b.constData(), size_t(b.size()), MSG_NOSIGNAL); };
        QByteArray head;
        const QVector<wire::FieldDef> none;
        wire::PacketWriter pw(&head, none);
        head = wire::replyHead(wire::Reply{}) + head.left(pw.bytes());
        if (frame()) send(wire::lengthWord(wire::kPieceBit, head.size()) + head + wire::lengthWord(0, 1) + QByteArray(1, char(0xFF)));
        wire::Reply answer;
        answer.refs = {"resposta"};
        if (frame()) send(wire::replyFrame(answer));
        ::close(fd);
    });
    QProcess c;
    c.start(QCoreApplication::applicationDirPath() + "/appserver-call",
            {"--server", QString("127.0.0.1:%1").arg(ntohs(at.sin_port)), trq01300::kObjectName, "getSetor", "T"});
    QVERIFY(c.waitForFinished(20000));
    server.join();
    ::close(listener);
    QCOMPARE(c.exitCode(), 0);
    QVERIFY(QString::fromUtf8(c.readAllStandardOutput()).startsWith("ref 1: resposta\n"));
}

void TstAppServer::commandLineProgramsServeAndCall()
{
#ifdef TEST_ON_POSTGRESQL
    QSKIP("programs tested on SQLite");
#endif
    const QString bin = QCoreApplication::applicationDirPath();
    QFile tokenFile(m_dir.filePath("token"));
    QVERIFY(tokenFile.open(QIODevice::WriteOnly));
    tokenFile.write("abc123\n");
    tokenFile.close();
    // The database URL from a file, off the command line.
    QFile urlFile(m_dir.filePath("db-url"));
    QVERIFY(urlFile.open(QIODevice::WriteOnly));
    urlFile.write(m_url.toUtf8() + "\n# comentário\n");
    urlFile.close();
    // Started as a Type=notify service: it says READY=1 once it listens.
    const QByteArray notifyPath = QFile::encodeName(m_dir.filePath("notify"));
    const int notifyFd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    QVERIFY(notifyFd >= 0);
    sockaddr_un notifyAddr{};
    notifyAddr.sun_family = AF_UNIX;
    std::memcpy(notifyAddr.sun_path, notifyPath.constData(), size_t(notifyPath.size()));
    QCOMPARE(::bind(notifyFd, reinterpret_cast<sockaddr *>(&notifyAddr), sizeof notifyAddr), 0);
    QProcess server;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("NOTIFY_SOCKET", QString::fromLocal8Bit(notifyPath));
    server.setProcessEnvironment(env);
    // Its options from a file, as a service starts it; a flag wins over the
    // file (the file's port is taken, the flag's free one is used).
    QFile options(m_dir.filePath("appserver.conf"));
    const auto writeOptions = [&](const QByteArray &level) {
        QVERIFY(options.open(QIODevice::WriteOnly | QIODevice::Truncate));
        options.write("# servidor de teste\n\ndb-file = " + QFile::encodeName(urlFile.fileName()) + "\nlisten = \"127.0.0.1:1\"\n"
                      "token-file = " + QFile::encodeName(tokenFile.fileName()) + "\n; nível\nlog-level = " + level +
                      "\nrequire-readonly-role = false\n");
        options.close();
    };
    writeOptions("warning");
    server.start(bin + "/appserver", {"--config", options.fileName(), "--listen", "127.0.0.1:0"});
    QVERIFY(server.waitForReadyRead(10000));
    const QString line = QString::fromUtf8(server.readLine()).trimmed();
    const QString port = line.section(':', -1);
    QVERIFY2(port.toInt() > 0, qPrintable(line));
    char ready[64] = {};
    QVERIFY(QTest::qWaitFor([&] { return ::recv(notifyFd, ready, sizeof ready - 1, MSG_DONTWAIT) > 0; }, 5000));
    QCOMPARE(QByteArray(ready), QByteArray("READY=1"));
    auto call = [&](const QStringList &args, QString *out, QString *err) {
        QProcess c;
        c.start(bin + "/appserver-call", QStringList{"--server", "127.0.0.1:" + port, "--token-file", tokenFile.fileName()} + args);
        c.waitForFinished(20000);
        *out = QString::fromUtf8(c.readAllStandardOutput());
        *err = QString::fromUtf8(c.readAllStandardError());
        return c.exitCode();
    };
    QString out, err;
    QCOMPARE(call({"--csv", trq01300::kObjectName, "getIndFin", "ref:0001", "04/03/2020"}, &out, &err), 0);
    const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QString("CDTPINDICE,IDPERVALOR,CDINDICE,DTREFIND,VRINDICE,SGINDICE"));
    QVERIFY(lines[1].startsWith("1,D,0001,04/03/2020,"));
    {
        // A whole history comes in pieces, each printed as it arrives: the
        // title once, then every row.
        QStringList args{"--csv", trq01300::kObjectName, "GetHistoricoOpBem", "01", "date:", "date:", "ref:T"};
        for (const QString &c : allCriteria()) args << "ref:" + c;
        QCOMPARE(call(args, &out, &err), 0);
        const QStringList rows = out.split('\n', Qt::SkipEmptyParts);
        const int expected = int(history("01", {}, {}, "T", allCriteria()).packet.rows.size());
        QVERIFY(out.size() > 300 * 1024);  // more than one piece
        QCOMPARE(rows.size(), expected + 1);
        QVERIFY(rows[0].contains("NRSEQOPERABEM,"));
        QCOMPARE(rows.filter(rows[0]).size(), 1);
        QVERIFY(err.startsWith("ref 1: T\n"));
    }
    QCOMPARE(call({trq01300::kObjectName, "GetHistoricoOpBem", "99", "date:", "date:"}, &out, &err), 1);
    QCOMPARE(err.trimmed(), QString("Método GetHistoricoOpBem espera 27 argumentos, recebeu 3."));
    // A TLS option means TLS: against this plain server the call fails
    // rather than going out unencrypted.
    QCOMPARE(call({"--tls-fingerprint", "AA:BB", "--csv", trq01300::kObjectName, "getIndFin", "ref:0001", "04/03/2020"}, &out, &err), 1);
    QCOMPARE(out, QString());
    // --check: 0 when the server answers (with the right token), 1 otherwise.
    const auto check = [&](const QStringList &args) {
        QProcess c;
        c.start(bin + "/appserver", args);
        c.waitForFinished(20000);
        return c.exitCode();
    };
    QCOMPARE(check({"--check", "127.0.0.1:" + port, "--token-file", tokenFile.fileName()}), 0);
    {
        // The server's options file is enough to check it, and the answer names the database.
        QProcess c;
        c.start(bin + "/appserver", {"--config", options.fileName(), "--check", "127.0.0.1:" + port});
        QVERIFY(c.waitForFinished(20000));
        QCOMPARE(c.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(c.readAllStandardOutput()), QString("appserver: 127.0.0.1:%1 responde; banco: sqlite\n").arg(port));
    }
    QCOMPARE(check({"--check", "127.0.0.1:" + port}), 1);  // no token: the hello is refused
    QCOMPARE(check({"--check", "127.0.0.1:1"}), 1);
    // SIGHUP never stops it: it reads the options file again and takes its
    // log level (the call below is then logged at info).
    writeOptions("info");
    ::kill(pid_t(server.processId()), SIGHUP);
    QTest::qWait(600);
    QCOMPARE(server.state(), QProcess::Running);
    QCOMPARE(call({"--csv", trq01300::kObjectName, "getIndFin", "ref:0001", "04/03/2020"}, &out, &err), 0);
    // SIGTERM with a connection open and idle: a clean stop, one line, exit 0.
    QTcpSocket idle;
    idle.connectToHost("127.0.0.1", quint16(port.toInt()));
    QVERIFY(idle.waitForConnected(5000));
    QVERIFY(idle.write(wire::frame(wire::encodeHello({"abc123"}))) > 0);
    QVERIFY(idle.waitForReadyRead(5000));
    server.terminate();
    QVERIFY(server.waitForFinished(5000));
    QCOMPARE(server.exitStatus(), QProcess::NormalExit);
    QCOMPARE(server.exitCode(), 0);
    const QString said = QString::fromUtf8(server.readAllStandardError());
    QVERIFY2(said.contains("SIGHUP received: options file " + options.fileName() + " reloaded; log level info"), qPrintable(said));
    QVERIFY2(said.contains(QRegularExpression(" info appserver \\S+ getIndFin ")), qPrintable(said));
    QVERIFY2(said.contains("1 connection(s) closed, 0 of them still busy"), qPrintable(said));
    char stopping[64] = {};
    QVERIFY(::recv(notifyFd, stopping, sizeof stopping - 1, MSG_DONTWAIT) > 0);
    QCOMPARE(QByteArray(stopping), QByteArray("STOPPING=1"));
    ::close(notifyFd);
    // At info level a summary of the load every interval.
    {
        QProcess loaded;
        loaded.start(bin + "/appserver", {"--db", m_url, "--listen", "127.0.0.1:0", "--log-level", "info", "--metrics-interval", "1"});
        QVERIFY(loaded.waitForReadyRead(10000));
        const QString at = QString::fromUtf8(loaded.readLine()).trimmed().section(':', -1);
        for (int i = 0; i < 3; ++i) {
            QProcess c;
            c.start(bin + "/appserver-call", {"--server", "127.0.0.1:" + at, trq01300::kObjectName, "getIndFin", "ref:0001", "04/03/2020"});
            QVERIFY(c.waitForFinished(20000));
        }
        // The calls may fall in two intervals: their lines add up to them.
        QString said;
        const QRegularExpression line("load over 1 s: (\\d+) calls, 0 errors, p50 \\d+ ms, p99 \\d+ ms, \\d+ connections, 0 busy, 0 queued");
        const auto counted = [&] {
            int n = 0;
            for (auto it = line.globalMatch(said); it.hasNext();) n += it.next().captured(1).toInt();
            return n;
        };
        QVERIFY(QTest::qWaitFor([&] {
            said += QString::fromUtf8(loaded.readAllStandardError());
            return counted() >= 3;
        }, 5000));
        QVERIFY2(counted() == 3, qPrintable(said));
        loaded.terminate();
        QVERIFY(loaded.waitForFinished(5000));
    }
    // Each level logs what the one below it does and more, in one format on stderr.
    for (const QString level : {"info", "debug"}) {
        QProcess logged;
        logged.start(bin + "/appserver", {"--db", m_url, "--listen", "127.0.0.1:0", "--log-level", level});
        QVERIFY(logged.waitForReadyRead(10000));
        const QString at = QString::fromUtf8(logged.readLine()).trimmed().section(':', -1);
        logged.setReadChannel(QProcess::StandardError);
        QProcess c;
        c.start(bin + "/appserver-call", {"--server", "127.0.0.1:" + at, trq01300::kObjectName, "getSetor", "T"});
        QVERIFY(c.waitForFinished(20000));
        QCOMPARE(c.exitCode(), 0);
        // The reply leaves before the server logs it: wait for the line.
        QString log;
        QElapsedTimer t;
        t.start();
        while (!log.contains("getSetor") && t.elapsed() < 10000) {
            logged.waitForReadyRead(100);
            log += QString::fromUtf8(logged.readAllStandardError());
        }
        logged.terminate();
        QVERIFY(logged.waitForFinished(5000));
        log += QString::fromUtf8(logged.readAllStandardError());
        const QRegularExpression line("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3} (info|debug) appserver ",
                                      QRegularExpression::MultilineOption);
        QVERIFY2(log.contains(QRegularExpression("^\\S+ info appserver .*getSetor.* ok ", QRegularExpression::MultilineOption)), qPrintable(log));
        QCOMPARE(log.contains(QRegularExpression("^\\S+ debug appserver .*connected", QRegularExpression::MultilineOption)), level == "debug");
        QVERIFY2(line.match(log).hasMatch(), qPrintable(log));
    }
    // A cap above what the open-file limit leaves room for is brought down to
    // it, so that clients past it hear "busy" instead of hanging.
    {
        QProcess limited;
        limited.start("bash", {"-c", QString("ulimit -n 120 && exec '%1/appserver' --db '%2' --listen 127.0.0.1:0 "
                                             "--max-connections 5000 --workers 1").arg(bin, m_url)});
        QVERIFY(limited.waitForReadyRead(10000));
        const quint16 at = quint16(QString::fromUtf8(limited.readLine()).trimmed().section(':', -1).toInt());
        std::vector<std::unique_ptr<QTcpSocket>> held;
        QString busy;
        for (int i = 0; i < 200 && busy.isEmpty(); ++i) {
            auto s = std::make_unique<QTcpSocket>();
            s->connectToHost("127.0.0.1", at);
            QVERIFY(s->waitForConnected(3000));
            s->write(wire::frame(wire::encodeHello({})));
            QByteArray answer;
            QCOMPARE(wire::readFrame(s.get(), &answer, wire::kMaxFrameBytes, 5000), wire::ReadStatus::Ok);
            const auto r = wire::decodeReply(answer);
            QVERIFY(r);
            if (!r->ok()) busy = r->message;
            held.push_back(std::move(s));
        }
        QCOMPARE(busy, QString("Servidor de aplicação ocupado; tente novamente."));
        QVERIFY2(held.size() < 120, qPrintable(QString::number(held.size())));
        limited.terminate();
        QVERIFY(limited.waitForFinished(5000));
        QVERIFY(QString::fromUtf8(limited.readAllStandardError()).contains("more than the open-file limit allows"));
    }
    // Authentication never turns itself off: an empty or unreadable credential
    // file stops the server from starting.
    QFile empty(m_dir.filePath("vazio"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.write(" \n\n");
    empty.close();
    // A name the options file does not know stops the start, with its line.
    {
        QFile typo(m_dir.filePath("typo.conf"));
        QVERIFY(typo.open(QIODevice::WriteOnly));
        typo.write("db = " + m_url.toUtf8() + "\nworkrs = 3\n");
        typo.close();
        QProcess refused;
        refused.start(bin + "/appserver", {"--config", typo.fileName(), "--listen", "127.0.0.1:0"});
        QVERIFY(refused.waitForFinished(10000));
        QCOMPARE(refused.exitCode(), 2);
        QCOMPARE(QString::fromUtf8(refused.readAllStandardError()),
                 QString("appserver: %1, linha 2: opção desconhecida \"workrs\"\n").arg(typo.fileName()));
    }
    for (const QString &file : {empty.fileName(), m_dir.filePath("nao-existe")}) {
        QProcess refused;
        refused.start(bin + "/appserver", {"--db", m_url, "--listen", "127.0.0.1:0", "--token-file", file});
        QVERIFY(refused.waitForFinished(10000));
        QCOMPARE(refused.exitCode(), 2);
        QVERIFY2(QString::fromUtf8(refused.readAllStandardError()).contains(file), qPrintable(file));
        QCOMPARE(refused.readAllStandardOutput(), QByteArray());
    }
}

void TstAppServer::databaseRoleAndTimeouts()
{
#ifndef TEST_ON_POSTGRESQL
    QSKIP("roles and timeouts are PostgreSQL's");
#else
    // The test role owns the tables: it can write. Refused when asked for a
    // read-only role, started (with a warning) otherwise.
    appsrv::Config cfg;
    cfg.database = m_url;
    cfg.requireReadOnlyRole = true;
    QString why;
    QVERIFY(!appsrv::ServerThread(cfg, appsrv::registerStandardObjects).start(&why));
    const QString role = QUrl(m_url).userName();
    QVERIFY2(why.startsWith(QString("O papel %1 do banco de dados pode gravar em ").arg(role)), qPrintable(why));
    QVERIFY2(why.contains("OPERABEM"), qPrintable(why));
    // The select-only role that scripts/pg-test-server makes is accepted.
    QUrl ro(m_url);
    ro.setUserName(role + "_ro");
    ro.setPassword(role + "_ro");
    cfg.database = ro.toString();
    {
        appsrv::ServerThread s(cfg, appsrv::registerStandardObjects);
        QVERIFY2(s.start(&why), qPrintable(why));
    }
    // No statement runs past the statement timeout of the URL.
    {
        QSqlDatabase db = dbconnect::open(m_url + "?statement_timeout=1", "lento", dbconnect::Mode::ReadOnly);
        QElapsedTimer t;
        t.start();
        QSqlQuery q(db);
        QVERIFY(!q.exec("SELECT pg_sleep(3)"));
        QVERIFY2(t.elapsed() < 2500, qPrintable(QString::number(t.elapsed())));
    }
    dbconnect::close("lento");
#endif
}

void TstAppServer::statusSaysWhatTheDatabaseIs()
{
    // The health call runs on a worker's session like any other: the test
    // database is a primary (or a file); the standby case runs in
    // scripts/replica-test against a real standby.
    TNetConnection net;
    net.Host = "127.0.0.1";
    net.Port = m_server->port();
    net.Token = "segredo";
    net.ServerName = appsrv::kStatusObject;
    net.Connect();
    QString kind = "x", lag = "x";
    const wire::Reply r = net.Call(appsrv::kStatusMethod, {A::Ref(kind), A::Ref(lag)});
    QVERIFY2(r.ok(), qPrintable(r.message));
    QCOMPARE(r.refs, (QVector<QString>{onPostgres() ? "primario" : "sqlite", QString()}));
    net.Disconnect();
}

QTEST_GUILESS_MAIN(TstAppServer)
#include "tst_appserver.moc"
