#include "import/ImportPreview.h"

#include "database/MemberFields.h"
#include "database/StorableText.h"
#include "import/ImportMessages.h"

#include <QHash>

#include <algorithm>

namespace kelvory::import {

namespace {

// The words of a name, sorted: "Smith, Anne" and "Anne Smith" are one key.
QString wordsKey(QStringView text)
{
    const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    const QString folded =
        ascii ? text.toString().toLower() : text.toString().normalized(QString::NormalizationForm_KD).toCaseFolded();
    QStringList words;
    QString word;
    for (const QChar c : folded) {
        if (c.isLetterOrNumber()) {
            word.append(c);
        } else if (!c.isMark() && !word.isEmpty()) {
            words.append(word);
            word.clear();
        }
    }
    if (!word.isEmpty())
        words.append(word);
    words.sort();
    return words.join(QLatin1Char(' '));
}

QString fieldCaption(int field)
{
    return members::caption(field);
}

// Why a member cannot be stored, or nothing.
QString unusableBecause(const MemberFields &member, const FieldWidths &widths)
{
    if (member[members::Name].trimmed().isEmpty())
        return messages::noName();
    for (int k = 0; k < members::kMemberFieldCount; ++k) {
        const QString problem = database::unstorableCharacter(member[std::size_t(k)]);
        if (!problem.isEmpty())
            return messages::cannotBeStored(fieldCaption(k), problem);
    }
    for (int k = 0; k < members::kMemberFieldCount; ++k) {
        const int width = widths[std::size_t(k)];
        if (width > 0 && member[std::size_t(k)].size() > width)
            return messages::tooLong(fieldCaption(k), member[std::size_t(k)].size(), width);
    }
    return QString();
}

// A field's line breaks as ", ": the roster keeps one line a field, and the export one
// line a member.
bool joinLines(QString &field)
{
    if (!field.contains(u'\n') && !field.contains(u'\r'))
        return false;
    QString text = field;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
    QStringList lines;
    for (const QString &line : text.split(u'\n')) {
        if (!line.trimmed().isEmpty())
            lines.append(line.trimmed());
    }
    field = lines.join(QLatin1String(", "));
    return true;
}

bool isEmptyRecord(const QStringList &record)
{
    return std::all_of(record.begin(), record.end(), [](const QString &field) { return field.trimmed().isEmpty(); });
}

struct Known
{
    QString name;
    QString address;
    int fileRow = 0; // 0: a member of the roster
    qsizetype nameKeyLength = 0;
    mutable QString words; // the name's, once asked for
};

QString whom(const Known &known)
{
    return known.fileRow > 0 ? messages::earlierRow(qint64(known.fileRow))
                             : messages::member(known.name, known.address);
}

} // namespace

QString matchKey(QStringView text)
{
    QString key;
    // Most names and addresses are ASCII, which needs no decomposing: a tenth of the time.
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; })) {
        key.reserve(text.size());
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            if ((u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9'))
                key.append(c);
            else if (u >= u'A' && u <= u'Z')
                key.append(QChar(char16_t(u - u'A' + u'a')));
        }
        return key;
    }
    const QString folded = text.toString().normalized(QString::NormalizationForm_KD).toCaseFolded();
    key.reserve(folded.size());
    for (const QChar c : folded) {
        if (c.isLetterOrNumber())
            key.append(c);
    }
    return key;
}

Preview makePreview(const ImportTable &table, const ColumnMatch &match, const std::vector<RosterEntry> &roster,
                    const FieldWidths &widths)
{
    Preview preview;
    preview.headingRow = match.headingRow;
    // Who is known by name, by name and address, and by address.
    QHash<QString, Known> byNameAndAddress;
    QHash<QString, Known> byName;
    QHash<QString, QList<Known>> byAddress;
    const auto remember = [&](const QString &shownName, const QString &shownAddress, int fileRow, const QString &name,
                              const QString &address) {
        Known known;
        known.name = shownName;
        known.address = shownAddress;
        known.fileRow = fileRow;
        known.nameKeyLength = name.size();
        byNameAndAddress.insert(name + QChar(0) + address, known);
        byName.insert(name, known);
        if (!address.isEmpty())
            byAddress[address].append(known);
    };
    const qsizetype expected = qsizetype(roster.size() + table.records.size());
    byNameAndAddress.reserve(expected);
    byName.reserve(expected);
    byAddress.reserve(expected);
    for (const RosterEntry &entry : roster)
        remember(entry.name, entry.address, 0, matchKey(entry.name), matchKey(entry.address));

    const std::size_t first = match.headingRow ? match.headingRecord + 1 : 0;
    for (std::size_t r = first; r < table.records.size(); ++r) {
        if (isEmptyRecord(table.records[r]))
            continue;
        PreviewRow row;
        row.fileRow = int(r) + 1;
        row.member = memberFrom(table.records[r], match);
        QStringList joined;
        for (int k = 0; k < members::kMemberFieldCount; ++k) {
            if (joinLines(row.member[std::size_t(k)]))
                joined.append(messages::lineBreakStored(fieldCaption(k)));
        }
        const QString &name = row.member[members::Name];
        const QString &address = row.member[members::Address];
        const auto marked = table.unusable.find(r);
        row.note = marked != table.unusable.end() ? marked->second : unusableBecause(row.member, widths);
        if (!row.note.isEmpty()) {
            row.verdict = Verdict::Unusable;
        } else {
            const QString nameKey = matchKey(name);
            const QString addressKey = matchKey(address);
            if (const auto same = byNameAndAddress.constFind(nameKey + QChar(0) + addressKey);
                same != byNameAndAddress.cend()) {
                row.verdict = Verdict::OnRoster;
                row.note = messages::sameAs(whom(*same));
            } else if (const auto sameName = byName.constFind(nameKey); sameName != byName.cend()) {
                row.verdict = Verdict::PossiblyOnRoster;
                row.note = messages::sameNameAs(whom(*sameName));
            } else if (const auto sameAddress = byAddress.constFind(addressKey); sameAddress != byAddress.cend()) {
                QString words;
                for (const Known &known : *sameAddress) {
                    // The same words have the same letters: most names are told apart by their count.
                    if (known.nameKeyLength != nameKey.size())
                        continue;
                    if (words.isNull())
                        words = wordsKey(name);
                    if (known.words.isNull())
                        known.words = wordsKey(known.name);
                    if (known.words == words) {
                        row.verdict = Verdict::PossiblyOnRoster;
                        row.note = messages::sameAddressAs(whom(known));
                        break;
                    }
                }
            }
            if (row.verdict != Verdict::OnRoster)
                remember(name, address, row.fileRow, nameKey, addressKey);
        }
        if (!joined.isEmpty() && row.verdict != Verdict::Unusable) {
            joined.prepend(row.note);
            joined.removeAll(QString());
            row.note = joined.join(QLatin1String("; "));
        }
        ++preview.counts[std::size_t(row.verdict)];
        preview.rows.push_back(std::move(row));
    }
    return preview;
}

std::vector<MemberToStore> membersToStore(const Preview &preview, bool alreadyOnRosterToo)
{
    std::vector<MemberToStore> members;
    for (const PreviewRow &row : preview.rows) {
        if (row.verdict == Verdict::Added || row.verdict == Verdict::PossiblyOnRoster)
            members.push_back({row.member, true});
        else if (alreadyOnRosterToo && row.verdict == Verdict::OnRoster)
            members.push_back({row.member, false});
    }
    return members;
}

QString previewCounts(const Preview &preview)
{
    const auto count = [&](Verdict v) { return qint64(preview.counts[std::size_t(v)]); };
    return messages::counts(count(Verdict::Added), count(Verdict::OnRoster), count(Verdict::PossiblyOnRoster),
                            count(Verdict::Unusable));
}

QString verdictCaption(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Added: return messages::toBeAdded();
    case Verdict::OnRoster: return messages::alreadyOnRoster();
    case Verdict::PossiblyOnRoster: return messages::possiblyOnRoster();
    case Verdict::Unusable: return messages::unusable();
    }
    return QString();
}

} // namespace kelvory::import
