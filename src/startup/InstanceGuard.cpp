#include "startup/InstanceGuard.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QSysInfo>

namespace kelvory {

QString userLockFilePath(const QString &title, const QString &programFolder)
{
    // Qt gives no runtime folder rather than one that is not the user's own alone
    // (another user's, a link, or open to others).
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty())
        return QDir(runtime).filePath(title + QStringLiteral(".lock"));
    const QString perHost = title + QLatin1Char('-') + QSysInfo::machineHostName() + QStringLiteral(".lock");
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!cache.isEmpty() && QDir().mkpath(cache) && QFileInfo(cache).isWritable())
        return QDir(cache).filePath(perHost);
    return QDir(programFolder).filePath(perHost);
}

InstanceGuard::InstanceGuard() = default;
InstanceGuard::~InstanceGuard() = default;

bool InstanceGuard::acquire(const QString &lockFilePath)
{
    auto lock = std::make_unique<QLockFile>(lockFilePath);
    // Never stale by age: the program may run for days. A lock whose owner is no
    // longer running is still found stale by QLockFile and removed.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return false;
    m_lock = std::move(lock);
    return true;
}

} // namespace kelvory
