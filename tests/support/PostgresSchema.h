#pragma once

#include <QStringList>

namespace kelvory::test {

// The club's four tables on the PostgreSQL test server, emptied and made anew: dates are
// date values, so that the journal's "order by date desc" is chronological there too, and
// hitcounters names version 1, as a fresh embedded database does.
inline const QStringList &postgresSchema()
{
    static const QStringList statements = {
        QStringLiteral("drop table if exists members, changehistory, memberstatus, hitcounters"),
        QStringLiteral("create table members (name varchar, address varchar, city varchar, phone varchar, "
                       "comment varchar, recordid integer)"),
        QStringLiteral("create table changeHistory (date date, person varchar, description varchar)"),
        QStringLiteral("create table memberstatus (member varchar, status varchar, created date)"),
        QStringLiteral("create table hitcounters (ver varchar)"),
        QStringLiteral("insert into hitcounters values ('1')"),
    };
    return statements;
}

} // namespace kelvory::test
