#include "database/Backup.h"

#include "database/DatabaseMessages.h"

#include "database/Connection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QSqlDriver>

#include <sqlite3.h>

#include <algorithm>
#include <optional>

namespace kelvory::database {

namespace {

const QString kPartSuffix = QStringLiteral(".part");
// The copies found dated after today, noted while they are: when their day comes, the
// copy under that name is known to hold an older content than its name says.
const QString kAheadNote = QStringLiteral("Kelvory-dated-ahead.txt");

struct CopyName
{
    QDate day;
    // Newer copies of the same day come later: a day's second name, an import's time.
    int order = 1;
    bool beforeImport = false;
};

// Kelvory-YYYY-MM-DD.db, Kelvory-YYYY-MM-DD-N.db (N from 2 to 9) and an import's
// Kelvory-YYYY-MM-DD-HHMMSS.db, with a date that exists.
std::optional<CopyName> copyName(const QString &fileName)
{
    static const QRegularExpression pattern(
        QStringLiteral("^Kelvory-(\\d{4}-\\d{2}-\\d{2})(?:-([2-9])|-(\\d{6}))?\\.db$"));
    const QRegularExpressionMatch match = pattern.match(fileName);
    if (!match.hasMatch())
        return std::nullopt;
    CopyName name;
    name.day = QDate::fromString(match.captured(1), Qt::ISODate);
    if (!name.day.isValid())
        return std::nullopt;
    if (match.hasCaptured(2))
        name.order = match.captured(2).toInt();
    if (match.hasCaptured(3)) {
        name.beforeImport = true;
        name.order = match.captured(3).toInt();
    }
    return name;
}

QDate dayOf(const QString &fileName)
{
    return copyName(fileName)->day;
}

QStringList copiesIn(const QString &folder, bool beforeImport)
{
    QList<std::pair<CopyName, QString>> found;
    const QStringList files = QDir(folder).entryList({QStringLiteral("Kelvory-*.db")}, QDir::Files);
    for (const QString &file : files) {
        if (const std::optional<CopyName> name = copyName(file); name && name->beforeImport == beforeImport)
            found.append({*name, file});
    }
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) {
        return std::pair(a.first.day, a.first.order) > std::pair(b.first.day, b.first.order);
    });
    QStringList names;
    for (const auto &copy : found)
        names.append(copy.second);
    return names;
}

bool anyAfter(const QStringList &copies, QDate day)
{
    return std::any_of(copies.begin(), copies.end(), [&](const QString &name) { return dayOf(name) > day; });
}

QStringList notedAhead(const QDir &dir)
{
    QFile note(dir.filePath(kAheadNote));
    if (!note.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList names;
    for (const QString &line : QString::fromUtf8(note.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (copyName(line))
            names.append(line);
    }
    return names;
}

void noteAhead(const QDir &dir, const QStringList &names)
{
    if (names.isEmpty()) {
        QFile::remove(dir.filePath(kAheadNote));
        return;
    }
    QFile note(dir.filePath(kAheadNote));
    if (note.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        note.write(names.join(QLatin1Char('\n')).toUtf8() + '\n');
}

// Copies every page of the source's main database into a new file. Returns why not, or
// nothing; `damaged` tells that SQLite found the source itself damaged on the way.
std::optional<QString> copyDatabase(sqlite3 *source, const QString &target, bool &damaged)
{
    // A copy is no more open to others than the file it copies (in an installed copy's
    // folder, its user's alone); it is made so before any of the members' data is in it.
    {
        const QFileInfo original(QString::fromUtf8(sqlite3_db_filename(source, "main")));
        constexpr QFile::Permissions kModeBits = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
            | QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther
            | QFile::ExeOther;
        QFile::remove(target);
        QFile made(target);
        if (!made.open(QIODevice::WriteOnly | QIODevice::NewOnly, original.permissions() & kModeBits))
            return made.errorString();
    }
    sqlite3 *copy = nullptr;
    const int opened = sqlite3_open_v2(QFile::encodeName(target).constData(), &copy,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    auto close = qScopeGuard([&] { sqlite3_close(copy); });
    if (opened != SQLITE_OK)
        return QString::fromUtf8(copy ? sqlite3_errmsg(copy) : sqlite3_errstr(opened));
    // A copy that fails is deleted whole, so it needs no journal of its own.
    sqlite3_exec(copy, "pragma journal_mode = off", nullptr, nullptr, nullptr);

    if (const QString failed = copyAllPages(copy, source, &damaged); !failed.isEmpty())
        return failed;
    // The pages of a file in write-ahead-log mode mark the copy so too; a copy is a
    // single file, to be put back without a -wal or -shm of its own.
    if (sqlite3_exec(copy, "pragma journal_mode = delete", nullptr, nullptr, nullptr) != SQLITE_OK)
        return QString::fromUtf8(sqlite3_errmsg(copy));
    close.dismiss();
    if (sqlite3_close(copy) != SQLITE_OK)
        return messages::backupCannotBeClosed();
    return std::nullopt;
}

} // namespace

sqlite3 *sqliteHandle(const QSqlDatabase &database)
{
    if (!database.driver())
        return nullptr;
    const QVariant handle = database.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

QString copyAllPages(sqlite3 *target, sqlite3 *source, bool *damaged)
{
    sqlite3_backup *backup = sqlite3_backup_init(target, "main", source, "main");
    if (!backup)
        return QString::fromUtf8(sqlite3_errmsg(target));
    int stepped = SQLITE_OK;
    for (int attempt = 0; attempt < 50; ++attempt) {
        stepped = sqlite3_backup_step(backup, -1);
        if (stepped != SQLITE_BUSY && stepped != SQLITE_LOCKED)
            break;
        sqlite3_sleep(200);
    }
    const int finished = sqlite3_backup_finish(backup);
    if (damaged)
        *damaged = stepped == SQLITE_CORRUPT || stepped == SQLITE_NOTADB;
    if (stepped != SQLITE_DONE)
        return QString::fromUtf8(sqlite3_errstr(stepped));
    if (finished != SQLITE_OK)
        return QString::fromUtf8(sqlite3_errmsg(target));
    return QString();
}

QString backupFileName(QDate day, int order)
{
    const QString second = order > 1 ? QStringLiteral("-%1").arg(order) : QString();
    return QStringLiteral("Kelvory-") + day.toString(Qt::ISODate) + second + QStringLiteral(".db");
}

QStringList backupsIn(const QString &folder)
{
    return copiesIn(folder, false);
}

QStringList importBackupsIn(const QString &folder)
{
    return copiesIn(folder, true);
}

QStringList backupsKept(const QStringList &copies, const BackupKeeping &keeping, QDate day)
{
    if (anyAfter(copies, day))
        return copies;
    QStringList kept;
    if (copies.contains(backupFileName(day)))
        kept.append(backupFileName(day));
    auto keep = [&](const QString &name) {
        if (!kept.contains(name))
            kept.append(name);
    };
    for (int i = 0; i < copies.size() && i < keeping.days; ++i)
        keep(copies.at(i));
    // Newest first, so the first copy met in a week or a month is that week's or month's newest.
    const QDate thisMonday = day.addDays(1 - day.dayOfWeek());
    const QDate firstWeek = thisMonday.addDays(-7 * (keeping.weeks - 1));
    const QDate firstMonth = QDate(day.year(), day.month(), 1).addMonths(-(keeping.months - 1));
    QSet<QDate> weeksSeen;
    QSet<QDate> monthsSeen;
    for (const QString &name : copies) {
        const QDate copied = dayOf(name);
        const QDate monday = copied.addDays(1 - copied.dayOfWeek());
        if (keeping.weeks > 0 && monday >= firstWeek && !weeksSeen.contains(monday)) {
            weeksSeen.insert(monday);
            keep(name);
        }
        const QDate month(copied.year(), copied.month(), 1);
        if (keeping.months > 0 && month >= firstMonth && !monthsSeen.contains(month)) {
            monthsSeen.insert(month);
            keep(name);
        }
    }
    return kept;
}

QStringList importBackupsKept(const QStringList &copies, const BackupKeeping &keeping, QDate day)
{
    if (anyAfter(copies, day))
        return copies;
    QStringList kept;
    for (int i = 0; i < copies.size(); ++i) {
        if (i < keeping.importNewest || dayOf(copies.at(i)).daysTo(day) <= keeping.importDays)
            kept.append(copies.at(i));
    }
    return kept;
}

QStringList pruneBackups(const QString &folder, const BackupKeeping &keeping, QDate day)
{
    const QStringList days = backupsIn(folder);
    const QStringList imports = importBackupsIn(folder);
    if (anyAfter(days + imports, day))
        return {};
    const QStringList kept = backupsKept(days, keeping, day) + importBackupsKept(imports, keeping, day);
    QStringList removed;
    for (const QString &name : days + imports) {
        if (!kept.contains(name) && QFile::remove(QDir(folder).filePath(name)))
            removed.append(name);
    }
    return removed;
}

QString damageIn(const QString &file)
{
    sqlite3 *db = nullptr;
    const int opened = sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    auto close = qScopeGuard([&] { sqlite3_close(db); });
    if (opened != SQLITE_OK)
        return QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(opened));
    sqlite3_stmt *check = nullptr;
    if (sqlite3_prepare_v2(db, "pragma quick_check", -1, &check, nullptr) != SQLITE_OK)
        return QString::fromUtf8(sqlite3_errmsg(db));
    auto finish = qScopeGuard([&] { sqlite3_finalize(check); });
    QStringList found;
    int stepped = SQLITE_ROW;
    while ((stepped = sqlite3_step(check)) == SQLITE_ROW)
        found.append(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(check, 0))));
    if (stepped != SQLITE_DONE)
        return QString::fromUtf8(sqlite3_errmsg(db));
    if (found == QStringList{QStringLiteral("ok")})
        return QString();
    // The check lists up to a hundred findings; the first says enough in a message.
    return found.isEmpty() ? QString::fromUtf8(sqlite3_errstr(SQLITE_CORRUPT)) : found.first();
}

QString newestGoodBackup(const QString &folder, QDate day)
{
    for (const QString &name : backupsIn(folder)) {
        if (dayOf(name) <= day && damageIn(QDir(folder).filePath(name)).isEmpty())
            return name;
    }
    return QString();
}

BackupOutcome backUpEmbeddedDatabase(Connection &connection, const QString &folder, QDate day,
                                     const BackupKeeping &keeping)
{
    BackupOutcome outcome;
    const QDir dir(folder);
    QStringList ahead;
    for (const QString &name : backupsIn(folder) + importBackupsIn(folder)) {
        if (dayOf(name) > day)
            ahead.append(name);
    }
    const QStringList noted = notedAhead(dir);
    QStringList stillAhead = ahead;
    for (const QString &name : noted) {
        if (dayOf(name) >= day && !stillAhead.contains(name))
            stillAhead.append(name);
    }
    if (std::any_of(ahead.begin(), ahead.end(), [&](const QString &name) { return !noted.contains(name); })) {
        outcome.newestAhead = dayOf(ahead.first());
        for (const QString &name : ahead)
            outcome.newestAhead = std::max(outcome.newestAhead, dayOf(name));
    }
    if (stillAhead != noted)
        noteAhead(dir, stillAhead);

    for (int order = 1;; ++order) {
        outcome.file = dir.filePath(backupFileName(day, order));
        if (!QFileInfo::exists(outcome.file))
            break;
        if (!stillAhead.contains(backupFileName(day, order)) || order == 9) {
            outcome.kind = BackupOutcome::Kind::AlreadyMade;
            return outcome;
        }
    }
    auto fail = [&](const QString &reason) {
        outcome.kind = BackupOutcome::Kind::Failed;
        outcome.reason = reason;
        return outcome;
    };
    sqlite3 *source = connection.backend() == Backend::Embedded ? sqliteHandle(connection.database()) : nullptr;
    if (!source)
        return fail(messages::backupSourceNotSqlite());
    if (!QDir().mkpath(folder))
        return fail(messages::backupFolderCannotBeMade());

    // Copies broken off earlier (the program ended half-way) are of no use to anyone.
    for (const QString &name : dir.entryList({QStringLiteral("Kelvory-*.db") + kPartSuffix}, QDir::Files))
        QFile::remove(dir.filePath(name));
    const QString part = outcome.file + kPartSuffix;
    bool damaged = false;
    const std::optional<QString> problem = copyDatabase(source, part, damaged);
    // A copy of a damaged file would push the good copies out one day after another.
    const QString damage = problem ? QString() : damageIn(part);
    if (damaged || !damage.isEmpty()) {
        QFile::remove(part);
        outcome.kind = BackupOutcome::Kind::Damaged;
        outcome.reason = problem ? *problem : damage;
        outcome.newestGood = newestGoodBackup(folder, day);
        return outcome;
    }
    if (problem) {
        QFile::remove(part);
        return fail(*problem);
    }
    if (!QFile::rename(part, outcome.file)) {
        QFile::remove(part);
        return fail(messages::backupCannotBeNamed());
    }
    outcome.kind = BackupOutcome::Kind::Made;
    outcome.removed = pruneBackups(folder, keeping, day);
    return outcome;
}

BackupOutcome copyEmbeddedDatabase(Connection &connection, const QString &file)
{
    BackupOutcome outcome;
    outcome.file = file;
    sqlite3 *source = connection.backend() == Backend::Embedded ? sqliteHandle(connection.database()) : nullptr;
    if (!source)
        outcome.reason = messages::backupSourceNotSqlite();
    else if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        outcome.reason = messages::backupFolderCannotBeMade();
    else if (bool damaged = false;
             const std::optional<QString> problem = copyDatabase(source, file + kPartSuffix, damaged))
        outcome.reason = *problem;
    else if (const QString damage = damageIn(file + kPartSuffix); !damage.isEmpty())
        outcome.reason = damage; // a copy of a damaged file would undo nothing
    else if (!QFile::rename(file + kPartSuffix, file))
        outcome.reason = messages::backupCannotBeNamed();
    else
        outcome.kind = BackupOutcome::Kind::Made;
    if (outcome.kind == BackupOutcome::Kind::Failed)
        QFile::remove(file + kPartSuffix);
    return outcome;
}

} // namespace kelvory::database
