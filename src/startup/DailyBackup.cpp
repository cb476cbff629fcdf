#include "startup/DailyBackup.h"

#include "database/Backup.h"
#include "startup/Module1.h"

#include <QDate>
#include <QDir>

namespace kelvory::backup {

QString backupsFolder(const Module1 &module)
{
    return QDir(module.deployment().programFolder).filePath(QStringLiteral("Backups"));
}

QString backupFailedMessage(const QString &nativeFolder, const QString &reason)
{
    return QStringLiteral("Today's copy of the club's database could not be made in the folder") + kCrLf
        + nativeFolder + kCrLf + QStringLiteral("(%1).").arg(reason) + kCrLf + kCrLf
        + QStringLiteral("The program works as usual, and the earlier copies in that folder are kept. Free some "
                         "space on the disk, or let this program write in that folder, and the copy is made at "
                         "the next start.");
}

void dailyBackup(Module1 &module)
{
    if (module.connection.backend() != database::Backend::Embedded)
        return;
    const QString folder = backupsFolder(module);
    const database::BackupOutcome outcome =
        database::backUpEmbeddedDatabase(module.connection, folder, QDate::currentDate());
    if (outcome.kind == database::BackupOutcome::Kind::Failed)
        module.MsgBox(backupFailedMessage(QDir::toNativeSeparators(folder), outcome.reason), MB_OK | MB_ICONERROR);
}

} // namespace kelvory::backup
