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
    try {
        return connection.hasTable(database::sql::kMemberHistoryTable.toLower());
    } catch (const Failure &) {
        // A catalogue the server does not have: the changes go on as they always did.
        return false;
    }
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
