#pragma once

#include <QStringList>

namespace kelvory::database {

class Connection;

// The club's four tables for the embedded SQLite file, columns in contract order.
// Column names at positions the program never names are ours to choose.
QStringList embeddedSchemaStatements();

// The program's own tables, beyond the club's four; each statement leaves a table that
// is there already as it is.
QStringList ownTableStatements();
// Adds the program's own tables to a file made before they existed; a file that cannot
// take them stays as it is.
void addOwnTables(Connection &connection) noexcept;

// Creates the tables and the one hitcounters row (ver 1) in an empty database.
void createEmbeddedSchema(Connection &connection);

} // namespace kelvory::database
