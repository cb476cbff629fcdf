// Several workstations on one database at once: no id chosen twice, no lock held through
// a refill, and a lock held elsewhere a short wait with a word, never the program's end.
#include "BackendTest.h"
#include "FaultTools.h"
#include "roster/ChangeMessages.h"
#include "changes/MemberChanges.h"
#include "database/Statements.h"
#include "roster/RosterForm.h"
#include "grid/CommandButton.h"

#include <QGuiApplication>
#include <QSet>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <thread>

using namespace kelvory;
using namespace kelvory::test;

namespace {

// A connection of the test's own to the harness's database; `seconds` bounds its waits.
void openLikeAWorkstation(database::Connection &connection, const Harness &harness, int seconds = 10)
{
    connection.setConnectionTimeout(seconds);
    connection.setCommandTimeout(seconds);
    if (harness.backend == Backend::Sqlite)
        connection.openEmbedded(QDir(harness.folder.path()).filePath(QStringLiteral("Kelvory.db")));
    else
        connection.openServer(harness.deployment.server);
}

// Another session in the middle of a write: on SQLite a write transaction (exclusive
// with `readsToo`); on PostgreSQL a lock on members that lets readers through (or not),
// so that Add New gets as far as its insert.
void holdTheRoster(database::Connection &holder, Backend backend, bool readsToo)
{
    if (backend == Backend::Sqlite) {
        holder.execute(readsToo ? QStringLiteral("BEGIN EXCLUSIVE") : QStringLiteral("BEGIN IMMEDIATE"));
        return;
    }
    holder.beginTransaction();
    holder.execute(QStringLiteral("lock table members in %1 mode").arg(readsToo ? "access exclusive" : "exclusive"));
}

} // namespace

class TestWorkstations : public BackendTest
{
    Q_OBJECT
public:
    using BackendTest::BackendTest;

private Q_SLOTS:
    void init()
    {
        BackendTest::init();
        h->prepareDatabase();
        h->addMember("Baker", "2 Oak", "Salem, OR", "555-2", "b", 41);
        h->writeUserFile(QStringLiteral("Dorothy"));
    }
    void addNewAtTheSameMomentNeverGivesOneIdTwice_data();
    void addNewAtTheSameMomentNeverGivesOneIdTwice();
    void theRefillRunsAfterTheCommit();
    void theCommandsRunWithoutAWindow();
    void aLockHeldElsewhereIsAWaitWithAWord_data();
    void aLockHeldElsewhereIsAWaitWithAWord();
};

void TestWorkstations::addNewAtTheSameMomentNeverGivesOneIdTwice_data()
{
    QTest::addColumn<bool>("processes");
    QTest::newRow("two connections, steps interleaved") << false;
    QTest::newRow("two programs, 20 rounds") << true;
}

void TestWorkstations::addNewAtTheSameMomentNeverGivesOneIdTwice()
{
    QFETCH(bool, processes);
    if (!processes) {
        database::Connection first;
        openLikeAWorkstation(first, *h);
        database::Transaction change(first);
        const std::optional<qint64> firstId = changes::nextRecordId(first);
        QCOMPARE(firstId, std::optional<qint64>(42));
        // The second workstation presses Add New before the first has stored its member.
        std::atomic<qint64> secondId{0};
        std::thread second([&] {
            database::Connection connection;
            openLikeAWorkstation(connection, *h);
            database::Transaction adding(connection);
            secondId = changes::nextRecordId(connection).value_or(0);
            connection.execute(database::sql::kInsertMember,
                               {"Second", "1 Elm", "Salem", "555-1", QString(), secondId.load()});
            adding.commit();
        });
        QThread::msleep(500);
        const qint64 chosenBeforeFirstStored = secondId.load();
        first.execute(database::sql::kInsertMember, {"First", "2 Oak", "Salem", "555-2", QString(), *firstId});
        change.commit();
        second.join();
        QCOMPARE(chosenBeforeFirstStored, 0);
        QCOMPARE(h->texts(QStringLiteral("select name, recordid from members order by recordid")),
                 (QList<QStringList>{{"Baker", "41"}, {"First", "42"}, {"Second", "43"}}));
        return;
    }

    constexpr int kRounds = 20;
    QTemporaryDir runtimes[2]; // each program's own, for its single-instance lock
    QProcess programs[2];
    for (int p = 0; p < 2; ++p) {
        QVERIFY(QFile::setPermissions(runtimes[p].path(),
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimes[p].path());
        programs[p].setProcessEnvironment(environment);
        QStringList arguments{"--add", QStringLiteral("Program %1|1 Elm|Salem|555-1|").arg(p), "--rounds",
                              QString::number(kRounds)};
        if (m_backend == Backend::Postgres)
            arguments = QStringList{"--pg", h->deployment.server.database} + arguments;
        programs[p].start(qEnvironmentVariable("KELVORY_PROBE"), arguments << h->folder.path());
        QVERIFY(programs[p].waitForStarted());
        QVERIFY(!waitForLine(programs[p], QStringLiteral("SHOWN"), 60000).isEmpty());
    }
    for (int round = 0; round < kRounds; ++round) {
        for (QProcess &program : programs)
            program.write("go\n");
        for (QProcess &program : programs)
            QCOMPARE(waitForLine(program, QStringLiteral("MSG"), 30000), QStringLiteral("MSG 0 Kelvory|Record Added"));
    }
    for (QProcess &program : programs) {
        QVERIFY(!waitForLine(program, QStringLiteral("DONE"), 10000).isEmpty());
        program.kill();
        program.waitForFinished();
    }
    QSet<QString> distinct;
    for (const QStringList &row : h->texts(QStringLiteral("select recordid from members where name <> 'Baker'")))
        distinct.insert(row.value(0));
    QCOMPARE(distinct.size(), 2 * kRounds);
    QCOMPARE(h->members().size(), 2 * kRounds + 1);
    QCOMPARE(h->journal().size(), 2 * kRounds);
}

void TestWorkstations::theRefillRunsAfterTheCommit()
{
    QVERIFY(h->start());
    // While this workstation refills, another one updates the member (waiting a second at
    // most for the lock); then the refill fails, and the change stands.
    database::Connection other;
    openLikeAWorkstation(other, *h, 1);
    changes::MemberEdit edit;
    edit.boxes = {"Baker", "9 New St", "Salem, OR", "555-2", "b", "41"};
    edit.picked = changes::MemberRow{"Baker", "2 Oak", "Salem, OR", "555-2", "b", "41"};
    changes::ChangeStore store{h->module->connection, h->module->OperatorFirstName, h->clock.today()};
    h->module->guarded([&] {
        QVERIFY(changes::update(store, edit).done());
        // The window's refill comes next; the other workstation gets in first.
        other.execute(QStringLiteral("update members set comment = 'seen' where recordid = 41"));
        throw Failure(QStringLiteral("3021"), QStringLiteral("the refill failed"));
    });
    verifyErrorReport(*h, QStringLiteral("the refill failed"));
    QCOMPARE(h->members(), (QList<QStringList>{{"Baker", "9 New St", "Salem, OR", "555-2", "seen", "41"}}));
    QCOMPARE(h->journal().size(), 1);
}

void TestWorkstations::theCommandsRunWithoutAWindow()
{
    database::Connection connection;
    openLikeAWorkstation(connection, *h);
    changes::ChangeStore store{connection, QStringLiteral("Ann"), QDate(2026, 12, 8)};

    changes::MemberEdit edit;
    edit.boxes = {"Carter", "3 Ash", "Eugene, OR", "555-3", "", ""};
    changes::ChangeResult result = changes::add(store, edit);
    QVERIFY(result.done());
    QCOMPARE(result.id, QStringLiteral("42"));
    QVERIFY(result.stored);
    QCOMPARE((*result.stored)[members::Name], QStringLiteral("Carter"));

    edit.boxes[members::RecordId] = result.id;
    edit.picked = result.stored;
    edit.boxes[members::Phone] = QStringLiteral("555-4");
    result = changes::update(store, edit);
    QVERIFY(result.done());
    QCOMPARE((*result.stored)[members::Phone], QStringLiteral("555-4"));

    edit.picked = result.stored;
    QVERIFY(changes::checkRemove(edit).done());
    QVERIFY(changes::remove(store, edit).done());
    QCOMPARE(h->members(), (QList<QStringList>{{"Baker", "2 Oak", "Salem, OR", "555-2", "b", "41"}}));
    QStringList texts;
    for (const JournalRow &row : h->journal())
        texts << row.person + QLatin1Char(' ') + row.transaction;
    texts.sort();
    QCOMPARE(texts,
             (QStringList{
                 "Ann Added : Carter: 3 Ash: Eugene, OR: 555-3: ", "Ann Changed : Carter: 3 Ash: Eugene, OR: 555-4: ",
                 "Ann Deleted : Carter: 3 Ash: Eugene, OR: 555-4: "}));
    QVERIFY(h->dialogs.texts().isEmpty());
}

void TestWorkstations::aLockHeldElsewhereIsAWaitWithAWord_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("Add New") << "add";
    QTest::newRow("Update") << "update";
    QTest::newRow("DELETE") << "delete";
    QTest::newRow("start") << "start";
}

void TestWorkstations::aLockHeldElsewhereIsAWaitWithAWord()
{
    QFETCH(QString, command);
    h->deployment.timeoutSeconds = 1; // so that the waits stay short
    if (command == QLatin1String("start") && m_backend == Backend::Sqlite) {
        // Only the rollback journal, kept on a network share, lets a write hold up a reader.
        h->exec(QStringLiteral("pragma journal_mode = delete"));
        database::fakeFileSystemType(0x6969);
    }
    const auto realDisk = qScopeGuard([] { database::fakeFileSystemType(std::nullopt); });
    database::Connection holder;
    openLikeAWorkstation(holder, *h);
    const QList<QStringList> before = h->members();
    if (command == QLatin1String("start")) {
        holdTheRoster(holder, m_backend, true);
        QVERIFY(!h->start());
        verifyErrorReport(*h, QStringLiteral("is in use by another program"));
        QVERIFY(h->dialogs.texts().constFirst().contains(QStringLiteral("Nothing was changed")));
        return;
    }

    QVERIFY(h->start());
    QVERIFY(pickMember(form(), 41));
    typeInto(form(), 1, QStringLiteral("9 New St"));
    const QStringList typed = boxes();
    grid::CommandButton *button = command == QLatin1String("add") ? form().Command3
        : command == QLatin1String("update")                      ? form().Command2
                                                                  : form().Command6;
    holdTheRoster(holder, m_backend, false);
    // The cursor while the statement waits (looked at from another thread, the window's
    // being blocked), and as each message box shows.
    std::atomic<int> cursorWhileWaiting{-1};
    std::thread look([&] {
        QThread::msleep(600);
        const QCursor *cursor = QGuiApplication::overrideCursor();
        cursorWhileWaiting = cursor ? int(cursor->shape()) : -2;
    });
    QList<int> cursorsAtMessages;
    h->dialogs.onShow = [&](const Message &) {
        const QCursor *cursor = QGuiApplication::overrideCursor();
        cursorsAtMessages << (cursor ? int(cursor->shape()) : int(Qt::ArrowCursor));
    };
    h->dialogs.answer(IDYES);
    QElapsedTimer waited;
    waited.start();
    press(button);
    const qint64 elapsed = waited.elapsed();
    look.join();
    QStringList expected{roster::messages::rosterBusy()};
    if (command == QLatin1String("delete"))
        expected.prepend(QStringLiteral("Are you sure you want to Delete Baker"));
    QCOMPARE(h->dialogs.texts(), expected);
    QVERIFY(!h->end.ended);
    QCOMPARE(boxes(), typed);
    QCOMPARE(cursorWhileWaiting.load(), int(Qt::WaitCursor));
    QCOMPARE(cursorsAtMessages, QList<int>(expected.size(), int(Qt::ArrowCursor)));
    QVERIFY(!QGuiApplication::overrideCursor());
    QVERIFY2(elapsed < 5000, qPrintable(QString::number(elapsed)));
    holder.rollbackTransaction();
    QCOMPARE(h->members(), before);
    QVERIFY(h->journal().isEmpty());
}

KELVORY_BACKEND_TEST_MAIN(TestWorkstations)
#include "tst_workstations.moc"
