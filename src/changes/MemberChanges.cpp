#include "changes/MemberChanges.h"

#include "changes/MemberDetails.h"
#include "changes/MemberHistory.h"
#include "database/Connection.h"
#include "database/Statements.h"
#include "database/StorableText.h"

namespace kelvory::changes {

using namespace members;
using Kind = ChangeResult::Kind;

namespace {

ChangeResult refused(Kind kind, int field = -1, QString problem = QString())
{
    ChangeResult result;
    result.kind = kind;
    result.field = field;
    result.problem = std::move(problem);
    return result;
}

// Text that the database cannot store exactly is refused before anything is sent, so
// that a change never takes effect without its journal row.
std::optional<ChangeResult> unstorable(const MemberEdit &edit)
{
    for (int k = 0; k < kMemberFieldCount; ++k) {
        QString problem = database::unstorableCharacter(edit.boxes[k]);
        if (!problem.isEmpty())
            return refused(Kind::Unstorable, k, std::move(problem));
    }
    return std::nullopt;
}

// The picked member's id, or why Update or DELETE cannot go on: the box it needs is
// empty, there is no id, the id is not a whole number, or a box cannot be stored.
std::variant<qint64, ChangeResult> memberToChange(const MemberEdit &edit, Field needed, Kind nothing)
{
    if (edit.boxes[needed].isEmpty())
        return refused(nothing);
    const QString &text = edit.boxes[RecordId];
    if (text.isEmpty())
        return refused(Kind::NoMemberPicked);
    const std::optional<qint64> id = recordIdFrom(text);
    if (!id) {
        ChangeResult result = refused(Kind::RecordIdNotWhole);
        result.id = text;
        return result;
    }
    if (std::optional<ChangeResult> problem = unstorable(edit))
        return *problem;
    return *id;
}

} // namespace

// The member's five stored fields as the grid would show them, read under the lock
// that the change then holds, with the id as the boxes hold it; nothing unless exactly
// one member holds the id.
std::optional<MemberRow> storedMember(database::Connection &connection, qint64 id, const QString &idText)
{
    const QString &sql = connection.server() == database::Server::PostgreSql
        ? database::sql::kSelectStoredMemberPostgreSql
        : connection.server() == database::Server::SqlServer ? database::sql::kSelectStoredMemberSqlServer
                                                             : database::sql::kSelectStoredMember;
    database::ResultSet stored = connection.query(sql, {id});
    if (stored.eof())
        return std::nullopt;
    MemberRow row;
    for (int k = 0; k < kMemberFieldCount; ++k)
        row[k] = stored.text(k).toString();
    row[RecordId] = idText;
    stored.moveNext();
    if (!stored.eof())
        return std::nullopt;
    return row;
}

namespace {

// Runs a change's transaction. A database busy with another session's lock has rolled
// it back (the Transaction is gone by the time the failure arrives here); every other
// failure goes on to the standard error report.
template <class Change> ChangeResult unlessBusy(Change &&change)
{
    try {
        return change();
    } catch (const Failure &failure) {
        if (!failure.busy())
            throw;
    }
    return refused(Kind::Busy);
}

// Runs the statement that changes the picked member and writes the journal row as one
// transaction. Done when exactly that member was changed; otherwise nothing is: another
// workstation may have changed the member since it was picked, deleted it, or given its
// id to another member, or several members hold the id and a change would hit them all.
ChangeResult changePickedMember(ChangeStore &store, const MemberEdit &edit, const QString &statement,
                                const QVariantList &values, qint64 id, const QString &action)
{
    database::Connection &connection = store.connection;
    const bool keeping = keepsValues(connection);
    database::Transaction change(connection);
    ChangeResult result;
    result.id = edit.boxes[RecordId];
    // Boxes filled otherwise than from a pick (never, through the window) are taken as they are.
    const bool checking = edit.picked && (*edit.picked)[RecordId] == edit.boxes[RecordId];
    const std::optional<MemberRow> before =
        checking || keeping ? storedMember(connection, id, edit.boxes[RecordId]) : std::nullopt;
    if (checking) {
        if (std::optional<MemberRow> stored = before) {
            // Another name under the same id may be a rename, or another member who was
            // given the id after the picked one was deleted: the program cannot tell, so it
            // touches neither until the operator has picked the member as stored now.
            result.changes = changedFields(*edit.picked, *stored);
            if ((*stored)[Name] != (*edit.picked)[Name])
                result.kind = Kind::OtherMember;
            else if (!result.changes.empty())
                result.kind = Kind::ChangedElsewhere;
            if (!result.done()) {
                result.stored = std::move(stored);
                return result;
            }
        }
    }
    // A driver that cannot tell how many rows it changed (-1) is taken at its word.
    const qint64 affected = connection.execute(statement, values);
    if (affected == 0 || affected > 1) {
        result.kind = affected == 0 ? Kind::Gone : Kind::Shared;
        result.affected = affected;
        return result;
    }
    if (action == kChanged)
        result.stored = storedMember(connection, id, edit.boxes[RecordId]);
    if (action == kDeleted)
        forgetDetails(connection, id);
    writeJournal(store, action, edit.fields());
    if (keeping && before) {
        KeptChange kept{keptKind(action), id, fieldsOf(*before), {}, transactionText(action, edit.fields()), {}, 0};
        if (result.stored)
            kept.after = fieldsOf(*result.stored);
        keep(store, kept);
    }
    change.commit();
    return result;
}

} // namespace

members::Fields fieldsOf(const MemberRow &row)
{
    return {row[Name], row[Address], row[City], row[Phone], row[Comment]};
}

members::Fields MemberEdit::fields() const
{
    return {boxes[Name], boxes[Address], boxes[City], boxes[Phone], boxes[Comment]};
}

std::vector<FieldChange> changedFields(const MemberRow &picked, const MemberRow &stored)
{
    std::vector<FieldChange> lines;
    for (int k = 0; k < kMemberFieldCount; ++k) {
        if (picked[k] != stored[k])
            lines.push_back({k, picked[k], stored[k]});
    }
    return lines;
}

ChangeResult add(ChangeStore &store, const MemberEdit &edit)
{
    // The boxes Add New needs, in the order it tests them; the comment is not needed.
    for (const Field field : {Name, Address, City, Phone}) {
        if (edit.boxes[field].isEmpty())
            return refused(Kind::RequiredFieldEmpty, field);
    }
    if (std::optional<ChangeResult> problem = unstorable(edit))
        return *problem;

    return unlessBusy([&] {
        database::Connection &connection = store.connection;
        const bool keeping = keepsValues(connection);
        database::Transaction change(connection);
        ChangeResult result;
        const NewRecordId chosen = chooseNewRecordId(connection);
        if (chosen.taken) {
            result.kind = Kind::NewIdTaken;
            result.id = QString::number(*chosen.id);
            return result;
        }
        result.id = chosen.id ? QString::number(*chosen.id) : edit.boxes[RecordId];
        const std::optional<qint64> id = recordIdFrom(result.id);
        QVariantList values;
        for (const QString &field : edit.fields())
            values.append(field);
        values.append(id ? QVariant(*id) : QVariant(result.id));
        connection.execute(database::sql::kInsertMember, values);
        if (id) {
            result.stored = storedMember(connection, *id, result.id);
            forgetDetails(connection, *id);
        }
        writeJournal(store, kAdded, edit.fields());
        if (keeping && id)
            keep(store, {keptKind(kAdded), *id, {}, edit.fields(), transactionText(kAdded, edit.fields()), {}, 0});
        change.commit();
        return result;
    });
}

ChangeResult update(ChangeStore &store, const MemberEdit &edit)
{
    const std::variant<qint64, ChangeResult> checked = memberToChange(edit, Address, Kind::NothingToUpdate);
    if (const ChangeResult *refusal = std::get_if<ChangeResult>(&checked))
        return *refusal;
    const qint64 id = std::get<qint64>(checked);
    QVariantList values;
    for (const QString &field : edit.fields())
        values.append(field);
    values.append(id);
    return unlessBusy(
        [&] { return changePickedMember(store, edit, database::sql::kUpdateMember, values, id, kChanged); });
}

ChangeResult checkRemove(const MemberEdit &edit)
{
    const std::variant<qint64, ChangeResult> checked = memberToChange(edit, RecordId, Kind::NothingToDelete);
    if (const ChangeResult *refusal = std::get_if<ChangeResult>(&checked))
        return *refusal;
    ChangeResult ready;
    ready.id = edit.boxes[RecordId];
    return ready;
}

ChangeResult remove(ChangeStore &store, const MemberEdit &edit)
{
    const std::variant<qint64, ChangeResult> checked = memberToChange(edit, RecordId, Kind::NothingToDelete);
    if (const ChangeResult *refusal = std::get_if<ChangeResult>(&checked))
        return *refusal;
    const qint64 id = std::get<qint64>(checked);
    return unlessBusy(
        [&] { return changePickedMember(store, edit, database::sql::kDeleteMember, {id}, id, kDeleted); });
}

} // namespace kelvory::changes
