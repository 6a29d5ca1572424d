#pragma once
// Loads a screen package, checks what it says about itself before using it,
// runs its load entry, opens its screen and runs its unload entry.
#include "packageinfo.h"
#include <QLibrary>
#include <QString>

class PackageLoader {
public:
    explicit PackageLoader(QString name, QString dir = {});
    ~PackageLoader();
    // Maps the library and reads what it says about itself, without running
    // anything of it; false with a Portuguese reason in error().
    bool probe();
    // probe(), then the load entry; false with a Portuguese reason in error().
    bool load();
    bool isLoaded() const { return m_initialized; }
    void openScreen();   // calls IniProc; errors propagate to the caller
    void unload();       // Finalize, then unmaps the library
    QString error() const { return m_error; }
    const HostPackageInfo *info() const { return m_info; }
private:
    QString m_name;
    QLibrary m_lib;
    const HostPackageInfo *m_info = nullptr;
    HostPackageProc m_init = nullptr, m_iniProc = nullptr, m_finalize = nullptr;
    bool m_initialized = false;
    QString m_error;
};
