#include "datasource.h"

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
    if (ds)
        m_stateConn = connect(ds, &TClientDataSet::stateChanged, this, [this] {
            if (OnStateChange) OnStateChange(this);
        });
    emit dataSetChanged();
    if (OnStateChange) OnStateChange(this);
}
