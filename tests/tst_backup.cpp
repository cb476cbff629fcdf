// The daily copy of the embedded database: made at start after admission, once a day,
// consistent while the file is in use, the ten newest kept; a copy that cannot be made is
// reported once, never leaves a half-written file behind, and the program goes on.
// A server database is never copied.
#include "BackendTest.h"
#include "FaultTools.h"
#include "database/Backup.h"
#include "database/DatabaseMessages.h"
#include "roster/RosterForm.h"
#include "roster/grid/FlexGrid.h"

#include <QDate>
#include <QDir>
#include <QtTest>


using namespace kelvory;
using namespace kelvory::test;

class TestBackup : public BackendTest
{
    Q_OBJECT
public:
    using BackendTest::BackendTest;

private Q_SLOTS:
    void theFirstStartOfTheDayCopiesTheDatabase();
    void aServerDatabaseIsNotCopied();
    void theTenNewestCopiesAreKept();
    void aCopyThatCannotBeMadeIsReportedOnce();
    void aCopyBrokenOffLeavesNoFileAndKeepsTheOthers();
    void theCopyHoldsWhatIsCommittedWhileTheFileIsInUse();

private:
    QString folder() const { return QDir(h->folder.path()).filePath(QStringLiteral("Backups")); }
    QString today() const { return QDir(folder()).filePath(database::backupFileName(QDate::currentDate())); }
    // Opens a copy on a connection of its own: its integrity check, and its rows.
    static QString integrity(const QString &file);
    static QList<QVariantList> rowsOf(const QString &file, const QString &sql);
};

QString TestBackup::integrity(const QString &file)
{
    database::Connection copy;
    copy.openEmbedded(file);
    database::ResultSet result = copy.query(QStringLiteral("pragma integrity_check"));
    return result.eof() ? QString() : result.field(0).toString();
}

QList<QVariantList> TestBackup::rowsOf(const QString &file, const QString &sql)
{
    database::Connection copy;
    copy.openEmbedded(file);
    return allRows(copy, sql);
}

void TestBackup::theFirstStartOfTheDayCopiesTheDatabase()
{
    if (m_backend != Backend::Sqlite)
        QSKIP("the server's database is the server's to keep");
    addManyMembers(*h, 300);
    // A first run: admission asks for the name and records it before the copy is taken.
    QVERIFY(QFile::remove(h->userFilePath()));
    h->dialogs.type(QStringLiteral("Dorothy"));
    QVERIFY(h->start());
    QVERIFY(h->dialogs.messages.isEmpty());
    QVERIFY(QFileInfo::exists(today()));
    QCOMPARE(database::backupsIn(folder()), QStringList{database::backupFileName(QDate::currentDate())});
    QCOMPARE(QDir(folder()).entryList(QDir::Files | QDir::Hidden).size(), 1); // nothing half-written beside it
    QCOMPARE(integrity(today()), QStringLiteral("ok"));
    const QString everyMember = QStringLiteral("select * from members order by recordid");
    QCOMPARE(rowsOf(today(), everyMember), h->rows(everyMember));
    QCOMPARE(rowsOf(today(), everyMember).size(), 300);
    QCOMPARE(rowsOf(today(), QStringLiteral("select member from memberstatus")),
             QList<QVariantList>{QVariantList{QStringLiteral("Dorothy")}});

    // The second start of the day leaves the day's copy as it is.
    const QByteArray first = fileBytes(today());
    h->addMember(QStringLiteral("Zimmer, Paul"), QStringLiteral("31 Cedar Ave"), QStringLiteral("Salem"),
                 QStringLiteral("555"), QString(), 9999);
    h->restart();
    QVERIFY(h->start());
    QCOMPARE(fileBytes(today()), first);
    QCOMPARE(rowsOf(today(), everyMember).size(), 300);
    QCOMPARE(h->form().Grid1->Rows(), 302);
    QVERIFY(h->dialogs.messages.isEmpty());
}

void TestBackup::aServerDatabaseIsNotCopied()
{
    QVERIFY(h->start());
    QVERIFY(h->dialogs.messages.isEmpty());
    // On SQLite the copy is there; on the server nothing is made at all.
    QCOMPARE(QFileInfo::exists(folder()), m_backend == Backend::Sqlite);
    QCOMPARE(QFileInfo::exists(today()), m_backend == Backend::Sqlite);
}

void TestBackup::theTenNewestCopiesAreKept()
{
    if (m_backend != Backend::Sqlite)
        QSKIP("the server's database is the server's to keep");
    // Twelve older days, and files that only look like copies.
    QStringList older;
    for (int i = 1; i <= 12; ++i) {
        older.append(database::backupFileName(QDate(2024, 3, i)));
        writeFile(QDir(folder()).filePath(older.last()), "older copy " + QByteArray::number(i));
    }
    const QStringList others = {"Kelvory-2024-02-30.db", "Kelvory-notes.db", "Kelvory-2024-03-01.db.bak",
                                "Other-2020-01-01.db", "README.txt"};
    for (const QString &name : others)
        writeFile(QDir(folder()).filePath(name), "not a copy");

    QVERIFY(h->start());
    QVERIFY(h->dialogs.messages.isEmpty());
    // Today's and the nine newest older ones; the three oldest are gone.
    QStringList kept{database::backupFileName(QDate::currentDate())};
    for (int i = 12; i >= 4; --i)
        kept.append(older.at(i - 1));
    QCOMPARE(database::backupsIn(folder()), kept);
    for (const QString &name : others)
        QCOMPARE(fileBytes(QDir(folder()).filePath(name)), QByteArray("not a copy"));
    QCOMPARE(fileBytes(QDir(folder()).filePath(older.at(11))), QByteArray("older copy 12"));

    // The pruning by itself: today's copy stays even when newer ones (a clock set wrong) outnumber it.
    for (int i = 1; i <= 3; ++i)
        writeFile(QDir(folder()).filePath(database::backupFileName(QDate::currentDate().addYears(i))), "future");
    const QStringList removed = database::pruneBackups(folder(), 3, QDate::currentDate());
    QCOMPARE(removed, kept.mid(1));
    QCOMPARE(database::backupsIn(folder()).size(), 4);
    QVERIFY(QFileInfo::exists(today()));
}

void TestBackup::aCopyThatCannotBeMadeIsReportedOnce()
{
    if (m_backend != Backend::Sqlite)
        QSKIP("the server's database is the server's to keep");
    h->addMember(QStringLiteral("Abbott, Helen"), QStringLiteral("12 Main St"), QStringLiteral("Salem"),
                 QStringLiteral("555"), QString(), 1);
    // Where the folder belongs there is a file: no folder can be made there, not even by root.
    writeFile(folder(), "in the way");

    QVERIFY(h->start());
    QCOMPARE(h->dialogs.messages.size(), 1);
    const Message &message = h->dialogs.messages.first();
    QVERIFY2(message.text.contains(QDir::toNativeSeparators(folder())), qPrintable(message.text));
    QCOMPARE(message.text, database::messages::backupNotMade(QDir::toNativeSeparators(folder()),
                                                              database::messages::backupFolderCannotBeMade()));
    QVERIFY(message.text.startsWith(QStringLiteral("Today's copy of the club's database could not be made")));
    QCOMPARE(message.style, int(MB_OK | MB_ICONERROR));
    QCOMPARE(message.title, QStringLiteral("Kelvory"));
    // The program goes on as usual.
    QVERIFY(!h->end.ended);
    QVERIFY(h->form().isVisible());
    QCOMPARE(h->form().Grid1->TextMatrix(1, 0), QStringLiteral("Abbott, Helen"));
    QCOMPARE(fileBytes(folder()), QByteArray("in the way"));
}

void TestBackup::aCopyBrokenOffLeavesNoFileAndKeepsTheOthers()
{
    if (m_backend != Backend::Sqlite)
        QSKIP("the server's database is the server's to keep");
    addManyMembers(*h, 3000);
    QVERIFY(h->start());
    QVERIFY(QFileInfo::exists(today()));
    for (int i = 1; i <= 9; ++i)
        writeFile(QDir(folder()).filePath(database::backupFileName(QDate(2024, 3, i))), "older copy");
    // What an earlier start broke off.
    writeFile(QDir(folder()).filePath(QStringLiteral("Kelvory-2024-02-01.db.part")), "broken off");
    const QStringList before = database::backupsIn(folder());
    const QByteArray todays = fileBytes(today());
    const QDate tomorrow = QDate::currentDate().addDays(1);
    const QString tomorrows = QDir(folder()).filePath(database::backupFileName(tomorrow));

    // The copy's writes fail part-way, as on a full disk.
    QVERIFY(QFileInfo(h->module->databaseFilePath()).size() > 64 * 1024);
    database::BackupOutcome failed;
    {
        const FileSizeLimit full(64 * 1024);
        QVERIFY(full.isSet());
        failed = database::backUpEmbeddedDatabase(h->module->connection, folder(), tomorrow);
    }

    QCOMPARE(int(failed.kind), int(database::BackupOutcome::Kind::Failed));
    qInfo("the copy failed with: %s", qPrintable(failed.reason));
    QVERIFY(!failed.reason.isEmpty());
    QVERIFY(!QFileInfo::exists(tomorrows));
    // Nothing half-written is left, the old leftover included; no good copy was touched or pruned.
    QCOMPARE(QDir(folder()).entryList({QStringLiteral("*.part*")}, QDir::Files), QStringList());
    QCOMPARE(database::backupsIn(folder()), before);
    QCOMPARE(fileBytes(today()), todays);

    // With room again the next copy is made, and the oldest goes.
    const database::BackupOutcome made = database::backUpEmbeddedDatabase(h->module->connection, folder(), tomorrow);
    QCOMPARE(int(made.kind), int(database::BackupOutcome::Kind::Made));
    QCOMPARE(made.removed, QStringList{database::backupFileName(QDate(2024, 3, 1))});
    QCOMPARE(integrity(tomorrows), QStringLiteral("ok"));
    QCOMPARE(rowsOf(tomorrows, QStringLiteral("select count(*) from members")).value(0).value(0).toInt(), 3000);
    QCOMPARE(int(database::backUpEmbeddedDatabase(h->module->connection, folder(), tomorrow).kind),
             int(database::BackupOutcome::Kind::AlreadyMade));
}

void TestBackup::theCopyHoldsWhatIsCommittedWhileTheFileIsInUse()
{
    if (m_backend != Backend::Sqlite)
        QSKIP("the server's database is the server's to keep");
    addManyMembers(*h, 50);
    QVERIFY(h->start());

    // Another connection in the middle of a change it has not committed.
    database::Connection other;
    other.openEmbedded(h->module->databaseFilePath());
    other.execute(QStringLiteral("begin immediate"));
    other.execute(QStringLiteral("insert into members values ('Uncommitted','x','x','x','x',777)"));
    other.execute(QStringLiteral("delete from members where recordid <= 10"));

    const QDate day(2030, 1, 1);
    const database::BackupOutcome made = database::backUpEmbeddedDatabase(h->module->connection, folder(), day);
    QCOMPARE(int(made.kind), int(database::BackupOutcome::Kind::Made));
    other.execute(QStringLiteral("rollback"));

    QCOMPARE(integrity(made.file), QStringLiteral("ok"));
    const QString everyMember = QStringLiteral("select * from members order by recordid");
    QCOMPARE(rowsOf(made.file, everyMember), h->rows(everyMember));
    QCOMPARE(rowsOf(made.file, everyMember).size(), 50);
}

KELVORY_BACKEND_TEST_MAIN(TestBackup)
#include "tst_backup.moc"
