#pragma once

#include <QString>
#include <QSqlDatabase>

#include <memory>
#include <vector>

// The baselines every fill is held against: the same query read into memory as text,
// every column of every row, with nothing of the program in between.
namespace kelvory::bench {

// Each reader keeps what it read until the next read, as a grid would.
class BareReader
{
public:
    virtual ~BareReader() = default;
    // Runs the query and keeps every value as a QString; returns the number of values.
    virtual std::size_t read(const QString &sql) = 0;
    virtual QString name() const = 0;
};

// (a) Qt's SQL driver alone: QSqlQuery, forward-only, every value to a QString in a vector.
std::unique_ptr<BareReader> qtDriverReader(const QSqlDatabase &database);

// (b) The driver's own C API on a connection of its own.
// SQLite: sqlite3_prepare_v2 / sqlite3_step / sqlite3_column_text16.
std::unique_ptr<BareReader> sqliteReader(const QString &file);
// ODBC: SQLDriverConnect with the program's connection string, then SQLExecDirect /
// SQLFetch / SQLGetData as wide text.
std::unique_ptr<BareReader> odbcReader(const QString &connectionString);
// ODBC at its best: a block cursor of 1024 rows, every column bound once (texts as text,
// dates and whole numbers as such and put into text here), the texts packed one after
// another into one array, as the grid keeps them. `utf8` binds the driver's UTF-8 texts
// and widens them here instead of its wide ones.
std::unique_ptr<BareReader> odbcBlockReader(const QString &connectionString, bool utf8 = false);

} // namespace kelvory::bench
