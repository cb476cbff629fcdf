#pragma once

#include <QString>

// The statements of the table in which each member change keeps what it replaced and
// what it stored, so that a change can be taken back exactly. The table is the
// program's own: made by the program in the embedded file, by the administrator on a
// server (docs/sql-server.md). The club's journal is written beside it as it always was.
namespace kelvory::database::sql {

inline const QString kMemberHistoryTable = QStringLiteral("memberHistory");

// The embedded file's form; a file made before the table existed gets it at its next start.
inline const QString kCreateMemberHistorySqlite = QStringLiteral(
    "create table if not exists memberHistory (historyId integer primary key autoincrement, changeDay text not null, "
    "person text not null, changeKind text not null, recordid integer not null, "
    "oldName text not null, oldAddress text not null, oldCity text not null, oldPhone text not null, "
    "oldComment text not null, newName text not null, newAddress text not null, newCity text not null, "
    "newPhone text not null, newComment text not null, journalText text not null, importMark text not null, "
    "takesBack integer not null)");
inline const QString kIndexMemberHistorySqlite[] = {
    QStringLiteral("create index if not exists memberHistoryDay on memberHistory (changeDay)"),
    QStringLiteral("create index if not exists memberHistoryImport on memberHistory (importMark)"),
    QStringLiteral("create index if not exists memberHistoryTakesBack on memberHistory (takesBack)"),
};

inline const QString kInsertMemberHistory = QStringLiteral(
    "insert into memberHistory (changeDay, person, changeKind, recordid, oldName, oldAddress, oldCity, oldPhone, "
    "oldComment, newName, newAddress, newCity, newPhone, newComment, journalText, importMark, takesBack) "
    "values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");

// The kept rows of one day, newest first, for finding the one a journal row stands for.
inline const QString kSelectMemberHistoryOfDay =
    QStringLiteral("select historyId, person, journalText, importMark from memberHistory where changeDay = ? "
                   "order by historyId desc");

// One kept row, held until the undo ends so that two workstations never take it back twice.
inline const QString kKeptColumns = QStringLiteral(
    "changeKind, recordid, oldName, oldAddress, oldCity, oldPhone, oldComment, newName, newAddress, newCity, "
    "newPhone, newComment, importMark");
inline const QString kSelectKeptChange =
    QStringLiteral("select ") + kKeptColumns + QStringLiteral(" from memberHistory where historyId = ?");
inline const QString kSelectKeptChangePostgreSql = kSelectKeptChange + QStringLiteral(" for update");
inline const QString kSelectKeptChangeSqlServer = QStringLiteral("select ") + kKeptColumns
    + QStringLiteral(" from memberHistory with (updlock, rowlock) where historyId = ?");

inline const QString kCountTakenBack = QStringLiteral("select count(*) from memberHistory where takesBack = ?");

// The members an import added, in the order it added them, and which of those rows were
// taken back since.
inline const QString kImportColumns =
    QStringLiteral("select historyId, recordid, newName, newAddress, newCity, newPhone, newComment from memberHistory");
inline const QString kImportWhere = QStringLiteral(" where importMark = ? and changeKind = 'Added' order by historyId");
inline const QString kSelectImportRows = kImportColumns + kImportWhere;
inline const QString kSelectImportRowsPostgreSql = kSelectImportRows + QStringLiteral(" for update");
inline const QString kSelectImportRowsSqlServer =
    kImportColumns + QStringLiteral(" with (updlock, rowlock)") + kImportWhere;
inline const QString kSelectImportTakenBack =
    QStringLiteral("select takesBack from memberHistory where takesBack in "
                   "(select historyId from memberHistory where importMark = ?)");

} // namespace kelvory::database::sql
