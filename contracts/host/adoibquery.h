#pragma once
// Read-only statement on the host's shared database connection. Parameters are
// always bound, never spliced into the SQL text; a text may be given per
// database kind ("sqlite", "postgresql").
#include "dataset.h"
#include "host_export.h"
#include <QHash>
#include <QSqlDatabase>

namespace host {
// Opens the shared connection (dtmDBGeral) from "sqlite:PATH" or "postgresql://...".
HOST_EXPORT void openSharedDatabase(const QString &url);
HOST_EXPORT void closeSharedDatabase();
HOST_EXPORT QSqlDatabase sharedDatabase();
HOST_EXPORT QString databaseKind(const QSqlDatabase &db);  // "sqlite" or "postgresql"
// Opens a connection under a given name; throws EHostError with the reason.
HOST_EXPORT QSqlDatabase openDatabase(const QString &url, const QString &connectionName, bool readOnly);
}  // namespace host

class HOST_EXPORT TADOIBQuery : public TClientDataSet {
    Q_OBJECT
public:
    explicit TADOIBQuery(QObject *parent = nullptr, const QString &name = {});
    void SetSQL(const QString &sql);
    void SetSQLFor(const QString &kind, const QString &sql);
    QString SQLFor(const QString &kind) const;
    void SetParam(const QString &name, const QString &value);  // ParamByName(name).AsString := value
    QString Param(const QString &name) const { return m_params.value(name); }
    void Open();   // throws EHostError on a database failure
    int OpenCount() const { return m_opens; }
private:
    QString m_sql;
    QHash<QString, QString> m_sqlByKind;
    QHash<QString, QString> m_params;
    int m_opens = 0;
};
