#pragma once

#include <QString>

namespace kelvory {
class Module1;
}

namespace kelvory::backup {

// The Backups folder beside the program.
QString backupsFolder(const Module1 &module);

// Once a day, at start and after admission: a copy of the embedded database in the Backups
// folder, the ten newest kept. A copy that cannot be made is reported in one message and
// the program goes on. A server database is left to its server.
void dailyBackup(Module1 &module);

} // namespace kelvory::backup
