#pragma once

#include "common/Failure.h"

#include <QSqlQuery>
#include <QDate>
#include <QStringView>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

namespace kelvory::database {

// Qt 6.4's ODBC driver makes two SQLGetData calls for every text value, and the driver
// manager runs a text conversion for one of them; a call through the driver manager
// costs more than the value it brings. This reader fetches rows in blocks instead: every
// column bound once, column-wise, and a thousand rows a call, texts handed on as views
// into the block without a QVariant or a QString of their own. A driver that offers no
// block cursor is read one value at a time; a query with a column of another kind than
// the texts, whole numbers and dates of the club's tables (bytes, real numbers,
// timestamps) is left to Qt.
class OdbcRowReader
{
public:
    // How the rows travel: in blocks where the driver allows it, or one value at a time
    // as for a driver without block cursors.
    enum class Fetching { Blocks, ValueByValue };

    // Null when the query is not an ODBC statement or has a column this reader does not read.
    // `utf8`: the driver gives narrow texts in UTF-8 (odbc::narrowTextsAreUtf8), so they
    // are bound narrow and widened here, which costs psqlODBC a quarter less than its own
    // widening; otherwise they are bound wide.
    static std::unique_ptr<OdbcRowReader> over(const QSqlQuery &query, int fieldCount, bool utf8,
                                               Fetching fetching = Fetching::Blocks);
    ~OdbcRowReader();
    OdbcRowReader(const OdbcRowReader &) = delete;
    OdbcRowReader &operator=(const OdbcRowReader &) = delete;

    // Rows per block; 1 when the rows are read one value at a time.
    qsizetype blockRows() const { return m_blockRows; }

    // One row further; false at the end or when the row cannot be read (failure says why).
    bool fetch(std::optional<Failure> &failure);
    // The value Qt's driver would make of field `position`.
    QVariant value(int position);
    // A text or whole number as text, empty for NULL, valid until the next fetch (asked
    // again for the same row, the same view); nothing for a date, which the caller puts
    // into words itself.
    std::optional<QStringView> text(int position);
    bool holdsText(int position) const;
    // The date of a date column, invalid for NULL; nothing for a column of another kind.
    std::optional<QDate> date(int position) const;

private:
    struct Column;
    OdbcRowReader(void *statement, std::vector<Column> columns);
    void startBlocks();
    void releaseBlocks();
    bool readLong(Column &column, std::optional<Failure> &failure);
    bool fail(std::optional<Failure> &failure) const;

    void *m_statement;
    std::vector<Column> m_columns;
    qsizetype m_blockRows = 1;
    // The rows the last block brought, and the current one among them.
    std::size_t m_fetched = 0;
    qsizetype m_row = -1;
    std::vector<unsigned short> m_status;
    bool m_done = false;
};

} // namespace kelvory::database
