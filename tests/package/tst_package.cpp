// Loading the real screen package the way backoffice does.
#include "packageloader.h"
#include "frmpadraogrid.h"
#include "prompter.h"
#include "vantiro.h"

#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

class TstPackage : public QObject {
    Q_OBJECT
private slots:
    void missingLibraryIsReported();
    void libraryWithoutEntriesIsRefused();
    void iniProcOpensOneScreen();
};

namespace {
QList<TfrmPadraoGrid *> screens()
{
    QList<TfrmPadraoGrid *> out;
    for (QWidget *w : QApplication::allWidgets())
        if (auto *f = qobject_cast<TfrmPadraoGrid *>(w); f && f->isVisible()) out << f;
    return out;
}
}  // namespace

void TstPackage::missingLibraryIsReported()
{
    QTemporaryDir dir;
    PackageLoader l("PKG_TRQ01300", dir.path());
    QVERIFY(!l.load());
    QVERIFY(l.error().startsWith("Não foi possível carregar o pacote PKG_TRQ01300"));
}

void TstPackage::libraryWithoutEntriesIsRefused()
{
    // The host library is a real shared library that is no screen package.
    PackageLoader l("hostlib", QCoreApplication::applicationDirPath());
    QVERIFY(!l.load());
    QCOMPARE(l.error(), QString("O pacote hostlib não exporta a entrada GetPackageInfoTable."));
}

void TstPackage::iniProcOpensOneScreen()
{
    // No server listens there: the screen opens and says why it has no connection.
    host::ScriptedPrompter sp;
    host::setPrompter(&sp);
    Vantiro::SetWebURL("127.0.0.1");
    Vantiro::SetWebPort(1);
    PackageLoader l("PKG_TRQ01300", QCoreApplication::applicationDirPath());
    QVERIFY2(l.load(), qPrintable(l.error()));
    QCOMPARE(QString::fromUtf8(l.info()->title), QString("Histórico de Operações do Bem"));
    l.openScreen();
    l.openScreen();
    QCOMPARE(screens().size(), 1);
    QCOMPARE(sp.texts("error").size(), 1);
    QVERIFY(sp.texts("error").first().startsWith("Não foi possível conectar ao servidor de aplicação 127.0.0.1:1"));
    TfrmPadraoGrid *first = screens().first();
    QCOMPARE(first->lblCodTela->text(), QString("TRQ01300"));
    QPointer<TfrmPadraoGrid> gone(first);
    first->close();
    QTRY_VERIFY(!gone);
    l.openScreen();
    QCOMPARE(screens().size(), 1);
    l.unload();  // the package takes its forms with it
    QCOMPARE(screens().size(), 0);
    host::setPrompter(nullptr);
}

QTEST_MAIN(TstPackage)
#include "tst_package.moc"
