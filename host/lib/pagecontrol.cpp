#include "pagecontrol.h"
#include "dispatch.h"

TPageControl::TPageControl(QWidget *parent) : QTabWidget(parent)
{
    connect(this, &QTabWidget::currentChanged, this, [this] {
        if (!m_programmatic && OnChange) host::dispatch(OnChange);
    });
}

void TPageControl::SetActivePage(QWidget *page)
{
    m_programmatic = true;
    setCurrentWidget(page);
    m_programmatic = false;
}

void TPageControl::SetPageEnabled(QWidget *page, bool enabled)
{
    const int i = indexOf(page);
    if (i >= 0) setTabEnabled(i, enabled);
    page->setEnabled(enabled);
}

bool TPageControl::PageEnabled(QWidget *page) const
{
    const int i = indexOf(page);
    return i >= 0 && isTabEnabled(i);
}
