#include "database/DateText.h"

#include <QDateTime>
#include <QRegularExpression>

namespace kelvory::database {

QString shortDateFormat(const QLocale &locale)
{
    // A journal of a million rows shows a date on each: the format is made once per
    // locale, not once per date (making it compiles a regular expression).
    static thread_local QLocale lastLocale;
    static thread_local QString lastFormat;
    if (!lastFormat.isNull() && locale == lastLocale)
        return lastFormat;
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy"))) {
        static const QRegularExpression years(QStringLiteral("y+"));
        format.replace(years, QStringLiteral("yyyy"));
    }
    lastLocale = locale;
    lastFormat = format;
    return format;
}

QString shortDateText(QDate date, const QLocale &locale)
{
    return locale.toString(date, shortDateFormat(locale));
}

QString displayText(const QVariant &value)
{
    if (value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::QDate: return shortDateText(value.toDate());
    case QMetaType::QDateTime: {
        const QDateTime stamp = value.toDateTime();
        if (stamp.time() == QTime(0, 0))
            return shortDateText(stamp.date());
        return shortDateText(stamp.date()) + QLatin1Char(' ') + QLocale().toString(stamp.time(), QLocale::ShortFormat);
    }
    default: return value.toString();
    }
}

QString displayDateText(QStringView stored)
{
    const QString text = stored.toString();
    static const QRegularExpression iso(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    if (iso.match(text).hasMatch()) {
        const QDate date = QDate::fromString(text, Qt::ISODate);
        if (date.isValid())
            return shortDateText(date);
    }
    return text;
}

} // namespace kelvory::database
