#include "startup/InstanceGuard.h"

#include <QLockFile>

namespace kelvory {

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
