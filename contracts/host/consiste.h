#pragma once
// Small helpers the screens rely on.
#include "host_export.h"
#include <QDate>
#include <QLocale>
#include <QString>

class TDBGrid;

HOST_EXPORT const QLocale &hostLocale();

// True when nothing was entered: only blanks, or an untouched masked or date box.
HOST_EXPORT bool EmptyString(const QString &text);
// The code brought to its stored width: trimmed and left-padded with zeros.
HOST_EXPORT QString Ajusta(const QString &text, int n);
HOST_EXPORT QDate PriDiaMes(const QDate &d);
HOST_EXPORT QDate UltimoDiaMes(const QDate &d);
// Index of the grid column bound to the field, -1 when none.
HOST_EXPORT int IndiceCol(const TDBGrid *grid, const QString &field);
// Display mask of a registration number: "F" natural person (CPF), "J" company (CNPJ).
HOST_EXPORT QString PictPess(const QString &type);
// The value laid out by an edit mask.
HOST_EXPORT QString FormatMaskText(const QString &mask, const QString &value);
// A number laid out by a picture such as "#,##0.00" or " ###,##0.00", rounded
// as RoundDecimal rounds it.
HOST_EXPORT QString FormatFloat(const QString &picture, double v);
// The one rounding rule of every figure shown, summed, exported or printed:
// half away from zero, on the value's decimal reading (1,005 is 1,01, though
// its binary double lies just below it).
HOST_EXPORT double RoundDecimal(double v, int decimals);
// An amount of money to cents, and in whole cents (for sums that add up exactly).
HOST_EXPORT double RoundMoney(double v);
HOST_EXPORT qint64 MoneyCents(double v);
// Short date, followed by the long time when the time is not midnight.
HOST_EXPORT QString DateTimeText(const QDateTime &dt);
HOST_EXPORT QString ShortDateText(const QDate &d);
// A date, optionally followed by a time, as DateTimeText writes it; invalid when it is none.
HOST_EXPORT QDateTime DateTimeFromText(const QString &text);
