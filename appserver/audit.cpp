#include "audit.h"
#include "oledate.h"

#include <QRegularExpression>
#include <QStringList>

namespace appsrv {

QString auditOf(const wire::Call &call)
{
    static const QRegularExpression company(QStringLiteral("^\\s*[0-9]{2}\\s*$"));
    QStringList parts;
    if (!call.args.isEmpty() && call.args.first().kind != wire::ArgKind::Date &&
        company.match(call.args.first().text).hasMatch())
        parts << QStringLiteral("empresa ") + call.args.first().text.trimmed();
    QStringList dates;
    for (const wire::Arg &a : call.args) {
        if (a.kind != wire::ArgKind::Date) continue;
        dates << (a.dateEmpty ? QStringLiteral("-") : wire::fromOleDate(a.date).toString(QStringLiteral("dd/MM/yyyy")));
    }
    if (!dates.isEmpty()) parts << QStringLiteral("período ") + dates.join(QStringLiteral(" a "));
    return parts.join(QLatin1Char(' '));
}

}  // namespace appsrv
