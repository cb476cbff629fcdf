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
struct ChangeStore;
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
    // The id that kept the members from being stored: the one after the largest, held
    // already. Nothing was stored then.
    std::optional<qint64> idTaken;
    // The mark the import's kept rows share, by which it is taken back in one step; empty
    // where the database keeps no values.
    QString importMark;
};

// Stores the members in one transaction: each with the record id Add New would give it
// (the first chosen as Add New chooses, the next ones after it, passing over ids that
// are held), its journal row, as Add New writes it, and its kept values. A failure rolls
// everything back. Inside the transaction the roster is read again: a member that is on it
// by now (another workstation added it after the preview) is left out, if it may be.
StoreOutcome storeMembers(changes::ChangeStore &store, const std::vector<MemberToStore> &members);

// What the Import command did, for the dialog to say.
struct ImportResult
{
    enum class Kind { Imported, NothingToImport, BackupNotMade, IdTaken, Failed } kind = Kind::Imported;
    StoreOutcome outcome;
    // Left out of the import: already on the roster, and unusable.
    qint64 onRoster = 0;
    qint64 unusable = 0;
    // Imported: the copy made before it (embedded file only); BackupNotMade: the folder.
    QString backupFile;
    // BackupNotMade: why; Failed: the standard error's number and description.
    QString reason;
    QString errorNumber;
};

// The Import command: a copy of the embedded database first, then the members stored.
// The caller refills the roster when members were stored.
ImportResult importMembers(Module1 &module, const Preview &preview, bool alreadyOnRosterToo);

} // namespace kelvory::import
