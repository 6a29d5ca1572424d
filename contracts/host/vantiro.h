#pragma once
// Host settings, read from the host's INI file; defaults serve the embedded demo.
#include "host_export.h"
#include <QString>

class TNetConnection;

enum TPictKind { ptContCtbl = 1, ptCodBem = 2 };

class HOST_EXPORT Vantiro {
public:
    // Loads the settings of an INI file; missing keys keep their defaults.
    static void Load(const QString &iniPath);
    // As Load, but a file that is missing, unreadable or malformed is an error
    // (a Portuguese reason) and changes nothing.
    static bool LoadChecked(const QString &iniPath, QString *why);
    static void ResetDefaults();
    static QString WebURL();
    static int WebPort();
    static QString DBPict(int kind);
    static QString PictPess(const QString &type);
    // Database of the shared connection: "sqlite:PATH" or "postgresql://...".
    static QString Database();
    static QString Operator();
    static QString Token();
    // The server's address, token and TLS trust, as the settings give them.
    static void ApplyServer(TNetConnection *c);

    static void SetWebURL(const QString &host);
    static void SetWebPort(int port);
    static void SetDatabase(const QString &url);
    static void SetOperator(const QString &op);
    // The operator's password once it logged in (kept in memory only, never in
    // a file): the server connection gives it in its hello. Empty: no login.
    static QString Password();
    static void SetPassword(const QString &password);
    static void SetToken(const QString &t);
    static void SetDBPict(int kind, const QString &mask);
};
