#include "changes/Journal.h"

#include "database/Connection.h"
#include "database/Statements.h"

namespace kelvory::changes {

using namespace members;

QString transactionText(const QString &action, const Fields &fields)
{
    const QString separator = QStringLiteral(": ");
    return action + fields[Name] + separator + fields[Address] + separator + fields[City] + separator + fields[Phone]
        + separator + fields[Comment];
}

void writeJournal(ChangeStore &store, const QString &action, const Fields &fields)
{
    writeJournalText(store, transactionText(action, fields));
}

void writeJournalText(ChangeStore &store, const QString &transaction)
{
    store.connection.executeWithDate(database::sql::kInsertJournal, {QVariant(), store.operatorName, transaction},
                                     database::sql::kJournalTable, database::sql::kJournalDateColumn, store.today);
}

} // namespace kelvory::changes
