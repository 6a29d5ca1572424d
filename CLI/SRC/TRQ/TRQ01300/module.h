#pragma once
// Module-wide state of the package, shared by the screen and the filter dialog.
#include <QPointer>
#include <QString>
#include <functional>

class TfrmHistoricoBem;
class TfrmFiltroHistOpBem;

namespace trq01300 {

// Unit Cli_trq01300.
extern QPointer<TfrmHistoricoBem> frmHistoricoBem;
extern bool boIdCriado;      // the screen exists
extern bool boPrimeiraVez;   // the screen has not been activated since the package was loaded
extern QString StCDIndice;   // code of the chosen financial index
extern QString StTpIndice;   // its type: "1" daily, "2" monthly
// Unit Cli_trq01301.
extern QPointer<TfrmFiltroHistOpBem> frmFiltroHistOpBem;

void CriaHistoricoBem();
// A remote step behind the busy animation over the main window (kind 6).
void withBusy(const std::function<void()> &step);
void CriaFiltroHistOpBem();

// Load and unload work of the two units.
void initializeUnits();
void finalizeUnits();

}  // namespace trq01300
