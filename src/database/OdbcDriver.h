#pragma once

#include "common/Failure.h"
#include "database/Backend.h"

#include <QSqlDatabase>
#include <QSqlQuery>

// What an ODBC driver tells of itself and of its failures, read through its own handles
// where Qt's driver does not pass it on.
namespace kelvory::database::odbc {

// The first diagnostic record of a connection handle, as Qt's driver would word it.
Failure connectionFailure(void *dbc);
// What the driver says it reaches: a driver registered as "SQL Server" may be Microsoft's,
// FreeTDS or, in the tests, psqlODBC.
Server serverOf(const QSqlDatabase &db);
// Whether the driver hands a text asked for as narrow (SQL_C_CHAR) over in UTF-8, every
// character kept. psqlODBC does on Linux; FreeTDS gives its client character set, and
// drivers on Windows the ANSI code page. Told by one value read back, not by name.
bool narrowTextsAreUtf8(const QSqlDatabase &db);
// The ODBC statement handle of a query, when it has one.
void *statementHandle(const QSqlQuery &query);
// Whether a diagnostic of the handle says that another session's lock stood in the way.
bool busy(short handleType, void *handle);

} // namespace kelvory::database::odbc
