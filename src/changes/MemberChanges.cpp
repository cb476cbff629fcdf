#include "changes/MemberChanges.h"

#include "changes/ChangeMessages.h"
#include "changes/EditTarget.h"
#include "database/Connection.h"
#include "database/DateText.h"
#include "database/RosterColumns.h"
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

using namespace roster; // the roster's columns name the boxes

// Text that the database cannot store exactly is refused before anything is sent, so
// that a change never takes effect without its journal row.
bool boxesStorable(Module1 &module, const EditTarget &boxes)
{
    for (int k = 0; k < kMemberFieldCount; ++k) {
        const QString problem = database::unstorableCharacter(boxes.boxText(k));
        if (!problem.isEmpty()) {
            module.MsgBox(messages::boxCannotBeStored(QString::fromLatin1(columnFacts(k).caption), problem));
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
std::optional<qint64> memberToChange(Module1 &module, const EditTarget &boxes, RosterColumn needed,
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

// Whether a member holds the id. Bound as text, so that a server comparing it with a
// text column holding other texts too does not fail on converting them.
bool recordIdHeld(Module1 &module, qint64 id)
{
    return module.connection.query(database::sql::kCountRecordId, {QString::number(id)}).field(0).toLongLong() > 0;
}

// Runs the statement that changes the picked member, refills the roster and writes the
// journal row as one transaction, so that a change is never stored without its journal
// row. True when exactly that member was changed. Otherwise nothing is: another
// workstation may have deleted the member since it was picked (the grid is brought up to
// date), or several members hold the id and a change would hit them all.
bool changePickedMember(Module1 &module, EditTarget &boxes, const QString &statement, const QVariantList &values,
                        qint64 id, const QString &action)
{
    qint64 affected = 0;
    {
        database::Transaction change(module.connection);
        affected = module.connection.execute(statement, values);
        if (affected != 0 && affected <= 1) {
            boxes.FillRoster();
            writeJournal(module, action, boxes);
            change.commit();
            return true;
        }
    }
    // Rolled back: the message is shown only now, so that no lock is held while the
    // operator reads it.
    if (affected == 0) {
        boxes.FillRoster();
        module.MsgBox(messages::memberGone(boxes.boxText(RecordId)));
    } else {
        module.MsgBox(messages::recordIdShared(id, affected));
    }
    return false;
}

} // namespace

QString transactionText(const QString &action, const EditTarget &boxes)
{
    const QString separator = QStringLiteral(": ");
    return action + boxes.boxText(Name) + separator + boxes.boxText(Address) + separator + boxes.boxText(City)
        + separator + boxes.boxText(Phone) + separator + boxes.boxText(Comment);
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

qint64 nextRecordId(const QVariant &largestStored)
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

NewRecordId chooseNewRecordId(Module1 &module)
{
    NewRecordId chosen;
    {
        database::ResultSet largest = module.connection.query(database::sql::kMaxRecordId);
        if (!largest.eof())
            chosen.id = nextRecordId(largest.field(0));
    }
    chosen.taken = chosen.id && recordIdHeld(module, *chosen.id);
    return chosen;
}

void addMember(Module1 &module, EditTarget &boxes)
{
    for (int k = 0; k < kMemberFieldCount; ++k) {
        if (columnFacts(k).required && boxes.boxText(k).isEmpty()) {
            module.MsgBox(QString::fromLatin1(columnFacts(k).required));
            return;
        }
    }
    if (!boxesStorable(module, boxes))
        return;

    std::optional<qint64> taken;
    {
        database::Transaction change(module.connection);
        const NewRecordId chosen = chooseNewRecordId(module);
        const std::optional<qint64> newId = chosen.id;
        if (chosen.taken) {
            taken = newId;
        } else {
            if (newId)
                boxes.setBoxText(RecordId, QString::number(*newId));
            QVariantList values = memberFields(boxes);
            const std::optional<qint64> id = recordIdFrom(boxes.boxText(RecordId));
            values.append(id ? QVariant(*id) : QVariant(boxes.boxText(RecordId)));
            module.connection.execute(database::sql::kInsertMember, values);

            boxes.FillRoster();
            writeJournal(module, kAdded, boxes);
            change.commit();
        }
    }
    if (taken) {
        module.MsgBox(messages::newRecordIdTaken(*taken));
        return;
    }
    module.MsgBox(messages::recordAdded());
}

void updateMember(Module1 &module, EditTarget &boxes)
{
    const std::optional<qint64> id =
        memberToChange(module, boxes, Address, messages::nothingToUpdate(), QStringLiteral("Update"));
    if (id && changePickedMember(module, boxes, database::sql::kUpdateMember, memberFields(boxes) << *id, *id, kChanged))
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

    if (changePickedMember(module, boxes, database::sql::kDeleteMember, {*id}, *id, kDeleted))
        module.MsgBox(messages::recordDeleted());
}

} // namespace kelvory::changes
