#include "embedded.h"

#include "adoibquery.h"
#include "dbconnect.h"
#include "dispatch.h"
#include "generator.h"
#include "vantiro.h"
#include "standardobjects.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QStandardPaths>

Embedded::~Embedded()
{
    host::setOptionStore(nullptr);
    m_options.reset();
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
            try {
                QSqlDatabase db = dbconnect::open(QStringLiteral("sqlite:") + file, QStringLiteral("demo-create"),
                                                  dbconnect::Mode::Create);
                demo::generate(db, {});
                db.close();
            } catch (const std::exception &e) {
                dbconnect::close(QStringLiteral("demo-create"));
                QFile::remove(file);
                *why = QStringLiteral("Falha ao gerar o banco de demonstração em %1: %2").arg(file, QString::fromUtf8(e.what()));
                return false;
            }
            dbconnect::close(QStringLiteral("demo-create"));
        }
        Vantiro::SetDatabase(QStringLiteral("sqlite:") + file);
    }
    try {
        host::openSharedDatabase(Vantiro::Database());
        m_options = std::make_unique<host::DatabaseOptionStore>(Vantiro::Database());
        host::setOptionStore(m_options.get());
    } catch (const host::EHostError &e) {
        *why = e.text();
        return false;
    }
    if (Vantiro::WebPort() == 0) {
        appsrv::Config cfg;
        cfg.database = Vantiro::Database();
        cfg.address = QHostAddress::LocalHost;
        cfg.token = Vantiro::Token();
        m_server = std::make_unique<appsrv::ServerThread>(cfg, appsrv::registerStandardObjects);
        if (!m_server->start(why)) return false;
        Vantiro::SetWebURL(QStringLiteral("127.0.0.1"));
        Vantiro::SetWebPort(m_server->port());
    }
    return true;
}
