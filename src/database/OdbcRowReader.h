#pragma once

#include "common/Failure.h"

#include <QSqlQuery>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

namespace kelvory::database {

// Qt 6.4's ODBC driver makes two SQLGetData calls for every text value, and the driver
// manager runs a text conversion for one of them: three times the instructions of a
// plain read of the same rows. This reader takes each value in one call, for the column
// types the club's tables hold (texts, whole numbers, dates); a query with any other
// column type is read by Qt.
class OdbcRowReader
{
public:
    // Null when the query is not an ODBC statement or has a column this reader does not read.
    static std::unique_ptr<OdbcRowReader> over(const QSqlQuery &query, int fieldCount);

    // One row further; false at the end or when the row cannot be read (failure says why).
    bool fetch(std::optional<Failure> &failure);
    QVariant value(int position) const { return m_row[static_cast<std::size_t>(position)]; }

private:
    OdbcRowReader(void *statement, std::vector<short> types);
    bool fail(std::optional<Failure> &failure) const;

    void *m_statement;
    std::vector<short> m_types;
    std::vector<QVariant> m_row;
    std::vector<char16_t> m_buffer;
};

} // namespace kelvory::database
