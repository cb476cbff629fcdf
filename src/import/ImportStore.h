#pragma once

#include "import/ImportPreview.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace kelvory {
class Module1;
}
namespace kelvory::changes {
class EditTarget;
}
namespace kelvory::database {
class Connection;
}

namespace kelvory::import {

// The name the ODBC driver gives its server ("Microsoft SQL Server", "PostgreSQL"), or
// nothing on SQLite.
QString dbmsName(database::Connection &connection);

// The members as the roster holds them, for the preview to compare with.
std::vector<RosterEntry> rosterEntries(database::Connection &connection);

// What each field's column holds at most, as the server's catalogue describes the members
// table; SQLite has no widths, so no limit there.
FieldWidths fieldWidths(database::Connection &connection);

// The copy of the embedded database made right before an import: Kelvory-YYYY-MM-DD-HHMMSS.db.
QString importBackupFileName(const QDateTime &when);

struct StoreOutcome
{
    int stored = 0;
    qint64 firstId = 0;
    qint64 lastId = 0;
    // Left out: added from another workstation between the preview and the import.
    int addedMeanwhile = 0;
    // What kept the members from being stored; nothing was stored then.
    std::optional<QString> refusal;
};

// Stores the members in one transaction: each with the record id Add New would give it
// (the first chosen as Add New chooses, the next ones after it, passing over ids that
// are held) and its journal row, as Add New writes it. A failure rolls everything back.
// Inside the transaction the roster is read again: a member that is on it by now (another
// workstation added it after the preview) is left out, if it may be.
StoreOutcome storeMembers(Module1 &module, const std::vector<MemberToStore> &members);

// The Import command: a copy of the embedded database first, then the members stored,
// the roster refilled, and one message with the counts. True when members were stored.
bool importMembers(Module1 &module, changes::EditTarget &roster, const Preview &preview, bool alreadyOnRosterToo);

} // namespace kelvory::import
