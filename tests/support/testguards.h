#pragma once
// Puts back global state a test changed, even when a check fails and the test
// function returns early.
#include "prompter.h"

class PrompterGuard {
public:
    explicit PrompterGuard(host::Prompter *p) { host::setPrompter(p); }
    ~PrompterGuard() { host::setPrompter(nullptr); }
    PrompterGuard(const PrompterGuard &) = delete;
    PrompterGuard &operator=(const PrompterGuard &) = delete;
};

template <typename T>
class ValueGuard {
public:
    explicit ValueGuard(T &var) : m_var(var), m_saved(var) {}
    ~ValueGuard() { m_var = m_saved; }
    ValueGuard(const ValueGuard &) = delete;
    ValueGuard &operator=(const ValueGuard &) = delete;
private:
    T &m_var;
    T m_saved;
};

#include <QDir>
#include <QFile>
#include <QStandardPaths>

// Settings a test writes (remembered column layouts) go to a test folder, never
// the user's, and each test program starts from none.
inline void isolateSettings()
{
    QStandardPaths::setTestModeEnabled(true);
    QFile::remove(QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).filePath("layout.ini"));
}
