// The application server's transport and resources: frames that arrive in
// pieces, deadlines, the connection cap, honest errors, the token, TLS set-up
// and verification, and a client that never sends a call twice.
#include "appserver.h"
#include "workerpool.h"
#include "auththrottle.h"
#include "codec.h"
#include "opendescriptors.h"
#include "dbconnect.h"
#include "generator.h"
#include "netconnection.h"
#include "trq01300_methods.h"
#include "standardobjects.h"

#include <QAtomicInt>
#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSemaphore>
#include <QSslCertificate>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QtEndian>
#include <cmath>
#include <atomic>
#include <unistd.h>
#include <sys/socket.h>
#include <netinet/in.h>
#include <thread>

using A = TNetArg;

namespace {
QAtomicInt g_slowRuns, g_brokenRuns, g_piecesMade;

// A text whose every stretch differs, so a piece lost or sent twice shows.
QString bigText(int n)
{
    QString t(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i) t[i] = QChar('a' + (i / 4099 + i) % 26);
    return t;
}

int openSockets() { return openDescriptors([](const QByteArray &t) { return t.startsWith("socket:"); }); }

// The whole history of company 01, every criterion "all": over 500 KB, a
// few pieces.
wire::Call wholeHistoryCall()
{
    wire::Call c{trq01300::kObjectName, "GetHistoricoOpBem", {A::Val("01").arg, A::Date({}).arg, A::Date({}).arg}};
    for (int i = 3; i < 27; ++i) {
        wire::Arg a;
        a.kind = wire::ArgKind::TextRef;
        for (int all : {3, 5, 7, 9, 11, 13, 16, 18, 20, 22, 24, 26})
            if (i == all) a.text = "T";
        if (i == 14) a.text = "_1_2_3_";
        c.args << a;
    }
    return c;
}

QVector<TNetArg> netArgs(const wire::Call &c)
{
    QVector<TNetArg> out;
    for (const wire::Arg &a : c.args) {
        TNetArg t;
        t.arg = a;
        out << t;
    }
    return out;
}

// A server object with a slow method, a failing one, an echo and a large answer.
class Probe : public appsrv::ServerObject {
public:
    QString name() const override { return "Teste.Sonda"; }
    QVector<QPair<QString, QVector<wire::ArgKind>>> methods() const override
    {
        return {{"lento", {wire::ArgKind::Text}},
                {"falhaBanco", {}},
                {"eco", {wire::ArgKind::Text, wire::ArgKind::Date}},
                {"grande", {wire::ArgKind::Text}},
                {"quebraAposPedaco", {}},
                {"pedacos", {}}};
    }
    // quebraAposPedaco: one piece out, then the database session dies under
    // the call. pedacos: 200 pieces, 10 ms apart, while the client takes them.
    wire::Reply invokeStreaming(const QString &m, const QVector<wire::Arg> &a, QSqlDatabase &db, wire::ReplySink *sink) override
    {
        if (m == "pedacos" && sink) {
            for (int i = 0; i < 200 && sink->piece({}, QByteArray(1000, 'x')); ++i) {
                g_piecesMade.fetchAndAddRelaxed(1);
                QThread::msleep(10);
            }
            return {};
        }
        if (m != "quebraAposPedaco" || !sink) return invoke(m, a, db);
        g_brokenRuns.fetchAndAddRelaxed(1);
        sink->piece({}, QByteArray(1000, 'x'));
        db.close();
        throw appsrv::DatabaseFailure("server closed the connection unexpectedly");
    }
    wire::Reply invoke(const QString &m, const QVector<wire::Arg> &a, QSqlDatabase &) override
    {
        wire::Reply r;
        if (m == "lento") {
            g_slowRuns.fetchAndAddRelaxed(1);
            QThread::msleep(a[0].text.toInt());
        } else if (m == "grande") {
            r.refs << bigText(a[0].text.toInt());
            return r;
        } else if (m == "falhaBanco") {
            throw appsrv::DatabaseFailure("SELECT segredo FROM senhas WHERE usuario = 'admin'");
        }
        r.refs << (a.isEmpty() ? QString() : a[0].text);
        return r;
    }
};

void registerProbe(appsrv::Server &s)
{
    appsrv::registerStandardObjects(s);
    s.registerObject("Teste.Sonda", [] { return std::make_unique<Probe>(); });
}

// A desktop's connection to the test server.
std::unique_ptr<TNetConnection> desktop(quint16 port, const QString &object)
{
    auto c = std::make_unique<TNetConnection>();
    c->Host = "127.0.0.1";
    c->Port = port;
    c->ServerName = object;
    return c;
}

// A raw client: the hello, then frames written as the test wants them.
struct Raw {
    QSslSocket s;
    bool tls = false;  // set before open: the server speaks TLS
    bool open(quint16 port, const QString &token = {}, bool pieces = false)
    {
        if (tls) {
            s.setPeerVerifyMode(QSslSocket::VerifyNone);
            s.connectToHostEncrypted("127.0.0.1", port);
            if (!s.waitForEncrypted(5000)) return false;
        } else {
            s.connectToHost("127.0.0.1", port);
            if (!s.waitForConnected(3000)) return false;
        }
        s.write(wire::frame(wire::encodeHello({token, pieces})));
        return answer().has_value();
    }
    // One frame as it came: the marks of its length word and its payload.
    std::optional<QPair<quint32, QByteArray>> markedFrame(int ms = 5000)
    {
        const auto take = [&](qint64 n) {
            QByteArray out;
            while (out.size() < n) {
                if (s.bytesAvailable() == 0 && !s.waitForReadyRead(ms)) return std::optional<QByteArray>();
                out += s.read(n - out.size());
            }
            return std::optional<QByteArray>(out);
        };
        const auto word = take(4);
        if (!word) return std::nullopt;
        const quint32 w = qFromBigEndian<quint32>(word->constData());
        const auto payload = take(w & wire::kLengthMask);
        if (!payload) return std::nullopt;
        return QPair<quint32, QByteArray>(w & ~wire::kLengthMask, *payload);
    }
    std::optional<wire::Reply> answer(int ms = 5000)
    {
        QByteArray p;
        if (wire::readFrame(&s, &p, wire::kMaxFrameBytes, ms) != wire::ReadStatus::Ok) return std::nullopt;
        return wire::decodeReply(p);
    }
    // Asks the test object for a reply of size bytes; the call is on its way.
    bool askForBigReply(quint16 port, int size)
    {
        if (!open(port)) return false;
        s.write(wire::frame(wire::encodeCall({"Teste.Sonda", "grande", {A::Val(QString::number(size)).arg}})));
        return s.waitForBytesWritten(3000);
    }
    bool closedWithin(int ms)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            if (s.state() != QAbstractSocket::ConnectedState) return true;
            s.waitForReadyRead(50);
            s.readAll();
        }
        return s.state() != QAbstractSocket::ConnectedState;
    }
};
}  // namespace

class TstTransport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void frameInPiecesIsOneCall();
    void refusalsInBulkAreAnsweredInOrder();
    void slowReaderGetsWholeRepliesAndNothingStaysOpen();
    void clientThatStopsReadingIsClosed_data();
    void clientThatStopsReadingIsClosed();
    void clientSendingOnWhileItsCallRunsIsHeldBack_data();
    void clientSendingOnWhileItsCallRunsIsHeldBack();
    void clientGoneStopsThePiecesOfItsReply_data();
    void clientGoneStopsThePiecesOfItsReply();
    void callsRightBehindTheirAnswersKeepTheirOrder();
    void deadlinesBeforeHelloAndWhileIdle();
    void connectionCapRefusesClearlyAndRecovers();
    void tlsConnectionCapSaysBusyToo();
    void checkSpeaksTlsAndVerifies();
    void clientNeverSendsACallTwice();
    void idleClosedConnectionIsReopenedBeforeTheCall();
    void errorsCarryAReferenceNotTheDetail();
    void badValuesAnswerTheSameOnEitherDatabase();
    void oversizedSelectionIsRefused();
    void replyOverTheCapIsRefusedNotSent();
    void largeHistoryComesInPieces_data();
    void largeHistoryComesInPieces();
    void historyOverTheCapAfterPiecesIsAnError();
    void sessionLostAfterPiecesIsNotRunAgain();
    void callsQueuedTogetherGoToIdleWorkers();
    void stopIsNotHeldByADesktopAskingOnAndOn();
    void wrongTokensAreSlowedThenRefused();
    void tokenThrottleIsPerAddressBoundedAndForgets();
    void unusableDatabaseRefusesToStart();
    void tlsSetupIsCheckedAtStart();
    void tlsClientVerifiesTheServer_data();
    void tlsClientVerifiesTheServer();
    void tlsClientToAPlainServerIsToldSo();
    void severalServersServeInTurn();
private:
    std::unique_ptr<appsrv::ServerThread> serve(appsrv::Config cfg);
    appsrv::Config config() const;
    bool makeCertificate(const QString &kind, QString *cert, QString *key);
    // The server's options and a raw client for it, over TLS when tls.
    bool tlsOrPlain(bool tls, appsrv::Config *cfg, Raw *client);
    QTemporaryDir m_dir;
    QString m_url;
};

void TstTransport::initTestCase()
{
    m_url = "sqlite:" + m_dir.filePath("demo.db");
    demo::generate(dbconnect::open(m_url, "gen", dbconnect::Mode::Create), {});
    dbconnect::close("gen");
}

appsrv::Config TstTransport::config() const
{
    appsrv::Config cfg;
    cfg.database = m_url;
    cfg.workers = 2;
    return cfg;
}

std::unique_ptr<appsrv::ServerThread> TstTransport::serve(appsrv::Config cfg)
{
    auto t = std::make_unique<appsrv::ServerThread>(cfg, registerProbe);
    QString why;
    if (!t->start(&why)) qWarning() << why;
    return t;
}

void TstTransport::frameInPiecesIsOneCall()
{
    auto srv = serve(config());
    Raw c;
    QVERIFY(c.open(srv->port()));
    const QByteArray call = wire::frame(wire::encodeCall({"Teste.Sonda", "eco", {A::Val("olá").arg, A::Date(QDate(2024, 1, 2)).arg}}));
    // A pause longer than any read slice, inside the length and inside the payload.
    c.s.write(call.left(2));
    c.s.flush();
    QTest::qWait(400);
    c.s.write(call.mid(2, 10));
    c.s.flush();
    QTest::qWait(400);
    c.s.write(call.mid(12) + call);  // the rest, and a second call right behind it
    const auto first = c.answer(), second = c.answer();
    QVERIFY(first && second);
    QCOMPARE(first->refs, QVector<QString>({"olá"}));
    QCOMPARE(second->refs, QVector<QString>({"olá"}));
    QVERIFY(!c.answer(300));  // exactly one reply per call
}

// Many frames the server answers itself, then a call: every one is answered,
// in order, although the server answers such frames a batch at a time.
void TstTransport::refusalsInBulkAreAnsweredInOrder()
{
    auto srv = serve(config());
    Raw c;
    QVERIFY(c.open(srv->port()));
    QByteArray bulk;
    for (int i = 0; i < 1000; ++i) bulk += wire::frame(QByteArray("\xff", 1));
    bulk += wire::frame(wire::encodeCall({"Teste.Sonda", "eco", {A::Val("fim").arg, A::Date({}).arg}}));
    c.s.write(bulk);
    for (int i = 0; i < 1000; ++i) {
        const auto refused = c.answer();
        QVERIFY2(refused && refused->error == wire::ErrorCode::BadFrame, qPrintable(QString::number(i)));
    }
    const auto last = c.answer();
    QVERIFY(last && last->ok());
    QCOMPARE(last->refs.value(0), QString("fim"));
}

// A reply larger than the socket takes at once reaches a client slow to read
// whole and in order (the worker sends what fits, the event loop the rest),
// the connection serves the next call, and once the client is gone the server
// holds no socket for it.
void TstTransport::slowReaderGetsWholeRepliesAndNothingStaysOpen()
{
    auto srv = serve(config());
    const int before = openSockets();
    {
        Raw c;
        const int size = 12 * 1024 * 1024;
        QVERIFY(c.askForBigReply(srv->port(), size));
        QThread::msleep(600);  // not reading: the server's socket fills up
        const auto big = c.answer(20000);
        QVERIFY(big);
        QCOMPARE(big->refs.size(), 1);
        QVERIFY(big->refs[0] == bigText(size));
        c.s.write(wire::frame(wire::encodeCall({"Teste.Sonda", "eco", {A::Val("olá").arg, A::Date(QDate(2024, 1, 2)).arg}})));
        const auto next = c.answer();
        QVERIFY(next);
        QCOMPARE(next->refs, QVector<QString>({"olá"}));
        QVERIFY(!c.answer(200));
    }
    QTRY_COMPARE_WITH_TIMEOUT(openSockets(), before, 3000);
}

bool TstTransport::tlsOrPlain(bool tls, appsrv::Config *cfg, Raw *client)
{
    client->tls = tls;
    if (!tls) return true;
    QString cert, key;
    if (!makeCertificate("ec", &cert, &key)) return false;
    cfg->tlsCert = cert;
    cfg->tlsKey = key;
    return true;
}

// The rows of a test run once on plain TCP and once over TLS.
static void plainAndTls()
{
    QTest::addColumn<bool>("tls");
    QTest::newRow("plain") << false;
    QTest::newRow("tls") << true;
}

void TstTransport::clientThatStopsReadingIsClosed_data() { plainAndTls(); }

// A client that takes nothing of its reply for the stall time is closed and
// the reply's memory freed; over TLS too, where Qt moves what waits into its
// own buffer at once.
void TstTransport::clientThatStopsReadingIsClosed()
{
    QFETCH(bool, tls);
    appsrv::Config cfg = config();
    cfg.stallTimeoutMs = 800;
    Raw c;
    if (!tlsOrPlain(tls, &cfg, &c)) QSKIP("openssl indisponível");
    auto srv = serve(cfg);
    const int before = openSockets();
    {
        const int size = 12 * 1024 * 1024;
        QVERIFY(c.askForBigReply(srv->port(), size));
        QThread::msleep(3000);  // takes nothing: the reply stops moving
        // What was on its way arrives, then the connection is closed: the
        // server kept neither the reply nor the connection.
        qint64 got = 0;
        QElapsedTimer t;
        t.start();
        while (c.s.state() == QAbstractSocket::ConnectedState && t.elapsed() < 5000) {
            c.s.waitForReadyRead(100);
            got += c.s.readAll().size();
        }
        QCOMPARE(c.s.state(), QAbstractSocket::UnconnectedState);
        QVERIFY2(got < size, qPrintable(QString::number(got)));
    }
    c.s.abort();
    QTRY_COMPARE_WITH_TIMEOUT(openSockets(), before, 3000);
    // The server goes on.
    Raw next;
    next.tls = tls;
    QVERIFY(next.open(srv->port()));
}

void TstTransport::clientSendingOnWhileItsCallRunsIsHeldBack_data() { plainAndTls(); }

// While its call runs, a client that writes on and on is read up to one
// call's size: the rest stays on its side, held back by TCP. Its call is then
// answered and the bytes that are no frame end the connection.
void TstTransport::clientSendingOnWhileItsCallRunsIsHeldBack()
{
    QFETCH(bool, tls);
    appsrv::Config cfg = config();
    Raw c;
    if (!tlsOrPlain(tls, &cfg, &c)) QSKIP("openssl indisponível");
    auto srv = serve(cfg);
    QVERIFY(c.open(srv->port()));
    c.s.write(wire::frame(wire::encodeCall({"Teste.Sonda", "lento", {A::Val("1500").arg}})));
    const qint64 flood = 100 * 1024 * 1024;
    c.s.write(QByteArray(flood, char(0xFF)));
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 1000) c.s.waitForBytesWritten(50);
    // Over TLS what waits is already encrypted, in the socket's own buffer.
    const qint64 unsent = c.s.bytesToWrite() + c.s.encryptedBytesToWrite();
    QVERIFY2(unsent > flood / 2, qPrintable(QString::number(unsent)));
    const auto answered = c.answer(10000);
    QVERIFY(answered);
    QCOMPARE(answered->refs.value(0), QString("1500"));
    // Its refusal may be lost to the reset of a socket closed with bytes unread.
    QVERIFY(c.closedWithin(10000));
}

void TstTransport::clientGoneStopsThePiecesOfItsReply_data() { plainAndTls(); }

// A client that goes away while its reply comes in pieces stops the worker
// making them, so that the next client is served at once.
void TstTransport::clientGoneStopsThePiecesOfItsReply()
{
    QFETCH(bool, tls);
    appsrv::Config cfg = config();
    cfg.workers = 1;
    Raw c;
    if (!tlsOrPlain(tls, &cfg, &c)) QSKIP("openssl indisponível");
    auto srv = serve(cfg);
    QVERIFY(c.open(srv->port(), {}, true));
    g_piecesMade = 0;
    c.s.write(wire::frame(wire::encodeCall({"Teste.Sonda", "pedacos", {}})));
    const auto first = c.markedFrame();
    QVERIFY(first);
    QCOMPARE(first->first, wire::kPieceBit);
    c.s.abort();
    Raw next;
    next.tls = tls;
    QVERIFY(next.open(srv->port()));
    next.s.write(wire::frame(wire::encodeCall({"Teste.Sonda", "eco", {A::Val("depois").arg, A::Date({}).arg}})));
    const auto answered = next.answer(10000);
    QVERIFY(answered && answered->ok());
    QVERIFY2(g_piecesMade < 100, qPrintable(QString::number(int(g_piecesMade))));
}

// A desktop asks again as soon as it has its answer (the worker may take
// those calls from the socket itself); calls that arrive while one runs, whole,
// together or in pieces, are answered one by one in their order.
void TstTransport::callsRightBehindTheirAnswersKeepTheirOrder()
{
    auto srv = serve(config());
    Raw c;
    QVERIFY(c.open(srv->port()));
    const auto eco = [](const QString &t) {
        return wire::frame(wire::encodeCall({"Teste.Sonda", "eco", {A::Val(t).arg, A::Date(QDate(2024, 1, 2)).arg}}));
    };
    for (int i = 0; i < 300; ++i) {
        c.s.write(eco(QString::number(i)));
        const auto r = c.answer();
        QVERIFY(r);
        QCOMPARE(r->refs, QVector<QString>({QString::number(i)}));
    }
    c.s.write(wire::frame(wire::encodeCall({"Teste.Sonda", "lento", {A::Val("300").arg}})));
    c.s.flush();
    QThread::msleep(100);
    const QByteArray third = eco("c");
    c.s.write(eco("a") + eco("b") + third.left(7));
    c.s.flush();
    QThread::msleep(50);
    c.s.write(third.mid(7));
    QVector<QString> got;
    for (int i = 0; i < 4; ++i) {
        const auto r = c.answer();
        QVERIFY(r);
        got << r->refs.value(0);
    }
    QCOMPARE(got, QVector<QString>({"300", "a", "b", "c"}));
    QVERIFY(!c.answer(200));
    // A bad call right behind an answer gets its usual reply, and the connection goes on.
    c.s.write(wire::frame(wire::encodeCall({"Teste.Sonda", "naoExiste", {}})));
    const auto bad = c.answer();
    QVERIFY(bad && !bad->ok());
    c.s.write(eco("depois"));
    const auto after = c.answer();
    QVERIFY(after);
    QCOMPARE(after->refs, QVector<QString>({"depois"}));
}

void TstTransport::deadlinesBeforeHelloAndWhileIdle()
{
    appsrv::Config cfg = config();
    cfg.helloTimeoutMs = 300;
    cfg.idleTimeoutMs = 600;
    cfg.frameTimeoutMs = 800;
    auto srv = serve(cfg);
    Raw silent;
    silent.s.connectToHost("127.0.0.1", srv->port());
    QVERIFY(silent.s.waitForConnected(3000));
    QVERIFY(silent.closedWithin(3000));
    Raw idle;
    QVERIFY(idle.open(srv->port()));
    QVERIFY(idle.closedWithin(3000));
    // Half a frame, then nothing: dropped at the frame's deadline, counted from its first byte.
    Raw half;
    QVERIFY(half.open(srv->port()));
    const QByteArray call = wire::frame(wire::encodeCall({"Teste.Sonda", "eco", {A::Val("x").arg, A::Date({}).arg}}));
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 4 && half.s.state() == QAbstractSocket::ConnectedState; ++i) {
        half.s.write(call.mid(i, 1));  // a byte now and then does not keep it alive
        half.s.flush();
        QTest::qWait(300);
    }
    QVERIFY(half.closedWithin(3000));
    QVERIFY(t.elapsed() < 3000);
}

void TstTransport::connectionCapRefusesClearlyAndRecovers()
{
    appsrv::Config cfg = config();
    cfg.maxConnections = 3;
    auto srv = serve(cfg);
    std::vector<std::unique_ptr<Raw>> held;
    for (int i = 0; i < 3; ++i) {
        held.push_back(std::make_unique<Raw>());
        QVERIFY(held.back()->open(srv->port()));
    }
    const auto extraOwner = desktop(srv->port(), trq01300::kObjectName);
    TNetConnection &extra = *extraOwner;
    const wire::Reply refused = extra.Call("getSetor", {A::Val("T")});
    QVERIFY(!refused.ok());
    QVERIFY2(refused.message.contains("ocupado") || refused.message.contains("conectar") ||
                 refused.message.contains("encerrou"),
             qPrintable(refused.message));
    held.pop_back();
    QTest::qWait(200);
    const wire::Reply served = extra.Call("getSetor", {A::Val("T")});
    QVERIFY2(served.ok(), qPrintable(served.message));
}

void TstTransport::tlsConnectionCapSaysBusyToo()
{
    QString cert, key;
    if (!makeCertificate("rsa", &cert, &key)) QSKIP("openssl indisponível");
    appsrv::Config cfg = config();
    cfg.tlsCert = cert;
    cfg.tlsKey = key;
    cfg.maxConnections = 1;
    auto srv = serve(cfg);
    const auto firstOwner = desktop(srv->port(), trq01300::kObjectName);
    const auto secondOwner = desktop(srv->port(), trq01300::kObjectName);
    for (TNetConnection *c : {firstOwner.get(), secondOwner.get()}) {
        c->UseTls = true;
        c->TlsSkipVerify = true;
        c->TimeoutMs = 5000;
    }
    QVERIFY(firstOwner->Call("getSetor", {A::Val("T")}).ok());
    // Past the cap the refusal comes after the handshake, as on plain TCP.
    QCOMPARE(secondOwner->Call("getSetor", {A::Val("T")}).message, QString("Servidor de aplicação ocupado; tente novamente."));
}

void TstTransport::checkSpeaksTlsAndVerifies()
{
    QString cert, key, otherCert, otherKey;
    if (!makeCertificate("rsa", &cert, &key) || !makeCertificate("rsa-outra", &otherCert, &otherKey)) QSKIP("openssl indisponível");
    appsrv::Config cfg = config();
    cfg.tlsCert = cert;
    cfg.tlsKey = key;
    auto srv = serve(cfg);
    const QString at = QString("127.0.0.1:%1").arg(srv->port());
    const auto check = [&](const QStringList &args, QString *out = nullptr) {
        QProcess c;
        c.start(QCoreApplication::applicationDirPath() + "/appserver", QStringList{"--check", at} + args);
        c.waitForFinished(20000);
        if (out) *out = QString::fromUtf8(c.readAllStandardOutput());
        return c.exitCode();
    };
    QString out;
    // The server's own certificate (as its options file names it) is the one expected.
    QCOMPARE(check({"--tls-cert", cert, "--tls-key", key}, &out), 0);
    QCOMPARE(out, QString("appserver: %1 responde (TLS); banco: sqlite\n").arg(at));
    QCOMPARE(check({"--check-tls-ca", cert}), 0);
    QCOMPARE(check({"--tls-cert", otherCert, "--tls-key", otherKey}), 1);  // another certificate answers
    QCOMPARE(check({"--check-tls-ca", otherCert}), 1);
    QCOMPARE(check({}), 1);  // plain against TLS: no answer
}

void TstTransport::clientNeverSendsACallTwice()
{
    auto srv = serve(config());
    const auto cOwner = desktop(srv->port(), "Teste.Sonda");
    TNetConnection &c = *cOwner;
    c.TimeoutMs = 1000;
    g_slowRuns = 0;
    const wire::Reply late = c.Call("lento", {A::Val("2500")});
    QVERIFY(!late.ok());
    QCOMPARE(late.message, QString("Tempo esgotado aguardando o servidor de aplicação (1 s)."));
    QTest::qWait(2000);
    QCOMPARE(int(g_slowRuns), 1);
    // The next call gets its own answer, not the late one.
    const wire::Reply next = c.Call("lento", {A::Val("7")});
    QVERIFY2(next.ok(), qPrintable(next.message));
    QCOMPARE(next.refs, QVector<QString>({"7"}));
    QCOMPARE(int(g_slowRuns), 2);
}

void TstTransport::idleClosedConnectionIsReopenedBeforeTheCall()
{
    appsrv::Config cfg = config();
    cfg.idleTimeoutMs = 300;
    auto srv = serve(cfg);
    const auto cOwner = desktop(srv->port(), "Teste.Sonda");
    TNetConnection &c = *cOwner;
    g_slowRuns = 0;
    QVERIFY(c.Call("lento", {A::Val("1")}).ok());
    QTest::qWait(900);  // the server closed the idle connection meanwhile
    const wire::Reply r = c.Call("lento", {A::Val("1")});
    QVERIFY2(r.ok(), qPrintable(r.message));
    QCOMPARE(int(g_slowRuns), 2);
}

void TstTransport::errorsCarryAReferenceNotTheDetail()
{
    auto srv = serve(config());
    const auto cOwner = desktop(srv->port(), "Teste.Sonda");
    TNetConnection &c = *cOwner;
    const wire::Reply db = c.Call("falhaBanco", {});
    QCOMPARE(db.error, wire::ErrorCode::Database);
    QVERIFY2(QRegularExpression("^Erro no banco de dados\\. \\(ref\\. [0-9A-F]{8}\\)$").match(db.message).hasMatch(),
             qPrintable(db.message));
    // A huge unknown name is not echoed back.
    const wire::Reply unknown = c.Call(QString(1000000, 'x'), {});
    QVERIFY(!unknown.ok());
    QVERIFY2(unknown.message.size() < 200, qPrintable(unknown.message.left(300)));
    const wire::Reply obj = c.CallObject(QString(500000, 'y'), "m", {});
    QVERIFY(!obj.ok());
    QVERIFY(obj.message.size() < 200);
}

void TstTransport::badValuesAnswerTheSameOnEitherDatabase()
{
    auto srv = serve(config());
    const auto cOwner = desktop(srv->port(), trq01300::kObjectName);
    TNetConnection &c = *cOwner;
    QVector<TNetArg> args{A::Val("01"), A::DateOle(std::nan("")), A::Date({})};
    QString dt;
    args << A::Ref(dt);
    QVector<QString> crit(23);
    for (QString &s : crit) args << A::Ref(s);
    const wire::Reply nanDate = c.Call("GetHistoricoOpBem", args);
    QCOMPARE(nanDate.error, wire::ErrorCode::BadValue);
    args[1] = A::DateOle(1e12);
    QCOMPARE(c.Call("GetHistoricoOpBem", args).error, wire::ErrorCode::BadValue);
    const wire::Reply nul = c.Call("getSetor", {A::Val(QString("T") + QChar(0))});
    QCOMPARE(nul.error, wire::ErrorCode::BadValue);
    QVERIFY(nul.message.contains("caracteres de controle"));
    QVERIFY(c.Call("getSetor", {A::Val("T")}).ok());
}

void TstTransport::oversizedSelectionIsRefused()
{
    auto srv = serve(config());
    const auto cOwner = desktop(srv->port(), trq01300::kObjectName);
    TNetConnection &c = *cOwner;
    const auto selection = [](int n) {
        QStringList codes;
        for (int i = 0; i < n; ++i) codes << QString::number(i);
        return codes.join(',');
    };
    QString big = selection(100001), empty;
    const wire::Reply refused = c.Call("getBem", {A::Val("01"), A::Ref(big), A::Ref(empty)});
    QCOMPARE(refused.error, wire::ErrorCode::BadValue);
    QCOMPARE(refused.message, QString("Seleção grande demais: no máximo 100.000 códigos por critério."));
    // Within the limit, the whole list is honoured: the groups 001 and 002 and thousands that do not exist.
    QString groups = "001,002," + selection(60000);
    const wire::Reply ok = c.Call("getBem", {A::Val("01"), A::Ref(groups), A::Ref(empty)});
    QVERIFY2(ok.ok(), qPrintable(ok.message));
    QString two = "001,002";
    QCOMPARE(ok.packet.rows.size(), c.Call("getBem", {A::Val("01"), A::Ref(two), A::Ref(empty)}).packet.rows.size());
    QVERIFY(ok.packet.rows.size() > 0);
}

void TstTransport::replyOverTheCapIsRefusedNotSent()
{
    appsrv::Config cfg = config();
    cfg.maxReplyBytes = 4000;
    auto srv = serve(cfg);
    const auto cOwner = desktop(srv->port(), trq01300::kObjectName);
    TNetConnection &c = *cOwner;
    QString t = "T", empty;
    // The asset list of company 01 is far larger than 4 KB: one clear error,
    // and the connection goes on serving what fits.
    const wire::Reply big = c.Call("getBem", {A::Val("01"), A::Ref(empty), A::Ref(t)});
    QCOMPARE(big.error, wire::ErrorCode::BadValue);
    QCOMPARE(big.message, QString("Consulta grande demais; restrinja o período ou os critérios."));
    const wire::Reply small = c.Call("getSetor", {A::Val("T")});
    QVERIFY2(small.ok(), qPrintable(small.message));
    QCOMPARE(small.packet.rows.size(), 7);
}

// A history larger than a piece reaches a desktop in pieces while the server
// still reads it, row for row the one a client taking only whole replies
// gets; over TLS the pieces go through the server's event loop instead.
void TstTransport::largeHistoryComesInPieces_data() { plainAndTls(); }

void TstTransport::largeHistoryComesInPieces()
{
    QFETCH(bool, tls);
    auto plain = serve(config());
    // An older client never sees a marked frame (readFrame would refuse one).
    Raw whole;
    QVERIFY(whole.open(plain->port()));
    whole.s.write(wire::frame(wire::encodeCall(wholeHistoryCall())));
    const auto reference = whole.answer();
    QVERIFY(reference && reference->ok());
    QVERIFY(reference->packet.rows.size() >= 1500);
    if (!tls) {
        // Several pieces, the last one unmarked, none abandoned.
        Raw raw;
        QVERIFY(raw.open(plain->port(), {}, true));
        raw.s.write(wire::frame(wire::encodeCall(wholeHistoryCall())));
        int pieces = 0;
        for (;;) {
            const auto f = raw.markedFrame();
            QVERIFY(f);
            QCOMPARE(f->first & wire::kAbandonBit, 0u);
            if (!(f->first & wire::kPieceBit)) break;
            ++pieces;
        }
        QVERIFY2(pieces >= 2, qPrintable(QString::number(pieces)));
    }
    appsrv::Config cfg = config();
    QString cert, key;
    if (tls) {
        if (!makeCertificate("ec", &cert, &key)) QSKIP("openssl indisponível");
        cfg.tlsCert = cert;
        cfg.tlsKey = key;
    }
    auto srv = tls ? serve(cfg) : std::move(plain);
    const auto cOwner = desktop(srv->port(), trq01300::kObjectName);
    TNetConnection &c = *cOwner;
    c.UseTls = tls;
    c.TlsCaFile = cert;
    for (int round = 0; round < 2; ++round) {  // the same connection, twice
        const wire::Reply got = c.CallObject(trq01300::kObjectName, "GetHistoricoOpBem", netArgs(wholeHistoryCall()));
        QVERIFY2(got.ok(), qPrintable(got.message));
        QCOMPARE(got.refs, reference->refs);
        QCOMPARE(got.packet.fields.size(), reference->packet.fields.size());
        QCOMPARE(got.packet.rows.size(), reference->packet.rows.size());
        QVERIFY(got.packet.rows == reference->packet.rows);
    }
    QCOMPARE(c.Call("getSetor", {A::Val("T")}).packet.rows.size(), 7);
}

// A history that passes the reply cap after pieces went out ends as the
// refusal, never as a shorter history, and the connection goes on.
void TstTransport::historyOverTheCapAfterPiecesIsAnError()
{
    appsrv::Config cfg = config();
    cfg.maxReplyBytes = 400 * 1024;  // more than one piece, less than the history
    auto srv = serve(cfg);
    Raw raw;
    QVERIFY(raw.open(srv->port(), {}, true));
    raw.s.write(wire::frame(wire::encodeCall(wholeHistoryCall())));
    const auto first = raw.markedFrame();
    QVERIFY(first);
    QCOMPARE(first->first, wire::kPieceBit);
    auto last = raw.markedFrame();
    while (last && last->first == wire::kPieceBit) last = raw.markedFrame();
    QVERIFY(last);
    QCOMPARE(last->first, wire::kAbandonBit);
    const auto error = wire::decodeReply(last->second);
    QVERIFY(error);
    QCOMPARE(error->message, QString("Consulta grande demais; restrinja o período ou os critérios."));

    const auto cOwner = desktop(srv->port(), trq01300::kObjectName);
    TNetConnection &c = *cOwner;
    const wire::Reply r = c.CallObject(trq01300::kObjectName, "GetHistoricoOpBem", netArgs(wholeHistoryCall()));
    QCOMPARE(r.error, wire::ErrorCode::BadValue);
    QCOMPARE(r.message, QString("Consulta grande demais; restrinja o período ou os critérios."));
    QVERIFY(r.packet.rows.isEmpty());
    QCOMPARE(c.Call("getSetor", {A::Val("T")}).packet.rows.size(), 7);
}

// Running the call again after a lost session would send its head twice:
// once pieces went out, the failure ends them, and the session is opened
// again for the next call.
void TstTransport::sessionLostAfterPiecesIsNotRunAgain()
{
    appsrv::Config cfg = config();
    cfg.workers = 1;
    auto srv = serve(cfg);
    Raw raw;
    QVERIFY(raw.open(srv->port(), {}, true));
    g_brokenRuns = 0;
    raw.s.write(wire::frame(wire::encodeCall({"Teste.Sonda", "quebraAposPedaco", {}})));
    const auto first = raw.markedFrame();
    QVERIFY(first);
    QCOMPARE(first->first, wire::kPieceBit);
    const auto last = raw.markedFrame();
    QVERIFY(last);
    QCOMPARE(last->first, wire::kAbandonBit);
    const auto error = wire::decodeReply(last->second);
    QVERIFY(error);
    QCOMPARE(error->error, wire::ErrorCode::Database);
    QVERIFY(error->message.startsWith("Erro no banco de dados."));
    QCOMPARE(int(g_brokenRuns), 1);
    raw.s.write(wire::frame(wire::encodeCall({"Teste.Sonda", "eco", {A::Val("depois").arg, A::Date({}).arg}})));
    const auto next = raw.answer();
    QVERIFY(next && next->ok());
    QCOMPARE(next->refs.value(0), QString("depois"));
}

// Two calls queued while a worker waits awake for the next one: the second
// goes to a sleeping worker, not behind the first.
void TstTransport::callsQueuedTogetherGoToIdleWorkers()
{
    appsrv::Config cfg = config();
    cfg.workers = 2;
    const QHash<QString, appsrv::ObjectFactory> objects{{"Teste.Sonda", [] { return std::make_unique<Probe>(); }}};
    appsrv::WorkerPool pool(cfg, objects);
    QString why;
    QVERIFY2(pool.start(&why), qPrintable(why));
    const wire::Call eco{"Teste.Sonda", "eco", {A::Val("x").arg, A::Date({}).arg}};
    const wire::Call slow{"Teste.Sonda", "lento", {A::Val("600").arg}};
    for (int round = 0; round < 4; ++round) {
        std::atomic<bool> first{false};
        QSemaphore fast, slowDone;
        pool.submit(eco, {}, nullptr, [&](const wire::Reply &) -> std::optional<wire::Call> {
            first = true;
            return std::nullopt;
        });
        while (!first) QThread::yieldCurrentThread();  // its worker now waits awake for the next job
        QElapsedTimer t;
        t.start();
        pool.submit(slow, {}, nullptr, [&](const wire::Reply &) -> std::optional<wire::Call> {
            slowDone.release();
            return std::nullopt;
        });
        pool.submit(eco, {}, nullptr, [&](const wire::Reply &) -> std::optional<wire::Call> {
            fast.release();
            return std::nullopt;
        });
        QVERIFY(fast.tryAcquire(1, 5000));
        QVERIFY2(t.elapsed() < 400, qPrintable(QString("round %1: %2 ms").arg(round).arg(t.elapsed())));
        QVERIFY(slowDone.tryAcquire(1, 5000));
    }
}

// A desktop that asks again right after each answer: its worker takes those
// calls from the socket itself, but not once the server stops, which then
// waits for the running call only.
void TstTransport::stopIsNotHeldByADesktopAskingOnAndOn()
{
    auto srv = serve(config());
    const quint16 port = srv->port();
    std::atomic<int> answers{0};
    std::atomic<bool> quit{false};
    std::thread desktop([&] {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(port);
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const auto sendAll = [fd](const QByteArray &b) { return ::send(fd, b.constData(), size_t(b.size()), MSG_NOSIGNAL) == b.size(); };
        const auto readAnswer = [fd] {
            char word[4];
            if (::recv(fd, word, 4, MSG_WAITALL) != 4) return false;
            QByteArray payload(qFromBigEndian<quint32>(word), Qt::Uninitialized);
            return ::recv(fd, payload.data(), size_t(payload.size()), MSG_WAITALL) == payload.size();
        };
        if (::connect(fd, reinterpret_cast<sockaddr *>(&at), sizeof at) == 0 && sendAll(wire::frame(wire::encodeHello({}))) &&
            readAnswer()) {
            const QByteArray call = wire::frame(wire::encodeCall({"Teste.Sonda", "lento", {A::Val("400").arg}}));
            while (!quit && sendAll(call) && readAnswer()) ++answers;
        }
        ::close(fd);
    });
    QTRY_VERIFY_WITH_TIMEOUT(answers >= 2, 10000);
    QElapsedTimer t;
    t.start();
    srv->stop();
    const qint64 stopMs = t.elapsed();
    quit = true;
    desktop.join();
    // The running call (400 ms) and the stop itself; a chain of calls would hold it for seconds.
    QVERIFY2(stopMs < 2000, qPrintable(QString::number(stopMs)));
}

void TstTransport::wrongTokensAreSlowedThenRefused()
{
    appsrv::Config cfg = config();
    cfg.token = "segredo";
    cfg.authFailuresAllowed = 3;
    auto srv = serve(cfg);
    const auto hello = [&](const QString &token, qint64 *ms) {
        Raw c;
        c.s.connectToHost("127.0.0.1", srv->port());
        if (!c.s.waitForConnected(3000)) return QString("sem conexão");
        QElapsedTimer t;
        t.start();
        c.s.write(wire::frame(wire::encodeHello({token})));
        const auto r = c.answer();
        *ms = t.elapsed();
        return r ? r->message : QString("sem resposta");
    };
    qint64 ms = 0;
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(hello("errado", &ms), QString("Credencial do servidor de aplicação inválida."));
        QVERIFY(ms >= 250);
    }
    // Past the allowance a wrong token waits longer and is told so...
    QCOMPARE(hello("errado", &ms), QString("Muitas tentativas com credencial inválida; tente mais tarde."));
    QVERIFY2(ms >= 550, qPrintable(QString::number(ms)));
    // ...but the right one, from the same address, is served at once: one
    // misconfigured desktop behind a NAT locks nobody out.
    QCOMPARE(hello("segredo", &ms), QString());
    QVERIFY(appsrv::sameSecret("segredo", "segredo"));
    QVERIFY(!appsrv::sameSecret("segredo", "segredO"));
    QVERIFY(!appsrv::sameSecret("segredo", ""));
}

void TstTransport::tokenThrottleIsPerAddressBoundedAndForgets()
{
    appsrv::AuthThrottle t(/*allowed*/ 2, /*window*/ 60000, /*capacity*/ 100, /*base*/ 300, /*max*/ 5000);
    bool over = false;
    QCOMPARE(t.failed("10.0.0.1", 0, &over), 300);
    QVERIFY(!over);
    QCOMPARE(t.failed("10.0.0.1", 10, &over), 300);
    QVERIFY(!over);
    QCOMPARE(t.failed("10.0.0.1", 20, &over), 600);
    QVERIFY(over);
    QCOMPARE(t.failed("10.0.0.1", 30), 1200);
    for (int i = 0; i < 10; ++i) t.failed("10.0.0.1", 40);
    QCOMPARE(t.failed("10.0.0.1", 50), 5000);  // never longer than the cap
    QCOMPARE(t.failed("10.0.0.2", 60, &over), 300);  // another address starts afresh
    QVERIFY(!over);
    QCOMPARE(t.failed("10.0.0.1", 60051, &over), 300);  // a new window
    QVERIFY(!over);
    // Twenty thousand addresses never hold more than the capacity...
    for (int i = 0; i < 20000; ++i) t.failed(QString("172.16.%1.%2").arg(i / 250).arg(i % 250), 70000 + i);
    QCOMPARE(t.size(), 100);
    // ...and a window after their last failure they are all gone.
    t.prune(70000 + 20000 + 60001);
    QCOMPARE(t.size(), 0);
}

void TstTransport::unusableDatabaseRefusesToStart()
{
    QString why;
    appsrv::Config missing = config();
    missing.database = "sqlite:" + m_dir.filePath("nao-existe.db");
    QVERIFY(!appsrv::ServerThread(missing, appsrv::registerStandardObjects).start(&why));
    QVERIFY2(why.contains("não encontrado"), qPrintable(why));
    appsrv::Config scheme = config();
    scheme.database = "mysql://x";
    QVERIFY(!appsrv::ServerThread(scheme, appsrv::registerStandardObjects).start(&why));
    QVERIFY2(why.contains("não reconhecido"), qPrintable(why));
    // A database without the tables the objects read.
    const QString emptyFile = m_dir.filePath("vazio.db");
    {
        QSqlQuery q(dbconnect::open("sqlite:" + emptyFile, "vazio", dbconnect::Mode::Create));
        QVERIFY(q.exec("CREATE TABLE X (A INTEGER)"));
    }
    dbconnect::close("vazio");
    appsrv::Config empty = config();
    empty.database = "sqlite:" + emptyFile;
    QVERIFY(!appsrv::ServerThread(empty, appsrv::registerStandardObjects).start(&why));
    QVERIFY2(why.contains("não tem as tabelas"), qPrintable(why));
    // A file that is no database at all says so.
    const QString textFile = m_dir.filePath("texto.db");
    {
        QFile f(textFile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        for (int i = 0; i < 200; ++i) f.write("isto não é um banco de dados\n");
    }
    appsrv::Config text = config();
    text.database = "sqlite:" + textFile;
    QVERIFY(!appsrv::ServerThread(text, appsrv::registerStandardObjects).start(&why));
    QCOMPARE(why, QString("O arquivo %1 não é um banco de dados SQLite.").arg(textFile));
}

bool TstTransport::makeCertificate(const QString &kind, QString *cert, QString *key)
{
    *cert = m_dir.filePath(kind + "-cert.pem");
    *key = m_dir.filePath(kind + "-key.pem");
    if (QFile::exists(*cert)) return true;
    QStringList args = {"req", "-x509", "-nodes", "-keyout", *key, "-out", *cert, "-days", "2", "-subj", "/CN=127.0.0.1",
                        "-addext", "subjectAltName=IP:127.0.0.1"};
    if (kind.startsWith("ec")) args << "-newkey" << "ec" << "-pkeyopt" << "ec_paramgen_curve:prime256v1";
    else args << "-newkey" << "rsa:2048";
    QProcess p;
    p.start("openssl", args);
    return p.waitForFinished(60000) && p.exitCode() == 0;
}

void TstTransport::tlsSetupIsCheckedAtStart()
{
    QString rsaCert, rsaKey, ecCert, ecKey;
    if (!makeCertificate("rsa", &rsaCert, &rsaKey) || !makeCertificate("ec", &ecCert, &ecKey)) QSKIP("openssl indisponível");
    const auto refused = [&](const QString &cert, const QString &key) {
        appsrv::Config cfg = config();
        cfg.tlsCert = cert;
        cfg.tlsKey = key;
        QString why;
        return appsrv::ServerThread(cfg, appsrv::registerStandardObjects).start(&why) ? QString() : why;
    };
    QVERIFY(refused(rsaCert, m_dir.filePath("sem-chave.pem")).contains("Não foi possível ler a chave TLS"));
    QVERIFY(refused(rsaCert, rsaCert).contains("não é uma chave privada PEM válida"));
    QVERIFY(refused(rsaCert, ecKey).contains("não corresponde ao certificado"));
    // A key of the same kind that is not the certificate's: refused at start,
    // not in every client's handshake.
    QString otherCert, otherKey;
    QVERIFY(makeCertificate("rsa-outra", &otherCert, &otherKey));
    QCOMPARE(refused(rsaCert, otherKey), QString("A chave TLS %1 não corresponde ao certificado %2.").arg(otherKey, rsaCert));
    QVERIFY(refused(rsaKey, rsaKey).contains("não é um certificado PEM válido"));
    QCOMPARE(refused(ecCert, ecKey), QString());  // the key's type is read, not assumed
}

void TstTransport::tlsClientVerifiesTheServer_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("trust");  // "ca", "system", "pin", "badpin", "skip", "plain"
    QTest::addColumn<bool>("served");
    for (const char *kind : {"rsa", "ec"}) {
        QTest::addRow("%s with its CA file", kind) << kind << "ca" << true;
        QTest::addRow("%s with system CAs only", kind) << kind << "system" << false;
        QTest::addRow("%s pinned", kind) << kind << "pin" << true;
        QTest::addRow("%s pinned to another", kind) << kind << "badpin" << false;
        QTest::addRow("%s unverified on request", kind) << kind << "skip" << true;
        QTest::addRow("%s without TLS", kind) << kind << "plain" << false;
        QTest::addRow("%s pinned, TLS not asked for", kind) << kind << "pinonly" << true;
    }
}

void TstTransport::tlsClientVerifiesTheServer()
{
    QFETCH(QString, kind);
    QFETCH(QString, trust);
    QFETCH(bool, served);
    QString cert, key;
    if (!makeCertificate(kind, &cert, &key)) QSKIP("openssl indisponível");
    appsrv::Config cfg = config();
    cfg.tlsCert = cert;
    cfg.tlsKey = key;
    cfg.helloTimeoutMs = 1500;
    auto srv = serve(cfg);
    const auto cOwner = desktop(srv->port(), trq01300::kObjectName);
    TNetConnection &c = *cOwner;
    c.TimeoutMs = 3000;
    c.UseTls = trust != "plain" && trust != "pinonly";
    if (trust == "ca") c.TlsCaFile = cert;
    const QString pin = QSslCertificate::fromPath(cert).first().digest(QCryptographicHash::Sha256).toHex(':');
    if (trust == "pin" || trust == "pinonly") c.TlsFingerprint = pin;
    if (trust == "badpin") c.TlsFingerprint = QString(pin).replace(0, 2, pin.startsWith("00") ? "11" : "00");
    if (trust == "skip") c.TlsSkipVerify = true;
    const wire::Reply r = c.Call("getSetor", {A::Val("T")});
    QCOMPARE(r.ok(), served);
    if (served) QCOMPARE(r.packet.rows.size(), 7);
    if (trust == "system") QVERIFY2(r.message.contains("não é confiável"), qPrintable(r.message));
    if (trust == "badpin") QVERIFY2(r.message.contains("impressão digital"), qPrintable(r.message));
    if (trust == "plain")
        QCOMPARE(r.message, QString("O servidor de aplicação 127.0.0.1:%1 exige TLS; configure Tls=true.").arg(srv->port()));
}

void TstTransport::tlsClientToAPlainServerIsToldSo()
{
    auto srv = serve(config());
    const auto cOwner = desktop(srv->port(), trq01300::kObjectName);
    cOwner->UseTls = true;
    cOwner->TlsSkipVerify = true;
    cOwner->TimeoutMs = 3000;
    const wire::Reply r = cOwner->Call("getSetor", {A::Val("T")});
    QVERIFY(!r.ok());
    QVERIFY2(r.message.startsWith(QString("O servidor de aplicação 127.0.0.1:%1 não usa TLS").arg(srv->port())), qPrintable(r.message));
}

void TstTransport::severalServersServeInTurn()
{
    // A desktop given two servers: the first that answers serves (a dead entry
    // is passed over); when its connection is lost between calls, the next does.
    auto a = serve(config());
    auto b = serve(config());
    auto c = desktop(a->port(), "Teste.Sonda");
    c->Host = QString("127.0.0.1:1,127.0.0.1:%1,127.0.0.1:%2").arg(a->port()).arg(b->port());
    QVERIFY(c->Call("eco", {TNetArg::Val("um"), TNetArg::Date({})}).ok());
    QCOMPARE(c->Call("eco", {TNetArg::Val("dois"), TNetArg::Date({})}).refs.value(0), QString("dois"));
    a->stop();
    const wire::Reply after = c->Call("eco", {TNetArg::Val("três"), TNetArg::Date({})});
    QVERIFY2(after.ok(), qPrintable(after.message));
    QCOMPARE(after.refs.value(0), QString("três"));
    // None answering: one message naming them.
    b->stop();
    const wire::Reply none = c->Call("eco", {TNetArg::Val("quatro"), TNetArg::Date({})});
    QCOMPARE(none.error, wire::ErrorCode::Transport);
    QCOMPARE(none.message, QString("Nenhum servidor de aplicação respondeu (%1).").arg(c->Host));
}

QTEST_MAIN(TstTransport)
#include "tst_transport.moc"
