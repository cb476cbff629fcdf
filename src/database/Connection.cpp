#include "database/Connection.h"

#include "database/DatabaseMessages.h"
#include "database/DateText.h"
#include "database/EmbeddedSchema.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlRecord>
#include <QSqlResult>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <charconv>
#include <cstring>

namespace kelvory::database {

Failure failureFrom(const QSqlError &error)
{
    QString number = error.nativeErrorCode();
    if (number.isEmpty())
        number = QString::number(static_cast<int>(error.type()));
    QString description = error.text().trimmed();
    if (description.isEmpty())
        description = messages::errorWithoutDescription();
    return Failure(number, description);
}

QString connectionString(const ServerSettings &settings)
{
    return QStringLiteral("Driver={SQL Server};") + QStringLiteral("Server=") + settings.server + QLatin1Char(';')
        + QStringLiteral("Database=") + settings.database + QLatin1Char(';') + QStringLiteral("Uid=") + settings.uid
        + QLatin1Char(';') + QStringLiteral("Pwd=") + settings.pwd;
}

namespace {

QString nextConnectionName()
{
    static QAtomicInteger<int> counter;
    return QStringLiteral("kelvory-%1").arg(counter.fetchAndAddRelaxed(1));
}

// A null QString binds as SQL NULL; an empty edit box must be stored as empty text.
QVariant bindable(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString && value.toString().isNull())
        return QVariant(QString(QLatin1String("")));
    return value;
}

// SQLite's own words ("database is locked", "file is not a database") tell a club
// volunteer neither which file nor what to do; the file is named, and the way out.
Failure embeddedFileFailure(const Failure &failure, const QString &file, int waitSeconds)
{
    const QString path = QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath());
    QString description;
    switch (failure.number().toInt()) {
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        description = messages::fileInUse(path, waitSeconds);
        break;
    case 26: // SQLITE_NOTADB
        description = messages::fileNotADatabase(path);
        break;
    case 11: // SQLITE_CORRUPT
        description = messages::fileDamaged(path);
        break;
    default:
        return failure;
    }
    return Failure(failure.number(), description + QStringLiteral("\r\n\r\n(") + failure.description() + QLatin1Char(')'));
}

} // namespace

Connection::Connection() : m_name(nextConnectionName()) {}

Connection::~Connection()
{
    if (QSqlDatabase::contains(m_name)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
}

QSqlDatabase Connection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

bool Connection::isOpen() const
{
    return QSqlDatabase::contains(m_name) && database().isOpen();
}

void Connection::openServer(const ServerSettings &settings)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_name);
    if (!db.isValid())
        throw Failure(QStringLiteral("3706"), messages::driverMissing(QStringLiteral("ODBC")));
    db.setDatabaseName(connectionString(settings));
    db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(m_connectionTimeout));
    // FreeTDS, the "SQL Server" driver on Linux, keeps to the login time-out only with a
    // fixed protocol version; left to guess it waits on a silent server for ever. With
    // "Server=" in the connection string it reads no freetds.conf, only its environment,
    // so the version is pinned here (7.4: SQL Server 2012 and later), unless the
    // workstation pins one itself. Other drivers do not look at this variable.
    if (!qEnvironmentVariableIsSet("TDSVER"))
        qputenv("TDSVER", "7.4");
    // For the same reason FreeTDS knows no port for "Server=<host>" and does not even try
    // to connect; SQL Server's own default port is what the Windows driver uses. A server
    // written "host,port" or "host\INSTANCE" names its own way in (the port, or the
    // instance whose port the server's browser service gives), and TDSPORT would override it.
    const bool namesItsWayIn =
        settings.server.contains(QLatin1Char(',')) || settings.server.contains(QLatin1Char('\\'));
    if (!namesItsWayIn && !qEnvironmentVariableIsSet("TDSPORT"))
        qputenv("TDSPORT", "1433");
    // The user id and password travel in the connection string; the separate arguments stay empty.
    if (!db.open(QString(), QString()))
        throw failureFrom(db.lastError());
    m_backend = Backend::Odbc;
}

void Connection::openEmbedded(const QString &file)
{
    const bool existed = QFileInfo::exists(file);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    if (!db.isValid())
        throw Failure(QStringLiteral("3706"), messages::driverMissing(QStringLiteral("SQLite")));
    db.setDatabaseName(file);
    // SQLite has no login; what can keep a statement waiting is another process's lock,
    // so the time-out bounds that wait.
    const int waitSeconds = qMax(m_connectionTimeout, m_commandTimeout);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(waitSeconds * 1000));
    if (!db.open())
        throw embeddedFileFailure(failureFrom(db.lastError()), file, waitSeconds);
    m_backend = Backend::Embedded;
    if (!existed) {
        try {
            createEmbeddedSchema(*this);
        } catch (...) {
            db.close();
            QFile::remove(file);
            throw;
        }
    } else {
        // SQLite reads the file lazily; reading its catalogue now makes a file that is
        // not a database, or one locked past the time-out, fail here, before anything
        // else of the program runs, and without writing to the file.
        try {
            query(QStringLiteral("select count(*) from sqlite_master"));
        } catch (const Failure &failure) {
            throw embeddedFileFailure(failure, file, waitSeconds);
        }
    }
    m_utf8 = query(QStringLiteral("pragma encoding")).field(0).toString() == QLatin1String("UTF-8");
}

void Connection::applyCommandTimeout(QSqlQuery &query) const
{
    if (m_backend != Backend::Odbc || !query.result())
        return;
    const QVariant handle = query.result()->handle();
    if (!handle.isValid() || !handle.constData())
        return;
    SQLHANDLE statement = *static_cast<const SQLHANDLE *>(handle.constData());
    if (statement)
        SQLSetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(m_commandTimeout)), 0);
}

QSqlQuery Connection::run(const QString &sql, const QVariantList &values, bool readFailureAllowed)
{
    QSqlDatabase db = database();
    if (!db.isOpen())
        throw Failure(QStringLiteral("3704"), messages::connectionNotOpen());
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw failureFrom(query.lastError());
    applyCommandTimeout(query);
    for (const QVariant &value : values)
        query.addBindValue(bindable(value));
    if (!query.exec()) {
        if (!readFailureAllowed || m_backend != Backend::Embedded)
            throw failureFrom(query.lastError());
        // SQLite finds a table gone only as the statement runs; one that still compiles
        // against the schema as it is now failed on its first row.
        QSqlQuery check(db);
        if (!check.prepare(sql))
            throw failureFrom(check.lastError());
    }
    return query;
}

qint64 Connection::execute(const QString &sql, const QVariantList &values)
{
    QSqlQuery query = run(sql, values);
    return query.numRowsAffected();
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
    case QMetaType::LongLong:
        return sqlite3_bind_int64(statement, index, value.toLongLong());
    case QMetaType::Double:
        return sqlite3_bind_double(statement, index, value.toDouble());
    default: {
        const QString text = value.typeId() == QMetaType::QString ? *static_cast<const QString *>(value.constData())
                                                                  : value.toString();
        // An empty text, never NULL, as Qt binds it.
        static const char16_t empty[] = u"";
        const void *characters = text.isNull() ? static_cast<const void *>(empty) : text.utf16();
        return sqlite3_bind_text16(statement, index, characters, int(text.size() * 2), SQLITE_TRANSIENT);
    }
    }
}

} // namespace

void Connection::executeRows(const QString &sql, const std::vector<QVariantList> &rows)
{
    QSqlDatabase db = database();
    if (!db.isOpen())
        throw Failure(QStringLiteral("3704"), messages::connectionNotOpen());
    // On SQLite the statement is run through the handle Qt's driver holds: Qt's own way
    // costs more per row than SQLite's work on it.
    const QVariant handle = m_backend == Backend::Embedded && db.driver() ? db.driver()->handle() : QVariant();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0) {
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
        return;
    }
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw failureFrom(query.lastError());
    applyCommandTimeout(query);
    for (const QVariantList &values : rows) {
        for (qsizetype i = 0; i < values.size(); ++i)
            query.bindValue(int(i), bindable(values[i]));
        if (!query.exec())
            throw failureFrom(query.lastError());
    }
}

ResultSet Connection::openQuery(const QString &sql, const QVariantList &values)
{
    return ResultSet(run(sql, values, true), m_backend, m_utf8);
}

ResultSet Connection::query(const QString &sql, const QVariantList &values)
{
    ResultSet result = openQuery(sql, values);
    result.raiseFailure();
    return result;
}

void Connection::transactionStep(const QString &sqliteStatement, bool (QSqlDatabase::*odbcStep)())
{
    if (m_backend == Backend::Embedded) {
        execute(sqliteStatement);
        return;
    }
    QSqlDatabase db = database();
    if (!(db.*odbcStep)())
        throw failureFrom(db.lastError());
}

void Connection::beginTransaction()
{
    transactionStep(QStringLiteral("BEGIN IMMEDIATE"), &QSqlDatabase::transaction);
}

void Connection::commitTransaction()
{
    transactionStep(QStringLiteral("COMMIT"), &QSqlDatabase::commit);
}

void Connection::rollbackTransaction() noexcept
{
    try {
        transactionStep(QStringLiteral("ROLLBACK"), &QSqlDatabase::rollback);
    } catch (const Failure &) {
        // The failure that led here is the one the operator is told of.
    }
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
        // The driver describes the column: char, varchar, nchar, nvarchar and text come as text.
        const QSqlQuery columns = run(QStringLiteral("select * from %1 where 1 = 0").arg(table), {});
        const QSqlRecord record = columns.record();
        text = position < record.count() && record.field(position).metaType().id() == QMetaType::QString;
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

namespace {

// The column types read straight from the statement: text, whole numbers and dates,
// which is all the club's tables hold. A query with any other column type is read by Qt.
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

// Widens ASCII text to UTF-16, eight bytes at a time; false at a byte that is not ASCII.
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

} // namespace

ResultSet::ResultSet(QSqlQuery query, Backend backend, bool utf8) : m_query(std::move(query)), m_utf8(utf8)
{
    m_fieldCount = m_query.record().count();
    m_texts.resize(static_cast<std::size_t>(m_fieldCount));
    m_lastDates.resize(static_cast<std::size_t>(m_fieldCount));
    const bool readsOdbc = backend == Backend::Odbc;
    // Qt 6.4's ODBC driver makes two SQLGetData calls for every text value, and the driver
    // manager runs a text conversion for one of them: three times the instructions of a
    // plain read of the same rows. Read here, a value takes one call.
    const QVariant handle = readsOdbc && m_query.result() ? m_query.result()->handle() : QVariant();
    SQLHANDLE statement = handle.isValid() && handle.constData() ? *static_cast<const SQLHANDLE *>(handle.constData())
                                                                 : SQL_NULL_HANDLE;
    if (statement && m_fieldCount > 0) {
        m_types.resize(static_cast<std::size_t>(m_fieldCount));
        bool direct = true;
        for (int k = 0; k < m_fieldCount && direct; ++k) {
            SQLSMALLINT type = 0;
            SQLULEN size = 0;
            SQLSMALLINT digits = 0;
            SQLSMALLINT nullable = 0;
            // psqlODBC refuses a description without room for the column's name.
            SQLWCHAR name[128];
            SQLSMALLINT nameLength = 0;
            direct = SQL_SUCCEEDED(SQLDescribeColW(statement, static_cast<SQLUSMALLINT>(k + 1), name, 128, &nameLength,
                                                   &type, &size, &digits, &nullable))
                && readDirectly(type);
            m_types[static_cast<std::size_t>(k)] = type;
        }
        if (direct) {
            m_statement = statement;
            m_row.resize(static_cast<std::size_t>(m_fieldCount));
            m_buffer.resize(256);
        }
    }
    if (backend == Backend::Embedded && m_query.result()) {
        const QVariant sqlite = m_query.result()->handle();
        if (sqlite.isValid() && qstrcmp(sqlite.typeName(), "sqlite3_stmt*") == 0) {
            m_sqliteStatement = *static_cast<sqlite3_stmt *const *>(sqlite.constData());
            m_digits.resize(static_cast<std::size_t>(m_fieldCount) * 24);
            m_wide.resize(static_cast<std::size_t>(m_fieldCount));
        }
    }
    advance();
}

bool ResultSet::next()
{
    if (m_readsSqlite)
        return stepSqlite();
    if (m_statement)
        return fetchOdbcRow();
    const bool row = m_query.next();
    // Qt's SQLite driver makes a QVariant of every value of every row. It runs a statement
    // to its first row as it executes it, and the statement stays on that row until it is
    // stepped again: from here on the rows are read from the statement directly.
    if (row && m_sqliteStatement)
        m_readsSqlite = true;
    return row;
}

bool ResultSet::stepSqlite()
{
    if (m_sqliteDone)
        return false;
    auto *statement = static_cast<sqlite3_stmt *>(m_sqliteStatement);
    const int stepped = sqlite3_step(statement);
    if (stepped == SQLITE_ROW)
        return true;
    // A statement stepped again after its end would run again from its start.
    m_sqliteDone = true;
    if (stepped == SQLITE_DONE) {
        sqlite3_reset(statement);
        return false;
    }
    // The failure is told as Qt's driver tells it: for a generic error or a constraint the
    // code that sqlite3_reset gives is the precise one.
    int code = stepped;
    if (stepped == SQLITE_ERROR || stepped == SQLITE_CONSTRAINT)
        code = sqlite3_reset(statement);
    sqlite3 *db = sqlite3_db_handle(statement);
    m_failure = failureFrom(QSqlError(messages::rowNotFetched(),
                                      QString::fromUtf16(static_cast<const char16_t *>(sqlite3_errmsg16(db))),
                                      QSqlError::ConnectionError, QString::number(code)));
    if (code == stepped)
        sqlite3_reset(statement);
    return false;
}

QVariant ResultSet::sqliteValue(int position) const
{
    // The value Qt's driver makes of it.
    auto *statement = static_cast<sqlite3_stmt *>(m_sqliteStatement);
    switch (sqlite3_column_type(statement, position)) {
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(statement, position)),
                          sqlite3_column_bytes(statement, position));
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(statement, position)));
    case SQLITE_FLOAT:
        return sqlite3_column_double(statement, position);
    case SQLITE_NULL:
        return QVariant(QMetaType::fromType<QString>());
    default: {
        const void *text = sqlite3_column_text16(statement, position);
        return QString(static_cast<const QChar *>(text), sqlite3_column_bytes16(statement, position) / 2);
    }
    }
}

QVariant ResultSet::field(int position) const
{
    if (!m_statement && !m_readsSqlite)
        return m_query.value(position);
    if (position < 0 || position >= m_fieldCount)
        return QVariant();
    if (m_readsSqlite)
        return m_eof ? QVariant() : sqliteValue(position);
    return m_row[static_cast<std::size_t>(position)];
}

QStringView ResultSet::text(int position)
{
    if (position < 0 || position >= m_fieldCount || m_eof)
        return {};
    if (m_readsSqlite) {
        auto *statement = static_cast<sqlite3_stmt *>(m_sqliteStatement);
        switch (sqlite3_column_type(statement, position)) {
        case SQLITE_TEXT: {
            // Most of the club's texts are ASCII: those are widened here, where SQLite would
            // make a UTF-16 copy of each. ASCII is all that is taken this way, as SQLite's
            // own reading of UTF-8 changes some codes and broken sequences in ways of its own.
            if (m_utf8) {
                const unsigned char *utf8 = sqlite3_column_text(statement, position);
                const auto bytes = static_cast<std::size_t>(sqlite3_column_bytes(statement, position));
                std::vector<char16_t> &wide = m_wide[static_cast<std::size_t>(position)];
                if (wide.size() < bytes)
                    wide.resize(bytes);
                if (utf8 && widenAscii(utf8, bytes, wide.data()))
                    return QStringView(wide.data(), static_cast<qsizetype>(bytes));
            }
            // The text first: SQLite gives the length of the form last asked for.
            const void *text = sqlite3_column_text16(statement, position);
            return QStringView(static_cast<const char16_t *>(text), sqlite3_column_bytes16(statement, position) / 2);
        }
        case SQLITE_INTEGER: {
            // Plain decimal digits, as QString::number gives them.
            char digits[24];
            const auto written =
                std::to_chars(digits, digits + sizeof digits, sqlite3_column_int64(statement, position));
            char16_t *wide = m_digits.data() + static_cast<std::size_t>(position) * 24;
            std::copy(digits, written.ptr, wide);
            return QStringView(wide, written.ptr - digits);
        }
        case SQLITE_NULL:
            return {};
        default:
            break; // a real number or bytes: rare enough to go the long way
        }
    }
    const QVariant value = field(position);
    QString &made = m_texts[static_cast<std::size_t>(position)];
    // A journal arrives sorted by its date: a date is put into words once per run of equal dates.
    const bool date = (value.typeId() == QMetaType::QDate || value.typeId() == QMetaType::QDateTime) && !value.isNull();
    QVariant &lastDate = m_lastDates[static_cast<std::size_t>(position)];
    if (date && value == lastDate)
        return made;
    lastDate = date ? value : QVariant();
    made = displayText(value);
    return made;
}

bool ResultSet::holdsText(int position) const
{
    if (position < 0 || position >= m_fieldCount || m_eof)
        return false;
    if (m_readsSqlite)
        return sqlite3_column_type(static_cast<sqlite3_stmt *>(m_sqliteStatement), position) == SQLITE_TEXT;
    const QVariant value = field(position);
    return value.typeId() == QMetaType::QString && !value.isNull();
}

bool ResultSet::fetchOdbcRow()
{
    auto fail = [&] {
        SQLWCHAR state[8] = {};
        SQLWCHAR message[1024] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        if (SQL_SUCCEEDED(SQLGetDiagRecW(SQL_HANDLE_STMT, m_statement, 1, state, &native, message, 1023, &length)))
            m_failure.emplace(QString::number(native),
                              QString::fromUtf16(reinterpret_cast<const char16_t *>(message), length).trimmed());
        else
            m_failure.emplace(QStringLiteral("-1"), messages::nextRowUnreadable());
        return false;
    };
    const SQLRETURN fetched = SQLFetch(m_statement);
    if (fetched == SQL_NO_DATA)
        return false;
    if (!SQL_SUCCEEDED(fetched))
        return fail();
    for (int k = 0; k < m_fieldCount; ++k) {
        const auto column = static_cast<SQLUSMALLINT>(k + 1);
        QVariant &value = m_row[static_cast<std::size_t>(k)];
        SQLLEN indicator = 0;
        switch (m_types[static_cast<std::size_t>(k)]) {
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER: {
            SQLINTEGER number = 0;
            if (!SQL_SUCCEEDED(SQLGetData(m_statement, column, SQL_C_SLONG, &number, 0, &indicator)))
                return fail();
            value = indicator == SQL_NULL_DATA ? QVariant(QMetaType::fromType<int>()) : QVariant(int(number));
            break;
        }
        case SQL_BIGINT: {
            SQLBIGINT number = 0;
            if (!SQL_SUCCEEDED(SQLGetData(m_statement, column, SQL_C_SBIGINT, &number, 0, &indicator)))
                return fail();
            value = indicator == SQL_NULL_DATA ? QVariant(QMetaType::fromType<qlonglong>())
                                               : QVariant(qlonglong(number));
            break;
        }
        case SQL_TYPE_DATE:
        case SQL_DATE: {
            DATE_STRUCT date = {};
            if (!SQL_SUCCEEDED(SQLGetData(m_statement, column, SQL_C_TYPE_DATE, &date, 0, &indicator)))
                return fail();
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
                    return fail();
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

void ResultSet::advance()
{
    m_failure.reset();
    m_eof = !next();
    if (m_eof && !m_statement && !m_readsSqlite && m_query.lastError().isValid())
        m_failure = failureFrom(m_query.lastError());
}

void ResultSet::moveNext()
{
    advance();
    raiseFailure();
}

bool ResultSet::tryMoveNext()
{
    advance();
    return !m_eof;
}

} // namespace kelvory::database
