#include "database/OdbcDriver.h"

#include "database/DatabaseMessages.h"

#include <QSqlDriver>
#include <QSqlResult>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <algorithm>

namespace kelvory::database::odbc {

// The first diagnostic record of a connection, as Qt's driver would word it.
Failure connectionFailure(SQLHANDLE dbc)
{
    SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
    SQLINTEGER native = 0;
    SQLCHAR text[SQL_MAX_MESSAGE_LENGTH] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagRec(SQL_HANDLE_DBC, dbc, 1, state, &native, text, sizeof(text), &length)))
        return Failure(QStringLiteral("-1"), messages::errorWithoutDescription());
    const QString description = QString::fromUtf8(reinterpret_cast<const char *>(text)) + QLatin1Char(' ')
        + QString::fromLatin1(reinterpret_cast<const char *>(state));
    Failure failure(QString::number(native), description.trimmed());
    // A commit can lose to another session too (a deadlock, a serialisation failure).
    if (busy(SQL_HANDLE_DBC, dbc))
        failure.markBusy();
    return failure;
}

// What the ODBC driver says it reaches. A driver registered as "SQL Server" may be
// Microsoft's, FreeTDS or, in the tests, psqlODBC; the name tells them apart.
Server serverOf(const QSqlDatabase &db)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || !handle.constData())
        return Server::Other;
    SQLHANDLE connection = *static_cast<const SQLHANDLE *>(handle.constData());
    SQLCHAR name[128] = {};
    SQLSMALLINT length = 0;
    if (!connection || !SQL_SUCCEEDED(SQLGetInfo(connection, SQL_DBMS_NAME, name, sizeof name, &length)))
        return Server::Other;
    const QString dbms = QString::fromLatin1(reinterpret_cast<const char *>(name)).toLower();
    if (dbms.contains(QLatin1String("microsoft sql server")))
        return Server::SqlServer;
    if (dbms.contains(QLatin1String("postgresql")))
        return Server::PostgreSql;
    return Server::Other;
}

bool narrowTextsAreUtf8(const QSqlDatabase &db)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || !handle.constData())
        return false;
    SQLHANDLE connection = *static_cast<const SQLHANDLE *>(handle.constData());
    SQLHSTMT statement = nullptr;
    if (!connection || !SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection, &statement)))
        return false;
    // A letter of code page 1252 and one beyond the BMP: a client character set of one
    // byte per character cannot give both, nor one that splits surrogates.
    const QString probe = QStringLiteral("select N'\u00e9\U00020BB7'");
    char text[32] = {};
    SQLLEN length = 0;
    const bool read =
        SQL_SUCCEEDED(SQLExecDirectW(statement, reinterpret_cast<SQLWCHAR *>(const_cast<ushort *>(probe.utf16())),
                                     static_cast<SQLINTEGER>(probe.size())))
        && SQL_SUCCEEDED(SQLFetch(statement))
        && SQLGetData(statement, 1, SQL_C_CHAR, text, sizeof text, &length) == SQL_SUCCESS;
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    // A padded national character type may bring trailing blanks.
    return read && length > 0
        && QByteArray(text, static_cast<qsizetype>(std::min<SQLLEN>(length, sizeof text - 1))).trimmed()
        == QByteArray("\xc3\xa9\xf0\xa0\xae\xb7");
}

// The ODBC statement handle of a query, when it has one.
SQLHANDLE statementHandle(const QSqlQuery &query)
{
    if (!query.result())
        return nullptr;
    const QVariant handle = query.result()->handle();
    if (!handle.isValid() || !handle.constData())
        return nullptr;
    return *static_cast<const SQLHANDLE *>(handle.constData());
}

// Whether an ODBC diagnostic says that another session's lock stood in the way: SQL
// Server's lock request time-out (1222) and deadlock victim (1205); the query time-out
// that a wait for a lock ends in (HYT00), and on PostgreSQL lock_not_available (55P03)
// and the statement time-out (57014); a deadlock or serialisation failure (40001,
// 40P01). Qt reports the native code but not the SQLSTATE, which psqlODBC's native
// code (1 for every error) leaves as the only clue.
bool busy(SQLSMALLINT handleType, SQLHANDLE handle)
{
    if (!handle)
        return false;
    for (SQLSMALLINT record = 1; record <= 8; ++record) {
        SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
        SQLINTEGER native = 0;
        SQLCHAR text[16];
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRec(handleType, handle, record, state, &native, text, sizeof text, &length)))
            break;
        const QByteArray code(reinterpret_cast<const char *>(state));
        if (native == 1222 || native == 1205 || code == "HYT00" || code == "55P03" || code == "57014" || code == "40001"
            || code == "40P01")
            return true;
    }
    return false;
}

} // namespace kelvory::database::odbc
