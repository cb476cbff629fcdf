#pragma once

#include "changes/MemberDetails.h"
#include "output/CellSource.h"

#include <QString>

// The members the club's own outputs (labels, lists, the emergency sheet) leave out
// unless the operator ticks them in: those who resigned and those who passed away.
namespace kelvory::output {

struct Inclusion
{
    bool resigned = false;
    bool passedAway = false;
};

struct StatusLeftOut
{
    int resigned = 0;
    int passedAway = 0;
    int total() const { return resigned + passedAway; }
};

// Whether the inclusion keeps a member of that status.
bool kept(changes::MemberStatus status, Inclusion inclusion);

// A grid row's member's status; active when the row's id has no details or is no number.
changes::MemberStatus statusOfRow(const CellSource &grid, int row, const changes::StatusBook &statuses);

// "Left out: 2 members who resigned and 1 member who passed away." Empty when nobody is.
QString leftOutText(const StatusLeftOut &leftOut);
// "2 members who resigned and 1 member who passed away"
QString leftOutParts(const StatusLeftOut &leftOut);

} // namespace kelvory::output
