#include "database/OdbcRowReader.h"

#include "database/DatabaseMessages.h"
#include "database/SqliteRowReader.h"

#include <QDate>
#include <QSqlDriver>
#include <QSqlResult>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>

namespace kelvory::database {

namespace {

// A thousand rows a call: past a few hundred the calls no longer show, and a block of the
// roster's texts stays within a few megabytes.
constexpr SQLULEN kBlockRows = 1024;
// Room bound for a text whose column names no width of its own (or one wider than this):
// a value longer than that is read again whole, by itself.
constexpr SQLULEN kWidestBound = 256;

enum class Kind { Text, Int, BigInt, Date };

std::optional<Kind> kindOf(SQLSMALLINT type)
{
    switch (type) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR: return Kind::Text;
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER: return Kind::Int;
    case SQL_BIGINT: return Kind::BigInt;
    case SQL_TYPE_DATE:
    case SQL_DATE: return Kind::Date;
    default: return std::nullopt;
    }
}

SQLSMALLINT cType(Kind kind, bool narrow)
{
    if (kind == Kind::Text)
        return narrow ? SQL_C_CHAR : SQL_C_WCHAR;
    return kind == Kind::Date ? SQL_C_TYPE_DATE : SQL_C_SBIGINT;
}

} // namespace

// One column's values: a block of them, or the one of the current row when values are
// read one at a time (then the block is one row long and nothing is bound).
struct OdbcRowReader::Column
{
    Kind kind = Kind::Text;
    // A text bound as UTF-8 bytes rather than as UTF-16.
    bool narrow = false;
    // Characters bound for each text, its terminator included.
    SQLULEN width = kWidestBound + 1;
    // Left unwritten until the driver fills it: a one-value query must not pay for
    // zeroing a thousand rows of room.
    std::unique_ptr<char[]> block;
    std::vector<SQLLEN> indicators;
    // A text read by SQLGetData: the current row's, when it is not in the block.
    std::vector<char16_t> whole;
    qsizetype wholeLength = -1;
    char16_t digits[24] = {};
    // The current row's narrow text, widened once: a second call for the same row must
    // not move what the first one's view points to.
    std::vector<char16_t> widened;
    QString decoded;
    std::optional<QStringView> widenedView;

    SQLLEN bytes() const
    {
        // Four bytes of UTF-8 for a character outside the BMP, which counts as one or two.
        if (kind == Kind::Text)
            return static_cast<SQLLEN>(narrow ? width * 4 : width * sizeof(char16_t));
        return kind == Kind::Date ? SQLLEN(sizeof(DATE_STRUCT)) : SQLLEN(sizeof(SQLBIGINT));
    }
    void size(SQLULEN rows)
    {
        indicators.assign(rows, SQL_NULL_DATA);
        block = std::make_unique_for_overwrite<char[]>(rows * static_cast<SQLULEN>(bytes()));
    }
    const char *at(std::size_t row) const { return block.get() + row * static_cast<std::size_t>(bytes()); }
    template <typename T> T get(std::size_t row) const
    {
        T value;
        std::memcpy(&value, at(row), sizeof value);
        return value;
    }
    QStringView text(std::size_t row)
    {
        if (wholeLength >= 0)
            return QStringView(whole.data(), wholeLength);
        if (!narrow)
            return QStringView(reinterpret_cast<const char16_t *>(at(row)),
                               static_cast<qsizetype>(indicators[row] / 2));
        if (!widenedView)
            widenedView = widen(row);
        return *widenedView;
    }
    QStringView widen(std::size_t row)
    {
        const auto length = static_cast<std::size_t>(indicators[row]);
        const auto *utf8 = reinterpret_cast<const unsigned char *>(at(row));
        if (widened.size() < length)
            widened.resize(static_cast<std::size_t>(bytes()));
        if (widenAscii(utf8, length, widened.data()))
            return QStringView(widened.data(), static_cast<qsizetype>(length));
        decoded = QString::fromUtf8(reinterpret_cast<const char *>(utf8), static_cast<qsizetype>(length));
        return decoded;
    }
};

std::unique_ptr<OdbcRowReader> OdbcRowReader::over(const QSqlQuery &query, int fieldCount, bool utf8, Fetching fetching)
{
    const QVariant handle = query.result() ? query.result()->handle() : QVariant();
    if (!handle.isValid() || !handle.constData() || fieldCount <= 0)
        return nullptr;
    SQLHANDLE statement = *static_cast<const SQLHANDLE *>(handle.constData());
    if (!statement)
        return nullptr;
    std::vector<Column> columns(static_cast<std::size_t>(fieldCount));
    for (int k = 0; k < fieldCount; ++k) {
        SQLSMALLINT type = 0, digits = 0, nullable = 0, nameLength = 0;
        SQLULEN size = 0;
        SQLWCHAR name[128]; // psqlODBC refuses a description without room for the column's name
        if (!SQL_SUCCEEDED(SQLDescribeColW(statement, static_cast<SQLUSMALLINT>(k + 1), name, 128, &nameLength, &type,
                                           &size, &digits, &nullable)))
            return nullptr;
        const std::optional<Kind> kind = kindOf(type);
        if (!kind)
            return nullptr;
        Column &column = columns[static_cast<std::size_t>(k)];
        column.kind = *kind;
        column.narrow = utf8 && *kind == Kind::Text;
        if (size > 0 && size < kWidestBound)
            column.width = size + 1;
    }
    std::unique_ptr<OdbcRowReader> reader(new OdbcRowReader(statement, std::move(columns)));
    // A value longer than its bound room is read again by itself, which a block cursor
    // allows only where the driver says so; without that, the rows are read one value at a time.
    const QVariant driver = query.driver() ? query.driver()->handle() : QVariant();
    SQLHANDLE connection =
        driver.isValid() && driver.constData() ? *static_cast<const SQLHANDLE *>(driver.constData()) : nullptr;
    SQLUINTEGER extensions = 0;
    if (fetching == Fetching::Blocks && connection
        && SQL_SUCCEEDED(SQLGetInfo(connection, SQL_GETDATA_EXTENSIONS, &extensions, sizeof extensions, nullptr))
        && (extensions & (SQL_GD_BLOCK | SQL_GD_BOUND)) == (SQL_GD_BLOCK | SQL_GD_BOUND))
        reader->startBlocks();
    for (Column &column : reader->m_columns)
        if (reader->m_blockRows == 1)
            column.size(1);
    return reader;
}

OdbcRowReader::OdbcRowReader(void *statement, std::vector<Column> columns)
    : m_statement(statement), m_columns(std::move(columns))
{
}

OdbcRowReader::~OdbcRowReader()
{
    // The statement outlives this reader: it must not write into the blocks once they are gone.
    if (m_blockRows > 1)
        releaseBlocks();
}

void OdbcRowReader::releaseBlocks()
{
    SQLFreeStmt(m_statement, SQL_UNBIND);
    SQLSetStmtAttr(m_statement, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
    SQLSetStmtAttr(m_statement, SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
    SQLSetStmtAttr(m_statement, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN(1)), 0);
}

void OdbcRowReader::startBlocks()
{
    static_assert(sizeof(SQLULEN) == sizeof(m_fetched));
    SQLULEN granted = 0;
    if (!SQL_SUCCEEDED(SQLSetStmtAttr(m_statement, SQL_ATTR_ROW_BIND_TYPE,
                                      reinterpret_cast<SQLPOINTER>(SQLULEN(SQL_BIND_BY_COLUMN)), 0))
        || !SQL_SUCCEEDED(
            SQLSetStmtAttr(m_statement, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kBlockRows), 0))
        || !SQL_SUCCEEDED(SQLGetStmtAttr(m_statement, SQL_ATTR_ROW_ARRAY_SIZE, &granted, 0, nullptr)) || granted < 2)
        granted = 1;
    m_status.assign(granted, SQL_ROW_NOROW);
    bool bound = granted > 1 && SQL_SUCCEEDED(SQLSetStmtAttr(m_statement, SQL_ATTR_ROWS_FETCHED_PTR, &m_fetched, 0))
        && SQL_SUCCEEDED(SQLSetStmtAttr(m_statement, SQL_ATTR_ROW_STATUS_PTR, m_status.data(), 0));
    for (std::size_t k = 0; bound && k < m_columns.size(); ++k) {
        Column &column = m_columns[k];
        column.size(granted);
        bound =
            SQL_SUCCEEDED(SQLBindCol(m_statement, static_cast<SQLUSMALLINT>(k + 1), cType(column.kind, column.narrow),
                                     column.block.get(), column.bytes(), column.indicators.data()));
    }
    if (bound)
        m_blockRows = static_cast<qsizetype>(granted);
    else
        releaseBlocks(); // a driver that refuses any of it is read one value at a time
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
    if (m_done)
        return false;
    if (++m_row >= static_cast<qsizetype>(m_fetched)) {
        m_fetched = m_blockRows == 1 ? 1 : 0;
        const SQLRETURN fetched = SQLFetch(m_statement);
        m_done = !SQL_SUCCEEDED(fetched) || m_fetched == 0;
        if (m_done)
            return fetched == SQL_NO_DATA || SQL_SUCCEEDED(fetched) ? false : fail(failure);
        m_row = 0;
    }
    const auto row = static_cast<std::size_t>(m_row);
    if (m_blockRows > 1 && m_status[row] == SQL_ROW_ERROR) {
        m_done = true;
        return fail(failure);
    }
    bool positioned = m_blockRows == 1;
    for (std::size_t k = 0; k < m_columns.size(); ++k) {
        Column &column = m_columns[k];
        column.wholeLength = -1;
        column.widenedView.reset();
        if (m_blockRows == 1 && column.kind != Kind::Text) {
            if (SQL_SUCCEEDED(SQLGetData(m_statement, static_cast<SQLUSMALLINT>(k + 1), cType(column.kind, false),
                                         column.block.get(), column.bytes(), column.indicators.data())))
                continue;
            m_done = true;
            return fail(failure);
        }
        const SQLLEN indicator = column.indicators[row];
        const bool cut = indicator == SQL_NO_TOTAL || indicator >= column.bytes();
        if (column.kind != Kind::Text || (m_blockRows > 1 && !cut))
            continue;
        // A text longer than its room, or any text when there is no block: read whole, by itself.
        if (!positioned
            && !SQL_SUCCEEDED(
                SQLSetPos(m_statement, static_cast<SQLSETPOSIROW>(row + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE))) {
            m_done = true;
            return fail(failure);
        }
        positioned = true;
        if (!readLong(column, failure)) {
            m_done = true;
            return false;
        }
    }
    return true;
}

bool OdbcRowReader::readLong(Column &column, std::optional<Failure> &failure)
{
    const auto position = static_cast<SQLUSMALLINT>(&column - m_columns.data() + 1);
    if (column.whole.size() < column.width)
        column.whole.resize(column.width);
    qsizetype length = 0;
    SQLLEN &indicator = column.indicators[static_cast<std::size_t>(m_row)];
    // One call when the value fits, more only for a longer one, each into the room left.
    for (;;) {
        const SQLRETURN got =
            SQLGetData(m_statement, position, SQL_C_WCHAR, column.whole.data() + length,
                       static_cast<SQLLEN>((column.whole.size() - static_cast<std::size_t>(length)) * sizeof(char16_t)),
                       &indicator);
        if (got == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(got))
            return fail(failure);
        if (indicator == SQL_NULL_DATA)
            return true;
        const qsizetype room = static_cast<qsizetype>(column.whole.size()) - length - 1;
        length += indicator == SQL_NO_TOTAL || indicator / 2 > room ? room : indicator / 2;
        if (got == SQL_SUCCESS)
            break;
        const std::size_t needed =
            indicator == SQL_NO_TOTAL ? column.whole.size() * 2 : static_cast<std::size_t>(length + indicator / 2 + 1);
        column.whole.resize(std::max(needed, column.whole.size() + 1));
    }
    // Not NULL: a length of its own, whatever the last piece's indicator said.
    indicator = static_cast<SQLLEN>(length * 2);
    column.wholeLength = length;
    return true;
}

QVariant OdbcRowReader::value(int position)
{
    Column &column = m_columns[static_cast<std::size_t>(position)];
    const auto row = static_cast<std::size_t>(m_row);
    const bool null = column.indicators[row] == SQL_NULL_DATA;
    switch (column.kind) {
    case Kind::Int: return null ? QVariant(QMetaType::fromType<int>()) : QVariant(int(column.get<SQLBIGINT>(row)));
    case Kind::BigInt:
        return null ? QVariant(QMetaType::fromType<qlonglong>()) : QVariant(qlonglong(column.get<SQLBIGINT>(row)));
    case Kind::Date: {
        if (null)
            return QVariant(QMetaType::fromType<QDate>());
        const auto date = column.get<DATE_STRUCT>(row);
        return QVariant(QDate(date.year, date.month, date.day));
    }
    case Kind::Text: break;
    }
    // Qt's driver gives a NULL text as no value at all, not as a null string.
    return null ? QVariant() : QVariant(column.text(row).toString());
}

std::optional<QStringView> OdbcRowReader::text(int position)
{
    Column &column = m_columns[static_cast<std::size_t>(position)];
    const auto row = static_cast<std::size_t>(m_row);
    const SQLLEN indicator = column.indicators[row];
    if (indicator == SQL_NULL_DATA)
        return column.kind == Kind::Date ? std::nullopt : std::optional<QStringView>(QStringView());
    switch (column.kind) {
    case Kind::Text: return column.text(row);
    case Kind::Int:
    case Kind::BigInt: {
        // Plain decimal digits, as QString::number gives them.
        char digits[24];
        const auto written = std::to_chars(digits, digits + sizeof digits, column.get<SQLBIGINT>(row));
        std::copy(digits, written.ptr, column.digits);
        return QStringView(column.digits, written.ptr - digits);
    }
    case Kind::Date: break;
    }
    return std::nullopt;
}

std::optional<QDate> OdbcRowReader::date(int position) const
{
    const Column &column = m_columns[static_cast<std::size_t>(position)];
    if (column.kind != Kind::Date)
        return std::nullopt;
    const auto row = static_cast<std::size_t>(m_row);
    if (column.indicators[row] == SQL_NULL_DATA)
        return QDate();
    const auto date = column.get<DATE_STRUCT>(row);
    return QDate(date.year, date.month, date.day);
}

bool OdbcRowReader::holdsText(int position) const
{
    const Column &column = m_columns[static_cast<std::size_t>(position)];
    return column.kind == Kind::Text && column.indicators[static_cast<std::size_t>(m_row)] != SQL_NULL_DATA;
}

} // namespace kelvory::database
