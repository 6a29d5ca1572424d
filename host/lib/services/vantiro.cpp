#include "vantiro.h"
#include "hostcontext_p.h"
#include "netconnection.h"

#include <QHash>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {
host::Settings &s() { return host::context().settings; }
// The certificate trust options, over what st holds already.
void readTlsTrust(const QSettings &ini, host::Settings &st)
{
    st.tlsCaFile = ini.value(QStringLiteral("Server/TlsCaFile"), st.tlsCaFile).toString();
    st.tlsFingerprint = ini.value(QStringLiteral("Server/TlsFingerprint"), st.tlsFingerprint).toString();
    st.tlsNoVerify = ini.value(QStringLiteral("Server/TlsNoVerify"), st.tlsNoVerify).toBool();
}

bool tlsOptionsGiven(const host::Settings &st)
{
    return !st.tlsCaFile.trimmed().isEmpty() || !st.tlsFingerprint.trimmed().isEmpty() || st.tlsNoVerify;
}

}  // namespace

void Vantiro::ResetDefaults() { s() = host::Settings(); }

void Vantiro::Load(const QString &iniPath)
{
    QSettings ini(iniPath, QSettings::IniFormat);
    host::Settings &st = s();
    st.webUrl = ini.value(QStringLiteral("Server/WebURL"), st.webUrl).toString();
    st.webPort = ini.value(QStringLiteral("Server/WebPort"), st.webPort).toInt();
    st.token = ini.value(QStringLiteral("Server/Token"), st.token).toString();
    readTlsTrust(ini, st);
    // A TLS option without "Tls" means TLS (LoadChecked refuses "Tls=false" beside one).
    st.tls = ini.value(QStringLiteral("Server/Tls"), st.tls).toBool() || tlsOptionsGiven(st);
    st.database = ini.value(QStringLiteral("Database/Url"), st.database).toString();
    st.op = ini.value(QStringLiteral("Session/Operator"), st.op).toString();
    st.pict[ptContCtbl] = ini.value(QStringLiteral("Pictures/ContaContabil"), st.pict[ptContCtbl]).toString();
    st.pict[ptCodBem] = ini.value(QStringLiteral("Pictures/CodigoBem"), st.pict[ptCodBem]).toString();
    st.pictF = ini.value(QStringLiteral("Pictures/PessoaFisica"), st.pictF).toString();
    st.pictJ = ini.value(QStringLiteral("Pictures/PessoaJuridica"), st.pictJ).toString();
}

bool Vantiro::LoadChecked(const QString &iniPath, QString *why)
{
    const QFileInfo fi(iniPath);
    if (!fi.exists()) {
        *why = QStringLiteral("Arquivo de configuração %1 não encontrado.").arg(iniPath);
        return false;
    }
    QFile f(iniPath);
    if (!fi.isFile() || !f.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("Não foi possível ler o arquivo de configuração %1.").arg(iniPath);
        return false;
    }
    QSettings ini(iniPath, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) {
        *why = QStringLiteral("O arquivo de configuração %1 não está no formato INI.").arg(iniPath);
        return false;
    }
    host::Settings probe;
    readTlsTrust(ini, probe);
    if (ini.contains(QStringLiteral("Server/Tls")) && !ini.value(QStringLiteral("Server/Tls")).toBool() &&
        tlsOptionsGiven(probe)) {
        *why = QStringLiteral("O arquivo de configuração %1 dá opções de TLS com Tls=false: use Tls=true ou retire-as.")
                   .arg(iniPath);
        return false;
    }
    Load(iniPath);
    return true;
}

QString Vantiro::WebURL() { return s().webUrl; }
int Vantiro::WebPort() { return s().webPort; }
QString Vantiro::DBPict(int kind) { return s().pict.value(kind); }
QString Vantiro::PictPess(const QString &type)
{
    const QString t = type.trimmed().toUpper();
    if (t == QLatin1String("F")) return s().pictF;
    if (t == QLatin1String("J")) return s().pictJ;
    return {};  // unknown person type: shown as stored
}
QString Vantiro::Database() { return s().database; }
QString Vantiro::Operator() { return s().op; }
QString Vantiro::Token() { return s().token; }
void Vantiro::ApplyServer(TNetConnection *c)
{
    c->Host = s().webUrl;
    c->Port = s().webPort;
    c->Token = s().token;
    c->UseTls = s().tls;
    c->TlsCaFile = s().tlsCaFile;
    c->TlsFingerprint = s().tlsFingerprint;
    c->TlsSkipVerify = s().tlsNoVerify;
    // Only an operator who logged in is given to the server.
    c->Operator = s().password.isEmpty() ? QString() : s().op;
    c->Password = s().password;
}
QString Vantiro::Password() { return s().password; }
void Vantiro::SetPassword(const QString &p) { s().password = p; }
void Vantiro::SetWebURL(const QString &h) { s().webUrl = h; }
void Vantiro::SetWebPort(int p) { s().webPort = p; }
void Vantiro::SetDatabase(const QString &u) { s().database = u; }
void Vantiro::SetOperator(const QString &o) { s().op = o; }
void Vantiro::SetToken(const QString &t) { s().token = t; }
void Vantiro::SetDBPict(int kind, const QString &mask) { s().pict[kind] = mask; }
