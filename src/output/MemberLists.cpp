#include "output/MemberLists.h"

#include "changes/RecordIds.h"
#include "database/DateText.h"
#include "database/MemberFields.h"
#include "output/YearMessages.h"

#include <algorithm>

namespace kelvory::output {

using changes::EmergencyContact;

namespace {

QString tidied(QStringView text)
{
    return text.toString().simplified();
}

QString contactText(const EmergencyContact &contact)
{
    if (contact.isEmpty())
        return {};
    return contact.relationship.isEmpty() ? messages::contactLineWithoutRelationship(contact.name, contact.phone)
                                          : messages::contactLine(contact.name, contact.relationship, contact.phone);
}

// Each day of a yearly date of that month and day within the range, with its year.
template <class Each> void eachYearlyDay(int month, int day, QDate from, QDate to, Each &&each)
{
    for (int year = from.year(); year <= to.year(); ++year) {
        const QDate on = dayInYear(year, month, day);
        if (on >= from && on <= to)
            each(on);
    }
}

QString countText(int count, QString (*one)(), QString (*many)(const int &))
{
    return count == 1 ? one() : many(count);
}

} // namespace

std::vector<ListMember> listMembers(const CellSource &grid, const changes::DetailsBook &details)
{
    std::vector<ListMember> all;
    const int rows = grid.rows();
    if (grid.cols() <= members::RecordId)
        return all;
    for (int r = 1; r < rows; ++r) {
        bool anyText = false;
        for (int c = 0; c < grid.cols() && !anyText; ++c)
            anyText = !grid.cell(r, c).trimmed().isEmpty();
        if (!anyText)
            continue;
        ListMember member{tidied(grid.cell(r, members::RecordId)), tidied(grid.cell(r, members::Name)),
                          tidied(grid.cell(r, members::Address)),  tidied(grid.cell(r, members::City)),
                          tidied(grid.cell(r, members::Phone)),    {}};
        if (const std::optional<qint64> id = changes::recordIdFrom(member.recordId))
            member.details = details.value(*id);
        all.push_back(std::move(member));
    }
    return all;
}

QDate dayInYear(int year, int month, int day)
{
    if (month == 2 && day == 29 && !QDate::isLeapYear(year))
        return QDate(year, 2, 28);
    return QDate(year, month, day);
}

bool roundAge(int years)
{
    return years >= 10 && years % 10 == 0;
}

bool roundAnniversary(int years)
{
    return years >= 10 && (years % 10 == 0 || years % 25 == 0);
}

MemberList buildList(const std::vector<ListMember> &members, const ListRequest &request)
{
    MemberList list;
    for (int m = 0; m < static_cast<int>(members.size()); ++m) {
        const changes::MemberDetails &details = members[static_cast<std::size_t>(m)].details;
        std::vector<ListLine> lines;
        bool placed = true;
        switch (request.kind) {
        case ListKind::Birthdays:
            placed = details.birth.known();
            if (placed) {
                eachYearlyDay(details.birth.month, details.birth.day, request.from, request.to, [&](QDate on) {
                    const int age = details.birth.year > 0 ? on.year() - details.birth.year : 0;
                    lines.push_back({m, on, age, roundAge(age)});
                });
            }
            break;
        case ListKind::Anniversaries:
            placed = details.joined.isValid();
            if (placed) {
                eachYearlyDay(details.joined.month(), details.joined.day(), request.from, request.to, [&](QDate on) {
                    const int years = on.year() - details.joined.year();
                    if (years > 0)
                        lines.push_back({m, on, years, roundAnniversary(years)});
                });
            }
            break;
        case ListKind::DuesNotPaid:
            if (!details.duesPaidThrough.isValid() || details.duesPaidThrough < request.paidThrough)
                lines.push_back({m, details.duesPaidThrough, 0, false});
            break;
        case ListKind::EmergencySheet:
            placed = !details.contacts[0].isEmpty() || !details.contacts[1].isEmpty();
            lines.push_back({m, {}, 0, false});
            break;
        }
        // Only those the list would hold are counted as left out for their status.
        if (!kept(details.status, request.inclusion)) {
            if (!lines.empty())
                ++(details.status == changes::MemberStatus::Resigned ? list.leftOut.resigned : list.leftOut.passedAway);
            continue;
        }
        if (!placed)
            ++list.notPlaced;
        list.lines.insert(list.lines.end(), lines.begin(), lines.end());
    }
    // By day where the list goes by days; members of one day stay in the grid's (name) order.
    if (request.kind == ListKind::Birthdays || request.kind == ListKind::Anniversaries) {
        std::stable_sort(list.lines.begin(), list.lines.end(),
                         [](const ListLine &a, const ListLine &b) { return a.day < b.day; });
    }
    return list;
}

MemberList onlyLines(const MemberList &list, const std::vector<int> &lines)
{
    MemberList some = list;
    some.lines.clear();
    for (const int line : lines)
        some.lines.push_back(list.lines.at(static_cast<std::size_t>(line)));
    return some;
}

ListDocument listDocument(const std::vector<ListMember> &members, const ListRequest &request, const MemberList &list,
                          const QLocale &locale)
{
    ListDocument document;
    auto day = [&](QDate on) { return database::shortDateText(on, locale); };
    bool anyRound = false;
    for (const ListLine &line : list.lines) {
        const ListMember &member = members.at(static_cast<std::size_t>(line.member));
        const QString years =
            line.years > 0 ? QString::number(line.years) + (line.round ? QStringLiteral(" *") : QString()) : QString();
        anyRound = anyRound || line.round;
        switch (request.kind) {
        case ListKind::Birthdays:
        case ListKind::Anniversaries: document.rows.push_back({day(line.day), member.name, years, member.phone}); break;
        case ListKind::DuesNotPaid:
            document.rows.push_back(
                {member.name, line.day.isValid() ? day(line.day) : messages::neverPaid(), member.phone});
            break;
        case ListKind::EmergencySheet:
            document.rows.push_back({member.name, member.phone, contactText(member.details.contacts[0]),
                                     contactText(member.details.contacts[1])});
            break;
        }
        document.marked.push_back(line.round);
    }
    switch (request.kind) {
    case ListKind::Birthdays:
        document.title = messages::birthdaysTitle(day(request.from), day(request.to));
        document.headings = {messages::dayHeading(), messages::nameHeading(), messages::ageHeading(),
                             messages::phoneHeading()};
        document.widths = {3, 8, 2, 4};
        if (anyRound)
            document.notes << messages::roundAgeNote();
        if (list.notPlaced > 0)
            document.notes << countText(list.notPlaced, messages::oneWithoutBirthday<>,
                                        messages::manyWithoutBirthday<int>);
        break;
    case ListKind::Anniversaries:
        document.title = messages::anniversariesTitle(day(request.from), day(request.to));
        document.headings = {messages::dayHeading(), messages::nameHeading(), messages::yearsHeading(),
                             messages::phoneHeading()};
        document.widths = {3, 8, 2, 4};
        if (anyRound)
            document.notes << messages::roundAnniversaryNote();
        if (list.notPlaced > 0)
            document.notes << countText(list.notPlaced, messages::oneWithoutJoined<>, messages::manyWithoutJoined<int>);
        break;
    case ListKind::DuesNotPaid:
        document.title = messages::duesTitle(day(request.paidThrough));
        document.headings = {messages::nameHeading(), messages::paidThroughHeading(), messages::phoneHeading()};
        document.widths = {8, 4, 4};
        break;
    case ListKind::EmergencySheet:
        document.title = messages::emergencyTitle();
        document.headings = {messages::nameHeading(), messages::phoneHeading(), messages::firstToCallHeading(),
                             messages::thenHeading()};
        document.widths = {4, 3, 7, 7};
        if (list.notPlaced > 0)
            document.notes << countText(list.notPlaced, messages::oneWithoutContact<>,
                                        messages::manyWithoutContact<int>);
        break;
    }
    if (list.leftOut.total() > 0)
        document.notes << messages::printedLeftOut(leftOutParts(list.leftOut));
    return document;
}

AddressList listAddresses(const std::vector<ListMember> &members, const MemberList &list)
{
    AddressList addresses;
    std::vector<bool> taken(members.size(), false);
    for (const ListLine &line : list.lines) {
        const std::size_t m = static_cast<std::size_t>(line.member);
        if (taken[m])
            continue;
        taken[m] = true;
        const ListMember &member = members[m];
        if (member.address.isEmpty())
            ++addresses.withoutAddress;
        else
            addresses.addresses.push_back({member.name, member.address, member.city});
    }
    return addresses;
}

} // namespace kelvory::output
