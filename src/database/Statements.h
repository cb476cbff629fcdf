#pragma once

#include <QString>

// Every statement the program sends, in one place. Keyword case, the missing column
// lists and the order of values are what the club's shared database and its web site
// have always seen; values travel as bound parameters in place of the "?".
namespace kelvory::database::sql {

inline const QString kSelectMembers = QStringLiteral("Select * from members order by name");
inline const QString kMaxRecordId = QStringLiteral("Select max(recordid) from members");
inline const QString kInsertMember = QStringLiteral("insert into members values (?,?,?,?,?,?)");
inline const QString kUpdateMember =
    QStringLiteral("Update members set name = ?,address = ?,city= ?,phone= ?,comment= ? Where recordid = ?");
inline const QString kDeleteMember = QStringLiteral("delete from members where recordid = ?");
inline const QString kInsertJournal = QStringLiteral("insert into changeHistory values (?,?,?)");
inline const QString kSelectJournal = QStringLiteral("Select * from changehistory order by date desc");
inline const QString kSelectStatus = QStringLiteral("Select status from memberstatus where member = ?");
inline const QString kInsertStatus = QStringLiteral("insert into memberstatus values (?,?,?)");
inline const QString kSelectVersion = QStringLiteral("select ver from hitcounters");

// Ours, beside the club's statements: whether a record id is held already.
inline const QString kCountRecordId = QStringLiteral("select count(*) from members where recordid = ?");

// Ours: every record id held, for the member import to give ids no member holds.
inline const QString kSelectRecordIds = QStringLiteral("select recordid from members");

// Ours: the widths of the members table's columns, in their order, from the catalogue of
// the schema that the table's bare name is found in; SQL Server names that schema with
// a function of its own.
inline const QString kMemberWidths =
    QStringLiteral("select character_maximum_length from information_schema.columns where table_name = 'members' "
                   "and table_schema = current_schema order by ordinal_position");
inline const QString kMemberWidthsSqlServer =
    QStringLiteral("select character_maximum_length from information_schema.columns where table_name = 'members' "
                   "and table_schema = schema_name() order by ordinal_position");

// The tables whose date columns take the form the column keeps, with the column's position.
inline const QString kJournalTable = QStringLiteral("changeHistory");
inline constexpr int kJournalDateColumn = 0;
inline const QString kStatusTable = QStringLiteral("memberstatus");
inline constexpr int kStatusDateColumn = 2;

} // namespace kelvory::database::sql
