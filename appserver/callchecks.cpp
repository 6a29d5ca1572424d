// What a call must be before it runs, and how errors that hide their detail are answered.
#include "appserver.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <cmath>

Q_LOGGING_CATEGORY(lcServer, "appserver", QtWarningMsg)

namespace appsrv {

namespace {
// OLE dates of the years 100 to 9999, the range both databases hold.
constexpr double kOleMin = -657434, kOleMax = 2958466;

bool hasControl(const QString &s)
{
    for (const QChar c : s)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) return true;
    return false;
}
}  // namespace

wire::Reply checkCall(const ServerObject &obj, const wire::Call &c)
{
    for (const auto &m : obj.methods()) {
        if (m.first != c.method) continue;
        if (c.args.size() != m.second.size())
            return errorReply(wire::ErrorCode::BadArguments, QStringLiteral("Método %1 espera %2 argumentos, recebeu %3.")
                                                              .arg(c.method).arg(m.second.size()).arg(c.args.size()));
        for (int i = 0; i < c.args.size(); ++i) {
            const wire::Arg &a = c.args[i];
            const bool wantDate = m.second[i] == wire::ArgKind::Date;
            const bool isDate = a.kind == wire::ArgKind::Date;
            if (wantDate != isDate)
                return errorReply(wire::ErrorCode::BadArguments,
                                  QStringLiteral("Método %1: o argumento %2 deve ser %3.")
                                      .arg(c.method).arg(i + 1)
                                      .arg(wantDate ? QStringLiteral("uma data") : QStringLiteral("um texto")));
            // The same bad value gets the same answer from either database.
            if (isDate && !a.dateEmpty && (!std::isfinite(a.date) || a.date < kOleMin || a.date > kOleMax))
                return errorReply(wire::ErrorCode::BadValue,
                                  QStringLiteral("Método %1: o argumento %2 não é uma data válida.").arg(c.method).arg(i + 1));
            if (!isDate && hasControl(a.text))
                return errorReply(wire::ErrorCode::BadValue,
                                  QStringLiteral("Método %1: o argumento %2 contém caracteres de controle.").arg(c.method).arg(i + 1));
        }
        return {};
    }
    return errorReply(wire::ErrorCode::UnknownMethod,
                      QStringLiteral("Método '%1' desconhecido no objeto %2.").arg(quoted(c.method), obj.name()));
}

wire::Reply referencedError(wire::ErrorCode code, const QString &message, const QString &detail)
{
    const QString ref = QString::number(QRandomGenerator::global()->generate(), 16).rightJustified(8, QLatin1Char('0')).toUpper();
    qCWarning(lcServer).noquote() << "ref" << ref << detail;
    return errorReply(code, QStringLiteral("%1 (ref. %2)").arg(message, ref));
}

bool sameSecret(const QString &a, const QString &b)
{
    // Digests have one length whatever the secrets: compared byte by byte to the end.
    const QByteArray x = QCryptographicHash::hash(a.toUtf8(), QCryptographicHash::Sha256);
    const QByteArray y = QCryptographicHash::hash(b.toUtf8(), QCryptographicHash::Sha256);
    unsigned char diff = 0;
    for (int i = 0; i < x.size(); ++i) diff |= static_cast<unsigned char>(x[i] ^ y[i]);
    return diff == 0;
}

}  // namespace appsrv
