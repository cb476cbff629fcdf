#include "changes/MemberDetails.h"

#include "changes/DetailsHistory.h"
#include "changes/RecordIds.h"
#include "database/Connection.h"
#include "database/DateText.h"
#include "database/DetailsHistoryStatements.h"
#include "database/MemberDetailsTable.h"
#include "database/StorableText.h"

#include <QRegularExpression>

namespace kelvory::changes {

namespace dt = database::details;
using Kind = DetailsResult::Kind;

namespace {

const std::array<const char *, 4> kStatusTexts = {"active", "lapsed", "resigned", "passed away"};

// A date column as the drivers give it: a date (psqlODBC), or ISO text (SQLite, and the
// "SQL Server" driver, which describes date columns as text).
QDate storedDay(const QVariant &value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::QDate || value.typeId() == QMetaType::QDateTime)
        return value.toDate();
    return QDate::fromString(value.toString().left(10), Qt::ISODate);
}

QVariant dayValue(QDate day)
{
    return day.isValid() ? QVariant(day) : QVariant(QMetaType(QMetaType::QDate));
}

QString iso(QDate day)
{
    return day.toString(Qt::ISODate);
}

QString birthIso(const BirthDay &birth)
{
    const QString monthDay =
        QStringLiteral("%1-%2").arg(birth.month, 2, 10, QLatin1Char('0')).arg(birth.day, 2, 10, QLatin1Char('0'));
    return birth.year > 0 ? QString::number(birth.year) + QLatin1Char('-') + monthDay : QStringLiteral("--") + monthDay;
}

DetailsResult result(Kind kind, QString field = {}, QString problem = {})
{
    DetailsResult r;
    r.kind = kind;
    r.field = std::move(field);
    r.problem = std::move(problem);
    return r;
}

template <class Change> auto unlessBusy(Change &&change, decltype(change()) busy)
{
    try {
        return change();
    } catch (const Failure &failure) {
        if (!failure.busy())
            throw;
    }
    return busy;
}

// Writes the details; when an insert fails, `refused` names the member, so that the
// caller can look, once the transaction is rolled back, whether another workstation
// stored the member's first details between the locked read (which found none to lock)
// and the insert, which the key then refused.
void writeNoting(database::Connection &connection, qint64 recordId, const MemberDetails &details, bool stored,
                 std::optional<qint64> &refused)
{
    try {
        writeDetails(connection, recordId, details, stored);
    } catch (const Failure &) {
        if (!stored)
            refused = recordId;
        throw;
    }
}

// The details that another workstation stored for the `refused` member, read after the
// failed transaction; nothing when none are stored or none were refused.
std::optional<MemberDetails> storedSinceRefused(database::Connection &connection, std::optional<qint64> refused)
{
    if (!refused)
        return std::nullopt;
    try {
        return readDetails(connection, *refused);
    } catch (const Failure &) {
        // The caller reports the first failure, not this one.
        return std::nullopt;
    }
}

} // namespace

QString statusText(MemberStatus status)
{
    return QString::fromLatin1(kStatusTexts[static_cast<std::size_t>(status)]);
}

MemberStatus statusFrom(QStringView text)
{
    for (const MemberStatus status : kStatuses) {
        if (text.trimmed().compare(statusText(status), Qt::CaseInsensitive) == 0)
            return status;
    }
    return MemberStatus::Active;
}

MemberDetails detailsFrom(const database::ResultSet &row, int first)
{
    MemberDetails details;
    details.birth = {row.field(first).toInt(), row.field(first + 1).toInt(), row.field(first + 2).toInt()};
    details.joined = storedDay(row.field(first + 3));
    details.status = statusFrom(row.field(first + 4).toString());
    details.statusChanged = storedDay(row.field(first + 5));
    details.duesPaidThrough = storedDay(row.field(first + 6));
    for (int c = 0; c < 2; ++c) {
        const int at = first + 7 + 3 * c;
        details.contacts[c] = {row.field(at).toString(), row.field(at + 1).toString(), row.field(at + 2).toString()};
    }
    return details;
}

QVariantList detailsValues(const MemberDetails &details)
{
    QVariantList values = {details.birth.year,
                           details.birth.month,
                           details.birth.day,
                           dayValue(details.joined),
                           statusText(details.status),
                           dayValue(details.statusChanged),
                           dayValue(details.duesPaidThrough)};
    for (const EmergencyContact &contact : details.contacts)
        values << contact.name << contact.relationship << contact.phone;
    return values;
}

std::optional<MemberDetails> storedDetailsLocked(database::Connection &connection, qint64 recordId)
{
    const QString &sql = connection.server() == database::Server::PostgreSql ? dt::kSelectOnePostgreSql
        : connection.server() == database::Server::SqlServer                 ? dt::kSelectOneSqlServer
                                                                             : dt::kSelectOne;
    database::ResultSet row = connection.query(sql, {recordId});
    if (row.eof())
        return std::nullopt;
    return detailsFrom(row, 0);
}

void writeDetails(database::Connection &connection, qint64 recordId, const MemberDetails &details, bool stored)
{
    connection.execute(stored ? dt::kUpdate : dt::kInsert, detailsValues(details) << recordId);
}

bool detailsTableExists(database::Connection &connection)
{
    return connection.hasTable(dt::kTable);
}

std::optional<MemberDetails> readDetails(database::Connection &connection, qint64 recordId)
{
    database::ResultSet row = connection.query(dt::kSelectOne, {recordId});
    if (row.eof())
        return std::nullopt;
    return detailsFrom(row, 0);
}

DetailsBook readAllDetails(database::Connection &connection)
{
    DetailsBook book;
    if (!detailsTableExists(connection))
        return book;
    for (database::ResultSet row = connection.query(dt::kSelectAll); !row.eof(); row.moveNext())
        book.insert(row.field(0).toLongLong(), detailsFrom(row, 1));
    return book;
}

std::optional<StatusBook> readStatuses(database::Connection &connection)
{
    if (!detailsTableExists(connection))
        return std::nullopt;
    StatusBook book;
    for (database::ResultSet row = connection.query(dt::kSelectStatuses); !row.eof(); row.moveNext()) {
        const MemberStatus status = statusFrom(row.field(1).toString());
        if (status != MemberStatus::Active)
            book.insert(row.field(0).toLongLong(), status);
    }
    return book;
}

QString dayText(QDate day, const QLocale &locale)
{
    return day.isValid() ? database::shortDateText(day, locale) : QString();
}

std::optional<QDate> dayFrom(const QString &text, const QLocale &locale)
{
    const QString tidy = text.trimmed();
    for (const QString &format : {database::shortDateFormat(locale), QStringLiteral("yyyy-MM-dd")}) {
        const QDate day = locale.toDate(tidy, format);
        if (day.isValid())
            return day;
    }
    return std::nullopt;
}

QString monthDayFormat(const QLocale &locale)
{
    QString format = database::shortDateFormat(locale);
    // The year and the separator that joins it to the rest, before or after it.
    static const QRegularExpression leadingYear(QStringLiteral("^y+[^dMy]*"));
    static const QRegularExpression otherYear(QStringLiteral("[^dMy]*y+"));
    return format.startsWith(QLatin1Char('y')) ? format.remove(leadingYear) : format.remove(otherYear);
}

QString birthText(const BirthDay &birth, const QLocale &locale)
{
    if (!birth.known())
        return {};
    if (birth.year > 0)
        return dayText(QDate(birth.year, birth.month, birth.day), locale);
    // A leap year stands in, so that 29 February can be shown.
    return locale.toString(QDate(2000, birth.month, birth.day), monthDayFormat(locale));
}

std::optional<BirthDay> birthFrom(const QString &text, const QLocale &locale)
{
    if (text.trimmed().isEmpty())
        return BirthDay{};
    if (const std::optional<QDate> day = dayFrom(text, locale))
        return BirthDay{day->year(), day->month(), day->day()};
    const QDate monthDay =
        locale.toDate(text.trimmed() + QStringLiteral("/2000"), monthDayFormat(locale) + QStringLiteral("/yyyy"));
    if (monthDay.isValid())
        return BirthDay{0, monthDay.month(), monthDay.day()};
    return std::nullopt;
}

QStringList detailChanges(const MemberDetails &before, const MemberDetails &after)
{
    QStringList changes;
    if (before.status != after.status || before.statusChanged != after.statusChanged) {
        QString text = statusText(after.status);
        if (after.statusChanged.isValid())
            text += QLatin1Char(' ') + iso(after.statusChanged);
        changes << text;
    }
    if (before.birth != after.birth)
        changes << (after.birth.known() ? QStringLiteral("born ") + birthIso(after.birth)
                                        : QStringLiteral("birthday removed"));
    if (before.joined != after.joined)
        changes << (after.joined.isValid() ? QStringLiteral("joined ") + iso(after.joined)
                                           : QStringLiteral("day joined removed"));
    if (before.duesPaidThrough != after.duesPaidThrough)
        changes << (after.duesPaidThrough.isValid() ? QStringLiteral("dues paid through ") + iso(after.duesPaidThrough)
                                                    : QStringLiteral("dues removed"));
    if (before.contacts != after.contacts)
        changes << QStringLiteral("emergency contacts changed");
    return changes;
}

namespace {
const QString kDetailsAction = QStringLiteral("Details : ");
}

QString detailsJournalText(const QString &name, const QStringList &changes)
{
    return kDetailsAction + name + QStringLiteral(": ") + changes.join(QStringLiteral("; "));
}

bool isDetailsJournalText(const QString &transaction)
{
    return transaction.startsWith(kDetailsAction);
}

std::optional<DetailsResult> checkDetails(const MemberDetails &details, QDate today)
{
    const BirthDay &birth = details.birth;
    if (birth.known()) {
        const bool isDay = birth.year > 0 ? QDate(birth.year, birth.month, birth.day).isValid()
                                          : QDate(2000, birth.month, birth.day).isValid();
        if (!isDay)
            return result(Kind::Invalid, QStringLiteral("born"), QStringLiteral("no such day"));
        if (birth.year > 0 && QDate(birth.year, birth.month, birth.day) > today)
            return result(Kind::Invalid, QStringLiteral("born"), QStringLiteral("in the future"));
    }
    if (details.joined.isValid() && details.joined > today)
        return result(Kind::Invalid, QStringLiteral("joined"), QStringLiteral("in the future"));
    for (std::size_t c = 0; c < details.contacts.size(); ++c) {
        const EmergencyContact &contact = details.contacts[c];
        const QString which = QStringLiteral("contact %1").arg(c + 1);
        for (const QString &text : {contact.name, contact.relationship, contact.phone}) {
            const QString problem = database::unstorableCharacter(text);
            if (!problem.isEmpty())
                return result(Kind::Invalid, which, problem);
        }
        if (!contact.isEmpty() && (contact.name.trimmed().isEmpty() || contact.phone.trimmed().isEmpty()))
            return result(Kind::Invalid, which, QStringLiteral("a name and a phone are both needed"));
    }
    return std::nullopt;
}

DetailsResult saveDetails(ChangeStore &store, const QString &recordId, const QString &name,
                          const std::optional<MemberDetails> &asRead, MemberDetails wanted)
{
    if (recordId.isEmpty())
        return result(Kind::NoMemberPicked);
    const std::optional<qint64> id = recordIdFrom(recordId);
    if (!id)
        return result(Kind::RecordIdNotWhole);
    if (!detailsTableExists(store.connection))
        return result(Kind::NoTable);
    // The second contact alone is the first to call.
    if (wanted.contacts[0].isEmpty() && !wanted.contacts[1].isEmpty())
        std::swap(wanted.contacts[0], wanted.contacts[1]);
    if (std::optional<DetailsResult> problem = checkDetails(wanted, store.today))
        return *problem;
    const QStringList changes = detailChanges(asRead.value_or(MemberDetails{}), wanted);
    if (changes.isEmpty())
        return result(Kind::NothingChanged);

    const bool keeping = keepsDetailValues(store.connection);
    std::optional<qint64> refused;
    try {
        return unlessBusy(
            [&] {
                database::Transaction change(store.connection);
                const std::optional<MemberDetails> stored = storedDetailsLocked(store.connection, *id);
                if (stored != asRead) {
                    DetailsResult elsewhere = result(Kind::ChangedElsewhere);
                    elsewhere.stored = stored;
                    return elsewhere;
                }
                writeNoting(store.connection, *id, wanted, stored.has_value(), refused);
                const QString text = detailsJournalText(name, changes);
                writeJournalText(store, text);
                if (keeping)
                    keepDetails(store, {*id, name, stored.value_or(MemberDetails{}), wanted, text, 0});
                change.commit();
                DetailsResult done = result(Kind::Done);
                done.changes = changes;
                done.stored = wanted;
                return done;
            },
            result(Kind::Busy));
    } catch (const Failure &) {
        // Another workstation stored the member's first details at the same moment: as
        // when it changes them while the dialog is open.
        std::optional<MemberDetails> now = storedSinceRefused(store.connection, refused);
        if (!now)
            throw;
        DetailsResult elsewhere = result(Kind::ChangedElsewhere);
        elsewhere.stored = std::move(now);
        return elsewhere;
    }
}

DuesResult recordDues(ChangeStore &store, const std::vector<DuesMember> &paid, QDate paidThrough)
{
    DuesResult outcome;
    if (!detailsTableExists(store.connection)) {
        outcome.kind = DuesResult::Kind::NoTable;
        return outcome;
    }
    if (paid.empty()) {
        outcome.kind = DuesResult::Kind::NobodyPicked;
        return outcome;
    }
    DuesResult busy;
    busy.kind = DuesResult::Kind::Busy;
    const QString duesText = QStringLiteral("dues paid through ") + iso(paidThrough);
    const bool keeping = keepsDetailValues(store.connection);
    std::optional<qint64> refused;
    try {
        return unlessBusy(
            [&] {
                database::Transaction change(store.connection);
                std::vector<QVariantList> kept;
                for (const DuesMember &member : paid) {
                    std::optional<MemberDetails> stored = storedDetailsLocked(store.connection, member.recordId);
                    MemberDetails now = stored.value_or(MemberDetails{});
                    now.duesPaidThrough = paidThrough;
                    writeNoting(store.connection, member.recordId, now, stored.has_value(), refused);
                    const QString text = detailsJournalText(member.name, {duesText});
                    writeJournalText(store, text);
                    if (keeping) {
                        kept.push_back(keptDetailsValues(
                            store, {member.recordId, member.name, stored.value_or(MemberDetails{}), now, text, 0}));
                    }
                }
                if (!kept.empty())
                    store.connection.executeRows(database::sql::kInsertDetailsHistory, kept);
                change.commit();
                DuesResult done;
                done.recorded = static_cast<int>(paid.size());
                return done;
            },
            busy);
    } catch (const Failure &) {
        // The member's first details, stored by another workstation at the same moment: a
        // moment later the dues go over them.
        if (!storedSinceRefused(store.connection, refused))
            throw;
        return busy;
    }
}

void forgetDetails(database::Connection &connection, qint64 recordId)
{
    if (detailsTableExists(connection))
        connection.execute(dt::kDelete, {recordId});
}

void forgetDetails(database::Connection &connection, const std::vector<qint64> &recordIds)
{
    if (!detailsTableExists(connection) || recordIds.empty())
        return;
    std::vector<QVariantList> rows;
    rows.reserve(recordIds.size());
    for (const qint64 id : recordIds)
        rows.push_back({id});
    connection.executeRows(dt::kDelete, rows);
}

} // namespace kelvory::changes
