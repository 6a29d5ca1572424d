#pragma once
// Every handler runs through the dispatch wrapper: an ended action (EAbort) is
// swallowed silently, any other exception is shown in the host's error box, and
// nothing ever propagates into Qt's signal or event machinery.
#include "host_export.h"
#include <QObject>
#include <QString>
#include <exception>
#include <functional>

namespace host {

// Thrown to end the current user action after its message was shown.
class HOST_EXPORT EAbort : public std::exception {
public:
    const char *what() const noexcept override { return "ação encerrada"; }
};

// An error carrying a Portuguese text for the user.
class HOST_EXPORT EHostError : public std::exception {
public:
    explicit EHostError(QString text) : m_text(std::move(text)), m_utf8(m_text.toUtf8()) {}
    const QString &text() const { return m_text; }
    const char *what() const noexcept override { return m_utf8.constData(); }
private:
    QString m_text;
    QByteArray m_utf8;
};

// Runs fn; returns false when the action was ended or failed.
HOST_EXPORT bool dispatch(const std::function<void()> &fn);

// Reports the exception currently being handled in the error box.
HOST_EXPORT void reportCurrentException();

// Runs an entry point of a screen package: an error is reported by the host,
// the wait cursor is taken back, and nothing propagates to the caller.
// Returns false when the entry failed.
HOST_EXPORT bool runPackageEntry(const char *entry, const std::function<void()> &fn);

}  // namespace host

// Shows the text as an error; with abort true, ends the current action.
HOST_EXPORT void MensErro(const QString &text, bool abort);
// Shows the text as an error and ends the current action: nothing after it runs.
[[noreturn]] HOST_EXPORT void MensErroAborta(const QString &text);
