#pragma once

#include <QString>

// The statements of the table in which each change of a member's details keeps the
// details it replaced and those it stored, so that the change can be taken back exactly.
// A table of the program's own beside memberDetails, as memberHistory is beside members:
// made by the program in its embedded file, by the administrator on a server
// (docs/sql-server.md). Without it details are changed as before and nothing is kept.
namespace kelvory::database::sql {

inline const QString kDetailsHistoryTable = QStringLiteral("memberDetailsHistory");

// The details' columns, in memberDetails' order, after the prefix "old" or "new".
#define KELVORY_KEPT_DETAILS(p)                                                                                        \
    p "BirthYear, " p "BirthMonth, " p "BirthDay, " p "Joined, " p "Status, " p "StatusChanged, " p                    \
      "DuesPaidThrough, " p "Contact1Name, " p "Contact1Relationship, " p "Contact1Phone, " p "Contact2Name, " p       \
      "Contact2Relationship, " p "Contact2Phone"
#define KELVORY_KEPT_DETAILS_SQLITE(p)                                                                                 \
    p "BirthYear integer not null, " p "BirthMonth integer not null, " p "BirthDay integer not null, " p               \
      "Joined date, " p "Status text not null, " p "StatusChanged date, " p "DuesPaidThrough date, " p                 \
      "Contact1Name text not null, " p "Contact1Relationship text not null, " p "Contact1Phone text not null, " p      \
      "Contact2Name text not null, " p "Contact2Relationship text not null, " p "Contact2Phone text not null"

// The embedded file's form; a file made before the table existed gets it at its next start.
inline const QString kCreateDetailsHistorySqlite = QStringLiteral(
    "create table if not exists memberDetailsHistory (historyId integer primary key autoincrement, "
    "changeDay text not null, person text not null, recordid integer not null, memberName text not null, "
    "journalText text not null, takesBack integer not null, " KELVORY_KEPT_DETAILS_SQLITE(
        "old") ", " KELVORY_KEPT_DETAILS_SQLITE("new") ")");
inline const QString kIndexDetailsHistorySqlite[] = {
    QStringLiteral("create index if not exists memberDetailsHistoryDay on memberDetailsHistory (changeDay)"),
    QStringLiteral("create index if not exists memberDetailsHistoryTakesBack on memberDetailsHistory (takesBack)"),
};

inline const QString kInsertDetailsHistory =
    QStringLiteral("insert into memberDetailsHistory (changeDay, person, recordid, memberName, journalText, "
                   "takesBack, " KELVORY_KEPT_DETAILS("old") ", " KELVORY_KEPT_DETAILS(
                       "new") ") values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");

// The kept rows of one day, newest first, for finding the one a journal row stands for.
inline const QString kSelectDetailsHistoryOfDay =
    QStringLiteral("select historyId, person, journalText from memberDetailsHistory where changeDay = ? "
                   "order by historyId desc");

// One kept row, held until the undo ends so that two workstations never take it back twice.
#define KELVORY_KEPT_DETAILS_ROW                                                                                       \
    "select recordid, memberName, " KELVORY_KEPT_DETAILS("old") ", " KELVORY_KEPT_DETAILS(                             \
        "new") " from memberDetailsHistory"
inline const QString kSelectKeptDetails = QStringLiteral(KELVORY_KEPT_DETAILS_ROW " where historyId = ?");
inline const QString kSelectKeptDetailsPostgreSql = kSelectKeptDetails + QStringLiteral(" for update");
inline const QString kSelectKeptDetailsSqlServer =
    QStringLiteral(KELVORY_KEPT_DETAILS_ROW " with (updlock, rowlock) where historyId = ?");
// Where the old and new details begin in that row.
inline constexpr int kKeptOldDetails = 2;
inline constexpr int kKeptNewDetails = 15;

inline const QString kCountDetailsTakenBack =
    QStringLiteral("select count(*) from memberDetailsHistory where takesBack = ?");

#undef KELVORY_KEPT_DETAILS_ROW
#undef KELVORY_KEPT_DETAILS_SQLITE
#undef KELVORY_KEPT_DETAILS

} // namespace kelvory::database::sql
