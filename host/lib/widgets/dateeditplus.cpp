#include "dateeditplus.h"
#include "consiste.h"
#include "dispatch.h"

#include <QLabel>

TDateEditPlus::TDateEditPlus(QWidget *parent) : QLineEdit(parent), m_day(new QLabel(this))
{
    setInputMask(QStringLiteral("99/99/9999;_"));
    m_day->setStyleSheet(QStringLiteral("color: #4a5a70; font-size: 8pt;"));
    m_day->setAttribute(Qt::WA_TransparentForMouseEvents);
    setTextMargins(0, 0, 58, 0);
    connect(this, &QLineEdit::textChanged, this, [this] { refreshLook(); });
    SetDate(QDate::currentDate());
}

QString TDateEditPlus::weekdayName(const QDate &d)
{
    static const char *names[] = {"Segunda", "Terça", "Quarta", "Quinta", "Sexta", "Sábado", "Domingo"};
    return d.isValid() ? QString::fromUtf8(names[d.dayOfWeek() - 1]) : QString();
}

QString TDateEditPlus::Text() const { return IsEmpty() ? QString() : text(); }

bool TDateEditPlus::IsEmpty() const { return EmptyString(text()); }

QDate TDateEditPlus::GetDate() const
{
    if (IsEmpty()) return {};
    return QDate::fromString(text(), QStringLiteral("dd/MM/yyyy"));
}

void TDateEditPlus::SetDate(const QDate &d)
{
    setText(d.isValid() ? d.toString(QStringLiteral("dd/MM/yyyy")) : QString());
}

void TDateEditPlus::CheckValidDate()
{
    if (IsEmpty() || GetDate().isValid()) return;
    setFocus();
    MensErroAborta(QStringLiteral("'%1' não é uma data válida.").arg(text()));
}

void TDateEditPlus::refreshLook()
{
    const QDate d = GetDate();
    QPalette pal = palette();
    pal.setColor(QPalette::Text, d.isValid() ? QColor(0, 0, 0xC0) : QColor(Qt::black));
    setPalette(pal);
    m_day->setText(weekdayName(d));
}

void TDateEditPlus::resizeEvent(QResizeEvent *e)
{
    QLineEdit::resizeEvent(e);
    m_day->setGeometry(width() - 60, 0, 56, height());
    m_day->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}
