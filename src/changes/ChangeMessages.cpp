#include "changes/ChangeMessages.h"

namespace kelvory::changes::messages {

QString recordAdded()
{
    return QStringLiteral("Record Added");
}

QString recordUpdated()
{
    return QStringLiteral("Record Updated");
}

QString recordDeleted()
{
    return QStringLiteral("Record Deleted");
}

QString nothingToUpdate()
{
    return QStringLiteral("Nothing to update");
}

QString nothingToDelete()
{
    return QStringLiteral("Nothing to Delete");
}

QString deleteQuestion(const QString &name)
{
    return QStringLiteral("Are you sure you want to Delete ") + name;
}

QString deleteQuestionTitle()
{
    return QStringLiteral("DELETE");
}

QString boxCannotBeStored(const QString &boxName, const QString &problem)
{
    return QStringLiteral("The %1 box holds %2, which cannot be stored. Remove it and try again; nothing was changed.")
        .arg(boxName, problem);
}

QString noMemberPicked(const QString &command)
{
    return QStringLiteral("No member is picked. Click on the member's row in the list first, then press %1.")
        .arg(command);
}

QString recordIdNotWhole(const QString &recordId)
{
    return QStringLiteral("The record id of this member, \"%1\", is not a whole number, so the member cannot be "
                          "changed or deleted here. Nothing was changed. Ask the administrator of the club's "
                          "database to give the member a whole-number record id.")
        .arg(recordId);
}

QString recordIdShared(qint64 recordId, qint64 members)
{
    return QStringLiteral("The record id %1 is shared by %2 members, so the program cannot tell them apart. Nothing "
                          "was changed. The administrator of the club's database must give each of these members a "
                          "record id of its own.")
        .arg(recordId)
        .arg(members);
}

QString newRecordIdTaken(qint64 recordId)
{
    return QStringLiteral("The new member was not stored: the record id %1, the one after the largest record id "
                          "found, is held by a member already. Nothing was changed. Ask the administrator of the "
                          "club's database to look at the record ids (they may be stored as text).")
        .arg(recordId);
}

QString memberGone(const QString &recordId)
{
    return QStringLiteral("No member has the record id %1 any more; it may have been changed or deleted at "
                          "another computer. Nothing was changed. The list now shows the members as they are stored.")
        .arg(recordId);
}

QString largestRecordIdOverflows(const QString &largest)
{
    return QStringLiteral("Overflow: the largest record id is %1").arg(largest);
}

} // namespace kelvory::changes::messages
