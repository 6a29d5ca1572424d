#pragma once
// Runs one of the project's SQL scripts (db/*.sql) with psql against a
// PostgreSQL URL, as an administrator would: true when it ran through; *err
// holds what psql said on stderr.
#include <QProcess>
#include <QStringList>
#include <QUrl>

inline bool runPsqlFile(const QString &url, const QStringList &args, const QString &file, QString *err)
{
    const QUrl u(url);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PGPASSWORD", u.password());
    env.insert("PGOPTIONS", "-c client_min_messages=warning");
    p.setProcessEnvironment(env);
    p.start("psql", QStringList{"-X", "-q", "-h", u.host(), "-p", QString::number(u.port(5432)), "-U", u.userName(), "-d",
                                u.path().mid(1)} + args + QStringList{"-f", file});
    if (!p.waitForFinished(60000)) return false;
    *err = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
