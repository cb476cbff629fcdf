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

bool isAscii(const unsigned char *text, std::size_t bytes)
{
    std::uint64_t any = 0;
    std::size_t i = 0;
    for (; i + 8 <= bytes; i += 8) {
        std::uint64_t eight;
        std::memcpy(&eight, text + i, 8);
        any |= eight;
    }
    for (; i < bytes; ++i)
        any |= text[i];
    return (any & 0x8080808080808080U) == 0;
}

bool widenAscii(const unsigned char *text, std::size_t bytes, char16_t *wide)
{
    if (!isAscii(text, bytes))
        return false;
    std::copy_n(text, bytes, wide);
    return true;
}

namespace {

// Binds a value as Qt's SQLite driver binds it, so that a row stored here reads back as
// one stored through Qt: a date as its ISO text, as QVariant gives it.
int bindSqlite(sqlite3_stmt *statement, int index, const QVariant &value)
{
    if (value.isNull() && value.typeId() != QMetaType::QString)
        return sqlite3_bind_null(statement, index);
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::Bool:
    case QMetaType::UInt:
    case QMetaType::LongLong: return sqlite3_bind_int64(statement, index, value.toLongLong());
    case QMetaType::Double: return sqlite3_bind_double(statement, index, value.toDouble());
    default: {
        const QString text =
            value.typeId() == QMetaType::QString ? *static_cast<const QString *>(value.constData()) : value.toString();
        // An empty text, never NULL, as Qt binds it.
        static const char16_t empty[] = u"";
        const void *characters = text.isNull() ? static_cast<const void *>(empty) : text.utf16();
        return sqlite3_bind_text16(statement, index, characters, int(text.size() * 2), SQLITE_TRANSIENT);
    }
    }
}

} // namespace

bool executeSqliteRows(const QVariant &handle, const QString &sql, const std::vector<QVariantList> &rows)
{
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return false;
    sqlite3 *sqlite = *static_cast<sqlite3 *const *>(handle.constData());
    sqlite3_stmt *statement = nullptr;
    const auto fail = [&] {
        const Failure failure(QString::number(sqlite3_errcode(sqlite)), QString::fromUtf8(sqlite3_errmsg(sqlite)));
        sqlite3_finalize(statement);
        return failure;
    };
    if (sqlite3_prepare16_v2(sqlite, sql.utf16(), int(sql.size() * 2), &statement, nullptr) != SQLITE_OK)
        throw fail();
    for (const QVariantList &values : rows) {
        for (qsizetype i = 0; i < values.size(); ++i) {
            if (bindSqlite(statement, int(i) + 1, values[i]) != SQLITE_OK)
                throw fail();
        }
        if (sqlite3_step(statement) != SQLITE_DONE)
            throw fail();
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
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
    case SQLITE_INTEGER: return QVariant(qlonglong(sqlite3_column_int64(m_statement, position)));
    case SQLITE_FLOAT: return sqlite3_column_double(m_statement, position);
    case SQLITE_NULL: return QVariant(QMetaType::fromType<QString>());
    default: {
        const void *text = sqlite3_column_text16(m_statement, position);
        return QString(static_cast<const QChar *>(text), sqlite3_column_bytes16(m_statement, position) / 2);
    }
    }
}

HeldText SqliteRowReader::held(int position)
{
    switch (sqlite3_column_type(m_statement, position)) {
    case SQLITE_TEXT: {
        // Most of the club's texts are ASCII: those are handed over as SQLite holds them,
        // where it would make a UTF-16 copy of each. ASCII is all that is taken this way,
        // as SQLite's own reading of UTF-8 changes some codes and broken sequences in ways
        // of its own.
        if (m_utf8) {
            const unsigned char *utf8 = sqlite3_column_text(m_statement, position);
            const int bytes = sqlite3_column_bytes(m_statement, position);
            if (utf8 && isAscii(utf8, static_cast<std::size_t>(bytes)))
                return HeldText{utf8, bytes, true};
        }
        // The text first: SQLite gives the length of the form last asked for.
        const void *text = sqlite3_column_text16(m_statement, position);
        return HeldText{text, sqlite3_column_bytes16(m_statement, position) / 2, false};
    }
    case SQLITE_INTEGER: {
        // Plain decimal digits, as QString::number gives them.
        char *digits = m_digits.data() + static_cast<std::size_t>(position) * 24;
        const auto written = std::to_chars(digits, digits + 24, sqlite3_column_int64(m_statement, position));
        return HeldText{digits, static_cast<qint32>(written.ptr - digits), true};
    }
    case SQLITE_NULL: return HeldText{};
    default: return HeldText{nullptr, -1, false}; // a real number or bytes: rare enough to go the long way
    }
}

void SqliteRowReader::heldRow(HeldText *fields, int count)
{
    for (int k = 0; k < count; ++k)
        fields[k] = held(k);
}

std::optional<QStringView> SqliteRowReader::text(int position)
{
    const HeldText held = this->held(position);
    if (held.length < 0)
        return std::nullopt;
    if (!held.data)
        return QStringView();
    if (!held.ascii)
        return QStringView(static_cast<const char16_t *>(held.data), held.length);
    std::vector<char16_t> &wide = m_wide[static_cast<std::size_t>(position)];
    const auto bytes = static_cast<std::size_t>(held.length);
    if (wide.size() < bytes)
        wide.resize(bytes);
    std::copy_n(static_cast<const unsigned char *>(held.data), bytes, wide.data());
    return QStringView(wide.data(), held.length);
}

bool SqliteRowReader::holdsText(int position) const
{
    return sqlite3_column_type(m_statement, position) == SQLITE_TEXT;
}

} // namespace kelvory::database
