#include "database/EmbeddedSchema.h"

#include "database/Connection.h"

namespace kelvory::database {

QStringList embeddedSchemaStatements()
{
    return {
        QStringLiteral("create table members (name text, address text, city text, phone text, comment text, "
                       "recordid integer)"),
        // A real date column, so that "order by date desc" is chronological.
        QStringLiteral("create table changeHistory (date date, person text, description text)"),
        QStringLiteral("create table memberstatus (member text, status text, created date)"),
        QStringLiteral("create table hitcounters (ver text)"),
        QStringLiteral("insert into hitcounters values ('1')"),
    };
}

void createEmbeddedSchema(Connection &connection)
{
    QSqlDatabase db = connection.database();
    if (!db.transaction())
        throw Failure::fromSqlError(db.lastError());
    try {
        for (const QString &statement : embeddedSchemaStatements())
            connection.execute(statement);
    } catch (...) {
        db.rollback();
        throw;
    }
    if (!db.commit())
        throw Failure::fromSqlError(db.lastError());
}

} // namespace kelvory::database
