#pragma once

#include "changes/MemberDetails.h"

#include <QLocale>
#include <QString>
#include <QVariantList>

#include <vector>

namespace kelvory::database {
class Connection;
}

namespace kelvory::changes {

struct ChangeStore;

// What one change of a member's details replaced and what it stored, kept beside its
// journal row so that the change can be taken back exactly. Details never stored before
// are kept as nothing known (the defaults), which is how every reader takes them.
struct KeptDetails
{
    qint64 recordId = 0;
    // The member's name as the change named it in the journal: an undo touches the
    // details only while the member under the id still has it.
    QString name;
    MemberDetails before;
    MemberDetails after;
    // The journal row's transaction text, exactly as written, by which the row is found again.
    QString journalText;
    // The kept row this change took back; 0 for none.
    qint64 takesBack = 0;
};

// Whether the connection's database has the table for the details' kept values. Looked
// up once per connection, before a change begins its transaction.
bool keepsDetailValues(database::Connection &connection);
// The kept row's bound values, in the order of the insert.
QVariantList keptDetailsValues(const ChangeStore &store, const KeptDetails &change);
// Keeps the change inside the caller's transaction (the caller has looked for the table).
void keepDetails(ChangeStore &store, const KeptDetails &change);

// One detail that differs between the details as a change left them and as stored now,
// each as the details dialog shows it (a contact as "name (relationship) phone").
enum class DetailField { Born, Joined, Status, StatusSince, DuesPaidThrough, FirstContact, SecondContact };
struct DetailDifference
{
    DetailField field;
    QString kept;
    QString stored;
};
std::vector<DetailDifference> differingDetails(const MemberDetails &kept, const MemberDetails &stored,
                                               const QLocale &locale = QLocale());

} // namespace kelvory::changes
