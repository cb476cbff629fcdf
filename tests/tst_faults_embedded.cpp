// The embedded database file (Kelvory.db in the program's folder) cannot be used: it is
// not a database, or another program holds it locked past the time-out. The start ends
// in the error report with a description a club volunteer can act on, and the file is
// left exactly as it was. Each case runs on a local disk, where the file keeps a
// write-ahead log, and on a network share (its file system type faked), where it keeps
// the rollback journal.
#include "BackendTest.h"
#include "FaultTools.h"
#include "roster/RosterForm.h"
#include "database/EmbeddedSchema.h"
#include "roster/grid/CommandButton.h"
#include "roster/grid/FlexGrid.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QtTest>

#include <optional>

using namespace kelvory;
using namespace kelvory::test;

class TestEmbeddedFaults : public BackendTest
{
    Q_OBJECT
public:
    // An empty program folder: each case puts its database file there.
    TestEmbeddedFaults() : BackendTest(Backend::Sqlite, QString(), Database::NotMade) {}

private Q_SLOTS:
    void fileThatIsNotADatabase_data();
    void fileThatIsNotADatabase();
    void fileLockedByAnotherProgram_data();
    void fileLockedByAnotherProgram();
    void theJournalFollowsTheDisk_data();
    void theJournalFollowsTheDisk();

private:
    QString databaseFile() const { return QDir(h->folder.path()).filePath(QStringLiteral("Kelvory.db")); }
    // Until the case ends, every file is on an NFS share, or on the real disk.
    static auto onNetworkShare(bool network)
    {
        database::fakeFileSystemType(network ? std::optional<qint64>(0x6969) : std::nullopt);
        return qScopeGuard([] { database::fakeFileSystemType(std::nullopt); });
    }
    QString journalMode(const QString &file) const;
    // The start fails before any window or prompt, with the report; files untouched.
    void checkEndedBeforeAnything(const FileSnapshot &database, const FileSnapshot &userFile);
};

void TestEmbeddedFaults::checkEndedBeforeAnything(const FileSnapshot &database, const FileSnapshot &userFile)
{
    QVERIFY(h->end.ended);
    QCOMPARE(h->end.code, 1);
    QCOMPARE(h->dialogs.messages.size(), 1);
    QCOMPARE(h->dialogs.messages.first().style, MB_OK | MB_ICONERROR);
    QVERIFY(h->dialogs.inputPrompts.isEmpty());
    QVERIFY(!h->module->rosterForm());
    for (QWidget *widget : QApplication::topLevelWidgets())
        QVERIFY(!widget->isVisible());
    QVERIFY(FileSnapshot::of(databaseFile()) == database);
    QVERIFY(FileSnapshot::of(h->userFilePath()) == userFile);
}

QString TestEmbeddedFaults::journalMode(const QString &file) const
{
    QProcess tool;
    tool.start(QStringLiteral("sqlite3"), {file, QStringLiteral("pragma journal_mode")});
    tool.waitForFinished(10000);
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

void TestEmbeddedFaults::fileThatIsNotADatabase_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("userFile");
    QTest::addColumn<QString>("diagnosis");
    QTest::addColumn<bool>("network");
    const QString notOurs = QStringLiteral("is not a Kelvory database");
    const QByteArray text = QByteArray("Name,Address,City\r\nAdams,1 Elm St,Salem\r\n").repeated(60);
    QTest::newRow("spreadsheet text, known operator") << text << true << notOurs << false;
    QTest::newRow("spreadsheet text, first run") << text << false << notOurs << true;
    QByteArray zip("PK\x03\x04", 4);
    zip += QByteArray(2000, '\x7f');
    QTest::newRow("zip archive, known operator") << zip << true << notOurs << false;
    // Right length, right first bytes, the rest overwritten.
    QByteArray header("SQLite format 3\0", 16);
    header += QByteArray(4080, '\xff');
    QTest::newRow("header only, first run") << header << false << notOurs << false;

    // A real roster database cut short, as a copy broken off half-way leaves it; marked
    // for the write-ahead log, or for the rollback journal.
    for (const bool network : {false, true}) {
        const auto share = onNetworkShare(network);
        QTemporaryDir scratch;
        const QString whole = scratch.filePath(QStringLiteral("whole.db"));
        {
            database::Connection connection;
            connection.openEmbedded(whole);
            connection.execute(
                QStringLiteral("with recursive g(x) as (select 1 union all select x + 1 from g where x < 3000) "
                               "insert into members select 'Member ' || x, x || ' Elm St', 'Salem', '555', "
                               "'', x from g"));
        }
        QFile file(whole);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray truncated = file.readAll().left(40960);
        QVERIFY(truncated.size() == 40960);
        QTest::newRow(network ? "cut short, rollback journal" : "cut short, write-ahead log")
            << truncated << true << QStringLiteral("database file %1 is damaged") << network;
    }
}

void TestEmbeddedFaults::fileThatIsNotADatabase()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, userFile);
    QFETCH(QString, diagnosis);
    QFETCH(bool, network);
    const auto share = onNetworkShare(network);
    {
        QFile file(databaseFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        QVERIFY(file.setFileTime(QDateTime(QDate(2021, 5, 6), QTime(7, 8, 9)), QFileDevice::FileModificationTime));
    }
    if (userFile)
        writeOldUserFile(*h);
    const FileSnapshot database = FileSnapshot::of(databaseFile());
    const FileSnapshot user = FileSnapshot::of(h->userFilePath());

    QVERIFY(!h->start());
    checkEndedBeforeAnything(database, user);
    const QString report = h->dialogs.messages.first().text;
    qInfo("%s", qPrintable(report));
    QVERIFY(report.startsWith(QStringLiteral("Run-time error '")));
    // Which file, what is wrong with it, what to do.
    QVERIFY2(report.contains(QDir::toNativeSeparators(databaseFile())), qPrintable(report));
    QVERIFY2(report.contains(diagnosis.arg(QDir::toNativeSeparators(databaseFile()))), qPrintable(report));
    QVERIFY2(report.contains(QStringLiteral("Nothing was changed")), qPrintable(report));
    // No journal or other file of the database's was left beside it.
    QCOMPARE(QDir(h->folder.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("Kelvory.db")),
             QStringList{QStringLiteral("Kelvory.db")});
}

void TestEmbeddedFaults::fileLockedByAnotherProgram_data()
{
    // Where the file is, how the other program holds it, and whether that keeps the
    // program from starting.
    QTest::addColumn<bool>("network");
    QTest::addColumn<QByteArray>("hold");
    QTest::addColumn<bool>("locked");
    const QByteArray write = "BEGIN EXCLUSIVE;\ninsert into members values ('Zed','z','z','z','z',99);\n";
    QTest::newRow("rollback journal, a write under way") << true << write << true;
    QTest::newRow("write-ahead log, the file held exclusively")
        << false << ("pragma locking_mode = exclusive;\n" + write) << true;
    // The log lets the program read what is committed while another program writes.
    QTest::newRow("write-ahead log, a write under way") << false << write << false;
}

void TestEmbeddedFaults::fileLockedByAnotherProgram()
{
    QFETCH(bool, network);
    QFETCH(QByteArray, hold);
    QFETCH(bool, locked);
    const auto share = onNetworkShare(network);
    {
        database::Connection setup;
        setup.openEmbedded(databaseFile());
        setup.execute(QStringLiteral("insert into members values ('Adams, Ann', '1 Elm St', 'Salem', '555-0101', '', 1)"));
    }
    QCOMPARE(journalMode(databaseFile()), network ? QStringLiteral("delete") : QStringLiteral("wal"));
    writeOldUserFile(*h);
    const FileSnapshot database = FileSnapshot::of(databaseFile());
    const FileSnapshot user = FileSnapshot::of(h->userFilePath());

    // Another program in the middle of a write, not yet ended.
    QProcess other;
    other.setProcessChannelMode(QProcess::MergedChannels);
    other.start(QStringLiteral("sqlite3"), {databaseFile()});
    QVERIFY2(other.waitForStarted(10000), "sqlite3 is not installed (scripts/install-deps.sh)");
    other.write(hold + ".print LOCKED\n");
    QByteArray said;
    QElapsedTimer wait;
    wait.start();
    while (!said.contains("LOCKED") && wait.elapsed() < 10000 && other.waitForReadyRead(200))
        said += other.readAll();
    said += other.readAll();
    QVERIFY2(said.contains("LOCKED") && !said.contains("Error"), said.constData());

    qint64 elapsed = 0;
    const bool shown = startWatched(*h, "the start on a locked database", &elapsed);
    qInfo("the start ended after %lld ms", elapsed);
    if (!locked) {
        // The roster as committed: without the other program's member.
        QVERIFY(shown);
        QCOMPARE(h->form().Grid1->Rows(), 2);
        QCOMPARE(h->form().Grid1->TextMatrix(1, 0), QStringLiteral("Adams, Ann"));
    } else {
        QVERIFY(!shown);
        // The 10-second busy time-out, with room on either side.
        QVERIFY2(elapsed >= 8000 && elapsed <= 20000, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
        checkEndedBeforeAnything(database, user);
        const QString report = h->dialogs.messages.first().text;
        qInfo("%s", qPrintable(report));
        QVERIFY(report.startsWith(QStringLiteral("Run-time error '5':")));
        QVERIFY2(report.contains(QDir::toNativeSeparators(databaseFile())), qPrintable(report));
        QVERIFY2(report.contains(QStringLiteral("in use by another program")), qPrintable(report));
        QVERIFY2(report.contains(QStringLiteral("Nothing was changed")), qPrintable(report));
    }

    // The other program ends its work undone; the file is as it was before either began.
    other.write("ROLLBACK;\n.quit\n");
    other.closeWriteChannel();
    QVERIFY(other.waitForFinished(10000));
    if (locked)
        QVERIFY(FileSnapshot::of(databaseFile()) == database);

    // And the next start works.
    h->restart();
    h->dialogs.clear();
    QVERIFY(h->start());
    QCOMPARE(h->form().Grid1->Rows(), 2);
}

void TestEmbeddedFaults::theJournalFollowsTheDisk_data()
{
    QTest::addColumn<bool>("network");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::newRow("local disk, a new file") << false << QString() << QStringLiteral("wal");
    QTest::newRow("local disk, a file of an earlier build") << false << QStringLiteral("delete") << QStringLiteral("wal");
    QTest::newRow("network share, a new file") << true << QString() << QStringLiteral("delete");
    QTest::newRow("network share, a file left in WAL mode") << true << QStringLiteral("wal") << QStringLiteral("delete");
}

void TestEmbeddedFaults::theJournalFollowsTheDisk()
{
    QFETCH(bool, network);
    QFETCH(QString, before);
    QFETCH(QString, after);
    if (!before.isEmpty()) {
        QProcess tool;
        tool.start(QStringLiteral("sqlite3"), {databaseFile(), QStringLiteral("pragma journal_mode = %1;").arg(before)
                                                                   + database::embeddedSchemaStatements().join(';')});
        QVERIFY(tool.waitForFinished(10000) && tool.exitCode() == 0);
    }
    const auto share = onNetworkShare(network);
    writeOldUserFile(*h);
    QVERIFY(h->start());
    const QStringList member = {"Baker, Bea", "2 Oak St", "Salem, OR 97301", "555-0102"};
    for (int k = 0; k < member.size(); ++k)
        h->form().Text1[k]->setText(member.at(k));
    h->form().Command3->click();
    QCOMPARE(h->dialogs.messages.last().text, QStringLiteral("Record Added"));
    QCOMPARE(journalMode(databaseFile()), after);

    // When the program closes, the file alone holds every change, and nothing is left beside it.
    h->module.reset();
    QCOMPARE(QDir(h->folder.path()).entryList({QStringLiteral("Kelvory.db*")}, QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("Kelvory.db")});
    QTemporaryDir elsewhere;
    QVERIFY(QFile::copy(databaseFile(), elsewhere.filePath(QStringLiteral("alone.db"))));
    database::Connection alone;
    alone.openEmbedded(elsewhere.filePath(QStringLiteral("alone.db")));
    QCOMPARE(alone.query(QStringLiteral("select address from members where name = 'Baker, Bea'")).field(0).toString(),
             QStringLiteral("2 Oak St"));
}

KELVORY_TEST_MAIN(TestEmbeddedFaults)
#include "tst_faults_embedded.moc"
