#include "generator.h"
#include "schema_text.h"

#include <QDate>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <cmath>
#include <stdexcept>

namespace demo {

namespace {

// Children before parents; the company grants of db/security.sql go with the
// companies and operators they name.
const char *kTables[] = {"OPERADOREMPRESA", "VALORINDICE", "INDICEFIN", "CTBLITCAPAOPE", "CONTACTBL", "ESPECITCAPAOPE",
                         "ESPECIFICABEM", "OPERABEM", "CAPAOPERABEM", "MOTIVOOPER", "TIPOOPERBEM",
                         "BEMATIVO", "GRUPOBEM", "NOTAFISCAL", "SERIENF", "FORNECEDOR", "CLIENTE",
                         "OPERADOR", "SETOR", "CENTCUSTO", "FILIAL", "EMPRESA"};

[[noreturn]] void fail(const QString &what, const QSqlError &e)
{
    throw std::runtime_error((what + QStringLiteral(": ") + e.text()).toStdString());
}

void exec(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql)) fail(sql.left(60), q.lastError());
}

// Prepared insert with positional values.
class Inserter {
public:
    Inserter(QSqlDatabase &db, const QString &table, int n) : m_q(db)
    {
        QStringList marks;
        for (int i = 0; i < n; ++i) marks << QStringLiteral("?");
        m_sql = QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(table, marks.join(QLatin1Char(',')));
        if (!m_q.prepare(m_sql)) fail(m_sql, m_q.lastError());
    }
    void operator()(const QVariantList &values)
    {
        for (int i = 0; i < values.size(); ++i) m_q.bindValue(i, values[i]);
        if (!m_q.exec()) fail(m_sql, m_q.lastError());
    }
private:
    QSqlQuery m_q;
    QString m_sql;
};

QVariant nullText() { return QVariant(QMetaType(QMetaType::QString)); }
QVariant nullDate() { return QVariant(QMetaType(QMetaType::QDate)); }
QVariant nullDateTime() { return QVariant(QMetaType(QMetaType::QDateTime)); }

QString pad(qint64 n, int w) { return QStringLiteral("%1").arg(n, w, 10, QLatin1Char('0')); }

const QStringList kFirst = {"Ana", "Bruno", "Carla", "Diego", "Eduarda", "Felipe", "Gabriela", "Heitor",
                            "Isabela", "João", "Larissa", "Marcos", "Natália", "Otávio", "Paula", "Rafael"};
const QStringList kLast = {"Silva", "Souza", "Oliveira", "Pereira", "Costa", "Almeida", "Ferreira",
                           "Rodrigues", "Gomes", "Martins", "Araújo", "Barbosa"};
const QStringList kAssetNames = {"Torno CNC", "Empilhadeira", "Notebook", "Servidor", "Caminhão",
                                 "Compressor", "Mesa escritório", "Cadeira", "Ar condicionado",
                                 "Impressora", "Prensa hidráulica", "Veículo utilitário", "Gerador",
                                 "Balança industrial", "Roteador", "Monitor 27\"", "Esteira", "Furadeira"};
const QStringList kGroups = {"Máquinas e Equipamentos", "Veículos", "Móveis e Utensílios",
                             "Equipamentos de Informática", "Edificações", "Instalações"};
const QStringList kTypeNames = {"Imobilização", "Depreciação mensal", "Transferência entre filiais",
                                "Baixa por venda", "Baixa por perda ou sinistro", "Reavaliação de ativo",
                                "Suspensão de depreciação", "Retorno de depreciação",
                                "Transferência de conta contábil"};
const QStringList kReasons = {"Rotina", "Ajuste", "Auditoria", "Solicitação da diretoria", "Inventário"};
const QStringList kCities = {"Campinas", "Curitiba", "Recife", "Porto Alegre", "Belo Horizonte", "Salvador"};

}  // namespace

QString schemaText()
{
    return QString::fromUtf8(kSchemaSql);
}

Counts generate(QSqlDatabase db, const Options &opt)
{
    const bool large = opt.size == QLatin1String("large");
    if (!large && opt.size != QLatin1String("small"))
        throw std::runtime_error("size must be small or large");
    QRandomGenerator rng(opt.seed);
    auto pick = [&](const QStringList &l) { return l.at(rng.bounded(l.size())); };
    auto chance = [&](int pct) { return int(rng.bounded(100)) < pct; };
    Counts counts;

    // SQLite checks foreign keys only when asked, per connection; asking here
    // makes the demo prove it satisfies them on both databases.
    if (db.driverName() == QLatin1String("QSQLITE")) exec(db, QStringLiteral("PRAGMA foreign_keys = ON"));
    const bool postgres = db.driverName() == QLatin1String("QPSQL");
    for (const char *t : kTables) {
        QSqlQuery q(db);
        // The grants' table goes with the policies that read it (PostgreSQL only has either).
        const bool grants = qstrcmp(t, "OPERADOREMPRESA") == 0;
        q.exec(QStringLiteral("DROP TABLE IF EXISTS %1%2").arg(QLatin1String(t), grants && postgres ? QStringLiteral(" CASCADE") : QString()));
    }
    for (const QString &stmt : schemaText().split(QLatin1Char(';'))) {
        QString s;
        for (const QString &line : stmt.split(QLatin1Char('\n')))
            if (!line.trimmed().startsWith(QLatin1String("--"))) s += line + QLatin1Char('\n');
        if (!s.trimmed().isEmpty()) exec(db, s);
    }
    if (!db.transaction()) fail(QStringLiteral("BEGIN"), db.lastError());

    // Companies: "01" holds most of the data, "10" tests two-digit codes,
    // "04" exists but has no asset groups and no operations.
    const QStringList companies = {"01", "02", "03", "04", "10"};
    const QStringList companyNames = {"Metalúrgica Aurora Ltda", "Transportes Serra Azul S/A",
                                      "Comércio Vale Verde Ltda", "Holding Nova Era S/A",
                                      "Agroindústria Campo Alto Ltda"};
    Inserter insEmp(db, "EMPRESA", 2);
    for (int i = 0; i < companies.size(); ++i) insEmp({companies[i], companyNames[i]});
    counts.companies = companies.size();

    Inserter insFil(db, "FILIAL", 5);
    QHash<QString, QStringList> branches;
    int fil = 1;
    for (const QString &c : companies) {
        for (int k = 0; k < 3; ++k, ++fil) {
            const QString cd = pad(fil, 4);
            branches[c] << cd;
            insFil({cd, c, QStringLiteral("Filial %1").arg(kCities[(fil - 1) % kCities.size()]),
                    pad(100000 + fil, 9), pad(5000 + fil, 7)});
        }
    }
    Inserter insCC(db, "CENTCUSTO", 2);
    const QStringList ccNames = {"Administração", "Produção", "Logística", "Comercial", "Manutenção",
                                 "Tecnologia da Informação", "Financeiro", "Recursos Humanos"};
    for (int i = 0; i < ccNames.size(); ++i) insCC({pad(i + 1, 4), ccNames[i]});
    Inserter insSet(db, "SETOR", 3);
    const QStringList setNames = {"Usinagem", "Montagem", "Expedição", "Almoxarifado", "Escritório",
                                  "Laboratório", "Pintura"};
    for (int i = 0; i < setNames.size(); ++i)
        insSet({pad(i + 1, 4), setNames[i].left(3).toUpper() + QString::number(i + 1), setNames[i]});

    Inserter insOp(db, "OPERADOR", 3);
    QStringList operators;
    for (int i = 0; i < 10; ++i) {
        const QString cd = QStringLiteral("OPER%1").arg(pad(i + 1, 3));
        operators << cd;
        insOp({cd, kFirst[i] + QLatin1Char(' ') + kLast[i % kLast.size()], i == 9 ? "I" : "A"});
    }

    Inserter insCli(db, "CLIENTE", 5);
    QStringList clients;
    for (int i = 0; i < 40; ++i) {
        const bool pj = i % 3 != 0;
        const QString cd = pad(i + 1, 6);
        clients << cd;
        const QString nr = i == 7 ? QString() : pj ? pad(10000000000000LL + qint64(rng.bounded(89999999)) * 10000 + 1, 14)
                                                  : pad(10000000000LL + qint64(rng.bounded(899999999)), 11);
        const QString nm = pj ? QStringLiteral("%1 %2 Ltda").arg(pick(kLast), pick(kCities))
                              : pick(kFirst) + QLatin1Char(' ') + pick(kLast);
        insCli({cd, nr.isEmpty() ? nullText() : QVariant(nr), nm, nm.left(30), pj ? "J" : "F"});
    }
    Inserter insFor(db, "FORNECEDOR", 5);
    QStringList suppliers;
    for (int i = 0; i < 25; ++i) {
        const bool pj = i % 4 != 0;
        const QString cd = pad(i + 1, 6);
        suppliers << cd;
        const QString nr = pj ? pad(20000000000000LL + qint64(rng.bounded(89999999)) * 10000 + 1, 14)
                              : pad(20000000000LL + qint64(rng.bounded(899999999)), 11);
        const QString nm = pj ? QStringLiteral("Fornecedora %1 S/A").arg(pick(kLast)) : pick(kFirst) + QLatin1Char(' ') + pick(kLast);
        insFor({cd, nr, nm.left(40), nm.left(30), pj ? "J" : "F"});
    }

    Inserter insSer(db, "SERIENF", 5);
    Inserter insNF(db, "NOTAFISCAL", 11);
    QHash<QString, QVector<QPair<QString, QString>>> invoices;  // company -> (number, series)
    int lancto = 1;
    for (const QString &c : companies) {
        insSer({c, "1", "Série única", nullText(), nullText()});
        insSer({c, "E", "Entrada", nullText(), nullText()});
        if (c == QLatin1String("04")) continue;
        for (int i = 0; i < 30; ++i, ++lancto) {
            const bool saida = i % 2 == 0;
            const QString nr = QString::number(1000 + lancto);
            invoices[c].push_back({nr, saida ? "1" : "E"});
            insNF({c, pad(lancto, 6), branches[c][i % 3], nr, 1000.0 + rng.bounded(500000) / 10.0,
                   QDateTime(QDate(2024, 1, 1).addDays(rng.bounded(1000)), QTime(10, 30)),
                   saida ? QVariant(clients[rng.bounded(clients.size())]) : nullText(),
                   saida ? nullText() : QVariant(suppliers[rng.bounded(suppliers.size())]),
                   saida ? QVariant("1") : nullText(), saida ? nullText() : QVariant("E"),
                   saida ? "Saída" : "Entrada"});
        }
    }

    Inserter insGrp(db, "GRUPOBEM", 3);
    Inserter insBem(db, "BEMATIVO", 7);
    Inserter insTipo(db, "TIPOOPERBEM", 4);
    Inserter insMot(db, "MOTIVOOPER", 4);
    struct Asset { QString code; QDate acq; QString group; };
    QHash<QString, QVector<Asset>> assets;
    QHash<QString, QStringList> reasonsOf;  // company+type -> reason codes
    const int opsPerCompany = large ? 120000 : 1500;
    for (const QString &c : companies) {
        if (c == QLatin1String("04")) continue;
        QStringList groups;
        for (int g = 0; g < kGroups.size(); ++g) {
            const QString cd = pad(g + 1, 3);
            groups << cd;
            insGrp({c, cd, kGroups[g]});
        }
        const int nAssets = large ? 4000 : (c == QLatin1String("01") ? 240 : 90);
        for (int a = 0; a < nAssets; ++a) {
            QString code = pad(a + 1, 6);
            if (a % 97 == 5) code = QStringLiteral("IMOB-%1-%2").arg(c, code) + QString(40 + a % 200, QLatin1Char('X')).left(200);
            const QDate acq = a % 20 == 3 ? QDate() : QDate(2015, 1, 1).addDays(rng.bounded(4000));
            const QString grp = groups[a % groups.size()];
            assets[c].push_back({code, acq, grp});
            insBem({c, code, QStringLiteral("PAT-%1").arg(pad(a + 1, 5)),
                    (pick(kAssetNames) + QLatin1Char(' ') + QString::number(a + 1)).left(20), grp,
                    a % 31 == 7 ? "C" : "R", acq.isValid() ? QVariant(acq) : nullDate()});
        }
        counts.assets += nAssets;
        for (int t = 0; t < 9; ++t) {
            const QString cd = pad(t + 1, 3);
            insTipo({c, cd, kTypeNames[t], pad(t + 1, 2)});
            for (int r = 0; r < 1 + t % 3; ++r) {
                const QString rc = pad(r + 1, 2);
                reasonsOf[c + cd] << rc;
                insMot({c, cd, rc, kReasons[(t + r) % kReasons.size()]});
            }
        }
    }

    Inserter insEsp(db, "ESPECIFICABEM", 4);
    const QList<QStringList> specs = {{"000001", "Data da garantia", "Garantia", "01"},
                                      {"000002", "Valor residual", "Vl.Residual", "02"},
                                      {"000003", "Número de série", "Nr.Série", "03"},
                                      {"000004", "Data da última revisão", "Últ.Revisão", "01"},
                                      {"000005", "Potência (kW)", "Potência", "02"},
                                      {"000006", "Localização física", "Local", "03"}};
    for (const QStringList &s : specs) insEsp({s[0], s[1], s[2], s[3]});
    Inserter insConta(db, "CONTACTBL", 2);
    const QList<QStringList> accounts = {{"123010001", "Máquinas e Equipamentos"},
                                         {"123010002", "Veículos"},
                                         {"123090001", "(-) Depreciação Acumulada"},
                                         {"341010001", "Despesa de Depreciação"},
                                         {"351010001", "Ganho na Alienação de Bens"},
                                         {"352010001", "Perda na Alienação de Bens"},
                                         {"112010001", "Clientes"}};
    for (const QStringList &a : accounts) insConta({a[0], a[1]});

    Inserter insCapa(db, "CAPAOPERABEM", 4);
    Inserter insOper(db, "OPERABEM", 33);
    Inserter insSpec(db, "ESPECITCAPAOPE", 7);
    Inserter insCtbl(db, "CTBLITCAPAOPE", 7);
    const QString longObs = QStringLiteral(
        "Operação registrada conforme laudo técnico da comissão de inventário. O bem foi vistoriado "
        "no local, conferido com a plaqueta patrimonial e com a nota fiscal de aquisição. Constatou-se "
        "desgaste compatível com o uso, sem avarias estruturais. A depreciação segue a vida útil "
        "revisada pela área contábil, com taxa anual ajustada ao laudo. Documentos arquivados na pasta "
        "do bem, setor de patrimônio, caixa 12.");
    for (const QString &c : companies) {
        if (c == QLatin1String("04")) continue;
        const int nOps = c == QLatin1String("01") ? opsPerCompany : opsPerCompany / 3;
        const auto &as = assets[c];
        int capa = 0, item = 0, itemsInCapa = 0;
        for (int i = 0; i < nOps; ++i) {
            if (opt.progress && (i % 10000 == 0 || i + 1 == nOps))
                opt.progress(QStringLiteral("empresa %1: operação %2 de %3").arg(c).arg(i + 1).arg(nOps));
            if (item >= itemsInCapa) {
                ++capa;
                item = 0;
                itemsInCapa = 1 + rng.bounded(3);
                insCapa({c, pad(capa, 8), QDate(2023, 1, 1).addDays(i * 1400 / nOps), operators[capa % 9]});
            }
            ++item;
            const Asset &a = as[rng.bounded(as.size())];
            const int kind = i % 9 + 1;
            const QString tipo = pad(kind, 3);
            const QStringList &rs = reasonsOf[c + tipo];
            const QString mot = rs[rng.bounded(rs.size())];
            const QDate dt = QDate(2023, 1, 1).addDays(i * 1400 / nOps);
            const int sit = i % 10 < 5 ? 2 : i % 10 < 8 ? 1 : 3;
            const double valor = 500.0 + rng.bounded(2000000) / 10.0;
            // Money columns hold cents: the depreciation share rounded to them, what is
            // left worked out in whole cents.
            const double ja = std::round(valor * rng.bounded(80)) / 100.0;
            const double falta = double(std::llround(valor * 100) - std::llround(ja * 100)) / 100.0;
            const bool hasInvoice = (kind == 1 || kind == 4) && !invoices[c].isEmpty();
            const auto inv = hasInvoice ? invoices[c][rng.bounded(invoices[c].size())] : QPair<QString, QString>();
            const QDateTime inc(dt, QTime(8 + i % 10, i % 60, i % 7 == 0 ? 30 : 0));
            const bool changed = i % 4 == 0, cancelled = sit == 3;
            const QString obs = i % 50 == 0 ? longObs : i % 3 == 0 ? QStringLiteral("Lançamento %1 conferido.").arg(i + 1) : QString();
            insOper({c, pad(i + 1, 8), pad(capa, 8), QString::number(item), a.code, dt, tipo, mot,
                     pad(kind, 2), QString::number(sit), operators[i % 10],
                     kind == 4 ? QVariant(clients[rng.bounded(clients.size())]) : nullText(),
                     kind == 1 ? QVariant(suppliers[rng.bounded(suppliers.size())]) : nullText(),
                     hasInvoice ? QVariant(inv.first) : nullText(), hasInvoice ? QVariant(inv.second) : nullText(),
                     valor, branches[c][i % 3], pad(1 + i % 8, 4), pad(1 + i % 7, 4),
                     kind == 6 ? QVariant(pad(900000 + i, 6)) : nullText(), double(60 + 12 * (i % 5)),
                     10.0 + (i % 4) * 5.0, ja, falta, double(i % 48), double(60 - i % 48), inc,
                     operators[(i + 1) % 10], changed ? QVariant(inc.addDays(3)) : nullDateTime(),
                     changed ? QVariant(operators[(i + 2) % 10]) : nullText(),
                     cancelled ? QVariant(inc.addDays(10)) : nullDateTime(),
                     cancelled ? QVariant(operators[(i + 3) % 10]) : nullText(),
                     obs.isEmpty() ? nullText() : QVariant(obs)});
            ++counts.operations;
            const QString capaCd = pad(capa, 8), itCd = QString::number(item);
            const int nSpecs = i % 5 == 4 ? 0 : 1 + i % 3;
            for (int s = 0; s < nSpecs; ++s) {
                const QStringList &sp = specs[(i + s) % specs.size()];
                QVariant dtv = nullDateTime(), vr = nullText(), ds = nullText();
                if (sp[3] == QLatin1String("01"))
                    dtv = QDateTime(dt.addYears(1), s == 1 ? QTime(0, 0, 30) : QTime(0, 0));
                else if (sp[3] == QLatin1String("02"))
                    vr = (i % 7 == 0 ? QStringLiteral("  %1  ") : QStringLiteral("%1")).arg(rng.bounded(100000) / 100.0);
                else
                    ds = QStringLiteral("SN-%1-%2").arg(c, pad(i, 6));
                insSpec({c, capaCd, itCd, sp[0], dtv, vr, ds});
                ++counts.specs;
            }
            if (i % 6 != 5) {
                const QString deb = kind == 2 ? "341010001" : "123010001";
                const QString cred = kind == 2 ? "123090001" : "112010001";
                insCtbl({c, capaCd, itCd, "001", "D", deb, valor});
                insCtbl({c, capaCd, itCd, "002", "C", cred, valor});
                counts.entries += 2;
            }
        }
    }

    // Financial indices: daily ones have no value on weekends; one date holds
    // zero; the monthly IPCA misses some months.
    Inserter insInd(db, "INDICEFIN", 5);
    insInd({"0001", "CDI", "Depósito Interbancário", "1", "D"});
    insInd({"0002", "IGPM", "Índice Geral de Preços-Mercado", "2", "M"});
    insInd({"0003", "UFIR", "Unidade Fiscal de Referência", "1", "D"});
    insInd({"0004", "IPCA", "Preços ao Consumidor Amplo", "2", "M"});
    insInd({"0005", "USD", "Dólar comercial", "1", "D"});
    Inserter insVal(db, "VALORINDICE", 3);
    double cdi = 1.0, ufir = 0.8287, usd = 2.65;
    for (QDate d(2014, 1, 1); d <= QDate(2026, 12, 31); d = d.addDays(1)) {
        cdi *= 1.00035;
        ufir *= 1.0002;
        usd *= 1.0 + (int(rng.bounded(200)) - 98) / 100000.0;
        if (d.dayOfWeek() >= 6) continue;
        insVal({"0001", d, d == QDate(2020, 3, 2) ? 0.0 : cdi});
        if (d.year() <= 2019) insVal({"0003", d, ufir});
        insVal({"0005", d, usd});
    }
    double igpm = 1.0, ipca = 1.0;
    for (QDate m(2014, 1, 1); m <= QDate(2026, 12, 1); m = m.addMonths(1)) {
        igpm *= 1.0045;
        ipca *= 1.0038;
        insVal({"0002", m, igpm});
        if (m.month() != 7) insVal({"0004", m, ipca});
    }
    if (!db.commit()) fail(QStringLiteral("COMMIT"), db.lastError());
    return counts;
}

}  // namespace demo
