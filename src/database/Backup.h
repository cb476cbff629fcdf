#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

namespace kelvory::database {

class Connection;

inline constexpr int kBackupsKept = 10;

// The name of a day's copy: Kelvory-YYYY-MM-DD.db.
QString backupFileName(QDate day);

struct BackupOutcome
{
    enum class Kind { Made, AlreadyMade, Failed };
    Kind kind = Kind::Failed;
    QString file;         // the day's copy
    QString reason;       // why it could not be made
    QStringList removed;  // older copies deleted to keep the newest ones
};

// Copies the embedded database that the connection has open into the folder as the day's
// copy, unless that copy is there already. The copy is taken with SQLite's online backup,
// so that it is consistent even while the file is in use; it is written under a temporary
// name and takes its own name only once complete, so that a copy broken off never passes
// for a good one. Once made, all but the `keep` newest copies are deleted.
BackupOutcome backUpEmbeddedDatabase(Connection &connection, const QString &folder, QDate day,
                                     int keep = kBackupsKept);

// Copies the embedded database that the connection has open to `file` (whose folder is
// made when missing), in the same way as the day's copy: consistent, under a temporary
// name until complete. The file is not counted among the days' copies, so it is never
// pruned with them. Kind is Made or Failed.
BackupOutcome copyEmbeddedDatabase(Connection &connection, const QString &file);

// The days' copies in the folder, by file name, newest first; other files are not counted.
QStringList backupsIn(const QString &folder);
// Deletes all but the `keep` newest copies, never the copy of `day`; returns the names deleted.
QStringList pruneBackups(const QString &folder, int keep, QDate day);

} // namespace kelvory::database
