#pragma once
// Deterministic demo data for the fixed-asset store.
#include <QSqlDatabase>
#include <QString>
#include <functional>

namespace demo {

struct Options {
    QString size = QStringLiteral("small");  // "small" or "large"
    quint32 seed = 1300;
    // Told what is being made as it goes (the large demo takes a minute).
    std::function<void(const QString &)> progress;
};

struct Counts {
    int companies = 0, assets = 0, operations = 0, specs = 0, entries = 0;
};

// Creates the schema (dropping the tables first) and fills it. Throws
// std::runtime_error with the reason on failure.
Counts generate(QSqlDatabase db, const Options &opt);
// The schema text, statements separated by ';'.
QString schemaText();

}  // namespace demo
