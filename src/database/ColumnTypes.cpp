#include "database/Connection.h"

#include "database/DateText.h"

#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

// How a date is stored in a column: the column's type, looked up once per connection
// from what each kind of database says most truly about it.
namespace kelvory::database {

bool serverColumnHoldsText(const QString &catalogueType, bool describedAsText)
{
    const QString type = catalogueType.trimmed().toLower();
    static const QStringList textTypes = {QStringLiteral("char"),
                                          QStringLiteral("varchar"),
                                          QStringLiteral("nchar"),
                                          QStringLiteral("nvarchar"),
                                          QStringLiteral("text"),
                                          QStringLiteral("ntext"),
                                          QStringLiteral("character"),
                                          QStringLiteral("character varying"),
                                          QStringLiteral("national character"),
                                          QStringLiteral("national character varying")};
    if (textTypes.contains(type))
        return true;
    if (type.startsWith(QLatin1String("date")) || type.startsWith(QLatin1String("timestamp"))
        || type == QLatin1String("smalldatetime"))
        return false;
    return describedAsText;
}

bool isDateConversionFailure(const Failure &failure)
{
    // Qt 6.4's ODBC driver gives the server's own error number: SQL Server's are 241 (a
    // date that cannot be read from text) and 242 (one out of range); PostgreSQL's driver
    // numbers every error alike, so its words are what tell. Later Qt versions give the
    // SQLSTATE instead (22007, 22008).
    const QString number = failure.number();
    const QString description = failure.description();
    return number == QLatin1String("241") || number == QLatin1String("242") || number == QLatin1String("22007")
        || number == QLatin1String("22008") || description.contains(QLatin1String("date/time field value out of range"))
        || description.contains(QLatin1String("invalid input syntax for type date"))
        || description.contains(QLatin1String("invalid input syntax for type timestamp"));
}

QString Connection::catalogueType(const QString &table, int position)
{
    // Every schema's table of that name may answer; the one that the statements reach is
    // in the connection's own schema, which SQL Server and PostgreSQL name differently,
    // so answers that disagree name no type.
    QSqlQuery columns = run(QStringLiteral("select distinct lower(DATA_TYPE) from INFORMATION_SCHEMA.COLUMNS "
                                           "where lower(TABLE_NAME) = lower(?) and ORDINAL_POSITION = ?"),
                            {table, position + 1});
    QString type;
    int answers = 0;
    while (columns.next()) {
        type = columns.value(0).toString();
        ++answers;
    }
    return answers == 1 ? type : QString();
}

bool Connection::columnHoldsText(const QString &table, int position)
{
    const QString key = table.toLower() + QLatin1Char('/') + QString::number(position);
    const auto known = m_textColumns.constFind(key);
    if (known != m_textColumns.cend())
        return *known;
    bool text = false;
    if (m_backend == Backend::Embedded) {
        // SQLite keeps any value in any column; what decides how a value is stored is the
        // column's declared type, by SQLite's rules of type affinity.
        QSqlQuery columns = run(QStringLiteral("PRAGMA table_info(%1)").arg(table), {});
        while (columns.next()) {
            if (columns.value(0).toInt() != position)
                continue;
            const QString type = columns.value(2).toString().toUpper();
            text = !type.contains(QLatin1String("INT"))
                && (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("CLOB"))
                    || type.contains(QLatin1String("TEXT")));
        }
    } else {
        const QSqlQuery columns = run(QStringLiteral("select * from %1 where 1 = 0").arg(table), {});
        const QSqlRecord record = columns.record();
        const bool described =
            position < record.count() && record.field(position).metaType().id() == QMetaType::QString;
        text = serverColumnHoldsText(catalogueType(table, position), described);
    }
    m_textColumns.insert(key, text);
    return text;
}

QVariant Connection::dateValue(const QString &table, int position, QDate date)
{
    if (columnHoldsText(table, position))
        return shortDateText(date);
    return date;
}

qint64 Connection::executeWithDate(const QString &sql, QVariantList values, const QString &table, int position,
                                   QDate date)
{
    values[position] = dateValue(table, position, date);
    if (m_backend != Backend::Odbc)
        return execute(sql, values);
    // A statement that fails leaves the transaction it is part of open on both servers:
    // SQL Server ends only the statement (XACT_ABORT is off, its default), and psqlODBC
    // rolls back to a savepoint of its own that it sets before each statement.
    try {
        return execute(sql, values);
    } catch (const Failure &failure) {
        if (!isDateConversionFailure(failure))
            throw;
    }
    m_textColumns.remove(table.toLower() + QLatin1Char('/') + QString::number(position));
    values[position] = dateValue(table, position, date);
    return execute(sql, values);
}

} // namespace kelvory::database
