#include "dispatch.h"
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
        prompter()->error(QString::fromUtf8(e.what()));
    } catch (...) {
        prompter()->error(QStringLiteral("Erro inesperado."));
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
    host::prompter()->error(text);
    if (abort) throw host::EAbort();
}
