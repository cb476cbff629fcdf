#include "changes/MemberChanges.h"

#include "changes/EditTarget.h"
#include "database/Connection.h"
#include "database/DateText.h"
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

enum Box { Name = 0, Address = 1, City = 2, Phone = 3, Comment = 4, RecordId = 5 };

// Text that the database cannot store exactly is refused before anything is sent, so
// that a change never takes effect without its journal row.
bool boxesStorable(Module1 &module, const EditTarget &boxes)
{
    static const char *const names[5] = {"Name", "Address", "City, State, ZIP", "Phone", "Comment"};
    for (int k = Name; k <= Comment; ++k) {
        const QString problem = database::unstorableCharacter(boxes.boxText(k));
        if (!problem.isEmpty()) {
            module.MsgBox(unstorableMessage(QString::fromLatin1(names[k]), problem));
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

// The id of the picked member, or a message and nothing when no member is picked.
std::optional<qint64> pickedRecordId(Module1 &module, const EditTarget &boxes, const QString &command)
{
    const std::optional<qint64> id = recordIdFrom(boxes.boxText(RecordId));
    if (!id)
        module.MsgBox(noMemberPickedMessage(command));
    return id;
}

// Another workstation may have deleted the member since it was picked; nothing was
// changed, so nothing is journalled, and the grid is brought up to date.
void reportNoSuchMember(Module1 &module, EditTarget &boxes)
{
    boxes.FillRoster();
    module.MsgBox(noSuchMemberMessage(boxes.boxText(RecordId)));
}

} // namespace

QString unstorableMessage(const QString &boxName, const QString &problem)
{
    return QStringLiteral("The %1 box holds %2, which cannot be stored. Remove it and try again; nothing was changed.")
        .arg(boxName, problem);
}

QString noMemberPickedMessage(const QString &command)
{
    return QStringLiteral("No member is picked. Click on the member's row in the list first, then press %1.")
        .arg(command);
}

QString noSuchMemberMessage(const QString &recordId)
{
    return QStringLiteral("No member has the record id %1 any more; it may have been changed or deleted at "
                          "another computer. Nothing was changed. The list now shows the members as they are stored.")
        .arg(recordId);
}

QString transactionText(const QString &action, const EditTarget &boxes)
{
    const QString separator = QStringLiteral(": ");
    return action + boxes.boxText(Name) + separator + boxes.boxText(Address) + separator + boxes.boxText(City)
        + separator + boxes.boxText(Phone) + separator + boxes.boxText(Comment);
}

void writeJournal(Module1 &module, const QString &action, const EditTarget &boxes)
{
    module.connection.execute(database::sql::kInsertJournal,
                              {QDate::currentDate(), module.OperatorFirstName, transactionText(action, boxes)});
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
    bool ok = false;
    qint64 largest = largestStored.toLongLong(&ok);
    if (!ok) {
        const double value = readLeadingNumber(database::displayText(largestStored));
        if (!std::isfinite(value) || std::abs(value) >= 9.0e18)
            throw database::Failure(QStringLiteral("6"), QStringLiteral("Overflow: the largest record id is %1")
                                                             .arg(database::displayText(largestStored)));
        largest = static_cast<qint64>(std::floor(value));
    }
    if (largest == std::numeric_limits<qint64>::max())
        throw database::Failure(QStringLiteral("6"), QStringLiteral("Overflow: the largest record id is %1").arg(largest));
    return largest + 1;
}

void addMember(Module1 &module, EditTarget &boxes)
{
    const std::pair<Box, const char *> required[] = {
        {Name, "Nothing to Add"},
        {Address, "Address is required"},
        {City, "`City State ZIP` is required"},
        {Phone, "Phone is required"},
    };
    for (const auto &[box, message] : required) {
        if (boxes.boxText(box).isEmpty()) {
            module.MsgBox(QString::fromLatin1(message));
            return;
        }
    }
    if (!boxesStorable(module, boxes))
        return;

    database::ResultSet largest = module.connection.query(database::sql::kMaxRecordId);
    if (!largest.eof())
        boxes.setBoxText(RecordId, QString::number(nextRecordId(largest.field(0))));

    QVariantList values = memberFields(boxes);
    const std::optional<qint64> id = recordIdFrom(boxes.boxText(RecordId));
    values.append(id ? QVariant(*id) : QVariant(boxes.boxText(RecordId)));
    module.connection.execute(database::sql::kInsertMember, values);

    boxes.FillRoster();
    writeJournal(module, kAdded, boxes);
    module.MsgBox(QStringLiteral("Record Added"));
}

void updateMember(Module1 &module, EditTarget &boxes)
{
    if (boxes.boxText(Address).isEmpty()) {
        module.MsgBox(QStringLiteral("Nothing to update"));
        return;
    }
    const std::optional<qint64> id = pickedRecordId(module, boxes, QStringLiteral("Update"));
    if (!id || !boxesStorable(module, boxes))
        return;

    QVariantList values = memberFields(boxes);
    values.append(*id);
    if (module.connection.execute(database::sql::kUpdateMember, values) == 0) {
        reportNoSuchMember(module, boxes);
        return;
    }

    boxes.FillRoster();
    writeJournal(module, kChanged, boxes);
    module.MsgBox(QStringLiteral("Record Updated"));
}

void deleteMember(Module1 &module, EditTarget &boxes)
{
    if (boxes.boxText(RecordId).isEmpty()) {
        module.MsgBox(QStringLiteral("Nothing to Delete"));
        return;
    }
    const std::optional<qint64> id = pickedRecordId(module, boxes, QStringLiteral("DELETE"));
    if (!id || !boxesStorable(module, boxes))
        return;

    const int answer = module.MsgBox(QStringLiteral("Are you sure you want to Delete ") + boxes.boxText(Name), MB_YESNO,
                                     QStringLiteral("DELETE"));
    if (answer != IDYES)
        return;

    if (module.connection.execute(database::sql::kDeleteMember, {*id}) == 0) {
        reportNoSuchMember(module, boxes);
        return;
    }

    boxes.FillRoster();
    writeJournal(module, kDeleted, boxes);
    module.MsgBox(QStringLiteral("Record Deleted"));
}

} // namespace kelvory::changes
