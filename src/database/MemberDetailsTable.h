#pragma once

#include <QString>

// The program's own table of a member's details (birthday, joining, status, dues,
// emergency contacts), keyed by the member's record id. The club's web site never reads
// it. The program creates it in its embedded file; on a server the administrator creates
// it (docs/sql-server.md), and without it the program works as it did before it existed.
namespace kelvory::database::details {

inline const QString kTable = QStringLiteral("memberdetails");

// An unknown birth year or birthday is 0 rather than NULL: a whole number binds the same
// through every driver, where a NULL needs its type.
inline const QString kCreateEmbedded =
    QStringLiteral("create table memberDetails (recordid integer primary key, birthYear integer not null default 0, "
                   "birthMonth integer not null default 0, birthDay integer not null default 0, joined date, "
                   "status text not null default 'active', statusChanged date, duesPaidThrough date, "
                   "contact1Name text not null default '', contact1Relationship text not null default '', "
                   "contact1Phone text not null default '', contact2Name text not null default '', "
                   "contact2Relationship text not null default '', contact2Phone text not null default '')");

// The columns after the record id, in the order every statement below names them.
#define KELVORY_DETAIL_COLUMNS                                                                                         \
    "birthYear, birthMonth, birthDay, joined, status, statusChanged, duesPaidThrough, contact1Name, "                  \
    "contact1Relationship, contact1Phone, contact2Name, contact2Relationship, contact2Phone"
inline constexpr int kColumnCount = 13;

inline const QString kSelectAll = QStringLiteral("select recordid, " KELVORY_DETAIL_COLUMNS " from memberDetails");
inline const QString kSelectStatuses = QStringLiteral("select recordid, status from memberDetails");
// Read inside the change that follows, and held until it ends, as the member's row is.
inline const QString kSelectOne =
    QStringLiteral("select " KELVORY_DETAIL_COLUMNS " from memberDetails where recordid = ?");
inline const QString kSelectOnePostgreSql = kSelectOne + QStringLiteral(" for update");
inline const QString kSelectOneSqlServer =
    QStringLiteral("select " KELVORY_DETAIL_COLUMNS " from memberDetails with (updlock, rowlock) where recordid = ?");
inline const QString kInsert = QStringLiteral("insert into memberDetails (" KELVORY_DETAIL_COLUMNS
                                              ", recordid) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
inline const QString kUpdate = QStringLiteral(
    "update memberDetails set birthYear = ?, birthMonth = ?, birthDay = ?, joined = ?, status = ?, "
    "statusChanged = ?, duesPaidThrough = ?, contact1Name = ?, contact1Relationship = ?, contact1Phone = ?, "
    "contact2Name = ?, contact2Relationship = ?, contact2Phone = ? where recordid = ?");
inline const QString kDelete = QStringLiteral("delete from memberDetails where recordid = ?");

#undef KELVORY_DETAIL_COLUMNS

} // namespace kelvory::database::details
