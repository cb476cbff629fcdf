// The embedded database file (Kelvory.db in the program's folder) cannot be used: it is
// not a database, or another program holds it locked past the time-out. The start ends
// in the error report with a description a club volunteer can act on, and the file is
// left exactly as it was.
#include "BackendTest.h"
#include "FaultTools.h"
#include "roster/RosterForm.h"
#include "grid/FlexGrid.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QtTest>

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
    void fileLockedByAnotherProgram();

private:
    QString databaseFile() const { return QDir(h->folder.path()).filePath(QStringLiteral("Kelvory.db")); }
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
    QVERIFY(!rosterForm(*h->module));
    for (QWidget *widget : QApplication::topLevelWidgets())
        QVERIFY(!widget->isVisible());
    QVERIFY(FileSnapshot::of(databaseFile()) == database);
    QVERIFY(FileSnapshot::of(h->userFilePath()) == userFile);
}

void TestEmbeddedFaults::fileThatIsNotADatabase_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("userFile");
    QTest::addColumn<QString>("diagnosis");
    const QString notOurs = QStringLiteral("The file %1 is not a Kelvory database");
    const QByteArray text = QByteArray("Name,Address,City\r\nAdams,1 Elm St,Salem\r\n").repeated(60);
    QTest::newRow("spreadsheet text, known operator") << text << true << notOurs;
    QTest::newRow("spreadsheet text, first run") << text << false << notOurs;
    QByteArray zip("PK\x03\x04", 4);
    zip += QByteArray(2000, '\x7f');
    QTest::newRow("zip archive, known operator") << zip << true << notOurs;
    // Right length, right first bytes, the rest overwritten.
    QByteArray header("SQLite format 3\0", 16);
    header += QByteArray(4080, '\xff');
    QTest::newRow("header only, first run") << header << false << notOurs;

    // A real roster database cut short, as a copy broken off half-way leaves it.
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
    QTest::newRow("cut short, known operator") << truncated << true << QStringLiteral("database file %1 is damaged");
}

void TestEmbeddedFaults::fileThatIsNotADatabase()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, userFile);
    QFETCH(QString, diagnosis);
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

void TestEmbeddedFaults::fileLockedByAnotherProgram()
{
    // Another program's write shuts readers out of the file only in rollback mode, which
    // the program keeps on a network share (an NFS one here); a write-ahead log lets them read.
    database::fakeFileSystemType(0x6969);
    const auto realDisk = qScopeGuard([] { database::fakeFileSystemType(std::nullopt); });
    h->prepareDatabase();
    h->addMember(QStringLiteral("Adams, Ann"), QStringLiteral("1 Elm St"), QStringLiteral("Salem"),
                 QStringLiteral("555-0101"), QString(), 1);
    writeOldUserFile(*h);
    const FileSnapshot database = FileSnapshot::of(databaseFile());
    const FileSnapshot user = FileSnapshot::of(h->userFilePath());

    // Another program in the middle of a write: an exclusive transaction, not yet ended.
    QProcess other;
    other.setProcessChannelMode(QProcess::MergedChannels);
    other.start(QStringLiteral("sqlite3"), {databaseFile()});
    QVERIFY2(other.waitForStarted(10000), "sqlite3 is not installed (scripts/install-deps.sh)");
    other.write("BEGIN EXCLUSIVE;\ninsert into members values ('Zed','z','z','z','z',99);\n.print LOCKED\n");
    QByteArray said;
    QElapsedTimer wait;
    wait.start();
    while (!said.contains("LOCKED") && wait.elapsed() < 10000 && other.waitForReadyRead(200))
        said += other.readAll();
    said += other.readAll();
    QVERIFY2(said.contains("LOCKED"), said.constData());

    qint64 elapsed = 0;
    const bool shown = startWatched(*h, "the start on a locked database", &elapsed);
    qInfo("the start ended after %lld ms", elapsed);
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

    // The other program ends its work undone; the file is as it was before either began.
    other.write("ROLLBACK;\n.quit\n");
    other.closeWriteChannel();
    QVERIFY(other.waitForFinished(10000));
    QVERIFY(FileSnapshot::of(databaseFile()) == database);

    // And the next start works.
    h->restart();
    h->dialogs.clear();
    QVERIFY(h->start());
    QCOMPARE(h->form().Grid1->Rows(), 2);
}

KELVORY_TEST_MAIN(TestEmbeddedFaults)
#include "tst_faults_embedded.moc"
