#include "import/ImportStore.h"

#include "changes/Journal.h"
#include "changes/MemberDetails.h"
#include "changes/MemberHistory.h"
#include "changes/RecordIds.h"
#include "database/Backup.h"
#include "database/Connection.h"
#include "database/MemberFields.h"
#include "database/MemberHistoryStatements.h"
#include "database/Statements.h"
#include "import/ImportMessages.h"
#include "startup/DailyBackup.h"
#include "startup/Module1.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QSqlDriver>
#include <QUuid>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

namespace kelvory::import {

namespace {

QSet<qint64> heldRecordIds(database::Connection &connection)
{
    QSet<qint64> held;
    database::ResultSet ids = connection.query(database::sql::kSelectRecordIds);
    while (!ids.eof()) {
        if (const std::optional<qint64> id = changes::recordIdFrom(ids.text(0).toString().trimmed()))
            held.insert(*id);
        ids.moveNext();
    }
    return held;
}

} // namespace

std::vector<RosterEntry> rosterEntries(database::Connection &connection)
{
    std::vector<RosterEntry> entries;
    database::ResultSet members = connection.query(database::sql::kSelectMembers);
    while (!members.eof()) {
        entries.push_back({members.text(members::Name).toString(), members.text(members::Address).toString()});
        members.moveNext();
    }
    return entries;
}

QString dbmsName(database::Connection &connection)
{
    const QSqlDriver *driver = connection.database().driver();
    const QVariant handle = driver ? driver->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "SQLHANDLE") != 0)
        return QString();
    SQLHDBC odbc = *static_cast<const SQLHANDLE *>(handle.constData());
    SQLCHAR name[128] = {};
    SQLSMALLINT length = 0;
    if (!odbc || !SQL_SUCCEEDED(SQLGetInfo(odbc, SQL_DBMS_NAME, name, sizeof name, &length)))
        return QString();
    return QString::fromLatin1(reinterpret_cast<const char *>(name));
}

FieldWidths fieldWidths(database::Connection &connection)
{
    FieldWidths widths = {};
    if (connection.backend() != database::Backend::Odbc)
        return widths;
    // From the server's own catalogue: the ODBC drivers' column sizes are not to be
    // trusted here (psqlODBC gives 255 for a varchar of any length).
    const bool sqlServer = dbmsName(connection).contains(QLatin1String("SQL Server"));
    database::ResultSet columns =
        connection.query(sqlServer ? database::sql::kMemberWidthsSqlServer : database::sql::kMemberWidths);
    for (std::size_t k = 0; k < widths.size() && !columns.eof(); ++k) {
        bool ok = false;
        const qint64 length = columns.field(0).toLongLong(&ok);
        // No length (NULL) or -1, SQL Server's varchar(max): any text fits.
        if (ok && length > 0 && length < (1 << 30))
            widths[k] = int(length);
        columns.moveNext();
    }
    return widths;
}

QString importBackupFileName(const QDateTime &when)
{
    return QStringLiteral("Kelvory-") + when.toString(QStringLiteral("yyyy-MM-dd-HHmmss")) + QStringLiteral(".db");
}

namespace {

QString duplicateKey(const QString &name, const QString &address)
{
    return matchKey(name) + QChar(0) + matchKey(address);
}

} // namespace

StoreOutcome storeMembers(changes::ChangeStore &store, const std::vector<MemberToStore> &candidates)
{
    StoreOutcome outcome;
    database::Connection &connection = store.connection;
    const bool keeping = changes::keepsValues(connection);
    database::Transaction import(connection);
    const changes::NewRecordId chosen = changes::chooseNewRecordId(connection);
    if (chosen.taken) {
        outcome.idTaken = chosen.id;
        return outcome;
    }
    // Read after the id lock, so that a member another workstation adds now waits for us.
    QSet<QString> onRosterNow;
    for (const RosterEntry &entry : rosterEntries(connection))
        onRosterNow.insert(duplicateKey(entry.name, entry.address));
    std::vector<MemberFields> members;
    for (const MemberToStore &candidate : candidates) {
        if (candidate.leftOutIfOnRosterNow
            && onRosterNow.contains(duplicateKey(candidate.fields[members::Name], candidate.fields[members::Address])))
            ++outcome.addedMeanwhile;
        else
            members.push_back(candidate.fields);
    }
    if (members.empty())
        return outcome;
    const QSet<qint64> held = heldRecordIds(connection);
    const QVariant date =
        connection.dateValue(database::sql::kJournalTable, database::sql::kJournalDateColumn, store.today);
    std::vector<QVariantList> memberRows;
    std::vector<QVariantList> journalRows;
    std::vector<qint64> newIds;
    std::vector<QVariantList> keptRows;
    if (keeping)
        outcome.importMark = QUuid::createUuid().toString(QUuid::WithoutBraces);
    memberRows.reserve(members.size());
    journalRows.reserve(members.size());
    qint64 id = chosen.id.value_or(1);
    for (const MemberFields &member : members) {
        while (held.contains(id))
            id = changes::recordIdAfter(id);
        memberRows.push_back({member[0], member[1], member[2], member[3], member[4], id});
        newIds.push_back(id);
        journalRows.push_back({date, store.operatorName, changes::transactionText(changes::kAdded, member)});
        if (keeping) {
            keptRows.push_back(changes::keptValues(store,
                                                   {changes::keptKind(changes::kAdded),
                                                    id,
                                                    {},
                                                    member,
                                                    journalRows.back().at(2).toString(),
                                                    outcome.importMark,
                                                    0}));
        }
        if (outcome.stored == 0)
            outcome.firstId = id;
        outcome.lastId = id;
        ++outcome.stored;
        if (&member != &members.back())
            id = changes::recordIdAfter(id);
    }
    connection.executeRows(database::sql::kInsertMember, memberRows);
    connection.executeRows(database::sql::kInsertJournal, journalRows);
    changes::forgetDetails(connection, newIds);
    if (keeping)
        connection.executeRows(database::sql::kInsertMemberHistory, keptRows);
    import.commit();
    return outcome;
}

ImportResult importMembers(Module1 &module, const Preview &preview, bool alreadyOnRosterToo)
{
    ImportResult result;
    const std::vector<MemberToStore> members = membersToStore(preview, alreadyOnRosterToo);
    if (members.empty()) {
        result.kind = ImportResult::Kind::NothingToImport;
        return result;
    }
    if (module.connection.backend() == database::Backend::Embedded) {
        const QString folder = backup::backupsFolder(module);
        const database::BackupOutcome copy = database::copyEmbeddedDatabase(
            module.connection, QDir(folder).filePath(importBackupFileName(QDateTime::currentDateTime())));
        if (copy.kind != database::BackupOutcome::Kind::Made) {
            result.kind = ImportResult::Kind::BackupNotMade;
            result.backupFile = folder;
            result.reason = copy.reason;
            return result;
        }
        result.backupFile = copy.file;
    }

    try {
        changes::ChangeStore store{module.connection, module.OperatorFirstName, module.today()};
        result.outcome = storeMembers(store, members);
        if (result.outcome.idTaken)
            result.kind = ImportResult::Kind::IdTaken;
    } catch (const Failure &failure) {
        // Rolled back: nothing of the import is stored, and the program goes on.
        result.kind = ImportResult::Kind::Failed;
        result.errorNumber = failure.number();
        result.reason = failure.description();
    }
    if (result.kind != ImportResult::Kind::Imported) {
        // Nothing changed, so the copy taken before would only be in the way.
        if (!result.backupFile.isEmpty())
            QFile::remove(result.backupFile);
        result.backupFile.clear();
        return result;
    }
    // Every member was added from another workstation meanwhile: nothing changed here.
    if (result.outcome.stored == 0 && !result.backupFile.isEmpty()) {
        QFile::remove(result.backupFile);
        result.backupFile.clear();
    }
    result.onRoster = alreadyOnRosterToo ? 0 : preview.counts[std::size_t(Verdict::OnRoster)];
    result.unusable = preview.counts[std::size_t(Verdict::Unusable)];
    return result;
}

} // namespace kelvory::import
