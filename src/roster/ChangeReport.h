#pragma once

#include "changes/MemberChanges.h"

#include <QString>

namespace kelvory::roster {

// What the operator is told of a change that was not made, in the window's words.
// `command` names the button pressed.
QString refusalText(const changes::ChangeResult &result, const QString &command);

// One line per field that another workstation changed, from what to what.
QString changeLines(const std::vector<changes::FieldChange> &changes);

} // namespace kelvory::roster
