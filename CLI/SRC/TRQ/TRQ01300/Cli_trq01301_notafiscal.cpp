// The filter dialog's invoice number and series lookups, and the registration
// numbers of its client and supplier lists.
#include "Cli_trq01301.h"
#include "ui_Cli_trq01301.h"
#include "Cli_trq01300.h"
#include "module.h"

#include "adoibquery.h"
#include "btnpesquisa.h"
#include "consiste.h"
#include "dispatch.h"
#include "maskedit.h"
#include "messages.h"
#include "netconnection.h"
#include "trq01300_layouts.h"

#include <QLineEdit>
#include <QRadioButton>

using trq01300::frmHistoricoBem;

namespace {
// The series texts, one per database kind; the dialog binds none of their parameters.
const char *const kSerieMssql = "SELECT CDSERIE, DSSERIE\n"
                                "  FROM SERIENF\n"
                                " WHERE :P_CDEMPRESA = CDEMPRESA\n"
                                "   AND ((CHARINDEX(:P_CDEMPRESA, CDEMPRESA)>0) OR (:P_TCDEMPRESA = 'T'))\n"
                                "ORDER BY CDSERIE";
const char *const kSerieIb = "SELECT CDSERIE, DSSERIE\n"
                             "  FROM SERIENF\n"
                             " WHERE :P_CDEMPRESA = CDEMPRESA\n"
                             "   AND ((INSTR(:P_CDEMPRESA, CDEMPRESA)>0) OR (:P_TCDEMPRESA = 'T'))\n"
                             "ORDER BY CDSERIE";
const char *const kSerieOracle = "SELECT S.CDSERIE, S.DSSERIE\n"
                                 "  FROM SERIENF S, FILIAL F\n"
                                 " WHERE :P_CDEMPRESA = S.CDEMPRESA\n"
                                 "   AND ((INSTR(:P_CDSERIE, S.CDSERIE)>0) OR (:P_TCDSERIE = 'T'))\n"
                                 "   AND S.CDINSCESTA = F.CDINSCESTA\n"
                                 "   AND S.CDINSCMUNI = F.CDINSCMUNI\n"
                                 "ORDER BY S.CDSERIE";
const char *const kSerieSqlite = "SELECT CDSERIE, DSSERIE\n"
                                 "  FROM SERIENF\n"
                                 " WHERE :P_CDEMPRESA = CDEMPRESA\n"
                                 "   AND ((INSTR(:P_CDEMPRESA, CDEMPRESA)>0) OR (:P_TCDEMPRESA = 'T'))\n"
                                 "ORDER BY CDSERIE";
const char *const kSeriePostgresql = "SELECT CDSERIE, DSSERIE\n"
                                     "  FROM SERIENF\n"
                                     " WHERE :P_CDEMPRESA = CDEMPRESA\n"
                                     "   AND ((STRPOS(:P_CDEMPRESA, CDEMPRESA)>0) OR (:P_TCDEMPRESA = 'T'))\n"
                                     "ORDER BY CDSERIE";

// The digits of a number as the edit holds them (its mask shows leading blanks).
QString digitsOf(const QString &text) { return text.trimmed(); }
}  // namespace

void TfrmFiltroHistOpBem::buildInvoiceLists()
{
    cdsNotaFisc = new TClientDataSet(this, QStringLiteral("cdsNotaFisc"));
    cdsNotaFisc->AddFields(trq01300::layout::notaFisc());
    presentFields(cdsNotaFisc, {{"CDFILIAL", "Filial", true, nullptr, 6},
                                {"NRNOTAFISC", "Nr.Nota", true, nullptr, 12},
                                {"NRLANCTONF", "Lançamento", true, nullptr, 12},
                                {"VRNOTAFISC", "Valor", true, "#,##0.00", 12},
                                {"DTEMISSAO", "Emissão", true},
                                {"NMFANTCLIE", "Cliente", true, nullptr, 52},
                                {"NMFANTFORN", "Fornecedor", true},
                                {"CDSERIE", "Série Saída", true},
                                {"CDSERIEENTR", "Série Entrada", true},
                                {"IDENTRSAIDOP", "Entrada/Saída", true, nullptr, 9}});
    dtsNotaFisc = new TDataSource(this, cdsNotaFisc, QStringLiteral("dtsNotaFisc"));

    qrySerieNF = new TADOIBQuery(this, QStringLiteral("qrySerieNF"));
    qrySerieNF->SetSQLFor(QStringLiteral("mssql"), QString::fromUtf8(kSerieMssql));
    qrySerieNF->SetSQLFor(QStringLiteral("interbase"), QString::fromUtf8(kSerieIb));
    qrySerieNF->SetSQLFor(QStringLiteral("oracle"), QString::fromUtf8(kSerieOracle));
    qrySerieNF->SetSQLFor(QStringLiteral("sqlite"), QString::fromUtf8(kSerieSqlite));
    qrySerieNF->SetSQLFor(QStringLiteral("postgresql"), QString::fromUtf8(kSeriePostgresql));
    qrySerieNF->AddField(QStringLiteral("CDSERIE"), TFieldKind::String, 5, QStringLiteral("Código"));
    qrySerieNF->AddField(QStringLiteral("DSSERIE"), TFieldKind::String, 20, QStringLiteral("Descrição"));
    dtsSerieNF = new TDataSource(this, qrySerieNF, QStringLiteral("dtsSerieNF"));
}

void TfrmFiltroHistOpBem::wireInvoiceHandlers()
{
    TBtnPesquisa *numero = btpNumero;
    numero->Associate = medNumero;
    numero->DataSource = dtsNotaFisc;
    numero->Title = QStringLiteral("Nota Fiscal");
    numero->EmptyError = QStringLiteral("Não há Nota Fiscal cadastrada");
    numero->setToolTip(QStringLiteral("Pesquisar"));
    numero->OnBeforePesq = [this](TBtnPesquisa *s, bool &a) { btpNumeroBeforePesq(s, a); };
    numero->OnAfterPesq = [this](TBtnPesquisa *s) { btpNumeroAfterPesq(s); };

    TBtnPesquisa *serie = btpSerieNF;
    serie->DataSource = dtsSerieNF;
    serie->EmptyError = QStringLiteral("Não há Série cadastrada");
    // The list opens with the company's series; the handlers themselves do nothing.
    serie->OnBeforePesq = [this](TBtnPesquisa *s, bool &a) {
        qrySerieNF->Close();
        qrySerieNF->SetParam(QStringLiteral("P_CDEMPRESA"), empresaLinha());
        qrySerieNF->SetParam(QStringLiteral("P_TCDEMPRESA"), kT);
        qrySerieNF->Open();
        btpSerieNFBeforePesq(s, a);
    };
    serie->OnAfterPesq = [this](TBtnPesquisa *s) { btpSerieNFAfterPesq(s); };
    medSerieNF->setMaxLength(5);
    connect(medSerieNF, &QLineEdit::textChanged, this, [this] { host::dispatch([this] { medSerieNFChange(); }); });
    connect(medSerieNF, &QLineEdit::editingFinished, this, [this] { host::dispatch([this] { medSerieNFExit(); }); });
    edtSerieNF->setEnabled(false);
    edtSerieNF->setReadOnly(true);

    qryCliente->FieldByName(QStringLiteral("NRINSJURCLIE"))->OnGetText = [this](TField *f, QString &t, bool d) {
        qryClienteNRINSJURCLIEGetText(f, t, d);
    };
    qryFornecedor->FieldByName(QStringLiteral("NRINSJURFORN"))->OnGetText = [this](TField *f, QString &t, bool d) {
        qryFornecedorNRINSJURFORNGetText(f, t, d);
    };
}

void TfrmFiltroHistOpBem::btpNumeroBeforePesq(TBtnPesquisa *, bool &)
{
    // Restrictions from the radio buttons as they stand now, not from the validated flags.
    QString stClienteNota, stTClienteNota, stFornecedNota, stTFornecedNota;
    if (rbtTdCliente->isChecked()) stTClienteNota = kT;
    else stClienteNota = stCliente;
    if (rbtTdFornec->isChecked()) stTFornecedNota = kT;
    else stFornecedNota = stFornecedor;
    const wire::Reply r = frmHistoricoBem->netHistoricoBem->Call(
        QStringLiteral("GetNotaFisc"), {TNetArg::Val(empresaTexto()), TNetArg::Ref(stClienteNota), TNetArg::Ref(stTClienteNota),
                                        TNetArg::Ref(stFornecedNota), TNetArg::Ref(stTFornecedNota)});
    cdsNotaFisc->LoadFromPacket(CheckResultServ(r, true, 0));
    if (cdsNotaFisc->IsEmpty()) {
        medNumero->setFocus();
        MensErroAborta(msgPadrao->Msg(QStringLiteral("NOTANF_NCAD")));
    }
}

void TfrmFiltroHistOpBem::btpNumeroAfterPesq(TBtnPesquisa *)
{
    const QString numero = cdsNotaFisc->FieldByName(QStringLiteral("NRNOTAFISC"))->AsString();
    // The edit holds up to ten digits: a number it cannot hold whole is refused
    // rather than cut, so the filter is never a different number.
    const QString antes = medNumero->Text();
    medNumero->SetText(numero);
    if (digitsOf(medNumero->Text()) != numero.trimmed()) {
        medNumero->SetText(antes);
        medNumero->setFocus();
        MensErroAborta(QStringLiteral("A Nota Fiscal %1 não pode ser usada no filtro: o número aceita até 10 dígitos.")
                     .arg(numero.trimmed()));
    }
}

void TfrmFiltroHistOpBem::btpSerieNFBeforePesq(TBtnPesquisa *, bool &) {}
void TfrmFiltroHistOpBem::btpSerieNFAfterPesq(TBtnPesquisa *) {}
void TfrmFiltroHistOpBem::medSerieNFChange() {}
void TfrmFiltroHistOpBem::medSerieNFExit() {}

namespace {
void inscricaoText(TField *numero, const QString &tipoCampo, QString &text)
{
    const QString valor = numero->AsString();
    if (EmptyString(valor)) return;
    text = FormatMaskText(PictPess(numero->DataSet()->FieldByName(tipoCampo)->AsString()), valor);
}
}  // namespace

void TfrmFiltroHistOpBem::qryClienteNRINSJURCLIEGetText(TField *s, QString &t, bool)
{
    inscricaoText(s, QStringLiteral("IDTPIJURCLIE"), t);
}

void TfrmFiltroHistOpBem::qryFornecedorNRINSJURFORNGetText(TField *s, QString &t, bool)
{
    inscricaoText(s, QStringLiteral("IDTPIJURFORN"), t);
}
