#include "datapacket.h"

namespace wire {

int DataPacket::indexOf(const QString &name) const
{
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QString kindName(FieldKind k)
{
    switch (k) {
    case FieldKind::String: return QStringLiteral("texto");
    case FieldKind::FixedString: return QStringLiteral("texto fixo");
    case FieldKind::Float: return QStringLiteral("número");
    case FieldKind::DateTime: return QStringLiteral("data");
    }
    return QStringLiteral("?");
}

}  // namespace wire
