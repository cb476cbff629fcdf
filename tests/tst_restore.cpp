// Putting a copy of the embedded database back from inside the program: what it changes,
// the file kept first, a crashed writer's journal beside the file, and a kill at any moment.
#include "BackendTest.h"
#include "FaultTools.h"
#include "database/Backup.h"
#include "database/Connection.h"
#include "roster/RestoreDialog.h"
#include "roster/RosterForm.h"
#include "grid/CommandButton.h"
#include "grid/FlexGrid.h"

#include <QDir>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <QtTest>

#include <sqlite3.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace kelvory;
using namespace kelvory::test;

class TestRestore : public BackendTest
{
    Q_OBJECT
public:
    using BackendTest::BackendTest;

private Q_SLOTS:
    // A hot journal and a kill's trace are the rollback journal's, which the program keeps
    // on a network share (an NFS one here) from the file's first start; the write-ahead
    // log's kills are those of tst_faults_killed.
    void init()
    {
        const bool rollback = QByteArray(QTest::currentTestFunction()).startsWith("aKill")
            || QByteArray(QTest::currentDataTag()).contains("journal");
        database::fakeFileSystemType(rollback ? std::optional<qint64>(0x6969) : std::nullopt);
        BackendTest::init();
    }
    void cleanup()
    {
        BackendTest::cleanup();
        database::fakeFileSystemType(std::nullopt);
    }
    void aCopyGoesBackWithWhatItChanges_data();
    void aCopyGoesBackWithWhatItChanges();
    void aKillLeavesTheFileAsItWasOrTheCopyWhole();

private:
    QString file() const { return QDir(h->folder.path()).filePath(QStringLiteral("Kelvory.db")); }
    QString backups() const { return QDir(h->folder.path()).filePath(QStringLiteral("Backups")); }
    roster::RestoreDialog *openDialog()
    {
        form().activateWindow();
        if (!QTest::qWaitForWindowActive(&form()))
            return nullptr;
        QTest::keyClick(&form(), Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
        return form().findChild<roster::RestoreDialog *>();
    }
    static qint64 count(const QString &file, const QString &sql)
    {
        database::Connection connection;
        connection.openEmbedded(file);
        return connection.query(sql).field(0).toLongLong();
    }
};

void TestRestore::aCopyGoesBackWithWhatItChanges_data()
{
    QTest::addColumn<bool>("hotJournal");
    QTest::newRow("plain") << false;
    QTest::newRow("with a crashed writer's hot Kelvory.db-journal") << true;
}

void TestRestore::aCopyGoesBackWithWhatItChanges()
{
    QFETCH(bool, hotJournal);
    addManyMembers(*h, 2000);
    h->addMember(QStringLiteral("Adams"), QStringLiteral("1 Elm"), QStringLiteral("Salem"), QStringLiteral("555-1"), {},
                 3001);
    h->addMember(QStringLiteral("Baker"), QStringLiteral("2 Oak"), QStringLiteral("Salem"), QStringLiteral("555-2"), {},
                 3002);
    QVERIFY2(h->start(), qPrintable(h->dialogs.texts().join(QLatin1Char('|'))));
    if (m_backend != Backend::Sqlite) {
        QVERIFY(!openDialog());
        QCOMPARE(h->dialogs.texts(),
                 QStringList{"A backup is put back only on the embedded database; the server's "
                             "database is kept by its administrator."});
        return;
    }
    const QString copy = QDir(backups()).filePath(QStringLiteral("Kelvory-2026-11-01.db"));
    QCOMPARE(database::copyEmbeddedDatabase(h->module->connection, copy).kind, database::BackupOutcome::Kind::Made);
    const QList<QStringList> then = members();

    QVERIFY(pickMember(form(), 3001));
    h->dialogs.answer(IDYES);
    press(form().Command6);
    QVERIFY(pickMember(form(), 3002));
    typeInto(form(), 1, QStringLiteral("9 New St"));
    press(form().Command2);
    press(form().Command1);
    pasteMember(form(), {"Cole", "3 Ash", "Salem", "555-3", ""});
    press(form().Command3);
    const QList<QStringList> now = members();
    QCOMPARE(h->journal().size(), 3);

    if (hotJournal) {
        // Another process dies in the middle of a write that its cache could not hold:
        // its changes are in the file, what they replaced in the journal beside it.
        const pid_t writer = fork();
        if (writer == 0) {
            sqlite3 *db = nullptr;
            sqlite3_open(QFile::encodeName(file()).constData(), &db);
            sqlite3_exec(db, "pragma cache_size = 2; begin; update members set comment = 'half-written'", nullptr,
                         nullptr, nullptr);
            _exit(0);
        }
        int status = 0;
        QCOMPARE(waitpid(writer, &status, 0), writer);
        QVERIFY(QFileInfo(file() + QStringLiteral("-journal")).size() > 0);
    }

    roster::RestoreDialog *dialog = openDialog();
    QVERIFY(dialog);
    // The day's copy made at the start, then this one.
    QCOMPARE(dialog->lstCopies->count(), 2);
    QCOMPARE(dialog->lstCopies->item(1)->text(), QStringLiteral("11/1/2026: 2002 members"));
    dialog->lstCopies->setCurrentRow(1);
    const QString changes = dialog->txtChanges->toPlainText();
    QVERIFY2(changes.startsWith(
                 QStringLiteral("1 members come back, 1 go, 1 change.\nCome back:\n    Adams (record id 3001)\n"
                                "Go:\n    Cole (record id 3003)\nChange:\n    Baker (record id 3002)")),
             qPrintable(changes));
    h->dialogs.answer(IDYES);
    press(dialog->cmdPutBack);

    QCOMPARE(members(), then);
    QCOMPARE(count(file(), QStringLiteral("select count(*) from members where comment = 'half-written'")), 0);
    QVERIFY(h->dialogs.texts().last().startsWith(
        QStringLiteral("The copy of 11/1/2026 is put back: 1 members came back, 1 went, 1 changed. The database as it "
                       "was is kept in ")));
    // The journal written since the copy stays, and each member the copy changed has its row.
    const QList<JournalRow> journal = h->journal();
    QCOMPARE(journal.size(), 6);
    QStringList restored;
    for (qsizetype i = 3; i < journal.size(); ++i)
        restored << journal[i].transaction;
    restored.sort();
    QCOMPARE(restored,
             (QStringList{"Added : Adams: 1 Elm: Salem: 555-1: ", "Changed : Baker: 2 Oak: Salem: 555-2: ",
                          "Deleted : Cole: 3 Ash: Salem: 555-3: "}));
    QCOMPARE(column(members::Name).size(), then.size());
    // The file as it was, kept first, holds the roster as it was.
    const QStringList kept = QDir(backups()).entryList({QStringLiteral("Kelvory-*-*-*-*.db")}, QDir::Files);
    QCOMPARE(kept.size(), 1);
    QCOMPARE(count(QDir(backups()).filePath(kept[0]), QStringLiteral("select count(*) from members")),
             qint64(now.size()));
    QCOMPARE(count(file(), QStringLiteral("select count(*) from members where comment <> ''")), 0);
    QCOMPARE(database::damageIn(file()), QString());
}

void TestRestore::aKillLeavesTheFileAsItWasOrTheCopyWhole()
{
    if (m_backend != Backend::Sqlite)
        QSKIP("a backup is put back only on the embedded database");
    addManyMembers(*h, 60000);
    const QString copy = QDir(backups()).filePath(QStringLiteral("Kelvory-2026-11-01.db"));
    QVERIFY(QDir().mkpath(backups()));
    QVERIFY(QFile::copy(file(), copy));
    h->exec(QStringLiteral("delete from members where recordid > 20000"));
    h->module.reset();
    const QString asItWas = QDir(h->folder.path()).filePath(QStringLiteral("as-it-was.db"));
    QVERIFY(QFile::copy(file(), asItWas));

    QTemporaryDir runtime; // the probe's lock is this test's own
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    // Milliseconds after the put back began, or (journal) after its transaction on the
    // file itself began, which is when SQLite's journal beside the file appears; -1:
    // once the put back is done.
    struct Kill
    {
        int delay;
        bool journal;
    };
    const Kill kills[] = {{0, false}, {300, false}, {0, true}, {2, true}, {10, true}, {30, true}, {-1, false}};
    const QString journalFile = file() + QStringLiteral("-journal");
    QSet<qint64> outcomes;
    int midCopy = 0;
    for (const Kill &kill : kills) {
        QFile::remove(file());
        QFile::remove(journalFile);
        QVERIFY(QFile::copy(asItWas, file()));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(qEnvironmentVariable("KELVORY_PROBE"), {"--network-share", "--put-back", copy, h->folder.path()});
        QVERIFY(program.waitForStarted());
        QVERIFY2(!waitForLine(program, QStringLiteral("PUTTING BACK"), 60000).isEmpty(), "the probe never began");
        if (kill.journal) {
            QDeadlineTimer deadline(60000);
            while (!QFile::exists(journalFile) && !deadline.hasExpired())
                QThread::usleep(200);
        }
        if (kill.delay >= 0)
            QThread::msleep(static_cast<unsigned long>(kill.delay));
        else
            QCOMPARE(waitForLine(program, QStringLiteral("PUT BACK"), 60000), QStringLiteral("PUT BACK 0"));
        ::kill(static_cast<pid_t>(program.processId()), SIGKILL);
        QVERIFY(program.waitForFinished(10000));
        // A journal left beside the file: the kill fell inside the copy's transaction.
        const bool hot = QFileInfo(journalFile).size() > 0;
        midCopy += hot ? 1 : 0;

        const qint64 stored = count(file(), QStringLiteral("select count(*) from members"));
        qInfo("killed %d ms after %s: %s%lld members", kill.delay, kill.journal ? "the journal appeared" : "it began",
              hot ? "a hot journal, " : "", stored);
        QVERIFY(stored == 20000 || stored == 60000);
        QCOMPARE(database::damageIn(file()), QString());
        outcomes.insert(stored);
    }
    // Both sides of the moment the copy goes in were hit, and the middle of its transaction.
    QCOMPARE(outcomes.size(), 2);
    QVERIFY(midCopy > 0);
}

KELVORY_BACKEND_TEST_MAIN(TestRestore)

#include "tst_restore.moc"
