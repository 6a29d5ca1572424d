#pragma once
// Server object Trq01300.rdmHistoricoBem: the operation history of a
// company's assets, its details, the filter lists, the invoices and the
// financial-index values. Reads only.
//
// The constant "R" that the history screen sends to GetEspecOper and
// GetCTBLOper asks for the items as recorded on the operation; it is the only
// kind this object knows, and any other value is refused with a message.
#include "serverobject.h"
#include "sqlpacket.h"

namespace trq01300 {

// The history statement for the 27 arguments of GetHistoricoOpBem, with its
// bound values; target[i] is the packet field of statement column i.
struct HistoryStatement {
    QString sql;
    Filter filter;
    QVector<int> target;
};
HistoryStatement historyStatement(const QVector<wire::Arg> &args);

class RdmHistoricoBem : public appsrv::ServerObject {
public:
    QString name() const override;
    QString probe() const override;
    QVector<QPair<QString, QVector<wire::ArgKind>>> methods() const override;
    wire::Reply invoke(const QString &method, const QVector<wire::Arg> &args, QSqlDatabase &db) override;
    wire::Reply invokeStreaming(const QString &method, const QVector<wire::Arg> &args, QSqlDatabase &db,
                                wire::ReplySink *sink) override;
};

}  // namespace trq01300
