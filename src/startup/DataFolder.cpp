#include "startup/DataFolder.h"

#include "startup/StartupMessages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace kelvory {

QString dataFolder(DataFolderKind kind, const QString &executableFolder)
{
    if (kind == DataFolderKind::Program)
        return executableFolder;
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
}

std::optional<QString> prepareDataFolder(DataFolderKind kind, const QString &folder)
{
    if (kind == DataFolderKind::Program)
        return std::nullopt;
    // Without a home folder Qt names no location at all.
    if (folder.isEmpty())
        return startup::messages::dataFolderUnusable(QDir::toNativeSeparators(QDir::homePath()));
    const QFileInfo info(folder);
    if (!info.exists()) {
        if (!QDir().mkpath(folder)
            || !QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return startup::messages::dataFolderUnusable(QDir::toNativeSeparators(folder));
        return std::nullopt;
    }
    if (!info.isDir() || !info.isWritable())
        return startup::messages::dataFolderUnusable(QDir::toNativeSeparators(folder));
    return std::nullopt;
}

} // namespace kelvory
