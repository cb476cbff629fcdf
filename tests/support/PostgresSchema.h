#pragma once

#include <QStringList>

namespace kelvory::test {

// The club's four tables on the PostgreSQL test server, emptied and made anew: dates are
// date values, so that the journal's "order by date desc" is chronological there too, and
// hitcounters names version 1, as a fresh embedded database does. Names compare without
// regard to case, as SQL Server's default collation does.
inline const QStringList &postgresSchema()
{
    static const QStringList statements = {
        // Whatever an earlier test left in place of a table (a view of its own) goes too.
        QStringLiteral("do $$ declare r record; begin for r in select table_name, table_type "
                       "from information_schema.tables where table_schema = current_schema() loop "
                       "execute format(case when r.table_type = 'VIEW' then 'drop view if exists %I cascade' "
                       "else 'drop table if exists %I cascade' end, r.table_name); end loop; end $$"),
        QStringLiteral("create collation if not exists nocase (provider = icu, locale = 'und-u-ks-level2', "
                       "deterministic = false)"),
        QStringLiteral("create table members (name varchar collate nocase, address varchar, city varchar, "
                       "phone varchar, comment varchar, recordid integer)"),
        QStringLiteral("create table changeHistory (date date, person varchar, description varchar)"),
        QStringLiteral("create table memberstatus (member varchar collate nocase, status varchar, created date)"),
        QStringLiteral("create table hitcounters (ver varchar)"),
        QStringLiteral("insert into hitcounters values ('1')"),
        // The program's own table of members' details, as the administrator creates it.
        QStringLiteral("create table memberDetails (recordid integer primary key, "
                       "birthYear smallint not null default 0, birthMonth smallint not null default 0, "
                       "birthDay smallint not null default 0, joined date, "
                       "status varchar(20) not null default 'active', statusChanged date, duesPaidThrough date, "
                       "contact1Name varchar(100) not null default '', "
                       "contact1Relationship varchar(50) not null default '', "
                       "contact1Phone varchar(50) not null default '', contact2Name varchar(100) not null default '', "
                       "contact2Relationship varchar(50) not null default '', "
                       "contact2Phone varchar(50) not null default '')"),
    };
    return statements;
}

// The table of kept values as the administrator makes it (docs/sql-server.md gives SQL
// Server's form); the club's four tables above come without it.
inline const QStringList &postgresMemberHistory()
{
    static const QStringList statements = {
        QStringLiteral("create table memberHistory (historyId serial primary key, changeDay varchar(10) not null, "
                       "person varchar not null, changeKind varchar(10) not null, recordid bigint not null, "
                       "oldName varchar not null, oldAddress varchar not null, oldCity varchar not null, "
                       "oldPhone varchar not null, oldComment varchar not null, newName varchar not null, "
                       "newAddress varchar not null, newCity varchar not null, newPhone varchar not null, "
                       "newComment varchar not null, journalText varchar not null, importMark varchar(40) not null, "
                       "takesBack integer not null)"),
        QStringLiteral("create index memberHistoryDay on memberHistory (changeDay)"),
        QStringLiteral("create index memberHistoryImport on memberHistory (importMark)"),
        QStringLiteral("create index memberHistoryTakesBack on memberHistory (takesBack)"),
    };
    return statements;
}

// The table of the details' kept values, as the administrator makes it.
inline const QStringList &postgresDetailsHistory()
{
    auto kept = [](const char *p) {
        return QStringLiteral("%1BirthYear smallint not null, %1BirthMonth smallint not null, "
                              "%1BirthDay smallint not null, %1Joined date, %1Status varchar(20) not null, "
                              "%1StatusChanged date, %1DuesPaidThrough date, %1Contact1Name varchar not null, "
                              "%1Contact1Relationship varchar not null, %1Contact1Phone varchar not null, "
                              "%1Contact2Name varchar not null, %1Contact2Relationship varchar not null, "
                              "%1Contact2Phone varchar not null")
            .arg(QLatin1String(p));
    };
    static const QStringList statements = {
        QStringLiteral("create table memberDetailsHistory (historyId serial primary key, "
                       "changeDay varchar(10) not null, person varchar not null, recordid bigint not null, "
                       "memberName varchar not null, journalText varchar not null, takesBack integer not null, ")
            + kept("old") + QStringLiteral(", ") + kept("new") + QStringLiteral(")"),
        QStringLiteral("create index memberDetailsHistoryDay on memberDetailsHistory (changeDay)"),
        QStringLiteral("create index memberDetailsHistoryTakesBack on memberDetailsHistory (takesBack)"),
    };
    return statements;
}

} // namespace kelvory::test
