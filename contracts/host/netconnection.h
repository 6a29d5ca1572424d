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

    QString Host;
    int Port = 0;
    QString ServerName;       // default object, e.g. "Trq01300.rdmHistoricoBem"
    QString Token;
    bool UseTls = false;
    bool ThrowException = false;
    int TimeoutMs = 120000;
    std::function<void(TNetConnection *)> BeforeConnect;

    void Connect();           // runs BeforeConnect, then connects; throws EHostError
    void Disconnect();
    bool Connected() const;

    // Calls a method of ServerName (or of the object given). Transport
    // failures come back as an error reply; after a lost connection the next
    // call reconnects once before giving up.
    wire::Reply Call(const QString &method, const QVector<TNetArg> &args);
    wire::Reply CallObject(const QString &object, const QString &method, const QVector<TNetArg> &args);

    // Every call made and the time spent in them (round trips), for diagnostics.
    int CallCount() const { return m_calls; }
    qint64 CallNanoseconds() const { return m_callNs; }

private:
    bool ensureConnected(QString *why);
    bool roundTrip(const QByteArray &payload, QByteArray *answer, QString *why);
    std::unique_ptr<QSslSocket> m_sock;
    int m_calls = 0;
    qint64 m_callNs = 0;
};

// The reply's data packet, or the server's message shown as an error and the
// action ended.
HOST_EXPORT wire::DataPacket CheckResultServ(const wire::Reply &result, bool abort, int flags);
