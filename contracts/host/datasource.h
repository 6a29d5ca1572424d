#pragma once
#include "dataset.h"
#include "host_export.h"
#include <QObject>
#include <QPointer>
#include <functional>

// Links a data set to data-aware controls.
class HOST_EXPORT TDataSource : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(QObject *parent = nullptr, TClientDataSet *ds = nullptr, const QString &name = {});
    TClientDataSet *DataSet() const { return m_ds; }
    void SetDataSet(TClientDataSet *ds);
    std::function<void(TDataSource *)> OnStateChange;
signals:
    void dataSetChanged();
private:
    QPointer<TClientDataSet> m_ds;
    QMetaObject::Connection m_stateConn;
};
