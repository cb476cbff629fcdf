#include "startup/DailyBackup.h"

#include "database/Backup.h"
#include "database/DatabaseMessages.h"
#include "startup/Module1.h"

#include <QDir>

namespace kelvory::backup {

QString backupsFolder(const Module1 &module)
{
    return QDir(module.deployment().programFolder).filePath(QStringLiteral("Backups"));
}

QString backupMessage(const Module1 &module, const database::BackupOutcome &outcome)
{
    namespace messages = database::messages;
    const QString folder = backupsFolder(module);
    switch (outcome.kind) {
    case database::BackupOutcome::Kind::Failed:
        return messages::backupNotMade(QDir::toNativeSeparators(folder), outcome.reason);
    case database::BackupOutcome::Kind::Damaged: {
        const QString file = QDir::toNativeSeparators(module.databaseFilePath());
        const QString way = outcome.newestGood.isEmpty()
            ? messages::backupNoGoodCopy(QDir::toNativeSeparators(folder))
            : messages::backupRestoreFrom(QDir::toNativeSeparators(QDir(folder).filePath(outcome.newestGood)), file);
        return messages::backupFoundDamage(file, outcome.reason, way);
    }
    case database::BackupOutcome::Kind::Made:
    case database::BackupOutcome::Kind::AlreadyMade:
        break;
    }
    return QString();
}

void dailyBackup(Module1 &module)
{
    if (module.connection.backend() != database::Backend::Embedded)
        return;
    const database::BackupOutcome outcome =
        database::backUpEmbeddedDatabase(module.connection, backupsFolder(module), module.today());
    const QString message = backupMessage(module, outcome);
    if (!message.isEmpty())
        module.MsgBox(message, MB_OK | MB_ICONERROR);
}

} // namespace kelvory::backup
