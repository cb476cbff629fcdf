#include "database/Backup.h"

#include "database/DatabaseMessages.h"

#include "database/Connection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlDriver>

#include <sqlite3.h>

#include <algorithm>
#include <optional>

namespace kelvory::database {

namespace {

const QString kPartSuffix = QStringLiteral(".part");

// Kelvory-YYYY-MM-DD.db, with a date that exists.
std::optional<QDate> dayOfBackup(const QString &fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^Kelvory-(\\d{4}-\\d{2}-\\d{2})\\.db$"));
    const QRegularExpressionMatch match = pattern.match(fileName);
    if (!match.hasMatch())
        return std::nullopt;
    const QDate day = QDate::fromString(match.captured(1), Qt::ISODate);
    return day.isValid() ? std::optional<QDate>(day) : std::nullopt;
}

// The SQLite connection under Qt's driver. Qt's SQLite driver on Debian is linked against
// the system's libsqlite3, the same library this program links, so the handle is one this
// code may use.
sqlite3 *sqliteHandle(const QSqlDatabase &database)
{
    if (!database.driver())
        return nullptr;
    const QVariant handle = database.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

// Copies every page of the source's main database into a new file. Returns why not, or nothing.
std::optional<QString> copyDatabase(sqlite3 *source, const QString &target)
{
    sqlite3 *copy = nullptr;
    const int opened = sqlite3_open_v2(QFile::encodeName(target).constData(), &copy,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    auto close = qScopeGuard([&] { sqlite3_close(copy); });
    if (opened != SQLITE_OK)
        return QString::fromUtf8(copy ? sqlite3_errmsg(copy) : sqlite3_errstr(opened));
    // A copy that fails is deleted whole, so it needs no journal of its own.
    sqlite3_exec(copy, "pragma journal_mode = off", nullptr, nullptr, nullptr);

    sqlite3_backup *backup = sqlite3_backup_init(copy, "main", source, "main");
    if (!backup)
        return QString::fromUtf8(sqlite3_errmsg(copy));
    // Every page in one step; another program writing to the file may hold it for a while.
    int stepped = SQLITE_OK;
    for (int attempt = 0; attempt < 50; ++attempt) {
        stepped = sqlite3_backup_step(backup, -1);
        if (stepped != SQLITE_BUSY && stepped != SQLITE_LOCKED)
            break;
        sqlite3_sleep(200);
    }
    const int finished = sqlite3_backup_finish(backup);
    if (stepped != SQLITE_DONE)
        return QString::fromUtf8(sqlite3_errstr(stepped));
    if (finished != SQLITE_OK)
        return QString::fromUtf8(sqlite3_errmsg(copy));
    close.dismiss();
    if (sqlite3_close(copy) != SQLITE_OK)
        return messages::backupCannotBeClosed();
    return std::nullopt;
}

} // namespace

QString backupFileName(QDate day)
{
    return QStringLiteral("Kelvory-") + day.toString(Qt::ISODate) + QStringLiteral(".db");
}

QStringList backupsIn(const QString &folder)
{
    QStringList names;
    const QStringList files = QDir(folder).entryList({QStringLiteral("Kelvory-*.db")}, QDir::Files);
    for (const QString &name : files) {
        if (dayOfBackup(name))
            names.append(name);
    }
    // ISO dates sort by day as text.
    std::sort(names.begin(), names.end(), std::greater<>());
    return names;
}

QStringList pruneBackups(const QString &folder, int keep, QDate day)
{
    const QString spared = backupFileName(day);
    QStringList removed;
    int kept = 0;
    for (const QString &name : backupsIn(folder)) {
        if (name == spared || kept < keep) {
            ++kept;
            continue;
        }
        if (QFile::remove(QDir(folder).filePath(name)))
            removed.append(name);
    }
    return removed;
}

BackupOutcome backUpEmbeddedDatabase(Connection &connection, const QString &folder, QDate day, int keep)
{
    BackupOutcome outcome;
    const QDir dir(folder);
    outcome.file = dir.filePath(backupFileName(day));
    if (QFileInfo::exists(outcome.file)) {
        outcome.kind = BackupOutcome::Kind::AlreadyMade;
        return outcome;
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
    if (const std::optional<QString> problem = copyDatabase(source, part)) {
        QFile::remove(part);
        return fail(*problem);
    }
    if (!QFile::rename(part, outcome.file)) {
        QFile::remove(part);
        return fail(messages::backupCannotBeNamed());
    }
    outcome.kind = BackupOutcome::Kind::Made;
    outcome.removed = pruneBackups(folder, keep, day);
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
    else if (const std::optional<QString> problem = copyDatabase(source, file + kPartSuffix))
        outcome.reason = *problem;
    else if (!QFile::rename(file + kPartSuffix, file))
        outcome.reason = messages::backupCannotBeNamed();
    else
        outcome.kind = BackupOutcome::Kind::Made;
    if (outcome.kind == BackupOutcome::Kind::Failed)
        QFile::remove(file + kPartSuffix);
    return outcome;
}

} // namespace kelvory::database
