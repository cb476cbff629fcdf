#pragma once

#include <QString>
#include <QStringList>

namespace kelvory {
class Module1;
}
namespace kelvory::database {
struct BackupOutcome;
}

namespace kelvory::backup {

// The Backups folder beside the program.
QString backupsFolder(const Module1 &module);

// What the operator is told of a day's copy: nothing when it is made; why not when it
// cannot be; for a damaged database file, which copy is the newest good one and how to
// put it back; and, the first time copies dated after today are found, that the
// computer's date looks wrong.
QStringList backupMessages(const Module1 &module, const database::BackupOutcome &outcome);

// Once a day, at start and after admission: a copy of the embedded database in the Backups
// folder, older copies kept by the keeping rule. A copy that cannot be made, or that finds
// the database file damaged, is reported in one message and the program goes on. A server
// database is left to its server.
void dailyBackup(Module1 &module);

} // namespace kelvory::backup
