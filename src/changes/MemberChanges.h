#pragma once

#include <QString>
#include <QVariant>

#include <optional>

namespace kelvory {
class Module1;
}

namespace kelvory::changes {

class EditTarget;

inline const QString kAdded = QStringLiteral("Added : ");
inline const QString kChanged = QStringLiteral("Changed : ");
inline const QString kDeleted = QStringLiteral("Deleted : ");

// The journal's transaction text: the action, then name, address, city-state-ZIP, phone
// and comment joined by ": ", exactly as the boxes hold them.
QString transactionText(const QString &action, const EditTarget &boxes);

// One journal row: today's date, the operator's first name and the transaction text.
void writeJournal(Module1 &module, const QString &action, const EditTarget &boxes);

// A record id as the id box holds it, when it is a whole number.
std::optional<qint64> recordIdFrom(const QString &text);
// The id after the largest stored one; an empty roster starts at 1.
qint64 nextRecordId(const QVariant &largestStored);

// Add New, Update and DELETE. Each stores its change and its journal row in one
// transaction, with the roster refilled between them: both are stored, or neither.
void addMember(Module1 &module, EditTarget &boxes);
void updateMember(Module1 &module, EditTarget &boxes);
void deleteMember(Module1 &module, EditTarget &boxes);

} // namespace kelvory::changes
