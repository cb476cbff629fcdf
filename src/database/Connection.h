#pragma once

#include "common/Failure.h"
#include "database/ResultSet.h"

#include <QDate>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringView>
#include <QVariant>
#include <QVariantList>

#include <optional>
#include <vector>

namespace kelvory::database {

// The four pieces of a server deployment; the driver piece is the build's (KELVORY_ODBC_DRIVER).
struct ServerSettings
{
    QString server;
    QString database;
    QString uid;
    QString pwd;
    // The ODBC driver's name, a setting of the build (KELVORY_ODBC_DRIVER).
    QString driver = QStringLiteral("SQL Server");
};

// "Driver={SQL Server};Server=...;Database=...;Uid=...;Pwd=..." - five pieces, no ";" after the password.
QString connectionString(const ServerSettings &settings);

// The one long-lived connection that every statement of the program runs on.
// Statements are plain text with "?" placeholders; every value travels as a bound
// parameter, so no value can change what a statement means.
class Connection
{
public:
    Connection();
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    void setConnectionTimeout(int seconds) { m_connectionTimeout = seconds; }
    void setCommandTimeout(int seconds) { m_commandTimeout = seconds; }
    int connectionTimeout() const { return m_connectionTimeout; }
    int commandTimeout() const { return m_commandTimeout; }

    // SQL Server (or any driver registered as "SQL Server") through ODBC.
    void openServer(const ServerSettings &settings);
    // The embedded default: an SQLite file, created with the club's four tables when missing.
    void openEmbedded(const QString &file);

    bool isOpen() const;
    Backend backend() const { return m_backend; }
    // Known once the connection is open: through ODBC, by the DBMS name the driver reports.
    Server server() const { return m_server; }
    QSqlDatabase database() const;

    // Runs a statement; returns the number of rows it affected, or -1 when the driver cannot tell.
    qint64 execute(const QString &sql, const QVariantList &values = {});
    // Runs one statement once for each row of values, prepared once: for many rows in one
    // transaction, where preparing it anew for each would cost more than running it.
    void executeRows(const QString &sql, const std::vector<QVariantList> &rows);
    // Opens a forward-only, read-only result set positioned on its first row (if any).
    // A first row that cannot be read raises Failure, as a query that cannot be opened does.
    ResultSet query(const QString &sql, const QVariantList &values = {});
    // The same, but a first row that cannot be read only leaves the result set at its
    // end, with failure() saying why: for a reader that goes on without the rows it
    // cannot read.
    ResultSet openQuery(const QString &sql, const QVariantList &values = {});

    // A transaction on this connection; see Transaction. On SQLite it takes the write
    // lock at once, so that what it reads (the largest record id) stays true until it ends.
    void beginTransaction();
    void commitTransaction();
    // Never fails: a connection that is gone has dropped the transaction already.
    void rollbackTransaction() noexcept;

    // The value to store today's date (or any date) in column `position` of `table`:
    // a date value for a column of a date type; the workstation's short date text for a
    // text column, the form that older copies of the program and the club's web site
    // keep there. The column's type is looked up once per connection.
    QVariant dateValue(const QString &table, int position, QDate date);
    // Runs an insert into `table` whose value `position` is `date`, in the form that
    // dateValue gives. When the server cannot convert the value (another workstation or
    // the administrator changed the column meanwhile), the column's type is looked up
    // once more and the insert is tried once more; anything else it does not catch.
    qint64 executeWithDate(const QString &sql, QVariantList values, const QString &table, int position, QDate date);

    // Whether a table of that name (lower case) is in the schema the program's statements
    // reach. Looked up once per connection: a table of the program's own that the
    // administrator adds shows from the next start on.
    bool hasTable(const QString &name);
    // Looks every table up afresh, after the program has made one.
    void forgetTables() { m_tables.clear(); }

private:
    // With readFailureAllowed, a query that SQLite compiles but cannot run is given back
    // failed: its driver reads the first row as the query runs, so it is that row that
    // could not be read.
    QSqlQuery run(const QString &sql, const QVariantList &values, bool readFailureAllowed = false);
    // The standard error for what the driver reported, marked busy when another session's
    // lock (or the time-out spent waiting for one) is why. `statement` is the ODBC statement
    // handle whose diagnostics tell the SQLSTATE; without one, the connection's.
    Failure failure(const QSqlError &error, void *statement = nullptr) const;
    void applyCommandTimeout(QSqlQuery &query) const;

    bool columnHoldsText(const QString &table, int position);
    // DATA_TYPE from the server's INFORMATION_SCHEMA, empty when it names none.
    QString catalogueType(const QString &table, int position);
    void transactionStep(const QString &sqliteStatement, bool (QSqlDatabase::*odbcStep)());

    QString m_name;
    Backend m_backend = Backend::None;
    Server m_server = Server::Other;
    QHash<QString, bool> m_textColumns;
    QHash<QString, bool> m_tables;
    // Texts read as bytes are UTF-8: the embedded file's, as the files this program makes
    // keep them; a server's, when its driver hands narrow texts over in UTF-8.
    bool m_utf8 = true;
    int m_connectionTimeout = 15;
    int m_commandTimeout = 30;
};

// Whether the folder of `file` is on a network file system (NFS, SMB/CIFS, sshfs and other
// FUSE mounts, told by statfs; a mapped network drive or a UNC path on Windows), where
// SQLite's write-ahead log is unsafe: the embedded file keeps its rollback journal there.
bool onNetworkFileSystem(const QString &file);
bool isNetworkFileSystemType(qint64 statfsType);
// For tests: the file system type (statfs's f_type) taken for every file; none: the real one.
void fakeFileSystemType(std::optional<qint64> type);

// Whether a server column holds its dates as text: by the server's own catalogue
// (INFORMATION_SCHEMA.COLUMNS.DATA_TYPE) when it names a text or a date type, for the
// "SQL Server" driver describes date, datetime2 and datetimeoffset columns as text;
// by the driver's description of the column otherwise.
bool serverColumnHoldsText(const QString &catalogueType, bool describedAsText);

// Whether a statement failed because the server could not make a date of a value.
bool isDateConversionFailure(const Failure &failure);

// Statements that stand or fall together: whatever is not committed when the
// Transaction goes (a failure thrown past it, or a return before commit()) is rolled back.
class Transaction
{
public:
    explicit Transaction(Connection &connection) : m_connection(connection) { m_connection.beginTransaction(); }
    ~Transaction()
    {
        if (m_open)
            m_connection.rollbackTransaction();
    }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    void commit()
    {
        m_connection.commitTransaction();
        m_open = false;
    }

private:
    Connection &m_connection;
    bool m_open = true;
};

} // namespace kelvory::database
