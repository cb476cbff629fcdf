#pragma once

#include "database/MemberFields.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace kelvory::database {

class Connection;

// A copy in the Backups folder that passes SQLite's quick check: the day's copies and
// those made before an import or before a copy was put back.
struct GoodCopy
{
    QString file;
    QDateTime made; // from its name: the day, and the time where the name gives one
    qint64 members = 0;
};
// Newest first.
std::vector<GoodCopy> goodCopies(const QString &folder);

// A member's six fields, record id last.
using StoredMember = std::array<QString, members::kRosterColumnCount>;

// What putting a copy back would do to the roster, member by member (by record id).
struct CopyDifference
{
    std::vector<StoredMember> comeBack; // in the copy, not in the roster now
    std::vector<StoredMember> go;       // in the roster now, not in the copy
    // As now, and as in the copy.
    std::vector<std::pair<StoredMember, StoredMember>> change;
};
// Nothing when the roster as it is now cannot be read (a damaged file).
std::optional<CopyDifference> differenceTo(Connection &connection, const QString &copy);

struct RestoreOutcome
{
    enum class Kind { Done, NotEmbedded, CopyNotRead, FileNotKept, Failed };
    Kind kind = Kind::Failed;
    QString keptFile; // the file as it was, copied first
    QString reason;
};

// Puts the copy back into the embedded database that the connection has open. The file
// as it is now is copied into `folder` first. The copy is prepared as a file of its own
// (where `prepare` may write into it, on a connection of its own, in one transaction),
// and then goes in through SQLite's backup interface on the open connection, as one
// transaction of that connection: a failure or the end of the process at any moment
// leaves the file as it was, or the copy whole; never a file copied over a file in use.
RestoreOutcome putBackCopy(Connection &connection, const QString &copy, const QString &folder,
                           const std::function<void(Connection &prepared)> &prepare);

} // namespace kelvory::database
