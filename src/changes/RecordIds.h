#pragma once

#include <QString>
#include <QVariant>

#include <optional>

namespace kelvory::database {
class Connection;
}

namespace kelvory::changes {

// A record id as the id box holds it, when it is a whole number.
std::optional<qint64> recordIdFrom(const QString &text);
// The id after the largest stored one; an empty roster starts at 1.
qint64 recordIdAfter(const QVariant &largestStored);

// The record id for a new member: the one after the largest stored, or nothing when the
// server gives no largest id at all. Runs inside the caller's transaction, and takes the
// server's lock for choosing a new id with its first statement, held until that
// transaction ends, so that two workstations (or two imports) never choose the same id.
std::optional<qint64> nextRecordId(database::Connection &connection);
// Whether a member holds the id already (the web site, or an id stored as text, may have
// given it without the lock).
bool recordIdHeld(database::Connection &connection, qint64 id);

// The id for a new member, chosen inside the caller's transaction. `taken` says that a
// member holds that id already (ids kept as text order '9' above '10').
struct NewRecordId
{
    std::optional<qint64> id;
    bool taken = false;
};
NewRecordId chooseNewRecordId(database::Connection &connection);

} // namespace kelvory::changes
