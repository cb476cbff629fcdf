#include "startup/DailyBackup.h"

#include "database/Backup.h"
#include "database/DatabaseMessages.h"
#include "startup/Module1.h"

#include <QDate>
#include <QDir>

namespace kelvory::backup {

QString backupsFolder(const Module1 &module)
{
    return QDir(module.deployment().programFolder).filePath(QStringLiteral("Backups"));
}

void dailyBackup(Module1 &module)
{
    if (module.connection.backend() != database::Backend::Embedded)
        return;
    const QString folder = backupsFolder(module);
    const database::BackupOutcome outcome =
        database::backUpEmbeddedDatabase(module.connection, folder, QDate::currentDate());
    if (outcome.kind == database::BackupOutcome::Kind::Failed)
        module.MsgBox(database::messages::backupNotMade(QDir::toNativeSeparators(folder), outcome.reason),
                      MB_OK | MB_ICONERROR);
}

} // namespace kelvory::backup
