#include "embedded.h"

#include "adoibquery.h"
#include "dispatch.h"
#include "generator.h"
#include "vantiro.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QStandardPaths>

Embedded::~Embedded()
{
    host::closeSharedDatabase();
    if (m_server) m_server->stop();
}

bool Embedded::start(QString *why)
{
    if (Vantiro::Database().isEmpty()) {
        const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
        QDir().mkpath(dir);
        const QString file = QDir(dir).filePath(QStringLiteral("demo.db"));
        if (!QFileInfo::exists(file)) {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("demo-create"));
                db.setDatabaseName(file);
                if (!db.open()) {
                    *why = QStringLiteral("Não foi possível criar o banco de demonstração em %1.").arg(file);
                    return false;
                }
                try {
                    demo::generate(db, {});
                } catch (const std::exception &e) {
                    *why = QStringLiteral("Falha ao gerar o banco de demonstração: %1").arg(QString::fromUtf8(e.what()));
                    db.close();
                    QFile::remove(file);
                    return false;
                }
                db.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("demo-create"));
        }
        Vantiro::SetDatabase(QStringLiteral("sqlite:") + file);
    }
    try {
        host::openSharedDatabase(Vantiro::Database());
    } catch (const host::EHostError &e) {
        *why = e.text();
        return false;
    }
    if (Vantiro::WebPort() == 0) {
        appsrv::Config cfg;
        cfg.database = Vantiro::Database();
        cfg.address = QHostAddress::LocalHost;
        cfg.token = Vantiro::Token();
        m_server = std::make_unique<appsrv::ServerThread>(cfg);
        if (!m_server->start(why)) return false;
        Vantiro::SetWebURL(QStringLiteral("127.0.0.1"));
        Vantiro::SetWebPort(m_server->port());
    }
    return true;
}
