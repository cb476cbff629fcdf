#pragma once

#include "changes/Journal.h"
#include "database/Restore.h"

#include <optional>

namespace kelvory::changes {

struct PutBackResult
{
    database::RestoreOutcome outcome;
    // What changed in the roster; nothing when the file as it was could not be read.
    std::optional<database::CopyDifference> difference;
};

// Puts a copy of the embedded database back (database::putBackCopy). What the file holds
// beyond the members stays as it is now: the journal rows written since the copy was
// made, the operators' status and the version row. Every member the copy brings back,
// removes or changes gets its journal row and kept values, so that the roster's story
// stays whole and each can be taken back like any change.
PutBackResult putBack(ChangeStore &store, const QString &copy, const QString &folder);

} // namespace kelvory::changes
