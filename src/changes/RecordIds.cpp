#include "changes/RecordIds.h"

#include "changes/ChangeErrors.h"
#include "database/Connection.h"
#include "database/DateText.h"
#include "database/Statements.h"
#include "startup/NumberText.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace kelvory::changes {

std::optional<qint64> recordIdFrom(const QString &text)
{
    static const QRegularExpression wholeNumber(QStringLiteral("^-?[0-9]+$"));
    if (!wholeNumber.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 id = text.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return id;
}

qint64 recordIdAfter(const QVariant &largestStored)
{
    if (largestStored.isNull())
        return 1;
    const auto overflow = [&] {
        return Failure(QStringLiteral("6"), errors::largestRecordIdOverflows(database::displayText(largestStored)));
    };
    const bool real = largestStored.typeId() == QMetaType::Double || largestStored.typeId() == QMetaType::Float;
    // A real number converts to a whole one without a word even far beyond its range, so
    // it is taken as the real number it is; a text as the number it spells, whole if it can.
    bool ok = false;
    qint64 largest = real ? 0 : largestStored.toLongLong(&ok);
    if (!ok) {
        const QString text = database::displayText(largestStored).trimmed();
        double value = real ? largestStored.toDouble() : text.toDouble(&ok);
        if (!real && !ok)
            value = readLeadingNumber(text);
        if (!std::isfinite(value) || std::abs(value) >= 9.0e18)
            throw overflow();
        largest = static_cast<qint64>(std::floor(value));
    }
    if (largest == std::numeric_limits<qint64>::max())
        throw overflow();
    return largest + 1;
}

std::optional<qint64> nextRecordId(database::Connection &connection)
{
    // Where reads do not wait for writers (PostgreSQL, SQL Server with row versioning), two
    // transactions would both read the same largest id before either stored the next.
    // SQL Server's own form locks with the read itself: Microsoft's drivers open a manual
    // transaction only at the first statement that reads or writes a table, so a lock
    // statement before it would be held by no transaction at all.
    const QString *largestSql = &database::sql::kMaxRecordId;
    switch (connection.server()) {
    case database::Server::PostgreSql: connection.execute(database::sql::kRecordIdLockPostgreSql); break;
    case database::Server::SqlServer: largestSql = &database::sql::kMaxRecordIdLockedSqlServer; break;
    case database::Server::Embedded: // BEGIN IMMEDIATE has taken the file's write lock
    case database::Server::Other:    // no lock known: recordIdHeld and a unique index guard
        break;
    }
    database::ResultSet largest = connection.query(*largestSql);
    if (largest.eof())
        return std::nullopt;
    return recordIdAfter(largest.field(0));
}

// Bound as text, so that a server comparing it with a text column holding other texts
// too does not fail on converting them.
bool recordIdHeld(database::Connection &connection, qint64 id)
{
    return connection.query(database::sql::kCountRecordId, {QString::number(id)}).field(0).toLongLong() > 0;
}

NewRecordId chooseNewRecordId(database::Connection &connection)
{
    NewRecordId chosen;
    chosen.id = nextRecordId(connection);
    chosen.taken = chosen.id && recordIdHeld(connection, *chosen.id);
    return chosen;
}

} // namespace kelvory::changes
