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

// The member's stored fields, read inside an Update or DELETE before its statement, and
// held until the change ends so that no other write slips in between. Each server has
// its own way of saying so; the embedded file is held whole by the transaction already.
inline const QString kSelectStoredMember =
    QStringLiteral("select name, address, city, phone, comment from members where recordid = ?");
inline const QString kSelectStoredMemberPostgreSql = kSelectStoredMember + QStringLiteral(" for update");
inline const QString kSelectStoredMemberSqlServer = QStringLiteral(
    "select name, address, city, phone, comment from members with (updlock, rowlock) where recordid = ?");

// The lock that lets one Add New at a time choose a new record id, held by the change's
// transaction until it commits or rolls back. No table is written for it. On SQL Server
// the largest-id read itself takes it: an update lock on what it reads, held (with the
// range after the largest id) until the transaction ends.
inline const QString kMaxRecordIdLockedSqlServer =
    QStringLiteral("Select max(recordid) from members with (updlock, holdlock)");
// On PostgreSQL a transaction-level advisory lock; the key spells "Kelvory" in ASCII.
inline const QString kRecordIdLockPostgreSql = QStringLiteral("select pg_advisory_xact_lock(21222139771187833)");

// Ours: whether a table is there, by its name in lower case, in the schema that bare
// table names are found in.
inline const QString kCountTableEmbedded =
    QStringLiteral("select count(*) from sqlite_master where type = 'table' and lower(name) = ?");
inline const QString kCountTable = QStringLiteral(
    "select count(*) from information_schema.tables where lower(table_name) = ? and table_schema = current_schema");
inline const QString kCountTableSqlServer = QStringLiteral(
    "select count(*) from information_schema.tables where lower(table_name) = ? and table_schema = schema_name()");

// The tables whose date columns take the form the column keeps, with the column's position.
inline const QString kJournalTable = QStringLiteral("changeHistory");
inline constexpr int kJournalDateColumn = 0;
inline const QString kStatusTable = QStringLiteral("memberstatus");
inline constexpr int kStatusDateColumn = 2;

} // namespace kelvory::database::sql
