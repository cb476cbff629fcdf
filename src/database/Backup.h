#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

struct sqlite3;

class QSqlDatabase;

namespace kelvory::database {

// Every page of the source's main database into the target's, in one step of SQLite's
// backup interface (one transaction of the target), waiting a while when another program
// holds the file. Empty when done, else why not; `damaged`: SQLite found the source damaged.
QString copyAllPages(sqlite3 *target, sqlite3 *source, bool *damaged = nullptr);

// The SQLite connection under Qt's driver, or none. Qt's SQLite driver on Debian is linked
// against the system's libsqlite3, the same library this program links, so the handle is
// one this code may use.
sqlite3 *sqliteHandle(const QSqlDatabase &database);

class Connection;

// Which copies are kept: the newest daily ones, and the newest of each recent calendar
// week (Monday to Sunday) and calendar month, the current ones included, so that damage
// noticed weeks late still finds a good copy. The copies taken before an import are kept
// for some days, and always the newest few of them.
// A copy dated after today was made while the clock was ahead, or the clock is behind
// now; no rule can tell which copy is the newest then, so none is deleted at all.
struct BackupKeeping
{
    int days = 7;
    int weeks = 4;
    int months = 12;
    int importDays = 90;
    int importNewest = 3;
};

// The name of a day's copy: Kelvory-YYYY-MM-DD.db; from the second copy of a day on
// (its first name taken by a copy made while the clock was ahead), Kelvory-YYYY-MM-DD-N.db.
QString backupFileName(QDate day, int order = 1);

struct BackupOutcome
{
    // Damaged: the copy failed SQLite's quick check, so the database file itself is damaged.
    enum class Kind { Made, AlreadyMade, Failed, Damaged };
    Kind kind = Kind::Failed;
    QString file;        // the day's copy
    QString reason;      // why it could not be made
    QStringList removed; // older copies deleted by the keeping rule
    QString newestGood;  // for Damaged: the newest copy that passes the quick check, if any
    // The newest copy's day, when copies dated after today are found for the first time:
    // the computer's date looks wrong, and the operator is told once.
    QDate newestAhead;
};

// Copies the embedded database that the connection has open into the folder as the day's
// copy, unless that copy is there already (a copy made on its day; one made ahead of its
// day under that name holds older content, and the day's copy takes a second name). The copy is taken with SQLite's
// online backup, so that it is consistent even while the file is in use; it is written under a temporary name and takes
// its own name only once complete and checked, so that neither a copy broken off nor a copy of a damaged file ever
// passes for a good one. Once made, the copies that the keeping rule does not keep are deleted; when the copy is not
// made, nothing is deleted.
BackupOutcome backUpEmbeddedDatabase(Connection &connection, const QString &folder, QDate day,
                                     const BackupKeeping &keeping = {});

// Copies the embedded database that the connection has open to `file` (whose folder is
// made when missing), in the same way as the day's copy: consistent, under a temporary
// name until complete. The file is not counted among the days' copies, so it is never
// pruned with them. Kind is Made or Failed.
BackupOutcome copyEmbeddedDatabase(Connection &connection, const QString &file);

// The days' copies in the folder, by file name, newest first; other files are not counted.
QStringList backupsIn(const QString &folder);
// The copies taken before an import (Kelvory-YYYY-MM-DD-HHMMSS.db), newest first.
QStringList importBackupsIn(const QString &folder);
// Of the copies named (newest first), those the rule keeps on `day`; the copy of `day`
// always; all of them while one is dated after `day`.
QStringList backupsKept(const QStringList &copies, const BackupKeeping &keeping, QDate day);
// The same for the copies taken before an import.
QStringList importBackupsKept(const QStringList &copies, const BackupKeeping &keeping, QDate day);
// Deletes the copies of both kinds that the rule does not keep, nothing while a copy of
// either kind is dated after `day`; returns the names deleted.
QStringList pruneBackups(const QString &folder, const BackupKeeping &keeping, QDate day);
// Empty when SQLite's quick check finds the database file sound, else what it found.
QString damageIn(const QString &file);
// The newest copy in the folder that passes the quick check, leaving out copies dated
// after `day` (their content is older than their names say); empty when there is none.
QString newestGoodBackup(const QString &folder, QDate day);

} // namespace kelvory::database
