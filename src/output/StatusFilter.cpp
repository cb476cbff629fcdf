#include "output/StatusFilter.h"

#include "changes/RecordIds.h"
#include "database/MemberFields.h"
#include "output/YearMessages.h"

namespace kelvory::output {

using changes::MemberStatus;

bool kept(MemberStatus status, Inclusion inclusion)
{
    switch (status) {
    case MemberStatus::Resigned: return inclusion.resigned;
    case MemberStatus::PassedAway: return inclusion.passedAway;
    default: return true;
    }
}

MemberStatus statusOfRow(const CellSource &grid, int row, const changes::StatusBook &statuses)
{
    if (statuses.isEmpty() || grid.cols() <= members::RecordId)
        return MemberStatus::Active;
    const std::optional<qint64> id = changes::recordIdFrom(grid.cell(row, members::RecordId).trimmed().toString());
    return id ? statuses.value(*id, MemberStatus::Active) : MemberStatus::Active;
}

QString leftOutParts(const StatusLeftOut &leftOut)
{
    QStringList parts;
    if (leftOut.resigned > 0)
        parts << (leftOut.resigned == 1 ? messages::oneWhoResigned() : messages::manyWhoResigned(leftOut.resigned));
    if (leftOut.passedAway > 0)
        parts << (leftOut.passedAway == 1 ? messages::oneWhoPassedAway()
                                          : messages::manyWhoPassedAway(leftOut.passedAway));
    return parts.join(messages::andWord());
}

QString leftOutText(const StatusLeftOut &leftOut)
{
    return leftOut.total() == 0 ? QString() : messages::leftOutForStatus(leftOutParts(leftOut));
}

} // namespace kelvory::output
