#pragma once

#include "common/Placing.h"
#include "database/MemberFields.h"

#include <array>

namespace kelvory::roster {

// Where each of the roster's columns shows on the main window.
struct RosterColumnLayout
{
    const char *heading; // row 0 of the grid; none for the record id
    int width;           // of the grid column, in twips (4: there but not seen)
    int captionLabel;    // the Label1 that shows the box's caption
    Placing captionPlace;
    Placing box;
    int counterLimit; // a character counter turns red above it; 0: the box has none
    Placing counterPlace;
};

// The heading "City, State, Zip" differs from the box's caption in its last word, as the
// club's printed forms have always had it.
inline constexpr std::array<RosterColumnLayout, members::kRosterColumnCount> kRosterColumns = {{
    {"Name", 2000, 0, {360, 7350, 1035, 285}, {210, 7650, 2385, 330}, 24, {1230, 7380, 645, 255}},
    {"Address", 2600, 1, {2670, 7350, 1035, 285}, {2580, 7650, 3255, 330}, 30, {3990, 7380, 645, 255}},
    {"City, State, Zip", 2500, 2, {5970, 7350, 2085, 285}, {5880, 7650, 2295, 330}, 0, {}},
    {"Phone", 1800, 3, {8280, 7350, 1035, 285}, {8220, 7650, 1305, 330}, 0, {}},
    {"Comment", 3000, 4, {9660, 7350, 1455, 285}, {9600, 7650, 3015, 330}, 0, {}},
    {nullptr, 4, 6, {7740, 8460, 1485, 285}, {7290, 8460, 405, 330}, 0, {}},
}};

inline constexpr const RosterColumnLayout &columnLayout(int column)
{
    return kRosterColumns[static_cast<std::size_t>(column)];
}

} // namespace kelvory::roster
