#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace kelvory {

// Where the single-instance lock of the program named title lives: in the user's own
// runtime folder, so that only the same user's running copy refuses a start; another
// user's lock, stale or planted, is never in the way. Without a usable runtime folder it
// is the user's cache folder, and without that the program's folder, with the host name
// in the file's name, as these two may be shared between workstations.
QString userLockFilePath(const QString &title, const QString &programFolder);

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
