#pragma once

#include "changes/Journal.h"
#include "changes/RecordIds.h"
#include "database/MemberFields.h"

#include <QString>

#include <array>
#include <variant>
#include <optional>
#include <vector>

namespace kelvory::changes {

// A member's six fields as a grid row or the edit boxes hold them, record id last.
using MemberRow = std::array<QString, members::kRosterColumnCount>;

// A member's five fields, name to comment, of a row.
members::Fields fieldsOf(const MemberRow &row);

// What the operator asks a change of: the six boxes as typed, and the member the boxes
// were filled from (its row as the grid showed it when it was picked, or as this
// workstation last stored it; nothing when there is none). Update and DELETE compare the
// picked member with what is stored, so that a change made elsewhere is never
// overwritten unseen.
struct MemberEdit
{
    MemberRow boxes;
    std::optional<MemberRow> picked;

    members::Fields fields() const;
};

// One field that differs between the member as picked and as stored.
struct FieldChange
{
    int field;
    QString picked;
    QString stored;
};
std::vector<FieldChange> changedFields(const MemberRow &picked, const MemberRow &stored);

// What a change command did. Nothing is shown to the operator here: the window says it.
struct ChangeResult
{
    enum class Kind {
        Done,
        // Refused before anything was sent:
        RequiredFieldEmpty, // `field`: the first required box that is empty (Add New)
        NothingToUpdate,
        NothingToDelete,
        NoMemberPicked,
        RecordIdNotWhole,
        Unstorable, // `field` holds `problem`, which the database cannot store exactly
        // Nothing was stored:
        Busy,             // another session held a lock past the time-out
        ChangedElsewhere, // `stored` differs from the picked member in `changes`
        OtherMember,      // the stored member under the id has another name than the picked one
        Gone,             // no member holds the id any more
        Shared,           // `affected` members hold the id
        NewIdTaken,       // `id`, the one after the largest, is held already (Add New)
    };
    Kind kind = Kind::Done;
    int field = -1;
    QString problem;
    // Add New: the id given (the id box as typed when the server gave no largest id);
    // NewIdTaken: the id that was held; otherwise the picked member's id.
    QString id;
    qint64 affected = 0;
    // Done: the member as stored after the change (none after a DELETE); ChangedElsewhere,
    // OtherMember: as stored now.
    std::optional<MemberRow> stored;
    std::vector<FieldChange> changes;

    bool done() const { return kind == Kind::Done; }
};

// The member's five stored fields with the id as `idText` gives it, read under the lock
// that the caller's transaction then holds; nothing unless exactly one member holds the id.
std::optional<MemberRow> storedMember(database::Connection &connection, qint64 id, const QString &idText);

// The checks DELETE makes before asking the operator; Done when it may ask.
ChangeResult checkRemove(const MemberEdit &edit);

// Add New, Update and DELETE. Each stores its change and its journal row in one
// transaction (both are stored, or neither), or nothing at all.
ChangeResult add(ChangeStore &store, const MemberEdit &edit);
ChangeResult update(ChangeStore &store, const MemberEdit &edit);
ChangeResult remove(ChangeStore &store, const MemberEdit &edit);

} // namespace kelvory::changes
