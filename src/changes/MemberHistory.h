#pragma once

#include "database/MemberFields.h"

#include <QString>
#include <QVariantList>

namespace kelvory::database {
class Connection;
}

namespace kelvory::changes {

struct ChangeStore;

// What one change of a member replaced and what it stored, kept beside its journal row
// so that the change can be taken back exactly. An Add keeps no old fields, a Delete no
// new ones (both kept as empty texts).
struct KeptChange
{
    QString kind; // "Added", "Changed" or "Deleted", as the journal names the action
    qint64 recordId = 0;
    members::Fields before;
    members::Fields after;
    // The journal row's transaction text, exactly as written, by which the row is found again.
    QString journalText;
    // The same mark on every row of one import; empty otherwise.
    QString importMark;
    // The kept row this change took back; 0 for none.
    qint64 takesBack = 0;
};

// The kind a journal action ("Added : ") keeps: its word ("Added").
QString keptKind(const QString &journalAction);

// Whether the connection's database has the table for kept values. Looked up once per
// connection; the change commands look before they begin their transaction.
bool keepsValues(database::Connection &connection);

// The kept row's bound values, in the order of the insert.
QVariantList keptValues(const ChangeStore &store, const KeptChange &change);
// Keeps the change inside the caller's transaction; nothing where the table is missing.
void keep(ChangeStore &store, const KeptChange &change);

} // namespace kelvory::changes
