// The daily copy of the embedded database: made at start after admission, once a day,
// consistent while the file is in use, older copies kept by day, week and month; a copy
// of a damaged file is never named and the operator is told where the good one is; a copy that cannot be made is
// reported once, never leaves a half-written file behind, and the program goes on.
// A server database is never copied.
#include "BackendTest.h"
#include "FaultTools.h"
#include "database/Backup.h"
#include "startup/DataFolder.h"
#include "database/DatabaseMessages.h"
#include "roster/RosterForm.h"
#include "grid/FlexGrid.h"

#include <QDate>
#include <QDir>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

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
    void olderCopiesAreKeptByDayWeekAndMonth();
    void theKeepingRule_data();
    void theKeepingRule();
    void aDamagedFileIsToldAndPushesOutNoGoodCopy();
    void aCopyThatCannotBeMadeIsReportedOnce();
    void aCopyBrokenOffLeavesNoFileAndKeepsTheOthers();
    void theCopyHoldsWhatIsCommittedWhileTheFileIsInUse();
    void theKeepingRuleAgainstTheClock_data();
    void theKeepingRuleAgainstTheClock();
    void anInstalledCopysDataIsItsUsersAlone();
    void aCopyPutBackAsWrittenMixesNothingIn_data();
    void aCopyPutBackAsWrittenMixesNothingIn();

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

void TestBackup::olderCopiesAreKeptByDayWeekAndMonth()
{
    if (m_backend != Backend::Sqlite)
        QSKIP("the server's database is the server's to keep");
    // Twelve days of an earlier build, long ago, and files that only look like copies.
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
    // Today's and the six newest older ones; those days are neither this week nor this year.
    QStringList kept{database::backupFileName(QDate::currentDate())};
    for (int i = 12; i >= 7; --i)
        kept.append(older.at(i - 1));
    QCOMPARE(database::backupsIn(folder()), kept);
    for (const QString &name : others)
        QCOMPARE(fileBytes(QDir(folder()).filePath(name)), QByteArray("not a copy"));
    QCOMPARE(fileBytes(QDir(folder()).filePath(older.at(11))), QByteArray("older copy 12"));

    // The pruning by itself: while newer ones (a clock set wrong) are there, nothing goes.
    for (int i = 1; i <= 3; ++i)
        writeFile(QDir(folder()).filePath(database::backupFileName(QDate::currentDate().addYears(i))), "future");
    const QStringList removed = database::pruneBackups(folder(), {3, 0, 0}, QDate::currentDate());
    QCOMPARE(removed, QStringList());
    QCOMPARE(database::backupsIn(folder()).size(), 10);
    QVERIFY(QFileInfo::exists(today()));
}

void TestBackup::theKeepingRule_data()
{
    // Copies from `first` to `last`, one every `step` days; the day is a Wednesday.
    QTest::addColumn<QDate>("first");
    QTest::addColumn<QDate>("last");
    QTest::addColumn<int>("step");
    QTest::addColumn<QStringList>("kept");
    // Each Sunday for 14 months: the seven newest, then one a month back to January.
    QTest::newRow("on Sundays for 14 months")
        << QDate(2025, 10, 5) << QDate(2026, 12, 6) << 7
        << QStringList{"2026-12-06", "2026-11-29", "2026-11-22", "2026-11-15", "2026-11-08", "2026-11-01",
                       "2026-10-25", "2026-09-27", "2026-08-30", "2026-07-26", "2026-06-28", "2026-05-31",
                       "2026-04-26", "2026-03-29", "2026-02-22", "2026-01-25"};
    // While copies are dated ahead of the clock, no rule can tell the newest: all are kept.
    QStringList everyDay;
    for (QDate day(2026, 12, 20); day >= QDate(2026, 12, 1); day = day.addDays(-1))
        everyDay.append(day.toString(Qt::ISODate));
    QTest::newRow("copies dated ahead of the clock") << QDate(2026, 12, 1) << QDate(2026, 12, 20) << 1 << everyDay;
}

void TestBackup::theKeepingRule()
{
    QFETCH(QDate, first);
    QFETCH(QDate, last);
    QFETCH(int, step);
    QFETCH(QStringList, kept);
    QStringList copies;
    for (QDate day = last; day >= first; day = day.addDays(-step))
        copies.append(database::backupFileName(day));
    QStringList expected;
    for (const QString &day : kept)
        expected.append(database::backupFileName(QDate::fromString(day, Qt::ISODate)));
    QStringList actual = database::backupsKept(copies, {}, QDate(2026, 12, 9));
    std::sort(actual.begin(), actual.end(), std::greater<>());
    QCOMPARE(actual, expected);
}

void TestBackup::aDamagedFileIsToldAndPushesOutNoGoodCopy()
{
    if (m_backend != Backend::Sqlite)
        QSKIP("the server's database is the server's to keep");
    addManyMembers(*h, 3000);
    h->writeUserFile(QStringLiteral("Dorothy"));
    const qint64 pageSize = h->rows(QStringLiteral("pragma page_size")).value(0).value(0).toLongLong();
    const qint64 root = h->rows(QStringLiteral("select rootpage from sqlite_master where name = 'members'"))
                            .value(0)
                            .value(0)
                            .toLongLong();
    QTemporaryDir runtime; // the probe's lock is this test's own
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    // The real program's start on a day, and the messages it showed.
    auto startOn = [&](QDate day) {
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(qEnvironmentVariable("KELVORY_PROBE"),
                      {"--once", "--today", day.toString(Qt::ISODate), h->folder.path()});
        program.waitForFinished(60000);
        return QString::fromUtf8(program.readAllStandardOutput())
            .split(QLatin1Char('\n'))
            .filter(QStringLiteral("MSG "));
    };
    const QDate firstDay(2026, 11, 1);
    for (int i = 0; i < 10; ++i)
        QCOMPARE(startOn(firstDay.addDays(i)), QStringList());
    const QStringList good = database::backupsIn(folder());
    QCOMPARE(good.first(), database::backupFileName(firstDay.addDays(9)));

    // The members table's first page overwritten.
    QFile file(QDir(h->folder.path()).filePath(QStringLiteral("Kelvory.db")));
    QVERIFY(file.open(QIODevice::ReadWrite) && file.seek((root - 1) * pageSize));
    QCOMPARE(file.write(QByteArray(int(pageSize), '\x5a')), pageSize);
    file.close();
    for (int i = 10; i < 30; ++i) {
        const QStringList said = startOn(firstDay.addDays(i));
        QCOMPARE(said.size(), 2);
        QVERIFY2(said.at(0).startsWith(QStringLiteral("MSG 16 Kelvory|Members shown: 0. The club's database file")),
                 qPrintable(said.at(0)));
        QVERIFY2(said.at(1).contains(QStringLiteral("is damaged: SQLite's check of it says")), qPrintable(said.at(1)));
        QVERIFY2(said.at(1).contains(QStringLiteral("The newest good copy is\\r\\n")
                                     + QDir::toNativeSeparators(QDir(folder()).filePath(good.first()))),
                 qPrintable(said.at(1)));
        QCOMPARE(database::backupsIn(folder()), good); // no damaged copy named, no good one deleted
    }
    for (const QString &name : good)
        QCOMPARE(database::damageIn(QDir(folder()).filePath(name)), QString());
    QCOMPARE(QDir(folder()).entryList({QStringLiteral("*.part")}, QDir::Files), QStringList());
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
    QCOMPARE(message.text,
             database::messages::backupNotMade(QDir::toNativeSeparators(folder()),
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
    const QString file = h->module->databaseFilePath(); // in WAL mode, much of it in the log
    QVERIFY(QFileInfo(file).size() + QFileInfo(file + QStringLiteral("-wal")).size() > 64 * 1024);
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

    // With room again the next copy is made, and the oldest go: the seven newest are kept.
    const database::BackupOutcome made = database::backUpEmbeddedDatabase(h->module->connection, folder(), tomorrow);
    QCOMPARE(int(made.kind), int(database::BackupOutcome::Kind::Made));
    QStringList oldest;
    for (int i = 4; i >= 1; --i)
        oldest.append(database::backupFileName(QDate(2024, 3, i)));
    QCOMPARE(made.removed, oldest);
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

void TestBackup::theKeepingRuleAgainstTheClock_data()
{
    // The copies there before, the clock's day at each start in the order they happen, the
    // day's and pre-import copies left after the last, and the starts told of the date.
    QTest::addColumn<QStringList>("seeded");
    QTest::addColumn<QList<QDate>>("starts");
    QTest::addColumn<QList<int>>("left");
    QTest::addColumn<QList<int>>("toldAt");
    auto copies = [](QDate first, int count, int step = 1, const char *time = "") {
        QStringList names;
        for (int i = 0; i < count; ++i)
            names.append(QStringLiteral("Kelvory-%1%2.db").arg(first.addDays(i * step).toString(Qt::ISODate), time));
        return names;
    };
    auto days = [](QDate first, int count) {
        QList<QDate> starts;
        for (int i = 0; i < count; ++i)
            starts.append(first.addDays(i));
        return starts;
    };
    const QDate real(2026, 12, 1);
    QTest::newRow("a flat clock battery, once")
        << copies(real.addDays(-365), 365) << (QList<QDate>{QDate(2000, 1, 1)} + days(real, 2)) << QList<int>{19, 0}
        << QList<int>{0};
    // Copies made ahead stay until the date has passed them; on their days, a second name.
    QTest::newRow("seven starts months ahead")
        << copies(QDate(2026, 10, 2), 30)
        << (days(QDate(2027, 4, 1), 7) + days(QDate(2026, 11, 8), 30) + days(QDate(2027, 4, 1), 8)) << QList<int>{11, 0}
        << QList<int>{7};
    QTest::newRow("pre-import copies of 90 days")
        << copies(QDate(2025, 10, 1), 43, 10, "-120000") << days(real, 1) << QList<int>{1, 9} << QList<int>{};
    QTest::newRow("pre-import copies of long ago")
        << copies(QDate(2024, 1, 1), 5, 30, "-120000") << days(real, 1) << QList<int>{1, 3} << QList<int>{};
    QTest::newRow("a pre-import copy dated ahead")
        << (copies(QDate(2026, 1, 1), 300) + copies(QDate(2027, 1, 15), 1, 1, "-120000")) << days(real, 1)
        << QList<int>{301, 1} << QList<int>{0};
}

void TestBackup::theKeepingRuleAgainstTheClock()
{
    if (m_backend != Backend::Sqlite)
        QSKIP("the server's database is the server's to keep");
    QFETCH(QStringList, seeded);
    QFETCH(QList<QDate>, starts);
    QFETCH(QList<int>, left);
    QFETCH(QList<int>, toldAt);
    database::Connection club;
    club.openEmbedded(QDir(h->folder.path()).filePath(QStringLiteral("Kelvory.db")));
    const QString first = database::copyEmbeddedDatabase(club, h->folder.filePath(QStringLiteral("first.db"))).file;
    for (const QString &name : seeded)
        writeFile(QDir(folder()).filePath(name), fileBytes(first));
    for (int start = 0; start < starts.size(); ++start) {
        const QStringList before = database::backupsIn(folder()) + database::importBackupsIn(folder());
        QDate newest;
        for (const QString &name : before)
            newest = std::max(newest, QDate::fromString(name.mid(8, 10), Qt::ISODate));
        club.execute(QStringLiteral("insert into members values ('Member', 'x', 'x', 'x', '', ?)"), {start});
        const database::BackupOutcome made = database::backUpEmbeddedDatabase(club, folder(), starts.at(start));
        // Each start's copy holds everything so far (under a name of its own) and is the newest good one.
        QCOMPARE(rowsOf(made.file, QStringLiteral("select count(*) from members")).value(0).value(0).toInt(),
                 start + 1);
        QCOMPARE(database::newestGoodBackup(folder(), starts.at(start)), QFileInfo(made.file).fileName());
        // While a copy is dated after today nothing is deleted; the first time, the operator is told.
        QVERIFY2(newest <= starts.at(start) || made.removed.isEmpty(), qPrintable(made.removed.join(' ')));
        QCOMPARE(made.newestAhead, toldAt.contains(start) ? newest : QDate());
    }
    QCOMPARE((QList<int>{int(database::backupsIn(folder()).size()), int(database::importBackupsIn(folder()).size())}),
             left);
}

void TestBackup::aCopyPutBackAsWrittenMixesNothingIn_data()
{
    // On a network share the program keeps the rollback journal; what a crash leaves beside the file.
    QTest::addColumn<bool>("networkShare");
    QTest::addColumn<QString>("leftBeside");
    QTest::newRow("rollback journal, hot") << true << QStringLiteral("-journal");
    QTest::newRow("write-ahead log, not checkpointed") << false << QStringLiteral("-wal");
}

void TestBackup::aCopyPutBackAsWrittenMixesNothingIn()
{
    if (m_backend != Backend::Sqlite)
        QSKIP("the server's database is the server's to keep");
    QFETCH(bool, networkShare);
    QFETCH(QString, leftBeside);
    database::fakeFileSystemType(networkShare ? std::optional<qint64>(0x6969) : std::nullopt);
    const auto realDisk = qScopeGuard([] { database::fakeFileSystemType(std::nullopt); });
    QTemporaryDir club;
    const QString file = club.filePath(QStringLiteral("Kelvory.db"));
    const QString everyMember = QStringLiteral("select * from members order by recordid");
    QList<QVariantList> asCopied;
    QByteArray copy;
    {
        database::Connection program;
        program.openEmbedded(file);
        program.execute(
            QStringLiteral("with recursive g(x) as (select 1 union all select x + 1 from g where x < 3000) "
                           "insert into members select 'Member ' || x, 'Elm St', 'Salem', '555', '', x from g"));
        asCopied = allRows(program, everyMember);
        copy = fileBytes(database::backUpEmbeddedDatabase(program, club.filePath("Backups"), QDate(2026, 12, 1)).file);
    }
    QCOMPARE(copy.mid(18, 2), QByteArray("\x01\x01", 2)); // one file, with no -wal of its own
    // After the copy a change is committed, and the next one is broken off by a crash.
    QProcess other;
    other.start(QStringLiteral("sqlite3"), {file});
    QVERIFY(other.waitForStarted(10000));
    other.write("pragma cache_size = 10;\npragma wal_autocheckpoint = 0;\nupdate members set phone = 'changed';\n"
                "begin;\nupdate members set comment = hex(randomblob(30));\n.print READY\n");
    QVERIFY(!waitForLine(other, QStringLiteral("READY"), 20000).isEmpty());
    ::kill(static_cast<pid_t>(other.processId()), SIGKILL);
    QVERIFY(other.waitForFinished(10000) && QFileInfo(file + leftBeside).size() > 0);

    // The steps as written: the file and what is beside it moved aside, then the copy. (Put
    // over the file alone, the copy would take in what the crash left beside it.)
    QVERIFY(QDir(club.path()).mkdir(QStringLiteral("Damaged")));
    for (const QString &side :
         {QString(), QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (QFileInfo::exists(file + side))
            QVERIFY(QFile::rename(file + side, club.filePath(QStringLiteral("Damaged/Kelvory.db") + side)));
    }
    writeFile(file, copy);
    QCOMPARE(integrity(file), QStringLiteral("ok"));
    QCOMPARE(rowsOf(file, everyMember), asCopied);
    writeFile(club.filePath(QStringLiteral("Damaged/Kelvory.db")), copy);
    QVERIFY(rowsOf(club.filePath(QStringLiteral("Damaged/Kelvory.db")), everyMember) != asCopied);
}

void TestBackup::anInstalledCopysDataIsItsUsersAlone()
{
    if (m_backend != Backend::Sqlite)
        QSKIP("no file of the server's is on the workstation");
    const mode_t savedMask = ::umask(022);
    const auto restoreMask = qScopeGuard([&] { ::umask(savedMask); });
    auto mode = [](const QString &path) {
        struct stat status
        {
        };
        return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 0777) : -1;
    };
    // What an earlier build left open to others.
    QTemporaryDir scratch;
    const QString folder = scratch.filePath(QStringLiteral("Kelvory"));
    const QString file = folder + QStringLiteral("/Kelvory.db");
    const QString old = folder + QStringLiteral("/Backups/Kelvory-2026-11-30.db");
    QVERIFY(QDir().mkpath(folder));
    {
        database::Connection program;
        program.openEmbedded(file);
        QCOMPARE(int(database::copyEmbeddedDatabase(program, old).kind), int(database::BackupOutcome::Kind::Made));
    }
    for (const QString &path : {folder, folder + QStringLiteral("/Backups")})
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0755) == 0);
    QCOMPARE(mode(file), 0644);
    QCOMPARE(mode(old), 0644);

    QCOMPARE(prepareDataFolder(DataFolderKind::User, folder), std::nullopt);
    QCOMPARE(mode(folder), 0700);
    QCOMPARE(mode(folder + QStringLiteral("/Backups")), 0700);
    QCOMPARE(mode(file), 0600);
    QCOMPARE(mode(old), 0600);
    QCOMPARE(database::backupsIn(folder + QStringLiteral("/Backups")), QStringList{QFileInfo(old).fileName()});
    {
        database::Connection program;
        program.openEmbedded(file);
        const database::BackupOutcome made =
            database::backUpEmbeddedDatabase(program, folder + QStringLiteral("/Backups"), QDate(2026, 12, 1));
        QCOMPARE(mode(made.file), 0600);
        // A database made there at the first start is its user's alone from the start.
        database::Connection fresh;
        fresh.openEmbedded(folder + QStringLiteral("/Fresh.db"));
        QCOMPARE(mode(folder + QStringLiteral("/Fresh.db")), 0600);
    }

    // Wherever it is, a copy is no more open than the file it copies.
    ::umask(022);
    QVERIFY(::chmod(QFile::encodeName(file).constData(), 0640) == 0);
    database::Connection program;
    program.openEmbedded(file);
    const QString portable = scratch.filePath(QStringLiteral("copy.db"));
    QCOMPARE(int(database::copyEmbeddedDatabase(program, portable).kind), int(database::BackupOutcome::Kind::Made));
    QCOMPARE(mode(portable), 0640);
}

KELVORY_BACKEND_TEST_MAIN(TestBackup)
#include "tst_backup.moc"
