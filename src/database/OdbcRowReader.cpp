#include "database/OdbcRowReader.h"

#include "database/DatabaseMessages.h"

#include <QDate>
#include <QSqlResult>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

namespace kelvory::database {

namespace {

bool readDirectly(SQLSMALLINT type)
{
    switch (type) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
    case SQL_TYPE_DATE:
    case SQL_DATE:
        return true;
    default:
        return false;
    }
}

} // namespace

std::unique_ptr<OdbcRowReader> OdbcRowReader::over(const QSqlQuery &query, int fieldCount)
{
    const QVariant handle = query.result() ? query.result()->handle() : QVariant();
    if (!handle.isValid() || !handle.constData() || fieldCount <= 0)
        return nullptr;
    SQLHANDLE statement = *static_cast<const SQLHANDLE *>(handle.constData());
    if (!statement)
        return nullptr;
    std::vector<short> types(static_cast<std::size_t>(fieldCount));
    for (int k = 0; k < fieldCount; ++k) {
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        // psqlODBC refuses a description without room for the column's name.
        SQLWCHAR name[128];
        SQLSMALLINT nameLength = 0;
        if (!SQL_SUCCEEDED(SQLDescribeColW(statement, static_cast<SQLUSMALLINT>(k + 1), name, 128, &nameLength, &type,
                                           &size, &digits, &nullable))
            || !readDirectly(type))
            return nullptr;
        types[static_cast<std::size_t>(k)] = type;
    }
    return std::unique_ptr<OdbcRowReader>(new OdbcRowReader(statement, std::move(types)));
}

OdbcRowReader::OdbcRowReader(void *statement, std::vector<short> types)
    : m_statement(statement), m_types(std::move(types)), m_row(m_types.size()), m_buffer(256)
{
}

bool OdbcRowReader::fail(std::optional<Failure> &failure) const
{
    SQLWCHAR state[8] = {};
    SQLWCHAR message[1024] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (SQL_SUCCEEDED(SQLGetDiagRecW(SQL_HANDLE_STMT, m_statement, 1, state, &native, message, 1023, &length)))
        failure.emplace(QString::number(native),
                        QString::fromUtf16(reinterpret_cast<const char16_t *>(message), length).trimmed());
    else
        failure.emplace(QStringLiteral("-1"), messages::nextRowUnreadable());
    return false;
}

bool OdbcRowReader::fetch(std::optional<Failure> &failure)
{
    const SQLRETURN fetched = SQLFetch(m_statement);
    if (fetched == SQL_NO_DATA)
        return false;
    if (!SQL_SUCCEEDED(fetched))
        return fail(failure);
    for (std::size_t k = 0; k < m_types.size(); ++k) {
        const auto column = static_cast<SQLUSMALLINT>(k + 1);
        QVariant &value = m_row[k];
        SQLLEN indicator = 0;
        switch (m_types[k]) {
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER: {
            SQLINTEGER number = 0;
            if (!SQL_SUCCEEDED(SQLGetData(m_statement, column, SQL_C_SLONG, &number, 0, &indicator)))
                return fail(failure);
            value = indicator == SQL_NULL_DATA ? QVariant(QMetaType::fromType<int>()) : QVariant(int(number));
            break;
        }
        case SQL_BIGINT: {
            SQLBIGINT number = 0;
            if (!SQL_SUCCEEDED(SQLGetData(m_statement, column, SQL_C_SBIGINT, &number, 0, &indicator)))
                return fail(failure);
            value = indicator == SQL_NULL_DATA ? QVariant(QMetaType::fromType<qlonglong>())
                                               : QVariant(qlonglong(number));
            break;
        }
        case SQL_TYPE_DATE:
        case SQL_DATE: {
            DATE_STRUCT date = {};
            if (!SQL_SUCCEEDED(SQLGetData(m_statement, column, SQL_C_TYPE_DATE, &date, 0, &indicator)))
                return fail(failure);
            value = indicator == SQL_NULL_DATA ? QVariant(QMetaType::fromType<QDate>())
                                               : QVariant(QDate(date.year, date.month, date.day));
            break;
        }
        default: {
            // Text: one call when the value fits the buffer, more only for a longer one.
            QString text;
            bool isNull = false;
            for (;;) {
                const SQLRETURN got = SQLGetData(m_statement, column, SQL_C_WCHAR, m_buffer.data(),
                                                 static_cast<SQLLEN>(m_buffer.size() * sizeof(char16_t)), &indicator);
                if (got == SQL_NO_DATA)
                    break;
                if (!SQL_SUCCEEDED(got))
                    return fail(failure);
                if (indicator == SQL_NULL_DATA) {
                    isNull = true;
                    break;
                }
                const qsizetype room = static_cast<qsizetype>(m_buffer.size()) - 1;
                const qsizetype chars = indicator == SQL_NO_TOTAL || indicator / 2 > room ? room : indicator / 2;
                text.append(QStringView(m_buffer.data(), chars));
                if (got == SQL_SUCCESS)
                    break;
                if (indicator != SQL_NO_TOTAL && m_buffer.size() < static_cast<std::size_t>(indicator / 2 + 1))
                    m_buffer.resize(static_cast<std::size_t>(indicator / 2 + 1));
            }
            value = isNull ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
            break;
        }
        }
    }
    return true;
}

} // namespace kelvory::database
