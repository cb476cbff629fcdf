#pragma once

#include "common/Failure.h"
#include "database/Backend.h"

#include <QSqlQuery>
#include <QString>
#include <QStringView>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

namespace kelvory::database {

class OdbcRowReader;
class SqliteRowReader;

// A field's text as a reader holds it: ASCII bytes, which whoever copies it widens on the
// way, or UTF-16. Null data for NULL. Small enough to be returned in registers: a value
// made field by field and read back whole from memory stalls the processor on every cell.
struct HeldText
{
    const void *data = nullptr;
    qint32 length = 0; // bytes for ASCII, UTF-16 units otherwise; -1: not held by the reader
    bool ascii = true;
};

// A forward-only result set read by column position, as the club's tables are a
// contract by column order rather than by column name. It owns the driver's statement
// through its query, so it can be moved but never copied: two copies would step one
// statement.
class ResultSet
{
public:
    // Rows are read from the driver's statement directly where one of the row readers
    // can (SqliteRowReader, OdbcRowReader); the values are those Qt would give. `utf8`:
    // the texts the driver gives as bytes are UTF-8 (see Connection).
    ResultSet(QSqlQuery query, Backend backend, bool utf8);
    ~ResultSet();
    ResultSet(ResultSet &&) noexcept;
    ResultSet &operator=(ResultSet &&) noexcept;
    ResultSet(const ResultSet &) = delete;
    ResultSet &operator=(const ResultSet &) = delete;

    bool eof() const { return m_eof; }
    int fieldCount() const { return m_fieldCount; }
    QVariant field(int position) const;
    // Field `position` as displayText() shows it, valid until the next move. A text or
    // whole number read by one of the row readers is not made into a string of its own on the way.
    QStringView text(int position);
    // Fields 0 .. count-1 as text() gives them, without widening what the reader holds as
    // ASCII, in one call for the row; valid until the next move.
    void heldRow(HeldText *fields, int count);
    // Whether field `position` holds text (not NULL, a number, a date or bytes).
    bool holdsText(int position) const;
    // Moves to the next row; a failure to read it raises Failure.
    void moveNext();
    // Moves to the next row; returns false at the end and also when the row cannot be read.
    bool tryMoveNext();
    // Why the last move (or the first row) could not be read, if it could not.
    const std::optional<Failure> &failure() const { return m_failure; }
    void raiseFailure() const
    {
        if (m_failure)
            throw *m_failure;
    }

private:
    // One row further; false at the end or when the row cannot be read (then m_failure says why).
    bool next();
    void advance();

    QSqlQuery m_query;
    int m_fieldCount = 0;
    bool m_eof = true;
    std::unique_ptr<SqliteRowReader> m_sqlite;
    std::unique_ptr<OdbcRowReader> m_odbc;
    // Per field: the text of a value that needs one made, and the date it was made of.
    std::vector<QString> m_texts;
    std::vector<QVariant> m_lastDates;
    // The same for the dates the ODBC reader hands over as dates, by their day (a NULL
    // date has a day number of its own).
    std::vector<std::optional<qint64>> m_lastDays;
    std::optional<Failure> m_failure;
};

} // namespace kelvory::database
