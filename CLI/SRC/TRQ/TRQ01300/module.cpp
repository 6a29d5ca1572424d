#include "module.h"
#include "Cli_trq01300.h"
#include "Cli_trq01301.h"
#include "application.h"
#include "busy.h"
#include "dispatch.h"
#include "packageinfo.h"

#include <QApplication>
#include <QMainWindow>
#include <memory>

// The package's resources (message tables, mark pictures) are registered on
// load, whether the units are built as the package or linked statically.
static void registerResources() { Q_INIT_RESOURCE(PKG_TRQ01300); }

namespace trq01300 {

QPointer<TfrmHistoricoBem> frmHistoricoBem;
bool boIdCriado = false;
bool boPrimeiraVez = true;
QString StCDIndice;
QString StTpIndice;
QPointer<TfrmFiltroHistOpBem> frmFiltroHistOpBem;

void CriaHistoricoBem()
{
    host::setWaitCursor(true);
    if (!boIdCriado) {
        // A screen whose creation failed is not kept: the error reaches the
        // caller and the next call tries again.
        std::unique_ptr<TfrmHistoricoBem> novo(new TfrmHistoricoBem(nullptr));
        novo->Create();
        frmHistoricoBem = novo.release();
        boIdCriado = true;
    }
    TApplication::ShowForm(frmHistoricoBem);
    TApplication::RestoreForm(frmHistoricoBem);
    host::setWaitCursor(false);
}

void withBusy(const std::function<void()> &step) { RunBusy(TApplication::MainForm(), 6, step); }

void CriaFiltroHistOpBem()
{
    host::setWaitCursor(true);
    if (!frmFiltroHistOpBem) {
        frmFiltroHistOpBem = new TfrmFiltroHistOpBem(TApplication::MainForm());
        frmFiltroHistOpBem->Create();
    }
    frmFiltroHistOpBem->setVisible(false);
    frmFiltroHistOpBem->ShowModal();
    host::setWaitCursor(false);
}

void initializeUnits()
{
    registerResources();
    frmHistoricoBem = nullptr;
    boIdCriado = false;
    boPrimeiraVez = true;
    StCDIndice.clear();
    StTpIndice.clear();
    frmFiltroHistOpBem = nullptr;
}

void finalizeUnits()
{
    StTpIndice.clear();
    StCDIndice.clear();
    // The forms' code lives in this library: none may outlive the unload.
    delete frmFiltroHistOpBem.data();
    if (frmHistoricoBem) {
        QWidget *w = frmHistoricoBem;
        if (QWidget *sub = w->parentWidget()) delete sub;
        else delete w;
    }
    boIdCriado = false;
}

}  // namespace trq01300

namespace {
const char *const kUnits[] = {"Cli_trq01300", "Cli_trq01301", nullptr};
const HostPackageInfo kInfo{kHostPackageAbi, "PKG_TRQ01300", "Histórico de Operações do Bem", kUnits,
                            "&Patrimônio", "&Histórico de Operações do Bem", "Ctrl+Shift+H"};
}  // namespace

// No exception crosses a C entry point: each hands its error to the host,
// which reports it.
extern "C" {
Q_DECL_EXPORT const HostPackageInfo *GetPackageInfoTable() { return &kInfo; }
Q_DECL_EXPORT void Initialize() { host::runPackageEntry("Initialize", trq01300::initializeUnits); }
Q_DECL_EXPORT void Finalize() { host::runPackageEntry("Finalize", trq01300::finalizeUnits); }
Q_DECL_EXPORT void IniProc() { host::runPackageEntry("IniProc", trq01300::CriaHistoricoBem); }
}
