#pragma once
// A server object that records every call with its arguments and answers from
// prepared packets, for tests where the exact calls matter.
#include "appserver.h"
#include "codec.h"
#include "dataset.h"

#include <QMutex>
#include <QStringList>

struct RecordedCall {
    QString method;
    QStringList args;  // by-reference texts are prefixed "ref:", dates are "date:dd/MM/yyyy"
};

class Recorder {
public:
    void answer(const QString &method, const wire::DataPacket &p)
    {
        QMutexLocker l(&m_mutex);
        m_answers[method] = p;
    }
    // Every call of a method answered with an error reply of this code and
    // message; ErrorCode::None answers it again.
    void refuse(const QString &method, wire::ErrorCode code, const QString &message)
    {
        QMutexLocker l(&m_mutex);
        if (code == wire::ErrorCode::None) m_refusals.remove(method);
        else m_refusals[method] = {code, message};
    }
    // Answers for successive calls of a method, the last repeated.
    void answerSequence(const QString &method, const QVector<wire::DataPacket> &ps)
    {
        QMutexLocker l(&m_mutex);
        m_sequences[method] = ps;
    }
    // The by-reference values every call of a method hands back, in place of
    // the ones it was given (which it echoes otherwise).
    void answerRefs(const QString &method, const QStringList &refs)
    {
        QMutexLocker l(&m_mutex);
        m_refs[method] = refs;
    }
    QVector<RecordedCall> calls()
    {
        QMutexLocker l(&m_mutex);
        return m_calls;
    }
    QStringList methods()
    {
        QStringList out;
        for (const RecordedCall &c : calls()) out << c.method;
        return out;
    }
    void clear()
    {
        QMutexLocker l(&m_mutex);
        m_calls.clear();
    }
    // Forgets the calls and every prepared answer.
    void reset()
    {
        QMutexLocker l(&m_mutex);
        m_calls.clear();
        m_answers.clear();
        m_sequences.clear();
        m_refusals.clear();
        m_refs.clear();
    }
    wire::Reply take(const QString &method, const QVector<wire::Arg> &args)
    {
        QMutexLocker l(&m_mutex);
        RecordedCall rc{method, {}};
        wire::Reply r;
        for (const wire::Arg &a : args) {
            if (a.kind == wire::ArgKind::Date)
                rc.args << (a.dateEmpty ? QStringLiteral("date:") : QStringLiteral("date:") + wire::fromOleDate(a.date).toString("dd/MM/yyyy"));
            else if (a.kind == wire::ArgKind::TextRef) {
                rc.args << QStringLiteral("ref:") + a.text;
                r.refs << a.text;
            } else
                rc.args << a.text;
        }
        m_calls << rc;
        if (const auto given = m_refs.constFind(method); given != m_refs.constEnd()) r.refs = *given;
        if (const auto no = m_refusals.constFind(method); no != m_refusals.constEnd()) {
            wire::Reply e;
            e.error = no->first;
            e.message = no->second;
            return e;
        }
        auto &seq = m_sequences[method];
        if (!seq.isEmpty()) {
            r.packet = seq.size() > 1 ? seq.takeFirst() : seq.first();
        } else {
            r.packet = m_answers.value(method);
        }
        return r;
    }
private:
    QMutex m_mutex;
    QVector<RecordedCall> m_calls;
    QHash<QString, wire::DataPacket> m_answers;
    QHash<QString, QVector<wire::DataPacket>> m_sequences;
    QHash<QString, QPair<wire::ErrorCode, QString>> m_refusals;
    QHash<QString, QStringList> m_refs;
};

class RecordingObject : public appsrv::ServerObject {
public:
    RecordingObject(Recorder *r, QVector<QPair<QString, QVector<wire::ArgKind>>> m) : m_rec(r), m_methods(std::move(m)) {}
    QString name() const override { return "Trq01300.rdmHistoricoBem"; }
    QVector<QPair<QString, QVector<wire::ArgKind>>> methods() const override { return m_methods; }
    wire::Reply invoke(const QString &method, const QVector<wire::Arg> &args, QSqlDatabase &) override
    {
        return m_rec->take(method, args);
    }
private:
    Recorder *m_rec;
    QVector<QPair<QString, QVector<wire::ArgKind>>> m_methods;
};

// An empty packet with the fields of a data set.
inline wire::DataPacket packetOf(const TClientDataSet *ds)
{
    wire::DataPacket p;
    p.fields = ds->Layout();
    return p;
}
