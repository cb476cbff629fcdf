#include "database/Restore.h"

#include "database/Backup.h"
#include "database/Connection.h"
#include "database/EmbeddedSchema.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlDriver>

#include <sqlite3.h>

#include <algorithm>

namespace kelvory::database {

namespace {

const QString kSelectAllMembers = QStringLiteral("select name, address, city, phone, comment, recordid from members");

// An SQLite file opened by this code alone, closed when it goes.
struct OwnFile
{
    sqlite3 *db = nullptr;
    int opened = SQLITE_ERROR;
    OwnFile(const QString &file, int flags)
        : opened(sqlite3_open_v2(QFile::encodeName(file).constData(), &db, flags, nullptr))
    {
    }
    ~OwnFile() { sqlite3_close(db); }
    OwnFile(const OwnFile &) = delete;
    OwnFile &operator=(const OwnFile &) = delete;
    bool ok() const { return opened == SQLITE_OK; }
    QString error() const { return QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(opened)); }
};

std::optional<std::vector<StoredMember>> membersOf(sqlite3 *db)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, kSelectAllMembers.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK)
        return std::nullopt;
    auto finish = qScopeGuard([&] { sqlite3_finalize(statement); });
    std::vector<StoredMember> rows;
    int stepped = SQLITE_ROW;
    while ((stepped = sqlite3_step(statement)) == SQLITE_ROW) {
        StoredMember row;
        for (int k = 0; k < members::kRosterColumnCount; ++k)
            row[std::size_t(k)] = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, k)));
        rows.push_back(std::move(row));
    }
    if (stepped != SQLITE_DONE)
        return std::nullopt;
    return rows;
}

// Kelvory-YYYY-MM-DD.db, or with -HHMMSS after the day.
std::optional<QDateTime> madeOf(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^Kelvory-(\\d{4}-\\d{2}-\\d{2})(?:-(\\d{6}))?\\.db$"));
    const QRegularExpressionMatch match = pattern.match(name);
    if (!match.hasMatch())
        return std::nullopt;
    const QDate day = QDate::fromString(match.captured(1), Qt::ISODate);
    const QTime time =
        match.captured(2).isEmpty() ? QTime(0, 0) : QTime::fromString(match.captured(2), QStringLiteral("HHmmss"));
    if (!day.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(day, time);
}

std::vector<StoredMember> byName(std::vector<StoredMember> rows)
{
    std::sort(rows.begin(), rows.end(), [](const StoredMember &a, const StoredMember &b) {
        return a[members::Name].compare(b[members::Name], Qt::CaseInsensitive) < 0;
    });
    return rows;
}

} // namespace

std::vector<GoodCopy> goodCopies(const QString &folder)
{
    std::vector<GoodCopy> copies;
    const QDir dir(folder);
    for (const QString &name : dir.entryList({QStringLiteral("Kelvory-*.db")}, QDir::Files)) {
        const std::optional<QDateTime> made = madeOf(name);
        const QString file = dir.filePath(name);
        if (!made || !damageIn(file).isEmpty())
            continue;
        OwnFile copy(file, SQLITE_OPEN_READONLY);
        const std::optional<std::vector<StoredMember>> rows = copy.ok() ? membersOf(copy.db) : std::nullopt;
        if (rows)
            copies.push_back({file, *made, qint64(rows->size())});
    }
    std::sort(copies.begin(), copies.end(), [](const GoodCopy &a, const GoodCopy &b) { return a.made > b.made; });
    return copies;
}

std::optional<CopyDifference> differenceTo(Connection &connection, const QString &copy)
{
    std::vector<StoredMember> now;
    try {
        for (ResultSet rows = connection.query(kSelectAllMembers); !rows.eof(); rows.moveNext()) {
            StoredMember row;
            for (int k = 0; k < members::kRosterColumnCount; ++k)
                row[std::size_t(k)] = rows.text(k).toString();
            now.push_back(std::move(row));
        }
    } catch (const Failure &) {
        return std::nullopt;
    }
    OwnFile file(copy, SQLITE_OPEN_READONLY);
    const std::optional<std::vector<StoredMember>> then = file.ok() ? membersOf(file.db) : std::nullopt;
    if (!then)
        return std::nullopt;

    CopyDifference difference;
    QHash<QString, const StoredMember *> nowById;
    for (const StoredMember &member : now)
        nowById.insert(member[members::RecordId], &member);
    QHash<QString, const StoredMember *> thenById;
    for (const StoredMember &member : *then) {
        thenById.insert(member[members::RecordId], &member);
        const StoredMember *current = nowById.value(member[members::RecordId]);
        if (!current)
            difference.comeBack.push_back(member);
        else if (*current != member)
            difference.change.emplace_back(*current, member);
    }
    for (const StoredMember &member : now) {
        if (!thenById.contains(member[members::RecordId]))
            difference.go.push_back(member);
    }
    difference.comeBack = byName(std::move(difference.comeBack));
    difference.go = byName(std::move(difference.go));
    return difference;
}

RestoreOutcome putBackCopy(Connection &connection, const QString &copy, const QString &folder,
                           const std::function<void(Connection &prepared)> &prepare)
{
    RestoreOutcome outcome;
    sqlite3 *live = connection.backend() == Backend::Embedded ? sqliteHandle(connection.database()) : nullptr;
    if (!live) {
        outcome.kind = RestoreOutcome::Kind::NotEmbedded;
        return outcome;
    }
    const QDir dir(folder);
    const QString liveFile = connection.database().databaseName();

    outcome.keptFile = dir.filePath(QStringLiteral("Kelvory-")
                                    + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss"))
                                    + QStringLiteral(".db"));
    const BackupOutcome kept = copyEmbeddedDatabase(connection, outcome.keptFile);
    if (kept.kind != BackupOutcome::Kind::Made) {
        // A damaged file cannot be copied page by page; its bytes are all there is to keep.
        if (damageIn(liveFile).isEmpty() || !QFile::copy(liveFile, outcome.keptFile)) {
            outcome.kind = RestoreOutcome::Kind::FileNotKept;
            outcome.reason = kept.reason;
            return outcome;
        }
    }

    // The copy made ready beside the others; one left by a program that ended half-way is of no use.
    const QString prepared = dir.filePath(QStringLiteral("Kelvory-restore.db.part"));
    QFile::remove(prepared);
    QFile::remove(prepared + QStringLiteral("-journal"));
    auto removePrepared = qScopeGuard([&] {
        QFile::remove(prepared);
        QFile::remove(prepared + QStringLiteral("-journal"));
    });
    {
        OwnFile source(copy, SQLITE_OPEN_READONLY);
        OwnFile target(prepared, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        if (!source.ok() || !target.ok()) {
            outcome.kind = RestoreOutcome::Kind::CopyNotRead;
            outcome.reason = source.ok() ? target.error() : source.error();
            return outcome;
        }
        if (const QString why = copyAllPages(target.db, source.db); !why.isEmpty()) {
            outcome.kind = RestoreOutcome::Kind::CopyNotRead;
            outcome.reason = why;
            return outcome;
        }
    }
    try {
        Connection ready;
        ready.openEmbedded(prepared);
        prepare(ready);
    } catch (const Failure &failure) {
        outcome.reason = failure.description();
        return outcome;
    }
    if (const QString damage = damageIn(prepared); !damage.isEmpty()) {
        outcome.reason = damage;
        return outcome;
    }

    OwnFile source(prepared, SQLITE_OPEN_READONLY);
    if (!source.ok()) {
        outcome.reason = source.error();
        return outcome;
    }
    if (const QString why = copyAllPages(live, source.db); !why.isEmpty()) {
        outcome.reason = why;
        return outcome;
    }
    // A copy made before the program's own tables were gets them now.
    addMissingOwnTables(connection);
    outcome.kind = RestoreOutcome::Kind::Done;
    return outcome;
}

} // namespace kelvory::database
