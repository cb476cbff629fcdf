#pragma once

#include <QStringList>

namespace kelvory::database {

class Connection;

// The club's four tables for the embedded SQLite file, columns in contract order.
// Column names at positions the program never names are ours to choose.
QStringList embeddedSchemaStatements();

// Creates the tables and the one hitcounters row (ver 1) in an empty database.
void createEmbeddedSchema(Connection &connection);

} // namespace kelvory::database
