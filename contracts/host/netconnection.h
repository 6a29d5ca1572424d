#pragma once
// Connection to the application server: calls by object and method name with
// positional arguments; by-reference values are written back into the caller's
// variables.
#include "call.h"
#include "host_export.h"
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QSslSocket;

class HOST_EXPORT TNetArg {
public:
    static TNetArg Val(const QString &text);
    static TNetArg Ref(QString &var);
    static TNetArg Date(const QDate &d);          // null date: the empty date
    static TNetArg DateOle(double ole);
    wire::Arg arg;
    QString *ref = nullptr;
};

class HOST_EXPORT TNetConnection : public QObject {
    Q_OBJECT
public:
    explicit TNetConnection(QObject *parent = nullptr, const QString &name = {});
    ~TNetConnection() override;

    // One server, or several as "host:port,host:port" (an entry without a port
    // takes Port): the first that answers serves, and after a connection is
    // lost the next one is tried first.
    QString Host;
    int Port = 0;
    QString ServerName;       // default object, e.g. "Trq01300.rdmHistoricoBem"
    QString Token;
    // The operator who logged in and its password, given in the hello where the
    // server's database decides who sees what; only over TLS or to this computer.
    QString Operator;
    QString Password;
    bool UseTls = false;
    // Trust in the server's certificate: system authorities and TlsCaFile, or
    // the pinned TlsFingerprint (SHA-256); TlsSkipVerify accepts any.
    QString TlsCaFile;
    QString TlsFingerprint;
    bool TlsSkipVerify = false;
    bool ThrowException = false;
    int TimeoutMs = 120000;
    std::function<void(TNetConnection *)> BeforeConnect;

    void Connect();           // runs BeforeConnect, then connects; throws EHostError
    void Disconnect();
    bool Connected() const;

    // Calls a method of ServerName (or of the object given). Transport
    // failures come back as an error reply. A connection the server closed
    // while idle is opened again before the call; a call whose bytes were sent
    // is never sent again (a timeout says so and drops the connection).
    wire::Reply Call(const QString &method, const QVector<TNetArg> &args);
    wire::Reply CallObject(const QString &object, const QString &method, const QVector<TNetArg> &args);

    // Every call made and the time spent in them (round trips), for diagnostics.
    int CallCount() const { return m_calls; }
    qint64 CallNanoseconds() const { return m_callNs; }

private:
    bool ensureConnected(QString *why);
    bool connectTo(const QString &host, quint16 port, QString *why);
    int m_current = -1;  // the entry of Host serving now
    bool readAnswer(wire::Reply *answer, QString *why);
    bool useTls() const;
    bool stillOpen();
    std::unique_ptr<QSslSocket> m_sock;
    int m_calls = 0;
    qint64 m_callNs = 0;
};

// The reply's data packet, or the server's message shown as an error and the
// action ended.
HOST_EXPORT wire::DataPacket CheckResultServ(const wire::Reply &result, bool abort, int flags);
