#pragma once
// Read-only data-aware memo, caption label and navigator.
#include "datasource.h"
#include "host_export.h"
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QWidget>

class QToolButton;

class HOST_EXPORT TDBMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TDBMemo(QWidget *parent = nullptr);
    void Bind(TDataSource *src, const QString &field);
    int MaxLength = 0;  // characters a user may type (the memo is read-only); the field's whole text is shown
private:
    void refresh();
    QPointer<TDataSource> m_src;
    QString m_field;
};

class HOST_EXPORT TDBText : public QLabel {
    Q_OBJECT
public:
    explicit TDBText(QWidget *parent = nullptr);
    void Bind(TDataSource *src, const QString &field);
private:
    void refresh();
    QPointer<TDataSource> m_src;
    QString m_field;
};

class HOST_EXPORT TDBNavigator : public QWidget {
    Q_OBJECT
public:
    explicit TDBNavigator(QWidget *parent = nullptr);
    void SetDataSource(TDataSource *src);
private:
    void refresh();
    QPointer<TDataSource> m_src;
    QToolButton *m_first, *m_prior, *m_next, *m_last;
};

// Re-emits the changes of a data source's current data set to a slot, following
// the source when it is pointed at another set.
HOST_EXPORT void watchDataSource(TDataSource *src, QObject *ctx, const std::function<void()> &fn);
