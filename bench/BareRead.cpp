#include "BareRead.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sqlite3.h>
#include <sql.h>
#include <sqlext.h>

#include "database/SqliteRowReader.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <stdexcept>

namespace kelvory::bench {

namespace {

class QtDriverReader final : public BareReader
{
public:
    explicit QtDriverReader(QSqlDatabase database) : m_database(std::move(database)) {}

    QString name() const override { return QStringLiteral("Qt SQL driver alone (QSqlQuery forward-only, QStrings)"); }

    std::size_t read(const QString &sql) override
    {
        m_values.clear();
        QSqlQuery query(m_database);
        query.setForwardOnly(true);
        if (!query.exec(sql))
            throw std::runtime_error(query.lastError().text().toStdString());
        const int cols = query.record().count();
        while (query.next()) {
            for (int k = 0; k < cols; ++k)
                m_values.push_back(query.value(k).toString());
        }
        return m_values.size();
    }

private:
    QSqlDatabase m_database;
    std::vector<QString> m_values;
};

class SqliteReader final : public BareReader
{
public:
    explicit SqliteReader(const QString &file)
    {
        if (sqlite3_open_v2(file.toUtf8().constData(), &m_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            throw std::runtime_error("sqlite3_open_v2 failed");
    }
    ~SqliteReader() override { sqlite3_close(m_db); }

    QString name() const override { return QStringLiteral("SQLite C API (prepare/step/column_text16, QStrings)"); }

    std::size_t read(const QString &sql) override
    {
        m_values.clear();
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare16_v2(m_db, sql.utf16(), -1, &statement, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(m_db));
        const int cols = sqlite3_column_count(statement);
        int rc;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            for (int k = 0; k < cols; ++k) {
                const auto *text = static_cast<const QChar *>(sqlite3_column_text16(statement, k));
                const int bytes = sqlite3_column_bytes16(statement, k);
                m_values.emplace_back(text, bytes / 2);
            }
        }
        sqlite3_finalize(statement);
        if (rc != SQLITE_DONE)
            throw std::runtime_error(sqlite3_errmsg(m_db));
        return m_values.size();
    }

private:
    sqlite3 *m_db = nullptr;
    std::vector<QString> m_values;
};

QString odbcDiagnostic(SQLSMALLINT type, SQLHANDLE handle)
{
    SQLWCHAR state[8] = {};
    SQLWCHAR message[1024] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, 1, state, &native, message, 1023, &length)))
        return QString::fromUtf16(reinterpret_cast<const char16_t *>(message), length);
    return QStringLiteral("no diagnostic");
}

// A connection of the reader's own, with the program's connection string.
class OdbcConnection
{
public:
    explicit OdbcConnection(const QString &connectionString)
    {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env);
        SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc);
        SQLSMALLINT outLength = 0;
        SQLWCHAR outText[1024];
        const SQLRETURN rc = SQLDriverConnectW(
            m_dbc, nullptr, reinterpret_cast<SQLWCHAR *>(const_cast<ushort *>(connectionString.utf16())),
            static_cast<SQLSMALLINT>(connectionString.size()), outText, 1023, &outLength, SQL_DRIVER_NOPROMPT);
        if (!SQL_SUCCEEDED(rc))
            throw std::runtime_error(odbcDiagnostic(SQL_HANDLE_DBC, m_dbc).toStdString());
    }
    ~OdbcConnection()
    {
        SQLDisconnect(m_dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, m_env);
    }
    OdbcConnection(const OdbcConnection &) = delete;
    OdbcConnection &operator=(const OdbcConnection &) = delete;

    // A statement that has run the query; it is freed by the caller.
    SQLHSTMT execute(const QString &sql)
    {
        SQLHSTMT statement = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &statement);
        const SQLRETURN rc = SQLExecDirectW(statement, reinterpret_cast<SQLWCHAR *>(const_cast<ushort *>(sql.utf16())),
                                            static_cast<SQLINTEGER>(sql.size()));
        if (!SQL_SUCCEEDED(rc)) {
            const QString why = odbcDiagnostic(SQL_HANDLE_STMT, statement);
            SQLFreeHandle(SQL_HANDLE_STMT, statement);
            throw std::runtime_error(why.toStdString());
        }
        return statement;
    }

private:
    SQLHENV m_env = SQL_NULL_HENV;
    SQLHDBC m_dbc = SQL_NULL_HDBC;
};

class OdbcReader final : public BareReader
{
public:
    explicit OdbcReader(const QString &connectionString) : m_connection(connectionString) {}

    QString name() const override
    {
        return QStringLiteral("ODBC C API (SQLExecDirect/SQLFetch/SQLGetData wide, QStrings)");
    }

    std::size_t read(const QString &sql) override
    {
        m_values.clear();
        SQLHSTMT statement = m_connection.execute(sql);
        SQLRETURN rc = SQL_SUCCESS;
        SQLSMALLINT cols = 0;
        SQLNumResultCols(statement, &cols);
        std::vector<SQLWCHAR> buffer(512);
        while (SQL_SUCCEEDED(rc = SQLFetch(statement))) {
            for (SQLUSMALLINT k = 1; k <= cols; ++k) {
                QString value;
                // A long value arrives in pieces; each piece but the last fills the buffer.
                for (;;) {
                    SQLLEN indicator = 0;
                    rc = SQLGetData(statement, k, SQL_C_WCHAR, buffer.data(),
                                    static_cast<SQLLEN>(buffer.size() * sizeof(SQLWCHAR)), &indicator);
                    if (!SQL_SUCCEEDED(rc) || indicator == SQL_NULL_DATA)
                        break;
                    const qsizetype available = static_cast<qsizetype>(buffer.size()) - 1;
                    const qsizetype chars = indicator == SQL_NO_TOTAL || indicator / 2 > available
                        ? available
                        : static_cast<qsizetype>(indicator / 2);
                    value.append(reinterpret_cast<const QChar *>(buffer.data()), chars);
                    if (rc == SQL_SUCCESS)
                        break;
                }
                m_values.push_back(std::move(value));
            }
        }
        if (rc != SQL_NO_DATA) {
            const QString why = odbcDiagnostic(SQL_HANDLE_STMT, statement);
            SQLFreeHandle(SQL_HANDLE_STMT, statement);
            throw std::runtime_error("SQLFetch: " + why.toStdString());
        }
        SQLFreeHandle(SQL_HANDLE_STMT, statement);
        return m_values.size();
    }

private:
    OdbcConnection m_connection;
    std::vector<QString> m_values;
};

class OdbcBlockReader final : public BareReader
{
public:
    OdbcBlockReader(const QString &connectionString, bool utf8)
        : m_connection(connectionString), m_utf8(utf8),
          m_throughCursor(connectionString.contains(QLatin1String("UseDeclareFetch=1")))
    {
    }

    QString name() const override
    {
        return QStringLiteral("ODBC C API with block fetching (1024 rows a call, %1, dates and whole numbers bound as "
                              "such, packed%2)")
            .arg(m_utf8 ? QStringLiteral("UTF-8 texts bound and widened by the reader")
                        : QStringLiteral("wide texts bound"),
                 m_throughCursor ? QStringLiteral("; psqlODBC fetching through a cursor, UseDeclareFetch=1;Fetch=1024")
                                 : QString());
    }

    std::size_t read(const QString &sql) override
    {
        constexpr SQLULEN kRows = 1024;
        m_chunks.clear();
        m_values = 0;
        SQLHSTMT statement = m_connection.execute(sql);
        SQLSMALLINT cols = 0;
        SQLNumResultCols(statement, &cols);
        SQLULEN fetched = 0;
        SQLSetStmtAttr(statement, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kRows), 0);
        SQLSetStmtAttr(statement, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
        // Room for each column as the driver describes it: code units when wide, bytes when UTF-8.
        std::vector<SQLLEN> widths(static_cast<std::size_t>(cols));
        std::vector<SQLSMALLINT> types(static_cast<std::size_t>(cols));
        std::vector<std::vector<char>> blocks(static_cast<std::size_t>(cols));
        std::vector<std::vector<SQLLEN>> indicators(static_cast<std::size_t>(cols), std::vector<SQLLEN>(kRows));
        for (SQLUSMALLINT k = 1; k <= cols; ++k) {
            SQLSMALLINT type = 0, digits = 0, nullable = 0, nameLength = 0;
            SQLULEN size = 0;
            SQLWCHAR columnName[128];
            SQLDescribeColW(statement, k, columnName, 128, &nameLength, &type, &size, &digits, &nullable);
            const SQLLEN chars = size > 0 && size < 4000 ? static_cast<SQLLEN>(size) + 1 : 4001;
            // Each column in the form the driver hands over most cheaply: a date as its
            // structure and a whole number as a number (psqlODBC takes several times as
            // long to write either as text), then put into text here.
            SQLSMALLINT cType = m_utf8 ? SQL_C_CHAR : SQL_C_WCHAR;
            SQLLEN width = m_utf8 ? chars * 4 : chars * SQLLEN(sizeof(SQLWCHAR));
            if (type == SQL_TYPE_DATE) {
                cType = SQL_C_TYPE_DATE;
                width = sizeof(DATE_STRUCT);
            } else if (type == SQL_INTEGER || type == SQL_SMALLINT || type == SQL_BIGINT) {
                cType = SQL_C_SBIGINT;
                width = sizeof(SQLBIGINT);
            }
            types[k - 1] = cType;
            widths[k - 1] = width;
            blocks[k - 1].resize(static_cast<std::size_t>(width) * kRows);
            SQLBindCol(statement, k, cType, blocks[k - 1].data(), width, indicators[k - 1].data());
        }
        SQLRETURN rc;
        while (SQL_SUCCEEDED(rc = SQLFetch(statement))) {
            for (SQLULEN r = 0; r < fetched; ++r) {
                for (std::size_t k = 0; k < blocks.size(); ++k) {
                    const SQLLEN indicator = indicators[k][r];
                    const bool text = types[k] == SQL_C_CHAR || types[k] == SQL_C_WCHAR;
                    if (text && (indicator >= widths[k] || indicator == SQL_NO_TOTAL)) {
                        SQLFreeHandle(SQL_HANDLE_STMT, statement);
                        throw std::runtime_error("a value is longer than the room the driver described");
                    }
                    const char *value = blocks[k].data() + static_cast<std::size_t>(widths[k]) * r;
                    if (indicator >= 0 && types[k] == SQL_C_TYPE_DATE)
                        appendDate(value);
                    else if (indicator >= 0 && types[k] == SQL_C_SBIGINT)
                        appendNumber(value);
                    else if (indicator > 0)
                        append(value, indicator);
                    ++m_values;
                }
            }
        }
        const QString why = rc == SQL_NO_DATA ? QString() : odbcDiagnostic(SQL_HANDLE_STMT, statement);
        SQLFreeHandle(SQL_HANDLE_STMT, statement);
        if (rc != SQL_NO_DATA)
            throw std::runtime_error("SQLFetch: " + why.toStdString());
        return m_values;
    }

private:
    // Room for `chars` more at the end of the last chunk, which never moves once made.
    char16_t *room(std::size_t chars)
    {
        if (m_chunks.empty() || m_chunks.back().capacity() - m_chunks.back().size() < chars) {
            m_chunks.emplace_back();
            m_chunks.back().reserve(std::max<std::size_t>(chars, 1 << 20));
        }
        std::vector<char16_t> &chunk = m_chunks.back();
        const std::size_t at = chunk.size();
        chunk.resize(at + chars);
        return chunk.data() + at;
    }

    void appendDate(const char *value)
    {
        DATE_STRUCT date;
        std::memcpy(&date, value, sizeof date);
        char16_t *text = room(10);
        const int parts[] = {date.year / 1000,
                             date.year / 100 % 10,
                             date.year / 10 % 10,
                             date.year % 10,
                             -1,
                             date.month / 10,
                             date.month % 10,
                             -1,
                             date.day / 10,
                             date.day % 10};
        for (int i = 0; i < 10; ++i)
            text[i] = parts[i] < 0 ? u'-' : char16_t(u'0' + parts[i]);
    }

    void appendNumber(const char *value)
    {
        SQLBIGINT number;
        std::memcpy(&number, value, sizeof number);
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
        std::copy(digits, end, room(static_cast<std::size_t>(end - digits)));
    }

    void append(const char *value, SQLLEN bytes)
    {
        const auto size = static_cast<std::size_t>(bytes);
        if (!m_utf8) {
            std::memcpy(room(size / 2), value, size);
            return;
        }
        char16_t *wide = room(size);
        if (database::widenAscii(reinterpret_cast<const unsigned char *>(value), size, wide))
            return;
        const QString decoded = QString::fromUtf8(value, bytes);
        m_chunks.back().resize(m_chunks.back().size() - size);
        std::memcpy(room(static_cast<std::size_t>(decoded.size())), decoded.utf16(),
                    static_cast<std::size_t>(decoded.size()) * sizeof(char16_t));
    }

    OdbcConnection m_connection;
    bool m_utf8;
    bool m_throughCursor;
    // The texts one after another, in chunks of a million characters that are never copied.
    std::vector<std::vector<char16_t>> m_chunks;
    std::size_t m_values = 0;
};

} // namespace

std::unique_ptr<BareReader> qtDriverReader(const QSqlDatabase &database)
{
    return std::make_unique<QtDriverReader>(database);
}

std::unique_ptr<BareReader> sqliteReader(const QString &file)
{
    return std::make_unique<SqliteReader>(file);
}

std::unique_ptr<BareReader> odbcReader(const QString &connectionString)
{
    return std::make_unique<OdbcReader>(connectionString);
}

std::unique_ptr<BareReader> odbcBlockReader(const QString &connectionString, bool utf8)
{
    return std::make_unique<OdbcBlockReader>(connectionString, utf8);
}

} // namespace kelvory::bench
