// Who may see which company, on a real PostgreSQL server with real roles: the
// grants of db/security.sql, operators made by db/operator.sql, the real
// application server logging them in and running their calls under their roles.
#include "dbconnect.h"
#include "dispatch.h"
#include "generator.h"
#include "messagecodec.h"
#include "netconnection.h"
#include "psqlfile.h"
#include "standardobjects.h"
#include "tcpconnections.h"
#include "trq01300_methods.h"
#include "framing.h"
#include "login.h"
#include "vantiro.h"

#include <QApplication>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QNetworkInterface>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QStandardPaths>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTest>
#include <QUrl>

using A = TNetArg;

namespace {
// Operator A sees companies 01 and 02, B sees 03.
const char *const kA = "OPER001";
const char *const kB = "OPER002";
const char *const kPasswordA = "senha-do-A";
const char *const kPasswordB = "senha-do-B";
}  // namespace

class TstOperators : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void historyDetailsAndListsOfOtherCompaniesAreNotThere();
    void anOperatorsOwnSessionReadsOnlyItsRows();
    void optionSetsAreTheirOperatorsAlone();
    void onePooledSessionServesEachOperatorWithItsRights();
    void refusedLogins_data();
    void refusedLogins();
    void withoutAnOperatorOnlyTheStatusAnswers();
    void aCallSentBehindTheHelloIsAnsweredOnceLoggedIn();
    void aPasswordNeverGoesOverPlainTcpToAnotherMachine();
    void theLoginWindowByKeyboard_data();
    void theLoginWindowByKeyboard();
    void aDatabaseThatDoesNotAnswerIsNotAWrongPassword();
    void theCommandLineClientLogsInToo();
private:
    QString urlAs(const QString &user, const QString &password) const;
    int count(const QString &sql);
    wire::Reply history(TNetConnection &net, const QString &company);
    std::unique_ptr<TNetConnection> login(const QString &op, const QString &password, quint16 port, QString *why = nullptr);
    QString m_url;
    QSqlDatabase m_owner;
    std::unique_ptr<appsrv::ServerThread> m_server;
    std::unique_ptr<TNetConnection> m_a, m_b;
};

QString TstOperators::urlAs(const QString &user, const QString &password) const
{
    return dbconnect::withCredentials(m_url, user, password);
}

void TstOperators::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);  // the last operator offered is kept apart
    m_url = qEnvironmentVariable("BACKOFFICE_TEST_PG");
    if (m_url.isEmpty()) QSKIP("BACKOFFICE_TEST_PG não definido");
    try {
        QSqlDatabase w = dbconnect::open(m_url, "writer", dbconnect::Mode::Create);
        demo::generate(w, {});
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
    dbconnect::close("writer");
    const QString db = QStringLiteral(BACKOFFICE_SOURCE_DIR) + "/db/";
    const QString server = QUrl(m_url).userName() + "_ro";
    QString err;
    QVERIFY2(runPsqlFile(m_url, {"-v", "servidor=" + server}, db + "security.sql", &err), qPrintable(err));
    for (const char *op : {kA, kB})
        QVERIFY2(runPsqlFile(m_url, {"-v", QString("operador=%1").arg(op), "-v", "nome=Operador de teste", "-v", "servidor=" + server},
                      db + "operator.sql", &err),
                 qPrintable(err));
    m_owner = dbconnect::open(m_url, "owner", dbconnect::Mode::ReadWrite);
    QSqlQuery q(m_owner);
    QVERIFY(q.exec(QString("ALTER ROLE \"%1\" PASSWORD '%2'").arg(kA, kPasswordA)));
    QVERIFY(q.exec(QString("ALTER ROLE \"%1\" PASSWORD '%2'").arg(kB, kPasswordB)));
    QVERIFY2(q.exec(QString("INSERT INTO OPERADOREMPRESA VALUES ('%1', '01'), ('%1', '02'), ('%2', '03')").arg(kA, kB)),
             qPrintable(q.lastError().text()));
    // The servers log in with the select-only role and act as each operator.
    appsrv::Config cfg;
    cfg.database = urlAs(server, server);
    cfg.workers = 1;  // one pooled session serves every operator in turn
    m_server = std::make_unique<appsrv::ServerThread>(cfg, appsrv::registerStandardObjects);
    QString why;
    QVERIFY2(m_server->start(&why), qPrintable(why));
    m_a = login(kA, kPasswordA, m_server->port(), &why);
    QVERIFY2(m_a, qPrintable(why));
    m_b = login(kB, kPasswordB, m_server->port(), &why);
    QVERIFY2(m_b, qPrintable(why));
}

void TstOperators::cleanupTestCase()
{
    m_a.reset();
    m_b.reset();
    if (m_server) m_server->stop();
    if (m_owner.isOpen()) {
        // The next suites regenerate the tables and run as their owner; the
        // option table outlives them, so its policy goes here.
        QSqlQuery q(m_owner);
        q.exec("ALTER TABLE OPCAOSALVA DISABLE ROW LEVEL SECURITY");
        q.exec("DROP POLICY IF EXISTS opcaosalva_propria ON OPCAOSALVA");
        q.exec("DELETE FROM OPCAOSALVA WHERE CDTELA = 'teste'");
    }
    m_owner = QSqlDatabase();
    dbconnect::close("owner");
}

std::unique_ptr<TNetConnection> TstOperators::login(const QString &op, const QString &password, quint16 port, QString *why)
{
    auto net = std::make_unique<TNetConnection>();
    net->Host = "127.0.0.1";
    net->Port = port;
    net->ServerName = trq01300::kObjectName;
    net->Operator = op;
    net->Password = password;
    try {
        net->Connect();
    } catch (const host::EHostError &e) {
        if (why) *why = e.text();
        return nullptr;
    }
    return net;
}

int TstOperators::count(const QString &sql)
{
    QSqlQuery q(m_owner);
    if (!q.exec(sql) || !q.next()) return -1;
    return q.value(0).toInt();
}

wire::Reply TstOperators::history(TNetConnection &net, const QString &company)
{
    QVector<QString> crit(23);
    for (int i : {1, 3, 5, 7, 9, 12, 14, 16, 18, 20, 22}) crit[i] = "T";
    crit[10] = "_1_2_3_";
    QString geral = "T";
    QVector<TNetArg> args{A::Val(company), A::Date({}), A::Date({}), A::Ref(geral)};
    for (QString &s : crit) args << A::Ref(s);
    return net.Call("GetHistoricoOpBem", args);
}

void TstOperators::historyDetailsAndListsOfOtherCompaniesAreNotThere()
{
    // A's own companies come whole.
    for (const char *company : {"01", "02"}) {
        const wire::Reply r = history(*m_a, company);
        QVERIFY2(r.ok(), qPrintable(r.message));
        QCOMPARE(r.packet.rows.size(), count(QString("SELECT COUNT(*) FROM OPERABEM WHERE CDEMPRESA = '%1'").arg(company)));
    }
    // Another's company reads as one that does not exist, for every call that names it.
    const wire::Reply h = history(*m_a, "03");
    QCOMPARE(h.message, QString("Empresa '03' não cadastrada."));
    QSqlQuery q(m_owner);
    QVERIFY(q.exec("SELECT NRSEQOPERABEM, CDBEMATIVO, NRSEQCAPAOPEBEM, NRSEQITCAPAOPE FROM OPERABEM WHERE CDEMPRESA = '03' LIMIT 1") &&
            q.next());
    const wire::Reply esp = m_a->Call("GetEspecOper", {A::Val("03"), A::Val("R"), A::Val(q.value(0).toString()), A::Val(q.value(1).toString())});
    const wire::Reply ctb = m_a->Call("GetCTBLOper", {A::Val("03"), A::Val(q.value(2).toString()), A::Val(q.value(3).toString()), A::Val("R")});
    QString cd, t = "T";
    const wire::Reply bens = m_a->Call("getBem", {A::Val("03"), A::Ref(cd), A::Ref(t)});
    QString cliente, tc = "T", forn, tf = "T";
    const wire::Reply notas = m_a->Call("GetNotaFisc", {A::Val("03"), A::Ref(cliente), A::Ref(tc), A::Ref(forn), A::Ref(tf)});
    // The same calls for A's own company do bring rows: the empty answers above are the grants'.
    QVERIFY(!m_a->Call("GetNotaFisc", {A::Val("01"), A::Ref(cliente), A::Ref(tc), A::Ref(forn), A::Ref(tf)}).packet.rows.isEmpty());
    for (const wire::Reply *r : {&esp, &ctb, &bens, &notas})
        QVERIFY2(!r->ok() ? r->message == "Empresa '03' não cadastrada." : r->packet.rows.isEmpty(),
                 qPrintable(r->message + QString(" / %1 linhas").arg(r->packet.rows.size())));
    // B sees its own company's rows, and none of A's.
    const wire::Reply b = history(*m_b, "03");
    QVERIFY2(b.ok(), qPrintable(b.message));
    QCOMPARE(b.packet.rows.size(), count("SELECT COUNT(*) FROM OPERABEM WHERE CDEMPRESA = '03'"));
    QVERIFY(b.packet.rows.size() > 0);
    QCOMPARE(history(*m_b, "01").message, QString("Empresa '01' não cadastrada."));
}

void TstOperators::anOperatorsOwnSessionReadsOnlyItsRows()
{
    // As psql would: the operator's own login, no server in between.
    {
        QSqlDatabase a = dbconnect::open(urlAs(kA, kPasswordA), "comoA", dbconnect::Mode::ReadOnly);
        QSqlQuery q(a);
        QVERIFY(q.exec("SELECT COUNT(*) FROM OPERABEM WHERE CDEMPRESA = '03'") && q.next());
        QCOMPARE(q.value(0).toInt(), 0);
        QVERIFY(q.exec("SELECT COUNT(*) FROM OPERABEM") && q.next());
        QCOMPARE(q.value(0).toInt(), count("SELECT COUNT(*) FROM OPERABEM WHERE CDEMPRESA IN ('01', '02')"));
        QStringList seen;
        QVERIFY(q.exec("SELECT CDEMPRESA FROM EMPRESA ORDER BY CDEMPRESA"));
        while (q.next()) seen << q.value(0).toString();
        QCOMPARE(seen, QStringList({"01", "02"}));
        // Its grants are its own to read, not to change.
        QVERIFY(!q.exec("INSERT INTO OPERADOREMPRESA VALUES ('OPER001', '03')"));
    }
    dbconnect::close("comoA");
    {
        QSqlDatabase b = dbconnect::open(urlAs(kB, kPasswordB), "comoB", dbconnect::Mode::ReadOnly);
        QSqlQuery q(b);
        QStringList seen;
        QVERIFY(q.exec("SELECT CDEMPRESA FROM EMPRESA ORDER BY CDEMPRESA"));
        while (q.next()) seen << q.value(0).toString();
        QCOMPARE(seen, QStringList({"03"}));  // the company lookup's statement lists only 03
        QVERIFY(q.exec("SELECT COUNT(*) FROM OPERADOREMPRESA") && q.next());
        QCOMPARE(q.value(0).toInt(), 1);
    }
    dbconnect::close("comoB");
}

void TstOperators::optionSetsAreTheirOperatorsAlone()
{
    QSqlQuery own(m_owner);
    QVERIFY(own.exec("DELETE FROM OPCAOSALVA WHERE CDTELA = 'teste'"));
    {
        QSqlDatabase b = dbconnect::open(urlAs(kB, kPasswordB), "opcoesB", dbconnect::Mode::ReadWrite);
        QSqlQuery q(b);
        QVERIFY2(q.exec("INSERT INTO OPCAOSALVA VALUES ('teste', 'OPER002', 'do B', 1, 'stFilial=''0001''', NULL, NULL, "
                        "CURRENT_TIMESTAMP)"),
                 qPrintable(q.lastError().text()));
    }
    dbconnect::close("opcoesB");
    {
        QSqlDatabase a = dbconnect::open(urlAs(kA, kPasswordA), "opcoesA", dbconnect::Mode::ReadWrite);
        QSqlQuery q(a);
        QVERIFY(q.exec("SELECT COUNT(*) FROM OPCAOSALVA WHERE CDTELA = 'teste'") && q.next());
        QCOMPARE(q.value(0).toInt(), 0);
        QVERIFY(q.exec("DELETE FROM OPCAOSALVA WHERE CDOPERADOR = 'OPER002'"));
        QCOMPARE(q.numRowsAffected(), 0);
        // Nor written in another's name.
        QVERIFY(!q.exec("INSERT INTO OPCAOSALVA VALUES ('teste', 'OPER002', 'falso', 1, 'x', NULL, NULL, CURRENT_TIMESTAMP)"));
    }
    dbconnect::close("opcoesA");
    QCOMPARE(count("SELECT COUNT(*) FROM OPCAOSALVA WHERE CDTELA = 'teste'"), 1);
}

void TstOperators::onePooledSessionServesEachOperatorWithItsRights()
{
    // The server has one worker: every call below runs on the same session.
    const int of01 = count("SELECT COUNT(*) FROM OPERABEM WHERE CDEMPRESA = '01'");
    const int of03 = count("SELECT COUNT(*) FROM OPERABEM WHERE CDEMPRESA = '03'");
    for (int round = 0; round < 3; ++round) {
        const wire::Reply a = history(*m_a, "01");
        QVERIFY2(a.ok(), qPrintable(a.message));
        QCOMPARE(a.packet.rows.size(), of01);
        QCOMPARE(history(*m_a, "03").message, QString("Empresa '03' não cadastrada."));
        const wire::Reply b = history(*m_b, "03");
        QVERIFY2(b.ok(), qPrintable(b.message));
        QCOMPARE(b.packet.rows.size(), of03);
        QCOMPARE(history(*m_b, "01").message, QString("Empresa '01' não cadastrada."));
    }
}

void TstOperators::refusedLogins_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::newRow("wrong password") << kA << "errada" << "Operador ou senha inválidos.";
    QTest::newRow("unknown operator") << "NINGUEM" << "qualquer" << "Operador ou senha inválidos.";
    QTest::newRow("another's password") << kA << kPasswordB << "Operador ou senha inválidos.";
    QTest::newRow("a name no role can have") << "oper001;x" << "x" << "Operador ou senha inválidos.";
}

void TstOperators::refusedLogins()
{
    QFETCH(QString, op);
    QFETCH(QString, password);
    QFETCH(QString, message);
    const int before = establishedTo(m_server->port());
    QString why;
    QVERIFY(!login(op, password, m_server->port(), &why));
    QCOMPARE(why, message);
    // Nothing of the session is left open.
    QTRY_COMPARE(establishedTo(m_server->port()), before);
}

void TstOperators::withoutAnOperatorOnlyTheStatusAnswers()
{
    // A monitor's connection (appserver --check) gives no operator: the status
    // answers, nothing an operator would see does.
    auto net = login({}, {}, m_server->port());
    QVERIFY(net);
    QString kind, lag;
    const wire::Reply status = net->CallObject("appserver.Status", "Estado", {A::Ref(kind), A::Ref(lag)});
    QVERIFY2(status.ok(), qPrintable(status.message));
    QCOMPARE(kind, QString("primario"));
    const wire::Reply h = history(*net, "01");
    QCOMPARE(h.error, wire::ErrorCode::NotAuthenticated);
    QCOMPARE(h.message, QString("Informe o operador e a senha."));
    QString cd, t = "T";
    QCOMPARE(net->Call("getBem", {A::Val("01"), A::Ref(cd), A::Ref(t)}).message, QString("Informe o operador e a senha."));
}

void TstOperators::aCallSentBehindTheHelloIsAnsweredOnceLoggedIn()
{
    // Hello and call in one write: the call waits for the login's check, then runs as the operator.
    QTcpSocket raw;
    raw.connectToHost(QHostAddress::LocalHost, m_server->port());
    QVERIFY(raw.waitForConnected(5000));
    wire::Call call{trq01300::kObjectName, "getBem", {}};
    call.args << wire::Arg{wire::ArgKind::Text, "01"} << wire::Arg{wire::ArgKind::TextRef, ""} << wire::Arg{wire::ArgKind::TextRef, "T"};
    raw.write(wire::frame(wire::encodeHello({{}, false, kB, kPasswordB})) + wire::frame(wire::encodeCall(call)));
    QVERIFY(raw.waitForBytesWritten(5000));
    for (int answer = 0; answer < 2; ++answer) {
        QByteArray payload;
        QCOMPARE(wire::readFrame(&raw, &payload, 64 << 20, 10000), wire::ReadStatus::Ok);
        const auto reply = wire::decodeReply(payload);
        QVERIFY(reply);
        // B may not see company 01: the call ran under B's role.
        if (answer == 0) QVERIFY2(reply->ok(), qPrintable(reply->message));
        else QCOMPARE(reply->message, QString("Empresa '01' não cadastrada."));
    }
}

void TstOperators::aPasswordNeverGoesOverPlainTcpToAnotherMachine()
{
    QHostAddress outside;
    for (const QHostAddress &a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback()) outside = a;
    if (outside.isNull()) QSKIP("this machine has no address but loopback");
    appsrv::Config cfg;
    cfg.database = urlAs(QUrl(m_url).userName() + "_ro", QUrl(m_url).userName() + "_ro");
    cfg.address = QHostAddress::AnyIPv4;
    appsrv::ServerThread s(cfg, appsrv::registerStandardObjects);
    QString why;
    QVERIFY2(s.start(&why), qPrintable(why));
    // The desktop does not send it.
    auto net = std::make_unique<TNetConnection>();
    net->Host = outside.toString();
    net->Port = s.port();
    net->Operator = kA;
    net->Password = kPasswordA;
    QVERIFY_THROWS_EXCEPTION(host::EHostError, net->Connect());
    // And a client that does is refused.
    QTcpSocket raw;
    raw.connectToHost(outside, s.port());
    QVERIFY(raw.waitForConnected(5000));
    QVERIFY(wire::writeFrame(&raw, wire::encodeHello({{}, false, kA, kPasswordA}), 5000));
    QByteArray payload;
    QCOMPARE(wire::readFrame(&raw, &payload, 1 << 20, 5000), wire::ReadStatus::Ok);
    const auto reply = wire::decodeReply(payload);
    QVERIFY(reply && !reply->ok());
    QCOMPARE(reply->message, QString("A senha do operador só pode ir ao servidor de aplicação por TLS; configure Tls=true."));
}

void TstOperators::theLoginWindowByKeyboard_data()
{
    QTest::addColumn<QStringList>("passwords");  // typed in turn; "<esc>" leaves
    QTest::addColumn<bool>("in");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");  // shown after the first failure
    QTest::newRow("right at once") << QStringList{kPasswordA} << true << 0 << "";
    QTest::newRow("wrong, then right") << QStringList{"errada", kPasswordA} << true << 0 << "Operador ou senha inválidos.";
    QTest::newRow("three wrong") << QStringList{"a", "b", "c"} << false << 2 << "Operador ou senha inválidos.";
    QTest::newRow("left with Esc") << QStringList{"<esc>"} << false << 0 << "";
}

void TstOperators::theLoginWindowByKeyboard()
{
    QFETCH(QStringList, passwords);
    QFETCH(bool, in);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    // The desktop's configuration names the database only: no user, no password.
    const QString configured = urlAs({}, {});
    Vantiro::SetDatabase(configured);
    Vantiro::SetPassword({});
    QString shown;
    int typed = 0;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto *dlg = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dlg || dlg->objectName() != "dlgLogin" || typed >= passwords.size()) return;
        auto *pw = dlg->findChild<QLineEdit *>("edtSenha");
        if (QApplication::focusWidget() != pw) return;  // the operator was offered: the focus waits in "Senha"
        if (typed == 1) shown = dlg->findChild<QLabel *>("lblMensagem")->text();
        const QString next = passwords.at(typed++);
        if (next == "<esc>") {
            QTest::keyClick(pw, Qt::Key_Escape);
            return;
        }
        QTest::keyClicks(pw, next);
        QTest::keyClick(pw, Qt::Key_Return);
    });
    driver.start(20);
    int rc = -1;
    QCOMPARE(runLogin(kA, &rc), in);
    QCOMPARE(rc, in ? -1 : exitCode);
    QCOMPARE(shown, message);
    if (in) {
        QCOMPARE(Vantiro::Operator(), QString(kA));
        QCOMPARE(Vantiro::Password(), QString(kPasswordA));
        QCOMPARE(QUrl(Vantiro::Database()).userName(), QString(kA));
        TNetConnection c;
        Vantiro::ApplyServer(&c);
        QCOMPARE(c.Operator, QString(kA));
        QCOMPARE(c.Password, QString(kPasswordA));
        // Every connection of the desktop is the operator's: the lists are its companies'.
        QSqlDatabase db = dbconnect::open(Vantiro::Database(), "desktop", dbconnect::Mode::ReadOnly);
        QSqlQuery q(db);
        QVERIFY(q.exec("SELECT COUNT(*) FROM EMPRESA") && q.next());
        QCOMPARE(q.value(0).toInt(), 2);
    }
    dbconnect::close("desktop");
    Vantiro::SetPassword({});
}

void TstOperators::aDatabaseThatDoesNotAnswerIsNotAWrongPassword()
{
    QUrl nowhere(urlAs({}, {}));
    nowhere.setPort(1);
    QCOMPARE(checkLogin(nowhere.toString(), kA, kPasswordA), QString("Não foi possível conectar ao banco de dados em %1.").arg(nowhere.host()));
    QCOMPARE(checkLogin(urlAs({}, {}), kA, "errada"), QString("Operador ou senha inválidos."));
    QCOMPARE(checkLogin(urlAs({}, {}), kA, kPasswordA), QString());
}

void TstOperators::theCommandLineClientLogsInToo()
{
    QTemporaryDir dir;
    QFile f(dir.filePath("senha"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(kPasswordB) + "\n");
    f.close();
    const auto call = [&](const QString &company, QString *out) {
        QProcess c;
        c.start(QCoreApplication::applicationDirPath() + "/appserver-call",
                {"--server", QString("127.0.0.1:%1").arg(m_server->port()), "--operator", QString(kB).toLower(),
                 "--password-file", f.fileName(), "--csv", trq01300::kObjectName, "getBem", company, "ref:", "ref:T"});
        c.waitForFinished(30000);
        *out = QString::fromUtf8(c.readAllStandardOutput());
        *out += QString::fromUtf8(c.readAllStandardError());
        return c.exitCode();
    };
    QString out;
    QCOMPARE(call("03", &out), 0);
    QString cd, t = "T";
    const wire::Reply viaDesktop = m_b->Call("getBem", {A::Val("03"), A::Ref(cd), A::Ref(t)});
    QVERIFY(viaDesktop.packet.rows.size() > 5);
    QVERIFY2(out.count('\n') >= viaDesktop.packet.rows.size(), qPrintable(out.left(400)));
    QVERIFY(call("01", &out) != 0);
    QVERIFY2(out.contains("Empresa '01' não cadastrada."), qPrintable(out));
}

QTEST_MAIN(TstOperators)
#include "tst_operators.moc"
