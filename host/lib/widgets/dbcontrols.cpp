#include "dbcontrols.h"
#include "dispatch.h"

#include <QHBoxLayout>
#include <QToolButton>

void watchDataSource(TDataSource *src, QObject *ctx, const std::function<void()> &fn)
{
    auto conns = std::make_shared<QVector<QMetaObject::Connection>>();
    auto bind = [src, ctx, fn, conns] {
        for (const auto &c : *conns) QObject::disconnect(c);
        conns->clear();
        if (TClientDataSet *ds = src->DataSet()) {
            *conns << QObject::connect(ds, &TClientDataSet::contentReset, ctx, fn);
            *conns << QObject::connect(ds, &TClientDataSet::currentChanged, ctx, fn);
            *conns << QObject::connect(ds, &TClientDataSet::rowChanged, ctx, fn);
        }
        fn();
    };
    QObject::connect(src, &TDataSource::dataSetChanged, ctx, bind);
    bind();
}

namespace {
QString fieldText(TDataSource *src, const QString &field)
{
    if (!src || !src->DataSet() || src->DataSet()->IsEmpty()) return {};
    QString t;
    host::dispatch([&] {
        if (TField *f = src->DataSet()->FindField(field)) t = f->DisplayText();
    });
    return t;
}
}  // namespace

TDBMemo::TDBMemo(QWidget *parent) : QPlainTextEdit(parent) { setReadOnly(true); }

void TDBMemo::Bind(TDataSource *src, const QString &field)
{
    m_src = src;
    m_field = field;
    watchDataSource(src, this, [this] { refresh(); });
}

void TDBMemo::refresh()
{
    // The whole text is shown: MaxLength bounds what a user may type, not what is read.
    setPlainText(fieldText(m_src, m_field));
}

TDBText::TDBText(QWidget *parent) : QLabel(parent) {}

void TDBText::Bind(TDataSource *src, const QString &field)
{
    m_src = src;
    m_field = field;
    watchDataSource(src, this, [this] { refresh(); });
}

void TDBText::refresh() { setText(fieldText(m_src, m_field)); }

TDBNavigator::TDBNavigator(QWidget *parent) : QWidget(parent)
{
    auto *lay = new QHBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(1);
    auto mk = [&](const QString &name, const QString &txt, const QString &tip, auto move) {
        auto *b = new QToolButton(this);
        b->setObjectName(name);
        b->setText(txt);
        b->setToolTip(tip);
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRaise(true);
        b->setFixedSize(26, 22);
        lay->addWidget(b);
        connect(b, &QToolButton::clicked, this, [this, move] {
            if (m_src && m_src->DataSet()) host::dispatch([&] { move(m_src->DataSet()); });
        });
        return b;
    };
    m_first = mk("nbFirst", QStringLiteral("|◀"), tr("Primeiro"), [](TClientDataSet *d) { d->First(); });
    m_prior = mk("nbPrior", QStringLiteral("◀"), tr("Anterior"), [](TClientDataSet *d) { d->Prior(); });
    m_next = mk("nbNext", QStringLiteral("▶"), tr("Próximo"), [](TClientDataSet *d) { d->Next(); });
    m_last = mk("nbLast", QStringLiteral("▶|"), tr("Último"), [](TClientDataSet *d) { d->Last(); });
    refresh();
}

void TDBNavigator::SetDataSource(TDataSource *src)
{
    m_src = src;
    watchDataSource(src, this, [this] { refresh(); });
}

void TDBNavigator::refresh()
{
    TClientDataSet *ds = m_src ? m_src->DataSet() : nullptr;
    const int n = ds && ds->Active() ? ds->RecordCount() : 0;
    const int cur = ds ? ds->RecNo() : -1;
    m_first->setEnabled(n > 0 && cur > 0);
    m_prior->setEnabled(n > 0 && cur > 0);
    m_next->setEnabled(n > 0 && cur < n - 1);
    m_last->setEnabled(n > 0 && cur < n - 1);
}
