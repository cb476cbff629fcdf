#pragma once

#include "import/ColumnMatch.h"
#include "import/ImportFile.h"

#include <QString>

#include <array>
#include <vector>

namespace kelvory::import {

// What the import will do with a row of the file.
enum class Verdict { Added, OnRoster, PossiblyOnRoster, Unusable };
inline constexpr int kVerdictCount = 4;

// A member as the roster holds it, for comparing.
struct RosterEntry
{
    QString name;
    QString address;
};

// The most characters each of the five fields may hold; 0 for no limit.
using FieldWidths = std::array<int, 5>;

// A text for comparing names and addresses without regard to case, accents, blanks and
// punctuation: "Anne-Marie", "anne marie" and "ANNE MARIE" are one key; so are "Zoë" and "Zoe".
QString matchKey(QStringView text);

struct PreviewRow
{
    int fileRow = 0; // counted from 1, the heading row included, as a spreadsheet counts
    MemberFields member;
    Verdict verdict = Verdict::Added;
    QString note; // whom it meets, or why it is unusable
};

struct Preview
{
    std::vector<PreviewRow> rows;
    std::array<int, kVerdictCount> counts = {};
    bool headingRow = false;
};

// Every row of the file below its heading row (but rows with nothing in them) with its
// verdict: unusable (marked so by the reading, no name, a text the database cannot store
// exactly, a value longer than its column holds); a field's line breaks become ", ";
// already on the roster (the same name and the same address as a member, or as an earlier
// row of the file); possibly on the roster (the same name at another address, or the same
// address with the same words of the name in another order); else added.
Preview makePreview(const ImportTable &table, const ColumnMatch &match, const std::vector<RosterEntry> &roster,
                    const FieldWidths &widths);

struct MemberToStore
{
    MemberFields fields;
    // Not on the roster when the preview was made: left out if another workstation has
    // added the same member since.
    bool leftOutIfOnRosterNow = true;
};

// The members the import stores: those to be added, and those already on the roster
// when the operator asks for them too.
std::vector<MemberToStore> membersToStore(const Preview &preview, bool alreadyOnRosterToo);

// "12 to be added, 3 already on the roster, 1 possibly on the roster, 2 unusable".
QString previewCounts(const Preview &preview);
QString verdictCaption(Verdict verdict);

} // namespace kelvory::import
