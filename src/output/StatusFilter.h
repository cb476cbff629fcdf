#pragma once

#include "changes/MemberDetails.h"
#include "output/CellSource.h"

#include <QString>

#include <vector>

// The members the club's own outputs (labels, lists, the emergency sheet) leave out
// unless the operator ticks them in: those who resigned and those who passed away.
namespace kelvory::output {

struct Inclusion
{
    bool resigned = false;
    bool passedAway = false;
    // 0 to 3, for keeping one result per choice.
    int index() const { return (resigned ? 1 : 0) + (passedAway ? 2 : 0); }
    static Inclusion fromIndex(int index) { return {(index & 1) != 0, (index & 2) != 0}; }
};

struct StatusLeftOut
{
    int resigned = 0;
    int passedAway = 0;
    int total() const { return resigned + passedAway; }
};

// Whether the inclusion keeps a member of that status.
bool kept(changes::MemberStatus status, Inclusion inclusion);

// The grid's heading row and the rows of the members the inclusion keeps, in the grid's
// order; a row holding no text at all passes as it is (it is the grid's empty row).
class KeptRows final : public CellSource
{
public:
    KeptRows(const CellSource &grid, const changes::StatusBook &statuses, Inclusion inclusion);

    int rows() const override { return static_cast<int>(m_rows.size()); }
    int cols() const override { return m_grid.cols(); }
    QStringView cell(int row, int col) const override
    {
        return m_grid.cell(m_rows[static_cast<std::size_t>(row)], col);
    }

    const StatusLeftOut &leftOut() const { return m_leftOut; }

private:
    const CellSource &m_grid;
    std::vector<int> m_rows;
    StatusLeftOut m_leftOut;
};

// A grid row's member's status; active when the row's id has no details or is no number.
changes::MemberStatus statusOfRow(const CellSource &grid, int row, const changes::StatusBook &statuses);

// "Left out: 2 members who resigned and 1 member who passed away." Empty when nobody is.
QString leftOutText(const StatusLeftOut &leftOut);
// "2 members who resigned and 1 member who passed away"
QString leftOutParts(const StatusLeftOut &leftOut);

} // namespace kelvory::output
