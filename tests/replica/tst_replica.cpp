// Application servers on a PostgreSQL streaming standby, against the primary
// it follows. scripts/replica-test makes both clusters and gives their URLs;
// without them every case is skipped.
#include "appserver.h"
#include "dbconnect.h"
#include "netconnection.h"
#include "optionstore.h"
#include "standardobjects.h"
#include "psqlfile.h"
#include "trq01300_methods.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QUrl>
#include <QSqlQuery>
#include <QTest>
#include <csignal>
#include <memory>

using A = TNetArg;

namespace {
// Every criterion "all", every situation: the whole history of a company.
wire::Reply wholeHistory(TNetConnection &net, const QString &company)
{
    QVector<QString> crit(23);
    for (int i : {1, 3, 5, 7, 9, 12, 14, 16, 18, 20, 22}) crit[i] = "T";
    crit[10] = "_1_2_3_";
    QString geral = "T";
    QVector<TNetArg> args{A::Val(company), A::Date({}), A::Date({}), A::Ref(geral)};
    for (QString &s : crit) args << A::Ref(s);
    return net.Call("GetHistoricoOpBem", args);
}
}  // namespace

class TstReplica : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void serversOnTheStandbySayHowFarBehindItIs();
    void historyThroughTheStandbyEqualsThePrimarys();
    void desktopKeepsWorkingWhenAServerIsKilled();
    void savedOptionsGoToThePrimaryAndReachTheStandby();
    // Last: from here on the database grants companies to operators.
    void anOperatorsHistoryThroughTheStandbyHoldsOnlyItsCompanies();

private:
    std::unique_ptr<QProcess> startServer();
    std::unique_ptr<TNetConnection> desktop(const QString &hosts) const;
    QString m_primary, m_standby;
    std::unique_ptr<appsrv::ServerThread> m_onPrimary;
    std::vector<std::unique_ptr<QProcess>> m_onStandby;
    std::vector<quint16> m_ports;
};

void TstReplica::initTestCase()
{
    m_primary = qEnvironmentVariable("BACKOFFICE_REPLICA_PRIMARY");
    m_standby = qEnvironmentVariable("BACKOFFICE_REPLICA_STANDBY");
    if (m_primary.isEmpty() || m_standby.isEmpty()) QSKIP("sem primário e réplica (scripts/replica-test os cria)");
    // The reference: a server on the primary.
    appsrv::Config cfg;
    cfg.database = m_primary;
    cfg.workers = 2;
    m_onPrimary = std::make_unique<appsrv::ServerThread>(cfg, appsrv::registerStandardObjects);
    QString why;
    QVERIFY2(m_onPrimary->start(&why), qPrintable(why));
    // Two real servers on the standby, with the select-only role they demand.
    for (int i = 0; i < 2; ++i) {
        m_onStandby.push_back(startServer());
        QVERIFY(m_onStandby.back());
    }
}

std::unique_ptr<QProcess> TstReplica::startServer()
{
    auto p = std::make_unique<QProcess>();
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(QCoreApplication::applicationDirPath() + "/appserver",
             {"--db", m_standby, "--listen", "127.0.0.1:0", "--workers", "2", "--require-readonly-role"});
    if (!p->waitForReadyRead(20000)) return nullptr;
    const quint16 port = quint16(QString::fromUtf8(p->readLine()).trimmed().section(':', -1).toInt());
    if (port == 0) return nullptr;
    m_ports.push_back(port);
    return p;
}

void TstReplica::cleanupTestCase()
{
    for (auto &p : m_onStandby) {
        if (p->state() == QProcess::Running) {
            p->terminate();
            p->waitForFinished(5000);
        }
    }
    if (m_onPrimary) m_onPrimary->stop();
}

std::unique_ptr<TNetConnection> TstReplica::desktop(const QString &hosts) const
{
    auto net = std::make_unique<TNetConnection>();
    net->Host = hosts;
    net->ServerName = trq01300::kObjectName;
    return net;
}

void TstReplica::serversOnTheStandbySayHowFarBehindItIs()
{
    for (quint16 port : m_ports) {
        QProcess check;
        check.start(QCoreApplication::applicationDirPath() + "/appserver", {"--check", QString("127.0.0.1:%1").arg(port)});
        QVERIFY(check.waitForFinished(20000));
        QCOMPARE(check.exitCode(), 0);
        const QString said = QString::fromUtf8(check.readAllStandardOutput());
        QVERIFY2(said.contains(QRegularExpression("responde; banco: réplica, atraso \\d+\\.\\d s\\n$")), qPrintable(said));
    }
    // The reference server is on the primary.
    auto net = desktop(QString("127.0.0.1:%1").arg(m_onPrimary->port()));
    QString kind, lag;
    const wire::Reply r = net->CallObject("appserver.Status", "Estado", {A::Ref(kind), A::Ref(lag)});
    QVERIFY2(r.ok(), qPrintable(r.message));
    QCOMPARE(kind, QString("primario"));
}

void TstReplica::historyThroughTheStandbyEqualsThePrimarys()
{
    auto primary = desktop(QString("127.0.0.1:%1").arg(m_onPrimary->port()));
    auto standby = desktop(QString("127.0.0.1:%1").arg(m_ports[0]));
    for (const QString company : {"01", "02", "10"}) {
        const wire::Reply want = wholeHistory(*primary, company), got = wholeHistory(*standby, company);
        QVERIFY2(want.ok() && got.ok(), qPrintable(want.message + got.message));
        QVERIFY(!want.packet.rows.isEmpty());
        QCOMPARE(got.packet.fields.size(), want.packet.fields.size());
        QCOMPARE(got.packet.rows, want.packet.rows);
    }
}

void TstReplica::desktopKeepsWorkingWhenAServerIsKilled()
{
    // A desktop given both standby servers, as its WebURL would list them.
    auto reference = desktop(QString("127.0.0.1:%1").arg(m_onPrimary->port()));
    const wire::Reply want = wholeHistory(*reference, "01");
    QVERIFY(want.ok());
    auto net = desktop(QString("127.0.0.1:%1,127.0.0.1:%2").arg(m_ports[0]).arg(m_ports[1]));
    const wire::Reply before = wholeHistory(*net, "01");
    QVERIFY2(before.ok(), qPrintable(before.message));
    QCOMPARE(before.packet.rows, want.packet.rows);
    // The server in use dies without a word.
    m_onStandby[0]->kill();
    QVERIFY(m_onStandby[0]->waitForFinished(5000));
    // At most one call fails, with one message; every answer is the right one.
    int failed = 0;
    for (int i = 0; i < 3; ++i) {
        const wire::Reply r = wholeHistory(*net, "01");
        if (!r.ok()) {
            ++failed;
            QVERIFY2(!r.message.isEmpty(), "uma falha sem mensagem");
            continue;
        }
        QCOMPARE(r.packet.rows, want.packet.rows);
    }
    QVERIFY2(failed <= 1, qPrintable(QString::number(failed)));
}

void TstReplica::savedOptionsGoToThePrimaryAndReachTheStandby()
{
    // The desktop's own connection (to the primary) writes; the standby,
    // where the servers read, has the set once it has replayed it.
    host::DatabaseOptionStore store(m_primary);
    host::OptionSet set;
    set.variables << "stCdEmpresa=01" << QString("momento=%1").arg(QDateTime::currentMSecsSinceEpoch());
    QElapsedTimer clock;
    clock.start();
    store.save("TRQ01300", "REPLICA", "pela réplica", set);
    QCOMPARE(store.load("TRQ01300", "REPLICA", "pela réplica").variables, set.variables);
    QSqlDatabase standby = dbconnect::open(m_standby, "replica-check", dbconnect::Mode::ReadOnly);
    const auto arrived = [&] {
        QSqlQuery q(standby);
        return q.exec("SELECT COUNT(*) FROM OPCAOSALVA WHERE CDOPERADOR = 'REPLICA'") && q.next() && q.value(0).toInt() == set.variables.size();
    };
    QVERIFY(QTest::qWaitFor(arrived, 10000));
    qInfo("saved option set visible on the standby after %lld ms", qint64(clock.elapsed()));
    // Written on the standby it would be refused: it never takes writes.
    QVERIFY_THROWS_EXCEPTION(std::exception, host::DatabaseOptionStore(m_standby).save("TRQ01300", "REPLICA", "na réplica", set));
    standby = QSqlDatabase();
    dbconnect::close("replica-check");
}

void TstReplica::anOperatorsHistoryThroughTheStandbyHoldsOnlyItsCompanies()
{
    // Grants, roles and policies are made on the primary; the standby replays
    // them with the catalogue, and its servers obey them.
    const QString db = QStringLiteral(BACKOFFICE_SOURCE_DIR) + "/db/";
    const QString server = QUrl(m_standby).userName();
    QString err;
    QVERIFY2(runPsqlFile(m_primary, {"-v", "servidor=" + server}, db + "security.sql", &err), qPrintable(err));
    QVERIFY2(runPsqlFile(m_primary, {"-v", "operador=OPER002", "-v", "nome=Operador B", "-v", "servidor=" + server}, db + "operator.sql", &err),
             qPrintable(err));
    {
        QSqlDatabase primary = dbconnect::open(m_primary, "grants", dbconnect::Mode::ReadWrite);
        QSqlQuery q(primary);
        QVERIFY(q.exec("ALTER ROLE \"OPER002\" PASSWORD 'senha-do-B'"));
        QVERIFY(q.exec("INSERT INTO OPERADOREMPRESA VALUES ('OPER002', '03')"));
    }
    dbconnect::close("grants");
    QSqlDatabase standby = dbconnect::open(m_standby, "grants-standby", dbconnect::Mode::ReadOnly);
    QVERIFY(QTest::qWaitFor([&] {
        QSqlQuery q(standby);
        return q.exec("SELECT to_regclass('operadorempresa') IS NOT NULL") && q.next() && q.value(0).toBool();
    }, 10000));
    standby = QSqlDatabase();
    dbconnect::close("grants-standby");
    // A server started now on the standby logs operators in.
    auto started = startServer();
    QVERIFY(started);
    m_onStandby.push_back(std::move(started));
    auto b = desktop(QString("127.0.0.1:%1").arg(m_ports.back()));
    b->Operator = "OPER002";
    b->Password = "senha-do-B";
    QVERIFY(QTest::qWaitFor([&] { return wholeHistory(*b, "03").ok(); }, 10000));  // the grant replayed
    auto reference = desktop(QString("127.0.0.1:%1").arg(m_onPrimary->port()));
    const wire::Reply want = wholeHistory(*reference, "03"), got = wholeHistory(*b, "03");
    QVERIFY(!want.packet.rows.isEmpty());
    QCOMPARE(got.packet.rows, want.packet.rows);
    for (const QString company : {"01", "02", "10"})
        QCOMPARE(wholeHistory(*b, company).message, QString("Empresa '%1' não cadastrada.").arg(company));
}

QTEST_GUILESS_MAIN(TstReplica)
#include "tst_replica.moc"
