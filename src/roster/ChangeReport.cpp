#include "roster/ChangeReport.h"

#include "roster/ChangeMessages.h"
#include "startup/Platform.h"

namespace kelvory::roster {

using Kind = changes::ChangeResult::Kind;

QString changeLines(const std::vector<changes::FieldChange> &changes)
{
    QStringList lines;
    for (const changes::FieldChange &change : changes)
        lines << messages::changedField(members::caption(change.field), change.picked, change.stored);
    return lines.join(kCrLf);
}

QString refusalText(const changes::ChangeResult &result, const QString &command)
{
    switch (result.kind) {
    case Kind::Done: break;
    case Kind::RequiredFieldEmpty:
        switch (result.field) {
        case members::Name: return messages::nothingToAdd();
        case members::Address: return messages::addressRequired();
        case members::City: return messages::cityRequired();
        default: return messages::phoneRequired();
        }
    case Kind::NothingToUpdate: return messages::nothingToUpdate();
    case Kind::NothingToDelete: return messages::nothingToDelete();
    case Kind::NoMemberPicked: return messages::noMemberPicked(command);
    case Kind::RecordIdNotWhole: return messages::recordIdNotWhole(result.id);
    case Kind::Unstorable: return messages::boxCannotBeStored(members::caption(result.field), result.problem);
    case Kind::Busy: return messages::rosterBusy();
    case Kind::ChangedElsewhere: return messages::changedElsewhere(changeLines(result.changes));
    case Kind::OtherMember:
        return messages::otherMember(result.changes.empty() ? QString() : result.changes.front().picked,
                                     result.stored ? (*result.stored)[members::Name] : QString());
    case Kind::Gone: return messages::memberGone(result.id);
    case Kind::Shared: return messages::recordIdShared(result.id, result.affected);
    case Kind::NewIdTaken: return messages::newRecordIdTaken(result.id);
    }
    return QString();
}

} // namespace kelvory::roster
