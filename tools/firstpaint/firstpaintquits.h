#pragma once
// Ends the program once the window it watches has painted itself: a start
// measured to the moment a user sees the window (backoffice --exit-when-shown,
// and the Qt window bench_coldstart compares it with).
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

class FirstPaintQuits : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (e->type() == QEvent::Paint && !m_done) {
            m_done = true;
            QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
        }
        return QObject::eventFilter(watched, e);
    }

private:
    bool m_done = false;
};
