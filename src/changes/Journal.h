#pragma once

#include "database/MemberFields.h"

#include <QDate>
#include <QString>

namespace kelvory::database {
class Connection;
}

namespace kelvory::changes {

inline const QString kAdded = QStringLiteral("Added : ");
inline const QString kChanged = QStringLiteral("Changed : ");
inline const QString kDeleted = QStringLiteral("Deleted : ");

// The journal's transaction text: the action, then name, address, city-state-ZIP, phone
// and comment joined by ": ", exactly as typed.
QString transactionText(const QString &action, const members::Fields &fields);

// Who makes the changes, on which connection, on which day.
struct ChangeStore
{
    database::Connection &connection;
    QString operatorName;
    QDate today;
};

// One journal row: the day, the operator's first name and the transaction text.
void writeJournal(ChangeStore &store, const QString &action, const members::Fields &fields);
void writeJournalText(ChangeStore &store, const QString &transaction);

} // namespace kelvory::changes
