#pragma once

#include "database/MemberFields.h"

#include <QString>
#include <QVariant>

#include <array>
#include <optional>

namespace kelvory {
class Module1;
}
namespace kelvory::database {
class Connection;
}

namespace kelvory::changes {

class EditTarget;

inline const QString kAdded = QStringLiteral("Added : ");
inline const QString kChanged = QStringLiteral("Changed : ");
inline const QString kDeleted = QStringLiteral("Deleted : ");

// The journal's transaction text: the action, then name, address, city-state-ZIP, phone
// and comment joined by ": ", exactly as the boxes hold them.
QString transactionText(const QString &action, const EditTarget &boxes);
QString transactionText(const QString &action, const std::array<QString, members::kMemberFieldCount> &fields);

// One journal row: today's date, the operator's first name and the transaction text.
void writeJournal(Module1 &module, const QString &action, const EditTarget &boxes);

// A record id as the id box holds it, when it is a whole number.
std::optional<qint64> recordIdFrom(const QString &text);
// The id after the largest stored one; an empty roster starts at 1.
qint64 recordIdAfter(const QVariant &largestStored);

// The record id for a new member: the one after the largest stored (recordIdAfter), or
// nothing when the server gives no largest id at all. Runs inside the caller's
// transaction and first takes the server's lock for choosing a new id, held until that
// transaction ends, so that two workstations (or two imports) never choose the same id:
// the second waits until the first has stored its member. Whoever stores a member under
// the id commits it in that same transaction.
std::optional<qint64> nextRecordId(database::Connection &connection);
// Whether a member holds the id already (the web site, or an id stored as text, may have
// given it without the lock).
bool recordIdHeld(database::Connection &connection, qint64 id);

// The id Add New gives a new member, chosen inside the caller's transaction: the one after
// the largest stored id (nothing when the query gives no row). `taken` says that a member
// holds that id already (ids kept as text order '9' above '10'), so it must not be used.
struct NewRecordId
{
    std::optional<qint64> id;
    bool taken = false;
};
NewRecordId chooseNewRecordId(Module1 &module);

// Add New, Update and DELETE. Each stores its change and its journal row in one
// transaction (both are stored, or neither), then refills the roster.
void addMember(Module1 &module, EditTarget &boxes);
void updateMember(Module1 &module, EditTarget &boxes);
void deleteMember(Module1 &module, EditTarget &boxes);

} // namespace kelvory::changes
