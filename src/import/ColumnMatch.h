#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

namespace kelvory::import {

// Where a column of the file goes. The roster keeps city, state and ZIP in one text and
// the name as "Last, First": their parts are joined into that form.
enum class Target {
    LeftOut,
    Name,
    LastName,
    FirstName,
    Address,
    CityStateZip,
    City,
    State,
    Zip,
    Phone,
    Comment,
};
inline constexpr int kTargetCount = 11;

// As the preview offers it ("Name", "Last name", ..., "(left out)").
QString targetCaption(Target target);

// A heading without regard to case, blanks and punctuation: "City, State, Zip" and
// "CITY STATE ZIP" are one key.
QString headingKey(QStringView heading);

struct ColumnMatch
{
    // One per column of the widest record.
    std::vector<Target> targets;
    // The file has a heading row (else columns are matched by position), and which record
    // it is: title lines above it ("Members 2026") are passed over.
    bool headingRow = false;
    std::size_t headingRecord = 0;
};

// Matches the columns by the headings of the first record that has any this program
// knows, or of a later one among the first ten with two or more (the first ones then
// being title lines); when there is none, by position in the roster's order (name,
// address, city-state-ZIP, phone, comment). A second column with a heading already
// matched is left out.
ColumnMatch matchColumns(const std::vector<QStringList> &records);

// Whether the columns give every member a name.
bool hasNameColumn(const ColumnMatch &match);

// The five fields of a member in the roster's form.
using MemberFields = std::array<QString, 5>;

// One record's member: the fields the matched columns give, parts joined; columns a
// record is short of count as empty; several columns with one target are joined by a blank.
MemberFields memberFrom(const QStringList &record, const ColumnMatch &match);

} // namespace kelvory::import
