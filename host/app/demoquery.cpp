#include "demoquery.h"

#include "application.h"
#include "dateeditplus.h"
#include "maskedit.h"
#include "pagecontrol.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDate>
#include <QLineEdit>
#include <QMdiArea>
#include <QMessageBox>
#include <QMdiSubWindow>
#include <QTimer>
#include <memory>

namespace {

void fillAndConfirm(QWidget *mainWindow, const QString &query, const QString &page, const std::function<void()> &done)
{
    QMdiArea *mdi = TApplication::MdiArea();
    QWidget *screen = mdi && mdi->activeSubWindow() ? mdi->activeSubWindow()->widget() : nullptr;
    const QStringList parts = query.split(QLatin1Char(','));
    auto *company = screen ? screen->findChild<TMaskEdit *>(QStringLiteral("medCdEmpresa")) : nullptr;
    auto *grid = screen ? screen->findChild<QWidget *>(QStringLiteral("dbgPadrao")) : nullptr;
    if (!company || !grid) {
        done();
        return;
    }
    company->setFocus();
    company->SetText(parts.value(0));
    const auto date = [](const QString &t) { return QDate::fromString(t.trimmed(), QStringLiteral("dd/MM/yyyy")); };
    if (auto *start = screen->findChild<TDateEditPlus *>(QStringLiteral("depDtInicial"))) start->SetDate(date(parts.value(1)));
    if (auto *end = screen->findChild<TDateEditPlus *>(QStringLiteral("depDtFinal"))) end->SetDate(date(parts.value(2)));
    if (auto *index = screen->findChild<QLineEdit *>(QStringLiteral("edtSgIndice"))) {
        index->setFocus();  // leaving it looks the index up
        index->setText(parts.value(3).trimmed());
    }
    // Leaving the header opens the filter; its confirmation is pressed once it shows.
    auto *press = new QTimer(mainWindow);
    QObject::connect(press, &QTimer::timeout, press, [press] {
        QWidget *dialog = QApplication::activeModalWidget();
        auto *confirm = dialog ? dialog->findChild<QAbstractButton *>(QStringLiteral("sbtConfirma")) : nullptr;
        if (!confirm) return;
        press->stop();
        press->deleteLater();
        confirm->click();
    });
    // A warning the query raises (rows left unconverted) is read and closed, as
    // the user would, so that the picture shows the history behind it.
    auto *dismiss = new QTimer(mainWindow);
    auto ticks = std::make_shared<int>(0);
    QObject::connect(dismiss, &QTimer::timeout, dismiss, [dismiss, ticks] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) box->accept();
        if (++*ticks > 200) {
            dismiss->stop();
            dismiss->deleteLater();
        }
    });
    dismiss->start(50);
    press->start(50);
    grid->setFocus();
    if (page == QLatin1String("resumo")) {
        // Opened once the history is in: its window is what the picture shows.
        if (auto *open = screen->findChild<QAction *>(QStringLiteral("mnuResumo")))
            QTimer::singleShot(300, open, [open, done] {
                QTimer::singleShot(900, done);
                open->trigger();
            });
        return;
    }
    if (page == QLatin1String("detalhes")) {
        auto *pages = screen->findChild<TPageControl *>(QStringLiteral("pgcPadrao"));
        auto *details = screen->findChild<QWidget *>(QStringLiteral("tshDadosComp"));
        if (pages && details) pages->SetActivePage(details);
    }
    done();
}

}  // namespace

void runDemoQuery(QWidget *mainWindow, const QString &query, const QString &page, const std::function<void()> &done)
{
    // The screen is ready once its first activation put the focus in "Empresa".
    auto *wait = new QTimer(mainWindow);
    auto tries = std::make_shared<int>(0);
    QObject::connect(wait, &QTimer::timeout, wait, [=] {
        QWidget *fw = QApplication::focusWidget();
        if (++*tries < 100 && !(fw && fw->objectName() == QLatin1String("medCdEmpresa"))) return;
        wait->stop();
        wait->deleteLater();
        fillAndConfirm(mainWindow, query, page, done);
    });
    wait->start(50);
}
