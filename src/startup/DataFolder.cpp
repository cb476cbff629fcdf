#include "startup/DataFolder.h"

#include "startup/StartupMessages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace kelvory {

QString dataFolder(DataFolderKind kind, const QString &executableFolder)
{
    if (kind == DataFolderKind::Program)
        return executableFolder;
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
}

namespace {

constexpr QFile::Permissions kOthers =
    QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;

// Takes away every access but its owner's from what is there.
void closeToOthers(const QString &path, QFile::Permissions ownerOnly)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isSymLink() && (info.permissions() & kOthers))
        QFile::setPermissions(path, ownerOnly);
}

// The members' addresses and phone numbers, as an earlier build (or a copy put back by
// hand) may have left them open to others.
void closeDataToOthers(const QString &folder)
{
    const QFile::Permissions folderMode = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    const QFile::Permissions fileMode = QFile::ReadOwner | QFile::WriteOwner;
    const QDir dir(folder);
    closeToOthers(folder, folderMode);
    for (const QString &name : dir.entryList({QStringLiteral("Kelvory.db*")}, QDir::Files | QDir::Hidden))
        closeToOthers(dir.filePath(name), fileMode);
    const QDir backups(dir.filePath(QStringLiteral("Backups")));
    closeToOthers(backups.path(), folderMode);
    for (const QString &name : backups.entryList(QDir::Files | QDir::Hidden))
        closeToOthers(backups.filePath(name), fileMode);
}

} // namespace

std::optional<QString> prepareDataFolder(DataFolderKind kind, const QString &folder)
{
    if (kind == DataFolderKind::Program)
        return std::nullopt;
    // Without a home folder Qt names no location at all.
    if (folder.isEmpty())
        return startup::messages::dataFolderUnusable(QDir::toNativeSeparators(QDir::homePath()));
#ifdef Q_OS_UNIX
    // Every file the program makes there (the database, its journals, its copies, the
    // export) is its user's alone from the moment it is made.
    ::umask(S_IRWXG | S_IRWXO);
#endif
    const QFileInfo info(folder);
    if (!info.exists()) {
        if (!QDir().mkpath(folder)
            || !QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return startup::messages::dataFolderUnusable(QDir::toNativeSeparators(folder));
        return std::nullopt;
    }
    if (!info.isDir() || !info.isWritable())
        return startup::messages::dataFolderUnusable(QDir::toNativeSeparators(folder));
    closeDataToOthers(folder);
    return std::nullopt;
}

} // namespace kelvory
