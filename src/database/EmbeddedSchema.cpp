#include "database/EmbeddedSchema.h"

#include "database/Connection.h"
#include "database/MemberHistoryStatements.h"

namespace kelvory::database {

QStringList ownTableStatements()
{
    QStringList statements = {sql::kCreateMemberHistorySqlite};
    for (const QString &index : sql::kIndexMemberHistorySqlite)
        statements.append(index);
    return statements;
}

void addOwnTables(Connection &connection) noexcept
{
    try {
        // Looked for first, so that a file that has them is not even locked for writing.
        if (connection.query(sql::kMemberHistoryPresentSqlite).field(0).toLongLong() > 0)
            return;
        Transaction tables(connection);
        for (const QString &statement : ownTableStatements())
            connection.execute(statement);
        tables.commit();
    } catch (const Failure &) {
        // A file that cannot be written now (read-only, locked): everything works as
        // without the tables, and the next start tries again.
    }
}

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
    } + ownTableStatements();
}

void createEmbeddedSchema(Connection &connection)
{
    QSqlDatabase db = connection.database();
    if (!db.transaction())
        throw failureFrom(db.lastError());
    try {
        for (const QString &statement : embeddedSchemaStatements())
            connection.execute(statement);
    } catch (...) {
        db.rollback();
        throw;
    }
    if (!db.commit())
        throw failureFrom(db.lastError());
}

} // namespace kelvory::database
