#include "import/TakeBackImport.h"

#include "changes/Undo.h"
#include "common/Messages.h"
#include "import/ImportStore.h"
#include "startup/Module1.h"

namespace kelvory::import {

namespace messages {
#include "import/TakeBackMessages.def"
} // namespace messages

namespace {

// A long list would not fit a message box; the first members say enough.
constexpr int kListedMembers = 15;

QString memberLines(const std::vector<changes::ImportMember> &members, bool withFields)
{
    QStringList lines;
    int listed = 0;
    for (const changes::ImportMember &member : members) {
        if (listed++ == kListedMembers) {
            lines << messages::moreLines(qint64(members.size()) - kListedMembers);
            break;
        }
        lines << messages::memberLine(member.imported[members::Name], member.imported[members::RecordId]);
        if (!withFields)
            continue;
        for (const changes::FieldChange &change : member.changes)
            lines << messages::fieldLine(members::caption(change.field), change.picked, change.stored);
    }
    return lines.join(kCrLf);
}

std::optional<QString> refusal(const changes::ImportTakeBack &outcome)
{
    using Kind = changes::ImportTakeBack::Kind;
    switch (outcome.kind) {
    case Kind::NoTable: return messages::noKeptValuesTable();
    case Kind::NotAnImport: return messages::notAnImport();
    case Kind::Busy: return messages::databaseBusy();
    case Kind::Done: break;
    }
    return std::nullopt;
}

} // namespace

void takeBackImportAsked(Module1 &module, const QString &importMark, const std::function<void()> &refillRoster,
                         bool askFirst)
{
    changes::ChangeStore store{module.connection, module.OperatorFirstName, module.today()};
    const changes::ImportTakeBack preview = changes::previewImportTakeBack(store, importMark);
    if (const std::optional<QString> refused = refusal(preview))
        return void(module.MsgBox(*refused));
    if (preview.removed == 0 && preview.changedSince.empty())
        return void(module.MsgBox(messages::importAlreadyTakenBack()));

    QStringList parts{messages::takeBackQuestion(qint64(preview.removed))};
    if (!preview.changedSince.empty())
        parts << messages::changedSinceKept(qint64(preview.changedSince.size()),
                                            memberLines(preview.changedSince, true));
    if (!preview.otherMember.empty())
        parts << messages::otherMembersUntouched(qint64(preview.otherMember.size()),
                                                 memberLines(preview.otherMember, false));
    if ((askFirst || !preview.changedSince.empty() || !preview.otherMember.empty())
        && module.MsgBox(parts.join(kCrLf + kCrLf), MB_YESNO | MB_DEFBUTTON2, messages::takeBackTitle()) != IDYES)
        return;

    std::map<qint64, changes::MemberRow> alsoRemove;
    if (!preview.changedSince.empty()
        && module.MsgBox(messages::removeChangedToo(qint64(preview.changedSince.size())), MB_YESNO | MB_DEFBUTTON2,
                         messages::takeBackTitle())
            == IDYES) {
        // Only as the operator saw them: a member changed once more meanwhile is kept.
        for (const changes::ImportMember &member : preview.changedSince)
            alsoRemove.emplace(member.imported[members::RecordId].toLongLong(), member.stored);
    }
    const changes::ImportTakeBack done = changes::takeBackImport(store, importMark, alsoRemove);
    if (const std::optional<QString> refused = refusal(done))
        return void(module.MsgBox(*refused));
    if (done.removed > 0)
        refillRoster();
    QString text = messages::importTakenBack(qint64(done.removed));
    if (!done.changedSince.empty())
        text += kCrLf + messages::changedKept(qint64(done.changedSince.size()));
    module.MsgBox(text);
}

void sayImportDone(Module1 &module, const ImportResult &result, const QString &report,
                   const std::function<void()> &refillRoster)
{
    if (result.outcome.importMark.isEmpty()) {
        module.MsgBox(report);
        return;
    }
    if (module.MsgBox(report + kCrLf + kCrLf + messages::takeBackOffer(), MB_YESNO | MB_DEFBUTTON2) == IDYES)
        takeBackImportAsked(module, result.outcome.importMark, refillRoster, false);
}

} // namespace kelvory::import
