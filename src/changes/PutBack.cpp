#include "changes/PutBack.h"

#include "changes/MemberHistory.h"
#include "database/Connection.h"
#include "database/Statements.h"

#include <QHash>

namespace kelvory::changes {

namespace {

using database::StoredMember;

members::Fields fieldsOf(const StoredMember &member)
{
    return {member[members::Name], member[members::Address], member[members::City], member[members::Phone],
            member[members::Comment]};
}

QList<QVariantList> rowsOf(database::Connection &connection, const QString &sql, int columns)
{
    QList<QVariantList> rows;
    for (database::ResultSet result = connection.query(sql); !result.eof(); result.moveNext()) {
        QVariantList row;
        for (int k = 0; k < columns; ++k)
            row.append(result.field(k));
        rows.append(row);
    }
    return rows;
}

QString keyOf(const QVariantList &row)
{
    QStringList texts;
    for (const QVariant &value : row)
        texts.append(value.toString());
    return texts.join(QChar(0x1f));
}

// The tables other than members as they are now, and the journal rows written since the copy.
void carryOver(database::Connection &now, database::Connection &ready)
{
    const QString journal = QStringLiteral("Select * from changehistory");
    QHash<QString, int> inCopy;
    for (const QVariantList &row : rowsOf(ready, journal, 3))
        ++inCopy[keyOf(row)];
    for (const QVariantList &row : rowsOf(now, journal, 3)) {
        int &count = inCopy[keyOf(row)];
        if (count > 0)
            --count;
        else
            ready.execute(database::sql::kInsertJournal, row);
    }
    for (const auto &[table, columns] :
         {std::pair{QStringLiteral("memberstatus"), 3}, std::pair{QStringLiteral("hitcounters"), 1}}) {
        const QList<QVariantList> rows = rowsOf(now, QStringLiteral("select * from ") + table, columns);
        ready.execute(QStringLiteral("delete from ") + table);
        const QString insert =
            columns == 3 ? database::sql::kInsertStatus : QStringLiteral("insert into hitcounters values (?)");
        for (const QVariantList &row : rows)
            ready.execute(insert, row);
    }
}

} // namespace

PutBackResult putBack(ChangeStore &store, const QString &copy, const QString &folder)
{
    PutBackResult result;
    result.difference = database::differenceTo(store.connection, copy);
    result.outcome = database::putBackCopy(store.connection, copy, folder, [&](database::Connection &ready) {
        if (!result.difference)
            return; // the file as it was cannot be read: the copy goes in as it is
        database::Transaction change(ready);
        carryOver(store.connection, ready);
        ChangeStore readyStore{ready, store.operatorName, store.today};
        auto journalAndKeep = [&](const QString &action, const members::Fields &before, const members::Fields &after,
                                  const QString &id) {
            const members::Fields &shown = action == kDeleted ? before : after;
            writeJournal(readyStore, action, shown);
            keep(readyStore, {keptKind(action), id.toLongLong(), before, after, transactionText(action, shown), {}, 0});
        };
        for (const StoredMember &member : result.difference->comeBack)
            journalAndKeep(kAdded, {}, fieldsOf(member), member[members::RecordId]);
        for (const StoredMember &member : result.difference->go)
            journalAndKeep(kDeleted, fieldsOf(member), {}, member[members::RecordId]);
        for (const auto &[now, then] : result.difference->change)
            journalAndKeep(kChanged, fieldsOf(now), fieldsOf(then), now[members::RecordId]);
        change.commit();
    });
    return result;
}

} // namespace kelvory::changes
