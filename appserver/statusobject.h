#pragma once
// The server's own health, answered like any call so that it runs on a
// worker's database session: what the database is (a primary, a standby or
// an SQLite file) and, on a standby, how far its replay is behind.
#include "serverobject.h"

namespace appsrv {

inline constexpr const char *kStatusObject = "appserver.Status";
inline constexpr const char *kStatusMethod = "Estado";

class StatusObject final : public ServerObject {
public:
    QString name() const override { return QString::fromLatin1(kStatusObject); }
    // Estado(ref KIND, ref LAG): KIND "primario", "replica" or "sqlite"; LAG the
    // seconds the standby's replay is behind ("0" when it has replayed all it
    // received), empty elsewhere.
    QVector<QPair<QString, QVector<wire::ArgKind>>> methods() const override
    {
        return {{QString::fromLatin1(kStatusMethod), {wire::ArgKind::TextRef, wire::ArgKind::TextRef}}};
    }
    wire::Reply invoke(const QString &method, const QVector<wire::Arg> &args, QSqlDatabase &db) override;
};

}  // namespace appsrv
