#pragma once
// The host's process-wide state in one owner: settings, the main form, the
// prompter, the saved option sets of the session, the busy animation. Made on
// first use and torn down at exit in the reverse order of its members, so
// nothing outlives what it points at.
#include "optionstore.h"
#include "prompter.h"
#include "vantiro.h"

#include <QElapsedTimer>
#include <QHash>
#include <QLabel>
#include <QMainWindow>
#include <QMap>
#include <QMdiArea>
#include <QPointer>

namespace host {

struct Settings {
    QString webUrl = QStringLiteral("127.0.0.1");
    int webPort = 0;  // 0: the embedded server's port, set at start-up
    QString database;
    QString op = QStringLiteral("ADMIN");
    QString password;  // set by a login, never read from a file
    QString token;
    bool tls = false;
    QString tlsCaFile, tlsFingerprint;
    bool tlsNoVerify = false;
    QHash<int, QString> pict{{ptContCtbl, QStringLiteral("9.9.99.99.999;0;_")},
                             {ptCodBem, QStringLiteral("999999;0;_")}};
    QString pictF = QStringLiteral("999.999.999-99;0;_");
    QString pictJ = QStringLiteral("99.999.999/9999-99;0;_");
};

// Sets kept for the session when no persistent store is installed.
class SessionOptionStore : public OptionStore {
public:
    QStringList names(const QString &screen, const QString &op) override
    {
        QStringList out;
        for (const auto &e : m_order.value(key(screen, op))) out.prepend(e);
        return out;
    }
    OptionSet load(const QString &screen, const QString &op, const QString &name) override
    {
        return m_sets.value(key(screen, op)).value(name);
    }
    void save(const QString &screen, const QString &op, const QString &name, const OptionSet &set) override
    {
        m_sets[key(screen, op)][name] = set;
        m_order[key(screen, op)].removeAll(name);
        m_order[key(screen, op)].append(name);
    }
    void remove(const QString &screen, const QString &op, const QString &name) override
    {
        m_sets[key(screen, op)].remove(name);
        m_order[key(screen, op)].removeAll(name);
    }
private:
    static QString key(const QString &screen, const QString &op) { return screen + QLatin1Char('/') + op; }
    QHash<QString, QMap<QString, OptionSet>> m_sets;
    QHash<QString, QStringList> m_order;  // oldest first
};

struct BusyState {
    int depth = 0;
    int shown = 0;
    QPointer<QLabel> overlay;
    QElapsedTimer running;       // since the outermost animation started
    QElapsedTimer lastProgress;  // since the progress was last painted
    int progressDelayMs = 500;
    QElapsedTimer lastPoll;      // since pending events last ran
    bool cancelAsked = false;    // Esc pressed in the running animation
};

struct Context {
    Settings settings;
    QPointer<QMainWindow> mainForm;
    QPointer<QMdiArea> mdi;
    QtPrompter qtPrompter;
    Prompter *prompter = nullptr;  // installed, not owned; null: the Qt one
    SessionOptionStore sessionOptions;
    OptionStore *options = nullptr;  // installed, not owned; null: the session's
    BusyState busy;
};

Context &context();

}  // namespace host
