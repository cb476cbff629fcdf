#pragma once

#include "changes/Journal.h"

#include <QDate>
#include <QHash>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <array>
#include <optional>
#include <vector>

namespace kelvory::database {
class Connection;
class ResultSet;
} // namespace kelvory::database

// A member's details beside the roster: birthday, joining, status, dues and emergency
// contacts, in the program's own table keyed by record id. Nothing here is shown to the
// operator; the details dialog and the lists say the results.
namespace kelvory::changes {

enum class MemberStatus { Active, Lapsed, Resigned, PassedAway };
inline constexpr std::array kStatuses = {MemberStatus::Active, MemberStatus::Lapsed, MemberStatus::Resigned,
                                         MemberStatus::PassedAway};
// As stored, and as the journal and the dialog say it: "active" ... "passed away".
QString statusText(MemberStatus status);
// A stored text that names no status (another program's, or none) reads as active.
MemberStatus statusFrom(QStringView text);
// Who the club's outputs leave out unless the operator ticks them in.
inline bool leftOutUnlessTickedIn(MemberStatus status)
{
    return status == MemberStatus::Resigned || status == MemberStatus::PassedAway;
}

// A day of birth whose year may be unknown (0); month 0 is no birthday at all.
struct BirthDay
{
    int year = 0;
    int month = 0;
    int day = 0;
    bool known() const { return month > 0; }
    bool operator==(const BirthDay &) const = default;
};

struct EmergencyContact
{
    QString name;
    QString relationship;
    QString phone;
    bool isEmpty() const { return name.isEmpty() && relationship.isEmpty() && phone.isEmpty(); }
    bool operator==(const EmergencyContact &) const = default;
};

struct MemberDetails
{
    BirthDay birth;
    QDate joined;
    MemberStatus status = MemberStatus::Active;
    QDate statusChanged;
    QDate duesPaidThrough;
    std::array<EmergencyContact, 2> contacts; // in calling order
    bool operator==(const MemberDetails &) const = default;
};

// Every member's details by record id, and every member's status.
using DetailsBook = QHash<qint64, MemberDetails>;
using StatusBook = QHash<qint64, MemberStatus>;

// Whether the details table is there (looked up once per connection). Without it every
// command of the details says that the administrator must create it first.
bool detailsTableExists(database::Connection &connection);
// A member's stored details, or nothing when none are stored.
std::optional<MemberDetails> readDetails(database::Connection &connection, qint64 recordId);
DetailsBook readAllDetails(database::Connection &connection);
// Nothing when there is no details table: then nobody is left out for a status.
std::optional<StatusBook> readStatuses(database::Connection &connection);

// The details' thirteen values in the order of the table's columns, and the details from
// a row that holds them from column `first` on: for the kept values of a change too.
QVariantList detailsValues(const MemberDetails &details);
MemberDetails detailsFrom(const database::ResultSet &row, int first);
// A member's stored details read under the lock that the caller's transaction then holds,
// as the member's row is read for a change.
std::optional<MemberDetails> storedDetailsLocked(database::Connection &connection, qint64 recordId);
// Stores the details over the stored ones, or as a new row where none are `stored`.
void writeDetails(database::Connection &connection, qint64 recordId, const MemberDetails &details, bool stored);

// Dates as the operator types and reads them: the system's short date form, or ISO
// (2026-11-30). A birthday may leave its year out ("3/2" in the United States).
QString dayText(QDate day, const QLocale &locale = QLocale());
std::optional<QDate> dayFrom(const QString &text, const QLocale &locale = QLocale());
QString birthText(const BirthDay &birth, const QLocale &locale = QLocale());
std::optional<BirthDay> birthFrom(const QString &text, const QLocale &locale = QLocale());
// The short date form without its year ("M/d"), for a birthday whose year is unknown.
QString monthDayFormat(const QLocale &locale = QLocale());

// What changed, in the journal's words ("passed away 2026-11-30", "dues paid through
// 2026-12-31", "emergency contacts changed"); the contacts themselves never go there.
QStringList detailChanges(const MemberDetails &before, const MemberDetails &after);
// "Details : Baker, Ann: passed away 2026-11-30; joined 1998-05-01"
QString detailsJournalText(const QString &name, const QStringList &changes);
// Whether a journal row's text is that of a change of details.
bool isDetailsJournalText(const QString &transaction);

struct DetailsResult
{
    enum class Kind {
        Done,
        NoTable, // the administrator has not created the details table
        NoMemberPicked,
        RecordIdNotWhole,
        Invalid, // `field` (a word of the dialog's) holds `problem`
        NothingChanged,
        // `stored`: the details as another workstation left them, also when it stored
        // the member's first details at the same moment
        ChangedElsewhere,
        Busy,
    };
    Kind kind = Kind::Done;
    QString field;
    QString problem;
    std::optional<MemberDetails> stored;
    QStringList changes;
    bool done() const { return kind == Kind::Done; }
};

// Why the details cannot be stored as they are, or nothing: a birthday that is no day
// (29 February of a common year), a day in the future where none can be, a contact
// without a name or a phone, a text the database cannot store.
std::optional<DetailsResult> checkDetails(const MemberDetails &details, QDate today);

// Stores the member's details and one journal row in one transaction, with the details
// replaced and stored where the database keeps them (changes/DetailsHistory.h), or nothing.
// `asRead` is what the dialog was filled from (nothing when none were stored): when the
// stored details differ from it, another workstation changed them and nothing is stored.
DetailsResult saveDetails(ChangeStore &store, const QString &recordId, const QString &name,
                          const std::optional<MemberDetails> &asRead, MemberDetails wanted);

struct DuesMember
{
    qint64 recordId = 0;
    QString name;
};
struct DuesResult
{
    enum class Kind { Done, NoTable, NobodyPicked, Busy };
    Kind kind = Kind::Done;
    int recorded = 0;
};
// Records "paid through" for every member in one transaction, with one journal row (and
// kept values) each; a failure part of the way stores nothing.
DuesResult recordDues(ChangeStore &store, const std::vector<DuesMember> &paid, QDate paidThrough);

// A member who is deleted, or a new member given an id once held, keeps no details of
// the one before: no emergency contact or "passed away" passes to another member.
void forgetDetails(database::Connection &connection, qint64 recordId);
void forgetDetails(database::Connection &connection, const std::vector<qint64> &recordIds);

} // namespace kelvory::changes
