#include "changes/MemberChanges.h"

#include "changes/ChangeMessages.h"
#include "changes/EditTarget.h"
#include "database/Connection.h"
#include "database/DateText.h"
#include "database/MemberFields.h"
#include "database/Statements.h"
#include "database/StorableText.h"
#include "startup/Module1.h"
#include "startup/NumberText.h"

#include <QDate>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace kelvory::changes {

namespace {

using namespace members;

// Text that the database cannot store exactly is refused before anything is sent, so
// that a change never takes effect without its journal row.
bool boxesStorable(Module1 &module, const EditTarget &boxes)
{
    for (int k = 0; k < kMemberFieldCount; ++k) {
        const QString problem = database::unstorableCharacter(boxes.boxText(k));
        if (!problem.isEmpty()) {
            module.MsgBox(messages::boxCannotBeStored(members::caption(k), problem));
            return false;
        }
    }
    return true;
}

QVariantList memberFields(const EditTarget &boxes)
{
    return {boxes.boxText(Name), boxes.boxText(Address), boxes.boxText(City), boxes.boxText(Phone),
            boxes.boxText(Comment)};
}

// The id of the picked member, or a message and nothing when there is none to use.
std::optional<qint64> pickedRecordId(Module1 &module, const EditTarget &boxes, const QString &command)
{
    const QString text = boxes.boxText(RecordId);
    if (text.isEmpty()) {
        module.MsgBox(messages::noMemberPicked(command));
        return std::nullopt;
    }
    const std::optional<qint64> id = recordIdFrom(text);
    if (!id)
        module.MsgBox(messages::recordIdNotWhole(text));
    return id;
}

// The picked member that Update or DELETE is to change, once the box they need is not
// empty, the id is a whole number and the boxes can be stored; else a message and nothing.
std::optional<qint64> memberToChange(Module1 &module, const EditTarget &boxes, members::Field needed,
                                     const QString &nothingMessage, const QString &command)
{
    if (boxes.boxText(needed).isEmpty()) {
        module.MsgBox(nothingMessage);
        return std::nullopt;
    }
    const std::optional<qint64> id = pickedRecordId(module, boxes, command);
    if (!id || !boxesStorable(module, boxes))
        return std::nullopt;
    return id;
}

// The member's five stored fields as the grid would show them, read under the lock
// that the change then holds; nothing unless exactly one member holds the id.
std::optional<QStringList> storedMember(database::Connection &connection, qint64 id)
{
    const QString &sql = connection.server() == database::Server::PostgreSql ? database::sql::kSelectStoredMemberPostgreSql
        : connection.server() == database::Server::SqlServer                 ? database::sql::kSelectStoredMemberSqlServer
                                                                             : database::sql::kSelectStoredMember;
    database::ResultSet stored = connection.query(sql, {id});
    if (stored.eof())
        return std::nullopt;
    QStringList fields;
    for (int k = 0; k < kMemberFieldCount; ++k)
        fields << stored.text(k).toString();
    stored.moveNext();
    if (!stored.eof())
        return std::nullopt;
    return fields;
}

// One line per field that differs between the member as picked and as stored.
QStringList changedFields(const QStringList &picked, const QStringList &stored)
{
    QStringList lines;
    for (int k = 0; k < kMemberFieldCount; ++k) {
        if (picked.value(k) != stored.value(k))
            lines << messages::changedField(members::caption(k), picked.value(k),
                                            stored.value(k));
    }
    return lines;
}

struct ChangeOutcome
{
    enum Kind { Done, ChangedElsewhere, Gone, Shared } kind = Done;
    qint64 affected = 0;
    // ChangedElsewhere: the member as stored; Done: as stored after the change.
    QStringList stored;
};

// Runs the statement that changes the picked member and writes the journal row as one
// transaction, so that a change is never stored without its journal row; the roster is
// refilled after the commit, so that the lock is held for milliseconds, not for a read of
// the whole roster. Done when exactly that member was changed. Otherwise nothing is: another
// workstation may have changed the member since it was picked, or deleted it, or several
// members hold the id and a change would hit them all. No message is shown here, so
// that no lock is held while the operator reads one.
ChangeOutcome tryChangePickedMember(Module1 &module, EditTarget &boxes, const QString &statement,
                                    const QVariantList &values, qint64 id, const QString &action)
{
    database::Connection &connection = module.connection;
    database::Transaction change(connection);
    // A member picked from the grid is checked against what is stored now; boxes filled
    // otherwise (never, through the window) are taken as they are.
    const std::optional<QStringList> picked = boxes.pickedMember();
    if (picked && picked->value(RecordId) == boxes.boxText(RecordId)) {
        const std::optional<QStringList> stored = storedMember(connection, id);
        if (stored && !changedFields(*picked, *stored).isEmpty())
            return {ChangeOutcome::ChangedElsewhere, 0, *stored};
    }
    // A driver that cannot tell how many rows it changed (-1) is taken at its word.
    const qint64 affected = connection.execute(statement, values);
    if (affected == 0 || affected > 1)
        return {affected == 0 ? ChangeOutcome::Gone : ChangeOutcome::Shared, affected, {}};
    QStringList after;
    if (action == kChanged)
        after = storedMember(connection, id).value_or(QStringList());
    writeJournal(module, action, boxes);
    change.commit();
    return {ChangeOutcome::Done, affected, after};
}

// Runs a change's transaction. A database busy with another session's lock has rolled
// it back (the Transaction is gone by the time the failure arrives here): the operator is
// told so and nothing else happens, the boxes as typed; every other failure goes on to
// the standard error report.
template <class Change>
auto unlessBusy(Module1 &module, Change &&change) -> std::optional<decltype(change())>
{
    try {
        return change();
    } catch (const Failure &failure) {
        if (!failure.busy())
            throw;
    }
    module.MsgBox(messages::rosterBusy());
    return std::nullopt;
}

// Tells the operator why a change was not made; true when it was.
bool reportOutcome(Module1 &module, EditTarget &boxes, const ChangeOutcome &outcome, qint64 id)
{
    switch (outcome.kind) {
    case ChangeOutcome::Done:
        if (!outcome.stored.isEmpty())
            boxes.setPickedMember(outcome.stored + QStringList{boxes.boxText(RecordId)});
        boxes.FillRoster();
        return true;
    case ChangeOutcome::ChangedElsewhere:
        break;
    case ChangeOutcome::Gone:
        boxes.FillRoster();
        module.MsgBox(messages::memberGone(boxes.boxText(RecordId)));
        return false;
    case ChangeOutcome::Shared:
        module.MsgBox(messages::recordIdShared(id, outcome.affected));
        return false;
    }
    // The operator has now seen the other change: a second Update stores the boxes over it.
    const QStringList lines = changedFields(boxes.pickedMember().value_or(QStringList()), outcome.stored);
    boxes.setPickedMember(outcome.stored + QStringList{boxes.boxText(RecordId)});
    boxes.FillRoster();
    module.MsgBox(messages::changedElsewhere(lines.join(QStringLiteral("\r\n"))));
    return false;
}

} // namespace

QString transactionText(const QString &action, const std::array<QString, kMemberFieldCount> &fields)
{
    const QString separator = QStringLiteral(": ");
    return action + fields[Name] + separator + fields[Address] + separator + fields[City] + separator + fields[Phone]
        + separator + fields[Comment];
}

QString transactionText(const QString &action, const EditTarget &boxes)
{
    return transactionText(action, {boxes.boxText(Name), boxes.boxText(Address), boxes.boxText(City),
                                    boxes.boxText(Phone), boxes.boxText(Comment)});
}

void writeJournal(Module1 &module, const QString &action, const EditTarget &boxes)
{
    module.connection.executeWithDate(database::sql::kInsertJournal,
                                      {QVariant(), module.OperatorFirstName, transactionText(action, boxes)},
                                      database::sql::kJournalTable, database::sql::kJournalDateColumn, module.today());
}

std::optional<qint64> recordIdFrom(const QString &text)
{
    static const QRegularExpression wholeNumber(QStringLiteral("^-?[0-9]+$"));
    if (!wholeNumber.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 id = text.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return id;
}

qint64 recordIdAfter(const QVariant &largestStored)
{
    if (largestStored.isNull())
        return 1;
    const auto overflow = [&] {
        return Failure(QStringLiteral("6"), messages::largestRecordIdOverflows(database::displayText(largestStored)));
    };
    const bool real = largestStored.typeId() == QMetaType::Double || largestStored.typeId() == QMetaType::Float;
    // A real number converts to a whole one without a word even far beyond its range, so
    // it is taken as the real number it is; a text as the number it spells, whole if it can.
    bool ok = false;
    qint64 largest = real ? 0 : largestStored.toLongLong(&ok);
    if (!ok) {
        const QString text = database::displayText(largestStored).trimmed();
        double value = real ? largestStored.toDouble() : text.toDouble(&ok);
        if (!real && !ok)
            value = readLeadingNumber(text);
        if (!std::isfinite(value) || std::abs(value) >= 9.0e18)
            throw overflow();
        largest = static_cast<qint64>(std::floor(value));
    }
    if (largest == std::numeric_limits<qint64>::max())
        throw overflow();
    return largest + 1;
}

std::optional<qint64> nextRecordId(database::Connection &connection)
{
    // Where reads do not wait for writers (PostgreSQL, SQL Server with row versioning), two
    // transactions would both read the same largest id before either stored the next.
    switch (connection.server()) {
    case database::Server::PostgreSql:
        connection.execute(database::sql::kRecordIdLockPostgreSql);
        break;
    case database::Server::SqlServer:
        connection.execute(database::sql::kRecordIdLockSqlServer);
        break;
    case database::Server::Embedded: // BEGIN IMMEDIATE has taken the file's write lock
    case database::Server::Other: // no lock known: recordIdHeld and a unique index guard
        break;
    }
    database::ResultSet largest = connection.query(database::sql::kMaxRecordId);
    if (largest.eof())
        return std::nullopt;
    return recordIdAfter(largest.field(0));
}

// Bound as text, so that a server comparing it with a text column holding other texts
// too does not fail on converting them.
bool recordIdHeld(database::Connection &connection, qint64 id)
{
    return connection.query(database::sql::kCountRecordId, {QString::number(id)}).field(0).toLongLong() > 0;
}

NewRecordId chooseNewRecordId(Module1 &module)
{
    NewRecordId chosen;
    chosen.id = nextRecordId(module.connection);
    chosen.taken = chosen.id && recordIdHeld(module.connection, *chosen.id);
    return chosen;
}

void addMember(Module1 &module, EditTarget &boxes)
{
    for (int k = 0; k < kMemberFieldCount; ++k) {
        static const char *required[] = {"Nothing to Add", "Address is required", "`City State ZIP` is required", "Phone is required", nullptr};
        if (required[k] && boxes.boxText(k).isEmpty()) {
            module.MsgBox(QString::fromLatin1(required[k]));
            return;
        }
    }
    if (!boxesStorable(module, boxes))
        return;

    std::optional<qint64> taken;
    std::optional<QStringList> added;
    const bool stored = unlessBusy(module, [&] {
        database::Transaction change(module.connection);
        const NewRecordId chosen = chooseNewRecordId(module);
        const std::optional<qint64> newId = chosen.id;
        if (chosen.taken) {
            taken = newId;
        } else {
            // The id box shows the new id once it is stored, so that a change the database
            // was too busy to take leaves the boxes as they were.
            const QString idText = newId ? QString::number(*newId) : boxes.boxText(RecordId);
            QVariantList values = memberFields(boxes);
            const std::optional<qint64> id = recordIdFrom(idText);
            values.append(id ? QVariant(*id) : QVariant(idText));
            module.connection.execute(database::sql::kInsertMember, values);
            if (id)
                added = storedMember(module.connection, *id);
            writeJournal(module, kAdded, boxes);
            change.commit();
            boxes.setBoxText(RecordId, idText);
        }
        return true;
    }).has_value();
    if (!stored)
        return;
    if (taken) {
        module.MsgBox(messages::newRecordIdTaken(*taken));
        return;
    }
    // An Update right after it starts from the new member as stored.
    boxes.setPickedMember(added ? std::optional(*added + QStringList{boxes.boxText(RecordId)}) : std::nullopt);
    boxes.FillRoster();
    module.MsgBox(messages::recordAdded());
}

void updateMember(Module1 &module, EditTarget &boxes)
{
    const std::optional<qint64> id =
        memberToChange(module, boxes, Address, messages::nothingToUpdate(), QStringLiteral("Update"));
    if (!id)
        return;
    const std::optional<ChangeOutcome> outcome = unlessBusy(module, [&] {
        return tryChangePickedMember(module, boxes, database::sql::kUpdateMember, memberFields(boxes) << *id, *id,
                                     kChanged);
    });
    if (outcome && reportOutcome(module, boxes, *outcome, *id))
        module.MsgBox(messages::recordUpdated());
}

void deleteMember(Module1 &module, EditTarget &boxes)
{
    const std::optional<qint64> id =
        memberToChange(module, boxes, RecordId, messages::nothingToDelete(), QStringLiteral("DELETE"));
    if (!id)
        return;

    const int answer =
        module.MsgBox(messages::deleteQuestion(boxes.boxText(Name)), MB_YESNO, messages::deleteQuestionTitle());
    if (answer != IDYES)
        return;

    for (;;) {
        const std::optional<ChangeOutcome> changed = unlessBusy(module, [&] {
            return tryChangePickedMember(module, boxes, database::sql::kDeleteMember, {*id}, *id, kDeleted);
        });
        if (!changed)
            return;
        const ChangeOutcome &outcome = *changed;
        if (outcome.kind == ChangeOutcome::ChangedElsewhere) {
            // Asked again, naming the other change; a Yes deletes the member as now stored.
            const QStringList lines = changedFields(boxes.pickedMember().value_or(QStringList()), outcome.stored);
            boxes.setPickedMember(outcome.stored + QStringList{boxes.boxText(RecordId)});
            boxes.FillRoster();
            if (module.MsgBox(messages::deleteChangedQuestion(lines.join(QStringLiteral("\r\n"))), MB_YESNO,
                              messages::deleteQuestionTitle())
                != IDYES)
                return;
            continue;
        }
        if (reportOutcome(module, boxes, outcome, *id))
            module.MsgBox(messages::recordDeleted());
        return;
    }
}

} // namespace kelvory::changes
