#pragma once
// Saved option sets of filter dialogs: per screen and operator, each named set
// holds name=value variable lines and the states of the dialog's controls.
#include "host_export.h"
#include <QPair>
#include <QStringList>
#include <QVector>
#include <memory>

namespace host {

struct OptionSet {
    QStringList variables;                          // "name=value" lines
    QVector<QPair<QString, QString>> components;   // control name, state
};

// Limits of what a set may hold (the store's column sizes and a sane bound).
constexpr int kOptionSetNameMax = 40;
constexpr int kOptionValueMax = 1000000;

// Errors are thrown as EHostError with a short Portuguese text; the detail is logged.
class HOST_EXPORT OptionStore {
public:
    virtual ~OptionStore() = default;
    // Names of the operator's sets for the screen, newest first.
    virtual QStringList names(const QString &screen, const QString &op) = 0;
    virtual OptionSet load(const QString &screen, const QString &op, const QString &name) = 0;
    // Replaces a set of the same name whole, or adds it.
    virtual void save(const QString &screen, const QString &op, const QString &name, const OptionSet &set) = 0;
    virtual void remove(const QString &screen, const QString &op, const QString &name) = 0;
};

// The store in use: the one installed, or a store kept for the session only.
HOST_EXPORT OptionStore *optionStore();
// Installs a store (not owned); nullptr restores the session store.
HOST_EXPORT void setOptionStore(OptionStore *s);

// Option sets in the table OPCAOSALVA of a database, written through a
// connection of its own, one transaction per change.
class HOST_EXPORT DatabaseOptionStore : public OptionStore {
public:
    // Opens the connection; throws EHostError when the database cannot be reached.
    explicit DatabaseOptionStore(const QString &url);
    ~DatabaseOptionStore() override;
    QStringList names(const QString &screen, const QString &op) override;
    OptionSet load(const QString &screen, const QString &op, const QString &name) override;
    void save(const QString &screen, const QString &op, const QString &name, const OptionSet &set) override;
    void remove(const QString &screen, const QString &op, const QString &name) override;
private:
    QString m_connection;
};

}  // namespace host
