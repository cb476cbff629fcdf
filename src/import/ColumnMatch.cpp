#include "import/ColumnMatch.h"

#include "database/MemberFields.h"
#include "import/ImportMessages.h"

#include <algorithm>
#include <utility>

namespace kelvory::import {

namespace {

// The headings a club's list is found with, this program's own export's among them
// (its record id column has no heading and is left out: an imported member gets a new id).
const std::vector<std::pair<QString, Target>> &knownHeadings()
{
    static const std::vector<std::pair<QString, Target>> headings = {
        {QStringLiteral("name"), Target::Name},
        {QStringLiteral("fullname"), Target::Name},
        {QStringLiteral("membername"), Target::Name},
        {QStringLiteral("lastname"), Target::LastName},
        {QStringLiteral("surname"), Target::LastName},
        {QStringLiteral("familyname"), Target::LastName},
        {QStringLiteral("firstname"), Target::FirstName},
        {QStringLiteral("givenname"), Target::FirstName},
        {QStringLiteral("address"), Target::Address},
        {QStringLiteral("street"), Target::Address},
        {QStringLiteral("streetaddress"), Target::Address},
        {QStringLiteral("citystatezip"), Target::CityStateZip},
        {QStringLiteral("city"), Target::City},
        {QStringLiteral("town"), Target::City},
        {QStringLiteral("state"), Target::State},
        {QStringLiteral("zip"), Target::Zip},
        {QStringLiteral("zipcode"), Target::Zip},
        {QStringLiteral("postalcode"), Target::Zip},
        {QStringLiteral("postcode"), Target::Zip},
        {QStringLiteral("phone"), Target::Phone},
        {QStringLiteral("telephone"), Target::Phone},
        {QStringLiteral("phonenumber"), Target::Phone},
        {QStringLiteral("comment"), Target::Comment},
        {QStringLiteral("comments"), Target::Comment},
        {QStringLiteral("notes"), Target::Comment},
        {QStringLiteral("note"), Target::Comment},
    };
    return headings;
}

Target targetOfHeading(const QString &heading)
{
    const QString key = headingKey(heading);
    for (const auto &[known, target] : knownHeadings()) {
        if (known == key)
            return target;
    }
    // "Zip/Postal", "ZIP+4", "Postal/Zip Code", "Post code (UK)": a ZIP by any name, as long
    // as it is not the city's or the state's too.
    if ((key.contains(QLatin1String("zip")) || key.contains(QLatin1String("postcode"))
         || key.contains(QLatin1String("postalcode")) || key.startsWith(QLatin1String("postal")))
        && !key.contains(QLatin1String("city")) && !key.contains(QLatin1String("state")))
        return Target::Zip;
    return Target::LeftOut;
}

// The targets a record's fields name as headings, each once.
std::vector<Target> headingTargets(const QStringList &record)
{
    std::vector<Target> targets(std::size_t(record.size()), Target::LeftOut);
    std::vector<Target> found;
    for (qsizetype c = 0; c < record.size(); ++c) {
        const Target target = targetOfHeading(record[c]);
        if (target == Target::LeftOut || std::find(found.begin(), found.end(), target) != found.end())
            continue;
        found.push_back(target);
        targets[std::size_t(c)] = target;
    }
    return targets;
}

qsizetype knownCount(const std::vector<Target> &targets)
{
    return std::count_if(targets.begin(), targets.end(), [](Target t) { return t != Target::LeftOut; });
}

QString joined(const QStringList &parts, const QString &separator)
{
    if (parts.size() == 1)
        return parts.front();
    QStringList present;
    for (const QString &part : parts) {
        if (!part.isEmpty())
            present.append(part);
    }
    return present.join(separator);
}

} // namespace

QString targetCaption(Target target)
{
    switch (target) {
    case Target::LeftOut: return messages::leftOut();
    case Target::Name: return messages::nameTarget();
    case Target::LastName: return messages::lastNameTarget();
    case Target::FirstName: return messages::firstNameTarget();
    case Target::Address: return messages::addressTarget();
    case Target::CityStateZip: return members::caption(members::City);
    case Target::City: return messages::cityTarget();
    case Target::State: return messages::stateTarget();
    case Target::Zip: return messages::zipTarget();
    case Target::Phone: return messages::phoneTarget();
    case Target::Comment: return messages::commentTarget();
    }
    return QString();
}

QString headingKey(QStringView heading)
{
    QString key;
    key.reserve(heading.size());
    for (const QChar c : heading) {
        if (c.isLetterOrNumber())
            key.append(c.toCaseFolded());
    }
    return key;
}

ColumnMatch matchColumns(const std::vector<QStringList> &records)
{
    ColumnMatch match;
    qsizetype columns = 0;
    for (const QStringList &record : records)
        columns = std::max(columns, record.size());
    match.targets.assign(std::size_t(columns), Target::LeftOut);
    if (records.empty())
        return match;

    // The first ten rows with something in them.
    std::vector<std::size_t> firstRows;
    for (std::size_t r = 0; r < records.size() && firstRows.size() < 10; ++r) {
        if (std::any_of(records[r].begin(), records[r].end(), [](const QString &f) { return !f.trimmed().isEmpty(); }))
            firstRows.push_back(r);
    }
    for (std::size_t k = 0; k < firstRows.size(); ++k) {
        const std::vector<Target> targets = headingTargets(records[firstRows[k]]);
        if (knownCount(targets) >= (k == 0 ? 1 : 2)) {
            match.headingRow = true;
            match.headingRecord = firstRows[k];
            std::copy(targets.begin(), targets.end(), match.targets.begin());
            break;
        }
    }
    if (!match.headingRow) {
        constexpr Target byPosition[] = {Target::Name, Target::Address, Target::CityStateZip, Target::Phone,
                                         Target::Comment};
        for (std::size_t c = 0; c < match.targets.size() && c < std::size(byPosition); ++c)
            match.targets[c] = byPosition[c];
    }
    return match;
}

bool hasNameColumn(const ColumnMatch &match)
{
    return std::any_of(match.targets.begin(), match.targets.end(),
                       [](Target t) { return t == Target::Name || t == Target::LastName || t == Target::FirstName; });
}

MemberFields memberFrom(const QStringList &record, const ColumnMatch &match)
{
    std::array<QStringList, kTargetCount> parts;
    for (std::size_t c = 0; c < match.targets.size() && qsizetype(c) < record.size(); ++c)
        parts[std::size_t(match.targets[c])].append(record[qsizetype(c)]);
    const auto part = [&](Target target) { return joined(parts[std::size_t(target)], QStringLiteral(" ")); };

    MemberFields member;
    const QString blank = QStringLiteral(" ");
    // The roster's form of a name: "Last, First".
    member[0] = joined(
        {part(Target::Name), joined({part(Target::LastName), part(Target::FirstName)}, QStringLiteral(", "))}, blank);
    member[1] = part(Target::Address);
    // "City, ST ZIP".
    member[2] = joined(
        {part(Target::CityStateZip),
         joined({part(Target::City), joined({part(Target::State), part(Target::Zip)}, blank)}, QStringLiteral(", "))},
        blank);
    member[3] = part(Target::Phone);
    member[4] = part(Target::Comment);
    return member;
}

} // namespace kelvory::import
