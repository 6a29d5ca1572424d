#include "dispatch.h"
#include "busy.h"
#include "hostlog.h"
#include "prompter.h"

namespace host {

void reportCurrentException()
{
    try {
        throw;
    } catch (const EAbort &) {
    } catch (const EHostError &e) {
        prompter()->error(e.text());
    } catch (const std::exception &e) {
        // Not meant for the user: the detail goes to the log.
        qCWarning(lcHost) << "unexpected error:" << e.what();
        prompter()->error(QStringLiteral("Erro inesperado. Os detalhes foram registrados no log."));
    } catch (...) {
        qCWarning(lcHost) << "unexpected error of unknown type";
        prompter()->error(QStringLiteral("Erro inesperado. Os detalhes foram registrados no log."));
    }
}

bool runPackageEntry(const char *entry, const std::function<void()> &fn)
{
    try {
        fn();
        return true;
    } catch (...) {
        qCWarning(lcPackage) << "package entry" << entry << "failed";
        setWaitCursor(false);
        try {
            reportCurrentException();
        } catch (...) {
        }
        return false;
    }
}

bool dispatch(const std::function<void()> &fn)
{
    try {
        fn();
        return true;
    } catch (const EAbort &) {
        return false;
    } catch (...) {
        try {
            reportCurrentException();
        } catch (...) {
            // A failing error box must not take the program down.
        }
        return false;
    }
}

}  // namespace host

void MensErro(const QString &text, bool abort)
{
    if (abort) MensErroAborta(text);
    host::prompter()->error(text);
}

void MensErroAborta(const QString &text)
{
    host::prompter()->error(text);
    throw host::EAbort();
}
