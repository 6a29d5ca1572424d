#include "scriptedprompter.h"
#include "dataset.h"

#include <QApplication>
#include <QWidget>

namespace host {

void ScriptedPrompter::record(const QString &kind, const QString &text, int rows, const QString &key,
                              const QString &given)
{
    QWidget *fw = QApplication::focusWidget();
    Shown s{kind, text, fw ? fw->objectName() : QString(), rows, key, given};
    shown.push_back(s);
    if (onShown) onShown(s);
}

void ScriptedPrompter::error(const QString &text) { record(QStringLiteral("error"), text); }
void ScriptedPrompter::warning(const QString &text) { record(QStringLiteral("warning"), text); }

int ScriptedPrompter::pickRow(const QString &title, TClientDataSet *ds)
{
    record(QStringLiteral("pickRow"), title, ds->RecordCount());
    if (rowAnswers.empty()) return -1;
    const int r = rowAnswers.front();
    rowAnswers.pop_front();
    if (r >= 0) ds->SetRecNo(r);
    return r;
}

QString ScriptedPrompter::pickList(const QString &title, TClientDataSet *ds, const QString &keyField,
                                   const QString &selection)
{
    record(QStringLiteral("pickList"), title, ds->RecordCount(), keyField, selection);
    if (listAnswers.empty()) return selection;
    const QString a = listAnswers.front();
    listAnswers.pop_front();
    return a;
}

void ScriptedPrompter::notice(const QString &text) { record(QStringLiteral("notice"), text); }

void ScriptedPrompter::printPreview(const QString &title, const std::function<bool(QPagedPaintDevice *)> &paint,
                                    const std::function<void()> &savePdf)
{
    lastPrint = paint;
    lastSavePdf = savePdf;
    record(QStringLiteral("print"), title);
}

void ScriptedPrompter::help(const QString &title, const QString &html)
{
    lastHelp = html;
    record(QStringLiteral("help"), title);
}

bool ScriptedPrompter::askText(const QString &title, const QString &, QString *value, int maxLength)
{
    lastMaxLength = maxLength;
    record(QStringLiteral("askText"), title);
    if (textAnswers.empty()) return false;
    *value = textAnswers.front();
    textAnswers.pop_front();
    return true;
}

bool ScriptedPrompter::confirm(const QString &text)
{
    record(QStringLiteral("confirm"), text);
    if (confirmAnswers.empty()) return false;
    const bool a = confirmAnswers.front();
    confirmAnswers.pop_front();
    return a;
}

QString ScriptedPrompter::saveFile(const QString &title, const QString &suggested, const QString &)
{
    record(QStringLiteral("saveFile"), title + QLatin1Char('|') + suggested);
    if (fileAnswers.empty()) return {};
    const QString a = fileAnswers.front();
    fileAnswers.pop_front();
    return a;
}

QString ScriptedPrompter::chooseSet(const QString &title, const QStringList &names,
                                    const std::function<bool(const QString &)> &remove)
{
    record(QStringLiteral("chooseSet"), title, names.size());
    QStringList offered = names;
    setsOffered << offered;
    while (!setAnswers.empty()) {
        const QString a = setAnswers.front();
        setAnswers.pop_front();
        if (!a.startsWith(QLatin1Char('-'))) return offered.contains(a) ? a : QString();
        if (remove(a.mid(1))) offered.removeAll(a.mid(1));
        setsOffered << offered;
    }
    return {};
}

QStringList ScriptedPrompter::texts(const QString &kind) const
{
    QStringList out;
    for (const Shown &s : shown)
        if (s.kind == kind) out << s.text;
    return out;
}

}  // namespace host
