#pragma once

#include "changes/MemberDetails.h"
#include "output/CellSource.h"
#include "output/LabelLayout.h"
#include "output/StatusFilter.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <vector>

// The club's lists, from the roster grid and the members' details: birthdays and
// anniversaries of joining in a range of days, dues not paid through a day, and the
// emergency sheet. Nothing here paints or asks; the lists dialog shows and prints them.
namespace kelvory::output {

enum class ListKind { Birthdays, Anniversaries, DuesNotPaid, EmergencySheet };

struct ListMember
{
    QString recordId;
    QString name;
    QString address;
    QString city;
    QString phone;
    changes::MemberDetails details;
    changes::MemberStatus status() const { return details.status; }
};

// Every member of the grid's data rows, in the grid's order, with the details stored
// under the member's record id (none: the defaults, an active member).
std::vector<ListMember> listMembers(const CellSource &grid, const changes::DetailsBook &details);

struct ListRequest
{
    ListKind kind = ListKind::Birthdays;
    QDate from; // birthdays and anniversaries: the range of days, both included
    QDate to;
    QDate paidThrough; // dues
    Inclusion inclusion;
};

struct ListLine
{
    int member = 0; // in the members the list was made from
    QDate day;      // the birthday or anniversary, or the day dues are paid through
    int years = 0;  // the age reached or the years a member; 0 when not known
    bool round = false;
};

struct MemberList
{
    std::vector<ListLine> lines;
    // Members the list could not place: no birthday, no day joined; on the emergency
    // sheet, members with no emergency contact (listed all the same).
    int notPlaced = 0;
    StatusLeftOut leftOut;
};

// The day a yearly date of that month and day falls on in `year`: 29 February is kept
// on 28 February in a common year.
QDate dayInYear(int year, int month, int day);
// 80, 90, 100: an age the list marks. Anniversaries: 10, 20, 25, 30, 40, 50 ...
bool roundAge(int years);
bool roundAnniversary(int years);

MemberList buildList(const std::vector<ListMember> &members, const ListRequest &request);

// The list as it is shown and printed: a title, the column headings, one row of texts per
// line (marked rows are set in bold), and the notes under it (who was left out and why).
struct ListDocument
{
    QString title;
    QStringList headings;
    std::vector<int> widths; // each column's share of the line
    std::vector<QStringList> rows;
    std::vector<bool> marked;
    QStringList notes;
};
ListDocument listDocument(const std::vector<ListMember> &members, const ListRequest &request, const MemberList &list,
                          const QLocale &locale = QLocale());
// The same list for only some of its lines (the emergency sheet for the members picked).
MemberList onlyLines(const MemberList &list, const std::vector<int> &lines);

// The members of a list's lines, each once, as mailing labels take them.
AddressList listAddresses(const std::vector<ListMember> &members, const MemberList &list);

} // namespace kelvory::output
