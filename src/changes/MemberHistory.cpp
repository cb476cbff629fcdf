#include "changes/MemberHistory.h"

#include "changes/Journal.h"
#include "database/Connection.h"
#include "database/MemberHistoryStatements.h"

#include <QHash>

namespace kelvory::changes {

QString keptKind(const QString &journalAction)
{
    return journalAction.section(QLatin1Char(' '), 0, 0);
}

bool keepsValues(database::Connection &connection)
{
    // By the connection's own name: a new connection (or one reopened) looks again.
    static QHash<QString, bool> present;
    const QString name = connection.database().connectionName();
    if (const auto known = present.constFind(name); known != present.cend())
        return *known;
    const QString &sql = connection.server() == database::Server::Embedded ? database::sql::kMemberHistoryPresentSqlite
        : connection.server() == database::Server::SqlServer ? database::sql::kMemberHistoryPresentSqlServer
                                                             : database::sql::kMemberHistoryPresent;
    bool found = false;
    try {
        found = connection.query(sql).field(0).toLongLong() > 0;
    } catch (const Failure &) {
        // A catalogue the server does not have: the changes go on as they always did.
    }
    present.insert(name, found);
    return found;
}

QVariantList keptValues(const ChangeStore &store, const KeptChange &change)
{
    QVariantList values = {store.today.toString(Qt::ISODate), store.operatorName, change.kind, change.recordId};
    for (const QString &field : change.before)
        values.append(field);
    for (const QString &field : change.after)
        values.append(field);
    values << change.journalText << change.importMark << change.takesBack;
    return values;
}

void keep(ChangeStore &store, const KeptChange &change)
{
    if (keepsValues(store.connection))
        store.connection.execute(database::sql::kInsertMemberHistory, keptValues(store, change));
}

} // namespace kelvory::changes
