#pragma once

#include <QStringList>

#include <vector>

namespace kelvory::database {

class Connection;

// The club's four tables for the embedded SQLite file, columns in contract order.
// Column names at positions the program never names are ours to choose.
QStringList embeddedSchemaStatements();

// The tables of the program's own, beside the club's, in every embedded file it makes:
// each with the statements that make it (the table, then its indexes).
struct OwnTable
{
    QString name; // in lower case, as the catalogues are searched
    QStringList create;
};
std::vector<OwnTable> ownTables();
// Adds them to an existing file of the club's that lacks them (made by an earlier build);
// a file that cannot take them stays as it is.
void addMissingOwnTables(Connection &connection) noexcept;

// Creates the tables and the one hitcounters row (ver 1) in an empty database.
void createEmbeddedSchema(Connection &connection);

} // namespace kelvory::database
