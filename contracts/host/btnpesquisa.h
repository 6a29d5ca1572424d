#pragma once
// Lookup button: lists the rows of its data source and lets the user pick one;
// with OnClick set it is a plain button. Never takes the focus.
#include "datasource.h"
#include "host_export.h"
#include <QPointer>
#include <QToolButton>
#include <functional>

class HOST_EXPORT TBtnPesquisa : public QToolButton {
    Q_OBJECT
public:
    explicit TBtnPesquisa(QWidget *parent = nullptr);
    QPointer<QWidget> Associate;
    QPointer<TDataSource> DataSource;
    QString Title;
    QString EmptyError;
    std::function<void(TBtnPesquisa *, bool &allowPesq)> OnBeforePesq;
    std::function<void(TBtnPesquisa *)> OnAfterPesq;
    std::function<void(TBtnPesquisa *)> OnClick;
    // What a press does, for code and tests.
    void Pesquisar();
};
