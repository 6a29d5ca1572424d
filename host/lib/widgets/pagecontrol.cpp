#include "pagecontrol.h"
#include "dispatch.h"

#include <QShortcut>
#include <QTabBar>

TPageControl::TPageControl(QWidget *parent) : QTabWidget(parent)
{
    // The tabs take no focus, as toolbar buttons do not: Tab goes from the
    // header straight to the page's grid, and a click on a tab leaves the focus
    // on the page, where the page switch carries it.
    setFocusPolicy(Qt::NoFocus);
    tabBar()->setFocusPolicy(Qt::NoFocus);
    connect(this, &QTabWidget::currentChanged, this, [this] {
        if (!m_programmatic && OnChange) host::dispatch(OnChange);
    });
    // From the keyboard, Ctrl+PgDown and Ctrl+PgUp switch pages as a click on
    // a tab does (Ctrl+Tab belongs to the MDI area).
    auto step = [this](int by) {
        for (int i = currentIndex() + by; i >= 0 && i < count(); i += by)
            if (isTabEnabled(i)) {
                setCurrentIndex(i);
                return;
            }
    };
    auto *next = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown), this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(next, &QShortcut::activated, this, [step] { step(1); });
    auto *prev = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp), this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(prev, &QShortcut::activated, this, [step] { step(-1); });
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
