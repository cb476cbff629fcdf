#include "changes/Undo.h"

#include "changes/MemberHistory.h"
#include "database/Connection.h"
#include "database/DateText.h"
#include "database/DetailsHistoryStatements.h"
#include "database/MemberHistoryStatements.h"
#include "database/Statements.h"

#include <QRegularExpression>
#include <QSet>

namespace kelvory::changes {

using namespace members;

namespace {

QDate dayOf(const QString &dateText)
{
    static const QRegularExpression iso(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    if (iso.match(dateText).hasMatch())
        return QDate::fromString(dateText, Qt::ISODate);
    return QDate::fromString(dateText, database::shortDateFormat());
}

MemberRow rowOf(const Fields &fields, qint64 id)
{
    return {fields[Name], fields[Address], fields[City], fields[Phone], fields[Comment], QString::number(id)};
}

template <class Result, class Change> Result unlessBusy(Change &&change)
{
    try {
        return change();
    } catch (const Failure &failure) {
        if (!failure.busy())
            throw;
    }
    Result busy;
    busy.kind = Result::Kind::Busy;
    return busy;
}

const QString &lockedSql(database::Connection &connection, const QString &plain, const QString &postgreSql,
                         const QString &sqlServer)
{
    switch (connection.server()) {
    case database::Server::PostgreSql: return postgreSql;
    case database::Server::SqlServer: return sqlServer;
    default: return plain;
    }
}

// The member as the kept change left it, checked against what is stored now under the
// same lock an Update takes: the operator's own change passes the same checks.
UndoResult checkStored(database::Connection &connection, const MemberRow &kept, qint64 id,
                       const std::optional<MemberRow> &accepted)
{
    UndoResult result;
    result.id = id;
    result.kept = kept;
    result.stored = storedMember(connection, id, QString::number(id));
    if (!result.stored) {
        result.kind = UndoResult::Kind::Gone;
        return result;
    }
    result.changes = changedFields(kept, *result.stored);
    if ((*result.stored)[Name] != kept[Name])
        result.kind = UndoResult::Kind::OtherMember;
    else if (!result.changes.empty() && accepted != result.stored)
        result.kind = UndoResult::Kind::ChangedSince;
    return result;
}

UndoResult undoKept(ChangeStore &store, qint64 historyId, const std::optional<MemberRow> &accepted)
{
    database::Connection &connection = store.connection;
    database::Transaction change(connection);
    UndoResult result;
    database::ResultSet row = connection.query(lockedSql(connection, database::sql::kSelectKeptChange,
                                                         database::sql::kSelectKeptChangePostgreSql,
                                                         database::sql::kSelectKeptChangeSqlServer),
                                               {historyId});
    if (row.eof()) {
        result.kind = UndoResult::Kind::NoKeptValues;
        return result;
    }
    const QString kind = row.text(0).toString();
    const qint64 id = row.field(1).toLongLong();
    Fields before;
    Fields after;
    for (int k = 0; k < kMemberFieldCount; ++k) {
        before[std::size_t(k)] = row.text(2 + k).toString();
        after[std::size_t(k)] = row.text(7 + k).toString();
    }
    if (connection.query(database::sql::kCountTakenBack, {historyId}).field(0).toLongLong() > 0) {
        result.kind = UndoResult::Kind::AlreadyTakenBack;
        return result;
    }

    KeptChange undone;
    undone.takesBack = historyId;
    if (kind == keptKind(kDeleted)) {
        // Its own id when free, else a new one chosen as Add New chooses it.
        std::optional<qint64> newId = nextRecordId(connection);
        qint64 useId = id;
        if (recordIdHeld(connection, id)) {
            if (!newId || recordIdHeld(connection, *newId)) {
                result.kind = UndoResult::Kind::NewIdTaken;
                result.id = newId.value_or(id);
                return result;
            }
            useId = *newId;
            result.newId = true;
            result.formerId = id;
        }
        QVariantList values;
        for (const QString &field : before)
            values.append(field);
        values.append(useId);
        connection.execute(database::sql::kInsertMember, values);
        result.action = kAdded;
        result.fields = before;
        result.id = useId;
        undone.after = before;
    } else if (kind == keptKind(kAdded) || kind == keptKind(kChanged)) {
        result = checkStored(connection, rowOf(after, id), id, accepted);
        if (!result.done())
            return result;
        const Fields now = fieldsOf(*result.stored);
        if (kind == keptKind(kAdded)) {
            if (connection.execute(database::sql::kDeleteMember, {id}) == 0) {
                result.kind = UndoResult::Kind::Gone;
                return result;
            }
            result.action = kDeleted;
            result.fields = now;
        } else {
            QVariantList values;
            for (const QString &field : before)
                values.append(field);
            values.append(id);
            if (connection.execute(database::sql::kUpdateMember, values) == 0) {
                result.kind = UndoResult::Kind::Gone;
                return result;
            }
            result.action = kChanged;
            result.fields = before;
            undone.after = before;
        }
        undone.before = now;
    } else {
        result.kind = UndoResult::Kind::NoKeptValues;
        return result;
    }
    undone.kind = keptKind(result.action);
    undone.recordId = result.id;
    undone.journalText = transactionText(result.action, result.fields);
    writeJournal(store, result.action, result.fields);
    keep(store, undone);
    change.commit();
    return result;
}

DetailsUndoResult undoKeptDetails(ChangeStore &store, qint64 historyId, const std::optional<MemberDetails> &accepted)
{
    using Kind = DetailsUndoResult::Kind;
    database::Connection &connection = store.connection;
    database::Transaction change(connection);
    DetailsUndoResult result;
    database::ResultSet row = connection.query(lockedSql(connection, database::sql::kSelectKeptDetails,
                                                         database::sql::kSelectKeptDetailsPostgreSql,
                                                         database::sql::kSelectKeptDetailsSqlServer),
                                               {historyId});
    if (row.eof()) {
        result.kind = Kind::NoKeptValues;
        return result;
    }
    result.id = row.field(0).toLongLong();
    result.name = row.text(1).toString();
    const MemberDetails before = detailsFrom(row, database::sql::kKeptOldDetails);
    const MemberDetails after = detailsFrom(row, database::sql::kKeptNewDetails);
    if (connection.query(database::sql::kCountDetailsTakenBack, {historyId}).field(0).toLongLong() > 0) {
        result.kind = Kind::AlreadyTakenBack;
        return result;
    }
    // Never onto another member: an id given anew after a delete starts without details.
    const std::optional<MemberRow> member = storedMember(connection, result.id, QString::number(result.id));
    if (!member) {
        result.kind = Kind::Gone;
        return result;
    }
    result.storedName = (*member)[Name];
    if (result.storedName != result.name) {
        result.kind = Kind::OtherMember;
        return result;
    }
    const std::optional<MemberDetails> stored = storedDetailsLocked(connection, result.id);
    result.stored = stored.value_or(MemberDetails{});
    if (result.stored != after && accepted != result.stored) {
        result.kind = Kind::ChangedSince;
        result.differences = differingDetails(after, result.stored);
        return result;
    }
    result.changes = detailChanges(result.stored, before);
    if (result.changes.isEmpty()) {
        result.kind = Kind::AlreadyAsBefore;
        return result;
    }
    writeDetails(connection, result.id, before, stored.has_value());
    const QString text = detailsJournalText(result.name, result.changes);
    writeJournalText(store, text);
    keepDetails(store, {result.id, result.name, result.stored, before, text, historyId});
    change.commit();
    return result;
}

ImportTakeBack runTakeBack(ChangeStore &store, const QString &importMark, const std::map<qint64, MemberRow> &alsoRemove,
                           bool storing)
{
    ImportTakeBack outcome;
    database::Connection &connection = store.connection;
    if (!keepsValues(connection)) {
        outcome.kind = ImportTakeBack::Kind::NoTable;
        return outcome;
    }
    // Every change made outside an import has the empty mark.
    if (importMark.isEmpty()) {
        outcome.kind = ImportTakeBack::Kind::NotAnImport;
        return outcome;
    }
    return unlessBusy<ImportTakeBack>([&] {
        ImportTakeBack result;
        database::Transaction change(connection);
        QSet<qint64> takenBack;
        database::ResultSet undone = connection.query(database::sql::kSelectImportTakenBack, {importMark});
        for (; !undone.eof(); undone.moveNext())
            takenBack.insert(undone.field(0).toLongLong());

        struct Removal
        {
            qint64 historyId;
            qint64 id;
            Fields fields;
        };
        std::vector<Removal> removals;
        std::vector<std::pair<qint64, MemberRow>> imported;
        database::ResultSet rows = connection.query(lockedSql(connection, database::sql::kSelectImportRows,
                                                              database::sql::kSelectImportRowsPostgreSql,
                                                              database::sql::kSelectImportRowsSqlServer),
                                                    {importMark});
        if (rows.eof()) {
            result.kind = ImportTakeBack::Kind::NotAnImport;
            return result;
        }
        for (; !rows.eof(); rows.moveNext()) {
            const qint64 historyId = rows.field(0).toLongLong();
            if (takenBack.contains(historyId)) {
                ++result.gone;
                continue;
            }
            const qint64 id = rows.field(1).toLongLong();
            MemberRow member;
            for (int k = 0; k < kMemberFieldCount; ++k)
                member[std::size_t(k)] = rows.text(2 + k).toString();
            member[RecordId] = QString::number(id);
            imported.emplace_back(historyId, member);
        }
        for (const auto &[historyId, member] : imported) {
            const qint64 id = member[RecordId].toLongLong();
            const auto accepted = alsoRemove.find(id);
            const UndoResult checked =
                checkStored(connection, member, id,
                            accepted == alsoRemove.end() ? std::nullopt : std::optional<MemberRow>(accepted->second));
            switch (checked.kind) {
            case UndoResult::Kind::Done: removals.push_back({historyId, id, fieldsOf(*checked.stored)}); break;
            case UndoResult::Kind::ChangedSince:
                result.changedSince.push_back({member, *checked.stored, checked.changes});
                break;
            case UndoResult::Kind::OtherMember:
                result.otherMember.push_back({member, *checked.stored, checked.changes});
                break;
            default: ++result.gone; break;
            }
        }
        result.removed = int(removals.size());
        if (!storing || removals.empty())
            return result;

        const QVariant date =
            connection.dateValue(database::sql::kJournalTable, database::sql::kJournalDateColumn, store.today);
        std::vector<QVariantList> deletes;
        std::vector<QVariantList> journalRows;
        std::vector<QVariantList> keptRows;
        for (const Removal &removal : removals) {
            const QString text = transactionText(kDeleted, removal.fields);
            deletes.push_back({removal.id});
            journalRows.push_back({date, store.operatorName, text});
            keptRows.push_back(
                keptValues(store, {keptKind(kDeleted), removal.id, removal.fields, {}, text, {}, removal.historyId}));
        }
        connection.executeRows(database::sql::kDeleteMember, deletes);
        connection.executeRows(database::sql::kInsertJournal, journalRows);
        connection.executeRows(database::sql::kInsertMemberHistory, keptRows);
        change.commit();
        return result;
    });
}

} // namespace

std::optional<KeptRow> keptRowOf(database::Connection &connection, const JournalEntry &entry)
{
    if (!keepsValues(connection))
        return std::nullopt;
    return pairedKeptRow(connection, database::sql::kSelectMemberHistoryOfDay, entry);
}

std::optional<KeptRow> pairedKeptRow(database::Connection &connection, const QString &rowsOfDay,
                                     const JournalEntry &entry)
{
    const QDate day = dayOf(entry.date);
    if (!day.isValid())
        return std::nullopt;
    int seen = 0;
    database::ResultSet rows = connection.query(rowsOfDay, {day.toString(Qt::ISODate)});
    for (; !rows.eof(); rows.moveNext()) {
        // Compared here, exactly: a server may compare texts without regard to case or
        // to trailing blanks.
        if (rows.text(1).toString() != entry.person || rows.text(2).toString() != entry.transaction)
            continue;
        if (seen++ == entry.occurrence)
            return KeptRow{rows.field(0).toLongLong(), rows.fieldCount() > 3 ? rows.text(3).toString() : QString()};
    }
    return std::nullopt;
}

UndoResult undo(ChangeStore &store, const JournalEntry &entry, const std::optional<MemberRow> &accepted)
{
    UndoResult result;
    if (!keepsValues(store.connection)) {
        result.kind = UndoResult::Kind::NoTable;
        return result;
    }
    const std::optional<KeptRow> kept = keptRowOf(store.connection, entry);
    if (!kept) {
        result.kind = UndoResult::Kind::NoKeptValues;
        return result;
    }
    return unlessBusy<UndoResult>([&] { return undoKept(store, kept->historyId, accepted); });
}

DetailsUndoResult undoDetails(ChangeStore &store, const JournalEntry &entry,
                              const std::optional<MemberDetails> &accepted)
{
    DetailsUndoResult result;
    if (!keepsDetailValues(store.connection) || !detailsTableExists(store.connection)) {
        result.kind = DetailsUndoResult::Kind::NoTable;
        return result;
    }
    const std::optional<KeptRow> kept =
        pairedKeptRow(store.connection, database::sql::kSelectDetailsHistoryOfDay, entry);
    if (!kept) {
        result.kind = DetailsUndoResult::Kind::NoKeptValues;
        return result;
    }
    return unlessBusy<DetailsUndoResult>([&] { return undoKeptDetails(store, kept->historyId, accepted); });
}

ImportTakeBack takeBackImport(ChangeStore &store, const QString &importMark,
                              const std::map<qint64, MemberRow> &alsoRemove)
{
    return runTakeBack(store, importMark, alsoRemove, true);
}

ImportTakeBack previewImportTakeBack(ChangeStore &store, const QString &importMark)
{
    return runTakeBack(store, importMark, {}, false);
}

} // namespace kelvory::changes
