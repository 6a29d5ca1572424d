#include "packageloader.h"

#include "hostlog.h"

#include <QCoreApplication>
#include <QDir>

PackageLoader::PackageLoader(QString name, QString dir) : m_name(std::move(name))
{
    if (dir.isEmpty()) dir = QCoreApplication::applicationDirPath();
    m_lib.setFileName(QDir(dir).filePath(m_name));
}

PackageLoader::~PackageLoader() { unload(); }

bool PackageLoader::probe()
{
    if (m_info) return true;
    if (!m_lib.load()) {
        qCWarning(lcPackage) << "cannot load" << m_lib.fileName() << ":" << m_lib.errorString();
        m_error = QStringLiteral("Não foi possível carregar o pacote %1. Verifique a instalação do sistema.").arg(m_name);
        return false;
    }
    auto infoFn = reinterpret_cast<HostPackageInfoFn>(m_lib.resolve("GetPackageInfoTable"));
    m_init = reinterpret_cast<HostPackageProc>(m_lib.resolve("Initialize"));
    m_finalize = reinterpret_cast<HostPackageProc>(m_lib.resolve("Finalize"));
    m_iniProc = reinterpret_cast<HostPackageProc>(m_lib.resolve("IniProc"));
    const char *missing = !infoFn ? "GetPackageInfoTable" : !m_init ? "Initialize" : !m_finalize ? "Finalize"
                        : !m_iniProc ? "IniProc" : nullptr;
    if (missing) {
        m_error = QStringLiteral("O pacote %1 não exporta a entrada %2.").arg(m_name, QLatin1String(missing));
        m_lib.unload();
        return false;
    }
    const HostPackageInfo *info = infoFn();
    if (!info || info->abiVersion != kHostPackageAbi || QLatin1String(info->name) != m_name) {
        m_error = QStringLiteral("O pacote %1 não é compatível com esta versão do sistema.").arg(m_name);
        m_lib.unload();
        return false;
    }
    m_info = info;
    return true;
}

bool PackageLoader::load()
{
    if (m_initialized) return true;
    if (!probe()) return false;
    m_init();
    m_initialized = true;
    return true;
}

void PackageLoader::openScreen()
{
    if (m_initialized) m_iniProc();
}

void PackageLoader::unload()
{
    if (m_initialized) m_finalize();
    m_initialized = false;
    if (!m_info) return;
    m_info = nullptr;
    m_lib.unload();
}
