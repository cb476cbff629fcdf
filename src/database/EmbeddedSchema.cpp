#include "database/EmbeddedSchema.h"

#include "database/Connection.h"
#include "database/DetailsHistoryStatements.h"
#include "database/MemberDetailsTable.h"
#include "database/MemberHistoryStatements.h"

namespace kelvory::database {

QStringList embeddedSchemaStatements()
{
    return QStringList{
        // Names compare without regard to case, as on the club's SQL Server: "adams" sorts
        // before "Zed", and a status row for "BOB" bars "Bob". No two members share an id.
        QStringLiteral("create table members (name text collate nocase, address text, city text, phone text, "
                       "comment text, recordid integer unique)"),
        // A real date column, so that "order by date desc" is chronological.
        QStringLiteral("create table changeHistory (date date, person text, description text)"),
        QStringLiteral("create table memberstatus (member text collate nocase, status text, created date)"),
        QStringLiteral("create table hitcounters (ver text)"),
        QStringLiteral("insert into hitcounters values ('1')"),
    };
}

std::vector<OwnTable> ownTables()
{
    QStringList history = {sql::kCreateMemberHistorySqlite};
    for (const QString &index : sql::kIndexMemberHistorySqlite)
        history.append(index);
    QStringList detailsHistory = {sql::kCreateDetailsHistorySqlite};
    for (const QString &index : sql::kIndexDetailsHistorySqlite)
        detailsHistory.append(index);
    return {{sql::kMemberHistoryTable.toLower(), history},
            {details::kTable, {details::kCreateEmbedded}},
            {sql::kDetailsHistoryTable.toLower(), detailsHistory}};
}

void addMissingOwnTables(Connection &connection) noexcept
{
    try {
        // Only in a file of the club's: a file without the members table is not the program's.
        // Looked for first, so that a file that has them is not even locked for writing.
        if (!connection.hasTable(QStringLiteral("members")))
            return;
        for (const OwnTable &table : ownTables()) {
            if (connection.hasTable(table.name))
                continue;
            Transaction making(connection);
            for (const QString &statement : table.create)
                connection.execute(statement);
            making.commit();
            connection.forgetTables();
        }
    } catch (const Failure &) {
        // A file that cannot be written now (read-only, locked past the time-out): the
        // program goes on without the table, as on a server without it, and the next
        // start tries again.
    }
}

void createEmbeddedSchema(Connection &connection)
{
    QSqlDatabase db = connection.database();
    if (!db.transaction())
        throw failureFrom(db.lastError());
    try {
        for (const QString &statement : embeddedSchemaStatements())
            connection.execute(statement);
        for (const OwnTable &table : ownTables()) {
            for (const QString &statement : table.create)
                connection.execute(statement);
        }
    } catch (...) {
        db.rollback();
        throw;
    }
    if (!db.commit())
        throw failureFrom(db.lastError());
}

} // namespace kelvory::database
