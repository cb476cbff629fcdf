#include "database/SqliteRowReader.h"

#include "database/Backend.h"
#include "database/DatabaseMessages.h"

#include <QSqlResult>

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace kelvory::database {

bool widenAscii(const unsigned char *text, std::size_t bytes, char16_t *wide)
{
    std::size_t i = 0;
    for (; i + 8 <= bytes; i += 8) {
        std::uint64_t eight;
        std::memcpy(&eight, text + i, 8);
        if (eight & 0x8080808080808080U)
            return false;
        for (std::size_t j = i; j < i + 8; ++j)
            wide[j] = text[j];
    }
    for (; i < bytes; ++i) {
        if (text[i] & 0x80)
            return false;
        wide[i] = text[i];
    }
    return true;
}

std::unique_ptr<SqliteRowReader> SqliteRowReader::over(const QSqlQuery &query, int fieldCount, bool utf8)
{
    if (!query.result())
        return nullptr;
    const QVariant handle = query.result()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3_stmt*") != 0)
        return nullptr;
    auto *statement = *static_cast<sqlite3_stmt *const *>(handle.constData());
    if (!statement)
        return nullptr;
    return std::unique_ptr<SqliteRowReader>(new SqliteRowReader(statement, fieldCount, utf8));
}

SqliteRowReader::SqliteRowReader(sqlite3_stmt *statement, int fieldCount, bool utf8)
    : m_statement(statement), m_utf8(utf8), m_digits(static_cast<std::size_t>(fieldCount) * 24),
      m_wide(static_cast<std::size_t>(fieldCount))
{
}

bool SqliteRowReader::step(std::optional<Failure> &failure)
{
    if (m_done)
        return false;
    const int stepped = sqlite3_step(m_statement);
    if (stepped == SQLITE_ROW)
        return true;
    m_done = true;
    if (stepped == SQLITE_DONE) {
        sqlite3_reset(m_statement);
        return false;
    }
    // The failure is told as Qt's driver tells it: for a generic error or a constraint the
    // code that sqlite3_reset gives is the precise one.
    int code = stepped;
    if (stepped == SQLITE_ERROR || stepped == SQLITE_CONSTRAINT)
        code = sqlite3_reset(m_statement);
    sqlite3 *db = sqlite3_db_handle(m_statement);
    failure = failureFrom(QSqlError(messages::rowNotFetched(),
                                    QString::fromUtf16(static_cast<const char16_t *>(sqlite3_errmsg16(db))),
                                    QSqlError::ConnectionError, QString::number(code)));
    if (code == stepped)
        sqlite3_reset(m_statement);
    return false;
}

QVariant SqliteRowReader::value(int position) const
{
    switch (sqlite3_column_type(m_statement, position)) {
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(m_statement, position)),
                          sqlite3_column_bytes(m_statement, position));
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(m_statement, position)));
    case SQLITE_FLOAT:
        return sqlite3_column_double(m_statement, position);
    case SQLITE_NULL:
        return QVariant(QMetaType::fromType<QString>());
    default: {
        const void *text = sqlite3_column_text16(m_statement, position);
        return QString(static_cast<const QChar *>(text), sqlite3_column_bytes16(m_statement, position) / 2);
    }
    }
}

std::optional<QStringView> SqliteRowReader::text(int position)
{
    switch (sqlite3_column_type(m_statement, position)) {
    case SQLITE_TEXT: {
        // Most of the club's texts are ASCII: those are widened here, where SQLite would
        // make a UTF-16 copy of each. ASCII is all that is taken this way, as SQLite's
        // own reading of UTF-8 changes some codes and broken sequences in ways of its own.
        if (m_utf8) {
            const unsigned char *utf8 = sqlite3_column_text(m_statement, position);
            const auto bytes = static_cast<std::size_t>(sqlite3_column_bytes(m_statement, position));
            std::vector<char16_t> &wide = m_wide[static_cast<std::size_t>(position)];
            if (wide.size() < bytes)
                wide.resize(bytes);
            if (utf8 && widenAscii(utf8, bytes, wide.data()))
                return QStringView(wide.data(), static_cast<qsizetype>(bytes));
        }
        // The text first: SQLite gives the length of the form last asked for.
        const void *text = sqlite3_column_text16(m_statement, position);
        return QStringView(static_cast<const char16_t *>(text), sqlite3_column_bytes16(m_statement, position) / 2);
    }
    case SQLITE_INTEGER: {
        // Plain decimal digits, as QString::number gives them.
        char digits[24];
        const auto written = std::to_chars(digits, digits + sizeof digits, sqlite3_column_int64(m_statement, position));
        char16_t *wide = m_digits.data() + static_cast<std::size_t>(position) * 24;
        std::copy(digits, written.ptr, wide);
        return QStringView(wide, written.ptr - digits);
    }
    case SQLITE_NULL:
        return QStringView();
    default:
        return std::nullopt; // a real number or bytes: rare enough to go the long way
    }
}

bool SqliteRowReader::holdsText(int position) const
{
    return sqlite3_column_type(m_statement, position) == SQLITE_TEXT;
}

} // namespace kelvory::database
