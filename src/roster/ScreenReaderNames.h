#pragma once

namespace kelvory::roster {

class RosterForm;

// Gives every control of the main window that a screen reader reaches a name that says
// what it is: the edit boxes by their captions, the grid as the member roster, the
// counters as what they count. Names and descriptions only; nothing visible changes.
void nameForScreenReaders(RosterForm &form);

} // namespace kelvory::roster
