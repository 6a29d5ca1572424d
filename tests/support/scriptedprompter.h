#pragma once
// A prompter for tests: records every prompt and answers from queues.
#include "prompter.h"
#include <deque>

namespace host {

// Records every prompt and answers from queues; for tests.
class ScriptedPrompter : public Prompter {
public:
    struct Shown {
        QString kind;   // "error", "warning", "pickRow", "pickList", "askText", "confirm", "chooseSet", "notice", "help", "print"
        QString text;   // message or title
        QString focus;  // objectName of the focused widget when shown
        int rows = -1;  // rows offered by a pick
        QString key;    // pickList: the key field of the rows
        QString given;  // pickList: the selection handed in
    };
    QVector<Shown> shown;
    std::deque<int> rowAnswers;         // pickRow; empty queue answers -1
    std::deque<QString> listAnswers;    // pickList; empty queue answers the selection given
    std::deque<QString> textAnswers;    // askText; empty queue cancels
    std::deque<bool> confirmAnswers;    // confirm; empty queue answers no
    std::deque<QString> fileAnswers;    // saveFile; empty queue cancels
    // chooseSet: "-name" deletes that set and goes on, any other text picks it;
    // empty queue cancels. The names offered each time are kept in setsOffered.
    std::deque<QString> setAnswers;
    QVector<QStringList> setsOffered;
    std::function<void(const Shown &)> onShown;  // runs after each prompt is recorded

    void error(const QString &text) override;
    void warning(const QString &text) override;
    int pickRow(const QString &title, TClientDataSet *ds) override;
    QString pickList(const QString &title, TClientDataSet *ds, const QString &keyField,
                     const QString &selection) override;
    bool askText(const QString &title, const QString &label, QString *value, int maxLength = 0) override;
    void notice(const QString &text) override;
    void help(const QString &title, const QString &html) override;
    void printPreview(const QString &title, const std::function<bool(QPagedPaintDevice *)> &paint,
                      const std::function<void()> &savePdf) override;
    // The last preview's pages and its "Salvar PDF", for a test to run.
    std::function<bool(QPagedPaintDevice *)> lastPrint;
    std::function<void()> lastSavePdf;
    QString lastHelp;  // the page help showed last
    int lastMaxLength = -1;  // askText's limit, as last asked
    bool confirm(const QString &text) override;
    QString saveFile(const QString &title, const QString &suggested, const QString &filters) override;
    QString chooseSet(const QString &title, const QStringList &names,
                      const std::function<bool(const QString &)> &remove) override;

    QStringList texts(const QString &kind) const;
    void clear() { shown.clear(); }
private:
    void record(const QString &kind, const QString &text, int rows = -1, const QString &key = {},
                const QString &given = {});
};

}  // namespace host
