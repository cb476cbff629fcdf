#pragma once

#include "common/Placing.h"

#include <array>

namespace kelvory::roster {

// The roster's columns. Column k of the roster grid, the edit box Text1(k) and field k of
// the members table hold the same value of a member; every part of the program that
// reads or writes a member goes by this order.
enum RosterColumn : int { Name, Address, City, Phone, Comment, RecordId };
inline constexpr int kRosterColumnCount = 6;
// The fields the operator edits, name to comment; the record id follows them.
inline constexpr int kMemberFieldCount = 5;

struct RosterColumnFacts
{
    const char *heading;    // row 0 of the grid; none for the record id
    int width;              // of the grid column, in twips (4: there but not seen)
    const char *caption;    // of the edit box, and the box's name in messages
    int captionLabel;       // the Label1 that shows the caption
    Placing captionPlace;
    Placing box;
    int counterLimit;       // a character counter turns red above it; 0: the box has none
    Placing counterPlace;
    const char *required;   // Add New's message when the box is empty; none: not required
    int printColumn;        // where the printout starts the field; 0: not printed
};

inline constexpr std::array<RosterColumnFacts, kRosterColumnCount> kRosterColumns = {{
    {"Name", 2000, "Name", 0, {360, 7350, 1035, 285}, {210, 7650, 2385, 330}, 24, {1230, 7380, 645, 255},
     "Nothing to Add", 1},
    {"Address", 2600, "Address", 1, {2670, 7350, 1035, 285}, {2580, 7650, 3255, 330}, 30, {3990, 7380, 645, 255},
     "Address is required", 28},
    {"City, State, Zip", 2500, "City, State, ZIP", 2, {5970, 7350, 2085, 285}, {5880, 7650, 2295, 330}, 0, {},
     "`City State ZIP` is required", 62},
    {"Phone", 1800, "Phone", 3, {8280, 7350, 1035, 285}, {8220, 7650, 1305, 330}, 0, {}, "Phone is required", 93},
    {"Comment", 3000, "Comment", 4, {9660, 7350, 1455, 285}, {9600, 7650, 3015, 330}, 0, {}, nullptr, 110},
    {nullptr, 4, "Record ID", 6, {7740, 8460, 1485, 285}, {7290, 8460, 405, 330}, 0, {}, nullptr, 0},
}};

inline constexpr const RosterColumnFacts &columnFacts(int column)
{
    return kRosterColumns[static_cast<std::size_t>(column)];
}

} // namespace kelvory::roster
