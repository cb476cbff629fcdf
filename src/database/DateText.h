#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <QVariant>

namespace kelvory::database {

// The system's short date form with the year always in four digits
// (en_US: 12/6/2026, where Qt's own short form would give 12/6/26).
QString shortDateFormat(const QLocale &locale = QLocale());
QString shortDateText(QDate date, const QLocale &locale = QLocale());

// A value read from the database as the operator sees it: NULL as empty text, a date
// in the short date form, anything else by Qt's standard conversion.
QString displayText(const QVariant &value);
// A date column's value held as text: a stored ISO date text (how SQLite keeps a date
// value) is shown in the short date form; any other text stays as it is.
QString displayDateText(QStringView text);

} // namespace kelvory::database
