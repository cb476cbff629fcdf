#include "database/Connection.h"

#include "database/DatabaseMessages.h"
#include "database/EmbeddedSchema.h"
#include "database/OdbcDriver.h"
#include "database/Statements.h"
#include "database/SqliteRowReader.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlField>
#include <QSqlRecord>
#include <QSqlResult>
#include <QThread>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/vfs.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <algorithm>

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
    return QStringLiteral("Driver={") + settings.driver + QStringLiteral("};Server=") + settings.server
        + QLatin1Char(';') + QStringLiteral("Database=") + settings.database + QLatin1Char(';') + QStringLiteral("Uid=")
        + settings.uid + QLatin1Char(';') + QStringLiteral("Pwd=") + settings.pwd;
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
    default: return failure;
    }
    return Failure(failure.number(),
                   description + QStringLiteral("\r\n\r\n(") + failure.description() + QLatin1Char(')'));
}

std::optional<qint64> g_fakeFileSystemType;

} // namespace

void fakeFileSystemType(std::optional<qint64> type)
{
    g_fakeFileSystemType = type;
}

bool isNetworkFileSystemType(qint64 type)
{
    switch (type) {
    case 0x6969:     // NFS
    case 0x517b:     // SMB
    case 0xff534d42: // CIFS
    case 0xfe534d42: // SMB2
    case 0x65735546: // FUSE: sshfs, and the other file systems of a process
    case 0x01021997: // 9P
    case 0x5346414f: // AFS
    case 0x6b414653: // kAFS
    case 0x00c36400: // Ceph
    case 0x73757245: // Coda
    case 0x564c:     // NCP
    case 0x01161970: // GFS2
    case 0x0bd00bd0: // Lustre
        return true;
    default: return false;
    }
}

bool onNetworkFileSystem(const QString &file)
{
    const QString folder = QFileInfo(file).absolutePath();
    if (g_fakeFileSystemType)
        return isNetworkFileSystemType(*g_fakeFileSystemType);
#if defined(Q_OS_LINUX)
    struct statfs status
    {
    };
    return ::statfs(QFile::encodeName(folder).constData(), &status) == 0
        && isNetworkFileSystemType(qint64(static_cast<unsigned long>(status.f_type) & 0xffffffffUL));
#elif defined(Q_OS_WIN)
    const QString native = QDir::toNativeSeparators(folder);
    if (native.startsWith(QLatin1String("\\\\")))
        return true; // \\server\share
    const std::wstring root = native.left(3).toStdWString();
    return GetDriveTypeW(root.c_str()) == DRIVE_REMOTE;
#else
    return false;
#endif
}

Failure Connection::failure(const QSqlError &error, void *statement) const
{
    Failure failure = failureFrom(error);
    bool busy = false;
    if (m_backend == Backend::Embedded) {
        const int code = error.nativeErrorCode().toInt();
        busy = code == 5 || code == 6; // SQLITE_BUSY, SQLITE_LOCKED
    } else if (m_backend == Backend::Odbc) {
        if (statement) {
            busy = odbc::busy(SQL_HANDLE_STMT, statement);
        } else if (QSqlDriver *driver = database().driver()) {
            const QVariant handle = driver->handle();
            if (handle.isValid() && handle.constData())
                busy = odbc::busy(SQL_HANDLE_DBC, *static_cast<const SQLHANDLE *>(handle.constData()));
        }
        busy = busy || error.nativeErrorCode() == QLatin1String("1222");
    }
    if (busy)
        failure.markBusy();
    return failure;
}

Connection::Connection() : m_name(nextConnectionName())
{
}

Connection::~Connection()
{
    if (QSqlDatabase::contains(m_name)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            // The log's changes go into the file itself, so that the file alone holds
            // them (SQLite does so as well when the last connection to it closes).
            if (m_backend == Backend::Embedded && db.isOpen())
                QSqlQuery(QStringLiteral("pragma wal_checkpoint(passive)"), db).finish();
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
    // FreeTDS (the "SQL Server" driver on Linux) reads no freetds.conf for "Server=", and
    // keeps to the login time-out only with a pinned protocol version (docs/sql-server.md).
    if (!qEnvironmentVariableIsSet("TDSVER"))
        qputenv("TDSVER", "7.4");
    // Nor does it know SQL Server's default port; "host,port" and "host\INSTANCE" name their own.
    const bool namesItsWayIn =
        settings.server.contains(QLatin1Char(',')) || settings.server.contains(QLatin1Char('\\'));
    if (!namesItsWayIn && !qEnvironmentVariableIsSet("TDSPORT"))
        qputenv("TDSPORT", "1433");
    // The user id and password travel in the connection string; the separate arguments stay empty.
    if (!db.open(QString(), QString()))
        throw failureFrom(db.lastError());
    m_backend = Backend::Odbc;
    m_server = odbc::serverOf(db);
    m_utf8 = odbc::narrowTextsAreUtf8(db);
}

void Connection::openEmbedded(const QString &file)
{
    const bool existed = QFileInfo::exists(file);
    const QString wal = file + QStringLiteral("-wal");
    const QString shm = file + QStringLiteral("-shm");
    const bool hadLog = QFileInfo::exists(wal);
    const bool hadIndex = QFileInfo::exists(shm);
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
    m_server = Server::Embedded;
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
            // A file marked for the write-ahead log gets an empty log and its index as it
            // is opened; a file that is no database, or is damaged, is left as it was
            // found. (While another program holds it, they may be that program's.)
            db.close();
            if (!failure.busy()) {
                if (!hadLog && QFileInfo(wal).size() == 0)
                    QFile::remove(wal);
                if (!hadIndex)
                    QFile::remove(shm);
            }
            throw embeddedFileFailure(failure, file, waitSeconds);
        }
        addMissingOwnTables(*this);
    }
    m_utf8 = query(QStringLiteral("pragma encoding")).field(0).toString() == QLatin1String("UTF-8");

    // In write-ahead-log mode a reader (the roster's refill) holds up no other connection's
    // commit. The log's index (-shm) is memory that every process using the file must
    // share, which a network file system does not give: there the rollback journal stays,
    // and a file left in WAL mode is put back in it.
    const bool network = onNetworkFileSystem(file);
    try {
        query(network ? QStringLiteral("pragma journal_mode = delete") : QStringLiteral("pragma journal_mode = wal"));
    } catch (const Failure &failure) {
        // A file this program may only read stays in its mode; a lock past the time-out
        // is told as at the catalogue's read.
        if (failure.busy())
            throw embeddedFileFailure(failure, file, waitSeconds);
    }
    // The roster's "order by name" sorts every member at each fill; SQLite's sorter takes a
    // helper thread on each spare core (a quarter less time on two cores, measured).
    query(QStringLiteral("pragma threads = %1").arg(std::clamp(QThread::idealThreadCount() - 1, 0, 3)));
}

void Connection::applyCommandTimeout(QSqlQuery &query) const
{
    if (m_backend != Backend::Odbc)
        return;
    if (SQLHANDLE statement = odbc::statementHandle(query))
        SQLSetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(m_commandTimeout)), 0);
}

QSqlQuery Connection::run(const QString &sql, const QVariantList &values, bool readFailureAllowed)
{
    QSqlDatabase db = database();
    if (!db.isOpen())
        throw Failure(QStringLiteral("3704"), messages::connectionNotOpen());
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw failure(query.lastError(), odbc::statementHandle(query));
    applyCommandTimeout(query);
    for (const QVariant &value : values)
        query.addBindValue(bindable(value));
    if (!query.exec()) {
        if (!readFailureAllowed || m_backend != Backend::Embedded)
            throw failure(query.lastError(), odbc::statementHandle(query));
        // SQLite finds a table gone only as the statement runs; one that still compiles
        // against the schema as it is now failed on its first row.
        QSqlQuery check(db);
        if (!check.prepare(sql))
            throw failure(check.lastError());
        // A first row that waited for a lock past the time-out is a busy database, not a
        // row that cannot be read.
        const int code = query.lastError().nativeErrorCode().toInt();
        if (code == 5 || code == 6)
            throw failure(query.lastError());
    }
    return query;
}

qint64 Connection::execute(const QString &sql, const QVariantList &values)
{
    QSqlQuery query = run(sql, values);
    return query.numRowsAffected();
}

void Connection::executeRows(const QString &sql, const std::vector<QVariantList> &rows)
{
    QSqlDatabase db = database();
    if (!db.isOpen())
        throw Failure(QStringLiteral("3704"), messages::connectionNotOpen());
    // On SQLite the statement is run through the handle Qt's driver holds: Qt's own way
    // costs more per row than SQLite's work on it.
    if (m_backend == Backend::Embedded && db.driver() && executeSqliteRows(db.driver()->handle(), sql, rows))
        return;
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

bool Connection::hasTable(const QString &name)
{
    const auto known = m_tables.constFind(name);
    if (known != m_tables.constEnd())
        return *known;
    const QString &sql = m_server == Server::Embedded ? sql::kCountTableEmbedded
        : m_server == Server::SqlServer               ? sql::kCountTableSqlServer
                                                      : sql::kCountTable;
    const bool found = query(sql, {name}).field(0).toLongLong() > 0;
    m_tables.insert(name, found);
    return found;
}

void Connection::transactionStep(const QString &sqliteStatement, bool (QSqlDatabase::*odbcStep)())
{
    if (m_backend == Backend::Embedded) {
        execute(sqliteStatement);
        return;
    }
    QSqlDatabase db = database();
    if (!(db.*odbcStep)())
        throw failure(db.lastError());
}

void Connection::beginTransaction()
{
    transactionStep(QStringLiteral("BEGIN IMMEDIATE"), &QSqlDatabase::transaction);
}

void Connection::commitTransaction()
{
    if (m_backend != Backend::Odbc) {
        transactionStep(QStringLiteral("COMMIT"), &QSqlDatabase::commit);
        return;
    }
    // Qt's ODBC driver counts "success with information" (a notice, a warning the server
    // sends as it commits) as a failed commit, though the change is stored; so the
    // commit is made here, on the driver's own connection handle.
    QSqlDatabase db = database();
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!db.isOpen() || !handle.isValid() || !handle.constData())
        throw Failure(QStringLiteral("3704"), messages::connectionNotOpen());
    SQLHANDLE dbc = *static_cast<const SQLHANDLE *>(handle.constData());
    if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_COMMIT)))
        throw odbc::connectionFailure(dbc);
    // Back to one statement, one transaction, as Qt's own commit leaves it.
    if (!SQL_SUCCEEDED(SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0)))
        throw odbc::connectionFailure(dbc);
}

void Connection::rollbackTransaction() noexcept
{
    try {
        transactionStep(QStringLiteral("ROLLBACK"), &QSqlDatabase::rollback);
    } catch (const Failure &) {
        // The failure that led here is the one the operator is told of.
    }
}

} // namespace kelvory::database
