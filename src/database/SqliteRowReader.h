#pragma once

#include "common/Failure.h"
#include "database/ResultSet.h"

#include <QSqlQuery>
#include <QStringView>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

struct sqlite3_stmt;

namespace kelvory::database {

// Qt's SQLite driver makes a QVariant of every value of every row. It runs a statement
// to its first row as it executes it, and the statement stays on that row until it is
// stepped again: from the second row on, this reader steps the statement itself and
// gives texts and whole numbers without a QVariant or a QString of their own.
class SqliteRowReader
{
public:
    // Null when the query is not one of Qt's SQLite statements.
    static std::unique_ptr<SqliteRowReader> over(const QSqlQuery &query, int fieldCount, bool utf8);

    // Called once Qt has read the first row: the statement is stepped here from then on.
    void takeOver() { m_reading = true; }
    bool reading() const { return m_reading; }

    // One row further; false at the end or when the row cannot be read (failure says why).
    bool step(std::optional<Failure> &failure);
    // The value Qt's driver would make of field `position`.
    QVariant value(int position) const;
    // A text or whole number as text, empty for NULL, valid until the next step; nothing
    // for a real number or bytes, which the caller puts into words itself.
    std::optional<QStringView> text(int position);
    // The same text as the reader holds it: ASCII as SQLite stores it, without a copy;
    // a length of -1 for a real number or bytes.
    HeldText held(int position);
    void heldRow(HeldText *fields, int count);
    bool holdsText(int position) const;

private:
    SqliteRowReader(sqlite3_stmt *statement, int fieldCount, bool utf8);

    sqlite3_stmt *m_statement;
    bool m_reading = false;
    // Stepped again after its end, a statement would run again from its start.
    bool m_done = false;
    bool m_utf8;
    // Room for each field's whole number as digits, and its text widened from ASCII.
    std::vector<char> m_digits;
    std::vector<std::vector<char16_t>> m_wide;
};

// Runs one statement once per row of values on the SQLite connection behind a handle
// of Qt's driver, binding values as Qt's driver does; false when the handle is not one.
// A failure raises Failure, and the caller's transaction undoes the rows before it.
bool executeSqliteRows(const QVariant &handle, const QString &sql, const std::vector<QVariantList> &rows);

// Whether every byte of the text is ASCII.
bool isAscii(const unsigned char *text, std::size_t bytes);
// Widens ASCII text to UTF-16; false, and nothing widened, when a byte is not ASCII.
bool widenAscii(const unsigned char *text, std::size_t bytes, char16_t *wide);

} // namespace kelvory::database
