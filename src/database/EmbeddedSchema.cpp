#include "database/EmbeddedSchema.h"

#include "database/Connection.h"

namespace kelvory::database {

QStringList embeddedSchemaStatements()
{
    return {
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
