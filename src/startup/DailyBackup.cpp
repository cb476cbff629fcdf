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

QStringList backupMessages(const Module1 &module, const database::BackupOutcome &outcome)
{
    namespace messages = database::messages;
    const QString folder = QDir::toNativeSeparators(backupsFolder(module));
    QStringList said;
    switch (outcome.kind) {
    case database::BackupOutcome::Kind::Failed: said.append(messages::backupNotMade(folder, outcome.reason)); break;
    case database::BackupOutcome::Kind::Damaged: {
        const QString file = QDir::toNativeSeparators(module.databaseFilePath());
        const QString way = outcome.newestGood.isEmpty()
            ? messages::backupNoGoodCopy(folder)
            : messages::backupRestoreFrom(
                QDir::toNativeSeparators(QDir(backupsFolder(module)).filePath(outcome.newestGood)), file);
        said.append(messages::backupFoundDamage(file, outcome.reason, way));
        break;
    }
    case database::BackupOutcome::Kind::Made:
    case database::BackupOutcome::Kind::AlreadyMade: break;
    }
    if (outcome.newestAhead.isValid())
        said.append(messages::backupClockLooksWrong(module.today().toString(Qt::ISODate),
                                                    outcome.newestAhead.toString(Qt::ISODate), folder));
    return said;
}

void dailyBackup(Module1 &module)
{
    if (module.connection.backend() != database::Backend::Embedded)
        return;
    const database::BackupOutcome outcome =
        database::backUpEmbeddedDatabase(module.connection, backupsFolder(module), module.today());
    for (const QString &message : backupMessages(module, outcome))
        module.MsgBox(message, MB_OK | MB_ICONERROR);
}

} // namespace kelvory::backup
