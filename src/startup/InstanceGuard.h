#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace kelvory {

// Holds a lock file for the life of the process so that a second start on the same
// workstation is refused. A lock left by a process that no longer runs (killed, or
// crashed) is recognised as stale and taken over.
class InstanceGuard
{
public:
    InstanceGuard();
    ~InstanceGuard();

    // True when this process now holds the lock; false when another running instance does.
    bool acquire(const QString &lockFilePath);

private:
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace kelvory
