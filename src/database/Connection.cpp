#include "database/Connection.h"

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

namespace kelvory::database {

Failure Failure::fromSqlError(const QSqlError &error)
{
    QString number = error.nativeErrorCode();
    if (number.isEmpty())
        number = QString::number(static_cast<int>(error.type()));
    QString description = error.text().trimmed();
    if (description.isEmpty())
        description = QStringLiteral("The database reported an error without a description.");
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
    const QString cause = QStringLiteral("\r\n\r\n(") + failure.description() + QLatin1Char(')');
    const int code = failure.number().toInt();
    if (code == 5 || code == 6) // SQLITE_BUSY, SQLITE_LOCKED
        return Failure(failure.number(),
                       QStringLiteral("The club's database file %1 is in use by another program, which kept it locked "
                                      "for more than %2 seconds. Nothing was changed. Close the other program, or wait "
                                      "until it has finished, then start this program again.")
                               .arg(path)
                               .arg(waitSeconds)
                           + cause);
    if (code == 26) // SQLITE_NOTADB
        return Failure(failure.number(),
                       QStringLiteral("The file %1 is not a Kelvory database, so the program cannot use it. Nothing "
                                      "was changed. Ask whoever looks after this computer to put the club's database "
                                      "back in its place from a copy.")
                               .arg(path)
                           + cause);
    if (code == 11) // SQLITE_CORRUPT
        return Failure(failure.number(),
                       QStringLiteral("The club's database file %1 is damaged, so the program cannot use it. Nothing "
                                      "was changed. Ask whoever looks after this computer to put the club's database "
                                      "back in its place from a copy.")
                               .arg(path)
                           + cause);
    return failure;
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
        throw Failure(QStringLiteral("3706"), QStringLiteral("The ODBC database driver of Qt is not installed."));
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
    // to connect; SQL Server's own default port is what the Windows driver uses.
    if (!qEnvironmentVariableIsSet("TDSPORT"))
        qputenv("TDSPORT", "1433");
    // The user id and password travel in the connection string; the separate arguments stay empty.
    if (!db.open(QString(), QString()))
        throw Failure::fromSqlError(db.lastError());
    m_backend = Backend::Odbc;
}

void Connection::openEmbedded(const QString &file)
{
    const bool existed = QFileInfo::exists(file);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    if (!db.isValid())
        throw Failure(QStringLiteral("3706"), QStringLiteral("The SQLite database driver of Qt is not installed."));
    db.setDatabaseName(file);
    // SQLite has no login; what can keep a statement waiting is another process's lock,
    // so the time-out bounds that wait.
    const int waitSeconds = qMax(m_connectionTimeout, m_commandTimeout);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(waitSeconds * 1000));
    if (!db.open())
        throw embeddedFileFailure(Failure::fromSqlError(db.lastError()), file, waitSeconds);
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

QSqlQuery Connection::run(const QString &sql, const QVariantList &values)
{
    QSqlDatabase db = database();
    if (!db.isOpen())
        throw Failure(QStringLiteral("3704"), QStringLiteral("The connection to the database is not open."));
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw Failure::fromSqlError(query.lastError());
    applyCommandTimeout(query);
    for (const QVariant &value : values)
        query.addBindValue(bindable(value));
    if (!query.exec())
        throw Failure::fromSqlError(query.lastError());
    return query;
}

qint64 Connection::execute(const QString &sql, const QVariantList &values)
{
    QSqlQuery query = run(sql, values);
    return query.numRowsAffected();
}

ResultSet Connection::query(const QString &sql, const QVariantList &values)
{
    return ResultSet(run(sql, values));
}

ResultSet::ResultSet(QSqlQuery query) : m_query(std::move(query))
{
    m_fieldCount = m_query.record().count();
    moveNext();
}

void ResultSet::moveNext()
{
    if (m_query.next()) {
        m_eof = false;
        return;
    }
    m_eof = true;
    if (m_query.lastError().isValid())
        throw Failure::fromSqlError(m_query.lastError());
}

bool ResultSet::tryMoveNext()
{
    m_eof = !m_query.next();
    return !m_eof;
}

} // namespace kelvory::database
