#pragma once

#include <QStringList>

#include <vector>

namespace kelvory::database {

class Connection;

// The club's four tables for the embedded SQLite file, columns in contract order.
// Column names at positions the program never names are ours to choose.
QStringList embeddedSchemaStatements();

// The tables of the program's own, beside the club's, in every embedded file it makes.
struct OwnTable
{
    QString name; // in lower case, as the catalogues are searched
    QString create;
};
std::vector<OwnTable> ownTables();
// Adds them to an existing file of the club's that lacks them (made by an earlier build).
void addMissingOwnTables(Connection &connection);

// Creates the tables and the one hitcounters row (ver 1) in an empty database.
void createEmbeddedSchema(Connection &connection);

} // namespace kelvory::database
