#pragma once

#include "common/Failure.h"

#include <QSqlError>

namespace kelvory::database {

enum class Backend { None, Embedded, Odbc };

// The database behind the connection, where a statement needs a form of its own.
enum class Server { Embedded, SqlServer, PostgreSql, Other };

// The standard error for what a driver reported: its native code, or else the kind of error.
Failure failureFrom(const QSqlError &error);

} // namespace kelvory::database
