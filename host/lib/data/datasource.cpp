#include "datasource.h"
#include "dataset.h"
#include "hostlog.h"

TDataSource::TDataSource(QObject *parent, TClientDataSet *ds, const QString &name) : QObject(parent)
{
    setObjectName(name);
    SetDataSet(ds);
}

void TDataSource::SetDataSet(TClientDataSet *ds)
{
    if (m_ds == ds) return;
    disconnect(m_stateConn);
    m_ds = ds;
    // Which table a source shows decides what the toolbar acts on: worth a line when tracing.
    qCDebug(lcHost) << "data source" << objectName() << "shows" << (ds ? ds->objectName() : QStringLiteral("nothing"));
    if (ds)
        m_stateConn = connect(ds, &TClientDataSet::stateChanged, this, [this] {
            if (OnStateChange) OnStateChange(this);
        });
    emit dataSetChanged();
    if (OnStateChange) OnStateChange(this);
}
