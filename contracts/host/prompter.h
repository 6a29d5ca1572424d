#pragma once
// The one seam through which the module talks to the user.
#include "host_export.h"
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

class TClientDataSet;
class QPagedPaintDevice;
class QWidget;

namespace host {

class HOST_EXPORT Prompter {
public:
    virtual ~Prompter() = default;
    virtual void error(const QString &text) = 0;
    virtual void warning(const QString &text) = 0;
    // Lets the user pick one row of the data set's visible fields; returns the
    // row index, or -1 when the user gave up.
    virtual int pickRow(const QString &title, TClientDataSet *ds) = 0;
    // Lets the user mark rows; returns the selection string.
    virtual QString pickList(const QString &title, TClientDataSet *ds, const QString &keyField,
                             const QString &selection) = 0;
    // Asks for a line of text of at most maxLength characters (0: any); returns
    // false when cancelled.
    virtual bool askText(const QString &title, const QString &label, QString *value, int maxLength = 0) = 0;
    // Tells that something finished well, without stopping the user (the main
    // window's status bar).
    virtual void notice(const QString &text) = 0;
    // Shows a help page (HTML) in a window of its own, read-only.
    virtual void help(const QString &title, const QString &html) = 0;
    // A print preview: paint lays the pages on the device it is given (a
    // printer), false when they were not made (stopped, or failed: it said
    // why), and then the preview closes; savePdf writes them to a PDF the user names.
    virtual void printPreview(const QString &title, const std::function<bool(QPagedPaintDevice *)> &paint,
                              const std::function<void()> &savePdf) = 0;
    // A yes/no question; true for yes.
    virtual bool confirm(const QString &text) = 0;
    // Where to save a file, proposing a name; empty when cancelled.
    virtual QString saveFile(const QString &title, const QString &suggested, const QString &filters) = 0;
    // Picks one of the named sets, in the order given; the user may delete sets
    // on the way (remove says whether it happened). Returns the name picked,
    // empty when cancelled.
    virtual QString chooseSet(const QString &title, const QStringList &names,
                              const std::function<bool(const QString &)> &remove) = 0;
};

HOST_EXPORT Prompter *prompter();
// Installs a prompter (not owned); nullptr restores the Qt one.
HOST_EXPORT void setPrompter(Prompter *p);

// Qt dialogs.
class HOST_EXPORT QtPrompter : public Prompter {
public:
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
    bool confirm(const QString &text) override;
    QString saveFile(const QString &title, const QString &suggested, const QString &filters) override;
    QString chooseSet(const QString &title, const QStringList &names,
                      const std::function<bool(const QString &)> &remove) override;
};

}  // namespace host
