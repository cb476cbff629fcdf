#pragma once

#include "changes/DetailsHistory.h"
#include "changes/MemberChanges.h"

#include <QDate>
#include <QString>

#include <map>
#include <optional>
#include <vector>

namespace kelvory::changes {

// A journal row as the history window lists it: its three cells, and which of the rows
// with the very same three cells it is, counted from the top (0 for the first).
struct JournalEntry
{
    QString date;
    QString person;
    QString transaction;
    int occurrence = 0;
};

// The kept row a journal row stands for, when it has one: the journal's rows and the
// kept rows of the same day, person and text are paired newest with newest.
struct KeptRow
{
    qint64 historyId = 0;
    QString importMark;
};
std::optional<KeptRow> keptRowOf(database::Connection &connection, const JournalEntry &entry);
// The same among the kept rows that `rowsOfDay` gives for a day: historyId, person,
// journal text and (when it gives one) the import's mark, newest first.
std::optional<KeptRow> pairedKeptRow(database::Connection &connection, const QString &rowsOfDay,
                                     const JournalEntry &entry);

// What an undo did. Nothing is shown to the operator here: the window says it.
struct UndoResult
{
    enum class Kind {
        Done,
        NoTable,      // the database keeps no values: the administrator must make the table
        NoKeptValues, // the journal row was written without them (before the table, or elsewhere)
        AlreadyTakenBack,
        ChangedSince, // `stored` differs from what the change stored, in `changes`
        OtherMember,  // another name is stored under the id: never touched
        Gone,         // no member holds the id any more
        NewIdTaken,   // a deleted member's id and the one after the largest are both held
        Busy,
    };
    Kind kind = Kind::Done;
    // Done: the journal action the undo wrote (kAdded, kChanged or kDeleted) and the
    // fields it wrote with it.
    QString action;
    members::Fields fields;
    // The member's id: the one it comes back with after a Delete is taken back.
    qint64 id = 0;
    // Done: a deleted member came back with a new id, its own being held by another member.
    bool newId = false;
    qint64 formerId = 0;
    // ChangedSince, OtherMember: the member as the change left it, and as stored now.
    MemberRow kept;
    std::optional<MemberRow> stored;
    std::vector<FieldChange> changes;

    bool done() const { return kind == Kind::Done; }
};

// Takes back the change that a journal row stands for: an Added member is deleted, a
// Changed one gets its old fields back, a Deleted one comes back (with its own id when
// no member holds it). The member must be as the change left it: otherwise ChangedSince,
// and the undo goes on only when called again with `accepted`, the stored member the
// operator has seen. The undo is a change of its own: a journal row and kept values.
UndoResult undo(ChangeStore &store, const JournalEntry &entry, const std::optional<MemberRow> &accepted = {});

// What the undo of a change of details did. The window says it.
struct DetailsUndoResult
{
    enum class Kind {
        Done,
        NoTable,      // the database keeps no details' values: the administrator must make the table
        NoKeptValues, // the journal row was written without them
        AlreadyTakenBack,
        AlreadyAsBefore, // the details are as they were before the change: nothing to take back
        ChangedSince,    // `stored` differs from what the change stored, in `differences`
        OtherMember,     // another name (`storedName`) is stored under the id: never touched
        Gone,            // no member holds the id any more
        Busy,
    };
    Kind kind = Kind::Done;
    qint64 id = 0;
    // The member's name as the change named it, and as stored now.
    QString name;
    QString storedName;
    // ChangedSince: the details as stored now, which the operator may accept.
    MemberDetails stored;
    std::vector<DetailDifference> differences;
    // Done: what the undo changed, in the journal's words.
    QStringList changes;

    bool done() const { return kind == Kind::Done; }
};

// Takes back the change of details that a journal row ("Details : ...") stands for: the
// member's details get the values back that the change replaced, while they are still as
// the change left them; otherwise ChangedSince, and the undo goes on only when called
// again with `accepted`, the stored details the operator has seen. The undo is a change
// of details of its own: a journal row and kept values.
DetailsUndoResult undoDetails(ChangeStore &store, const JournalEntry &entry,
                              const std::optional<MemberDetails> &accepted = {});

// One member of an import that was changed since it was imported, or whose id another
// member holds now.
struct ImportMember
{
    MemberRow imported;
    MemberRow stored;
    std::vector<FieldChange> changes;
};

// What taking back an import did (or, from previewImportTakeBack, would do).
struct ImportTakeBack
{
    enum class Kind { Done, NoTable, NotAnImport, Busy };
    Kind kind = Kind::Done;
    int removed = 0;
    // Kept, unless the operator chose to remove them too.
    std::vector<ImportMember> changedSince;
    // Never touched: another name is stored under the id.
    std::vector<ImportMember> otherMember;
    // Deleted or taken back already.
    int gone = 0;

    bool done() const { return kind == Kind::Done; }
};

// Every member the import marked `importMark` added is deleted when it is as the import
// stored it, each with its journal row and kept values, in one transaction. A member
// changed since is kept, unless it is in `alsoRemove` (by id) exactly as stored now.
ImportTakeBack takeBackImport(ChangeStore &store, const QString &importMark,
                              const std::map<qint64, MemberRow> &alsoRemove = {});
// The same, storing nothing: what takeBackImport would do now.
ImportTakeBack previewImportTakeBack(ChangeStore &store, const QString &importMark);

} // namespace kelvory::changes
