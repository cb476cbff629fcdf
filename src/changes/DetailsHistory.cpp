#include "changes/DetailsHistory.h"

#include "changes/Journal.h"
#include "database/Connection.h"
#include "database/DetailsHistoryStatements.h"

namespace kelvory::changes {

bool keepsDetailValues(database::Connection &connection)
{
    try {
        return connection.hasTable(database::sql::kDetailsHistoryTable.toLower());
    } catch (const Failure &) {
        // A catalogue the server does not have: the details are changed as they always were.
        return false;
    }
}

QVariantList keptDetailsValues(const ChangeStore &store, const KeptDetails &change)
{
    return QVariantList{store.today.toString(Qt::ISODate),
                        store.operatorName,
                        change.recordId,
                        change.name,
                        change.journalText,
                        change.takesBack}
    + detailsValues(change.before) + detailsValues(change.after);
}

void keepDetails(ChangeStore &store, const KeptDetails &change)
{
    store.connection.execute(database::sql::kInsertDetailsHistory, keptDetailsValues(store, change));
}

namespace {

QString contactText(const EmergencyContact &contact)
{
    if (contact.isEmpty())
        return {};
    const QString who = contact.relationship.isEmpty()
        ? contact.name
        : contact.name + QStringLiteral(" (%1)").arg(contact.relationship);
    return who + QLatin1Char(' ') + contact.phone;
}

} // namespace

std::vector<DetailDifference> differingDetails(const MemberDetails &kept, const MemberDetails &stored,
                                               const QLocale &locale)
{
    std::vector<DetailDifference> differences;
    auto differ = [&](DetailField field, const QString &was, const QString &is) {
        if (was != is)
            differences.push_back({field, was, is});
    };
    differ(DetailField::Born, birthText(kept.birth, locale), birthText(stored.birth, locale));
    differ(DetailField::Joined, dayText(kept.joined, locale), dayText(stored.joined, locale));
    differ(DetailField::Status, statusText(kept.status), statusText(stored.status));
    differ(DetailField::StatusSince, dayText(kept.statusChanged, locale), dayText(stored.statusChanged, locale));
    differ(DetailField::DuesPaidThrough, dayText(kept.duesPaidThrough, locale),
           dayText(stored.duesPaidThrough, locale));
    differ(DetailField::FirstContact, contactText(kept.contacts[0]), contactText(stored.contacts[0]));
    differ(DetailField::SecondContact, contactText(kept.contacts[1]), contactText(stored.contacts[1]));
    return differences;
}

} // namespace kelvory::changes
