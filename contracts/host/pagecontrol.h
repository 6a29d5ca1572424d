#pragma once
// Page control: OnChange runs only when the user changes the page; making a
// page active from code does not run it.
#include "host_export.h"
#include <QTabWidget>
#include <functional>

class HOST_EXPORT TPageControl : public QTabWidget {
    Q_OBJECT
public:
    explicit TPageControl(QWidget *parent = nullptr);
    void SetActivePage(QWidget *page);
    QWidget *ActivePage() const { return currentWidget(); }
    void SetPageEnabled(QWidget *page, bool enabled);
    bool PageEnabled(QWidget *page) const;
    std::function<void()> OnChange;
private:
    bool m_programmatic = false;
};
