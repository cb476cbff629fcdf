// Several workstations on one database at once: two connections (or two real program
// processes) adding members at the same moment never store one id twice; a change holds
// its locks only until its commit, not through the roster refill after it; a lock held
// elsewhere is a wait under the busy cursor and a word, never the end of the program.
#include "BackendTest.h"
#include "changes/ChangeMessages.h"
#include "changes/EditTarget.h"
#include "changes/MemberChanges.h"
#include "roster/CommandButton.h"
#include "roster/RosterForm.h"
#include "database/Statements.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <thread>

using namespace kelvory;
using namespace kelvory::test;

namespace {

// A connection of the test's own to the harness's database, as a workstation opens it.
void openLikeAWorkstation(database::Connection &connection, const Harness &harness)
{
    connection.setConnectionTimeout(10);
    connection.setCommandTimeout(10);
    if (harness.backend == Backend::Sqlite)
        connection.openEmbedded(QDir(harness.folder.path()).filePath(QStringLiteral("Kelvory.db")));
    else
        connection.openServer(harness.deployment.server);
}

// Add New's steps on a connection: the new id chosen and the member stored, in one transaction.
qint64 storeNewMember(database::Connection &connection, const QString &name)
{
    database::Transaction change(connection);
    const qint64 id = changes::nextRecordId(connection).value_or(1);
    connection.execute(database::sql::kInsertMember, {name, QStringLiteral("1 Elm"), QStringLiteral("Salem"),
                                                      QStringLiteral("555-1"), QString(), id});
    change.commit();
    return id;
}

// Waits until the process has printed a line that begins with `start`; the line, or nothing.
QString waitForLine(QProcess &process, const QString &start, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        while (process.canReadLine()) {
            const QString line = QString::fromUtf8(process.readLine()).trimmed();
            if (line.startsWith(start))
                return line;
        }
        if (process.state() != QProcess::Running)
            return QString();
        process.waitForReadyRead(20);
    }
    return QString();
}

// The edit boxes without a window, so that a test can act at the moment of the refill.
class BoxesOnly final : public changes::EditTarget
{
public:
    QStringList texts = QStringList(6);
    std::optional<QStringList> picked;
    std::function<void()> onFill;

    QString boxText(int index) const override { return texts.value(index); }
    void setBoxText(int index, const QString &text) override { texts[index] = text; }
    void FillRoster() override
    {
        if (onFill)
            onFill();
    }
    std::optional<QStringList> pickedMember() const override { return picked; }
    void setPickedMember(std::optional<QStringList> fields) override { picked = std::move(fields); }
};

// Another session in the middle of a write to the roster: on SQLite a write transaction
// (or, with `readsToo`, an exclusive one), on PostgreSQL a lock on the members table
// that lets readers through (or, with `readsToo`, none), and the lock for new ids.
void holdTheRoster(database::Connection &holder, Backend backend, bool readsToo)
{
    if (backend == Backend::Sqlite) {
        holder.execute(readsToo ? QStringLiteral("BEGIN EXCLUSIVE") : QStringLiteral("BEGIN IMMEDIATE"));
        return;
    }
    holder.beginTransaction();
    holder.execute(readsToo ? QStringLiteral("lock table members in access exclusive mode")
                            : QStringLiteral("lock table members in exclusive mode"));
    holder.execute(database::sql::kRecordIdLockPostgreSql);
}

} // namespace

class TestWorkstations : public BackendTest
{
    Q_OBJECT
public:
    using BackendTest::BackendTest;

private Q_SLOTS:
    void addNewAtTheSameMomentNeverGivesOneIdTwice_data();
    void addNewAtTheSameMomentNeverGivesOneIdTwice();
    void theRefillRunsAfterTheCommit_data();
    void theRefillRunsAfterTheCommit();
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
    h->prepareDatabase();
    h->addMember(QStringLiteral("Adams"), QStringLiteral("1 Elm"), QStringLiteral("Salem"), QStringLiteral("555-1"),
                 QString(), 41);

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
            secondId = storeNewMember(connection, QStringLiteral("Second"));
        });
        QThread::msleep(500);
        const qint64 chosenBeforeFirstStored = secondId.load();
        first.execute(database::sql::kInsertMember, {QStringLiteral("First"), QStringLiteral("2 Oak"),
                                                     QStringLiteral("Salem"), QStringLiteral("555-2"), QString(),
                                                     *firstId});
        change.commit();
        second.join();
        QCOMPARE(chosenBeforeFirstStored, 0);
        QCOMPARE(secondId.load(), 43);
        QCOMPARE(h->texts(QStringLiteral("select name, recordid from members order by recordid")),
                 (QList<QStringList>{{"Adams", "41"}, {"First", "42"}, {"Second", "43"}}));
        return;
    }

    const QString probe = qEnvironmentVariable("KELVORY_PROBE");
    QVERIFY2(QFile::exists(probe), "KELVORY_PROBE names no program");
    h->writeUserFile(QStringLiteral("Dorothy"));
    constexpr int kRounds = 20;
    QTemporaryDir runtimes[2];
    QProcess programs[2];
    for (int p = 0; p < 2; ++p) {
        // A runtime folder of each program's own, so that its single-instance lock is its own.
        QVERIFY(QFile::setPermissions(runtimes[p].path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                              | QFileDevice::ExeOwner));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimes[p].path());
        programs[p].setProcessEnvironment(environment);
        QStringList arguments{QStringLiteral("--add"), QStringLiteral("Program %1|1 Elm|Salem|555-1|").arg(p),
                              QStringLiteral("--rounds"), QString::number(kRounds)};
        if (m_backend == Backend::Postgres)
            arguments = QStringList{QStringLiteral("--pg"), h->deployment.server.database} + arguments;
        programs[p].start(probe, arguments << h->folder.path());
        QVERIFY(programs[p].waitForStarted());
    }
    for (QProcess &program : programs)
        QVERIFY2(!waitForLine(program, QStringLiteral("SHOWN"), 60000).isEmpty(), "a program did not start");
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
    const QList<QStringList> ids = h->texts(QStringLiteral("select recordid from members where name <> 'Adams'"));
    QCOMPARE(ids.size(), 2 * kRounds);
    QSet<QString> distinct;
    for (const QStringList &row : ids)
        distinct.insert(row.value(0));
    QCOMPARE(distinct.size(), 2 * kRounds);
    QCOMPARE(h->journal().size(), 2 * kRounds);
}

void TestWorkstations::theRefillRunsAfterTheCommit_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("Add New") << "add";
    QTest::newRow("Update") << "update";
    QTest::newRow("DELETE") << "delete";
}

void TestWorkstations::theRefillRunsAfterTheCommit()
{
    QFETCH(QString, command);
    h->prepareDatabase();
    h->addMember(QStringLiteral("Baker"), QStringLiteral("2 Oak"), QStringLiteral("Salem, OR"),
                 QStringLiteral("555-2"), QStringLiteral("b"), 41);
    h->writeUserFile(QStringLiteral("Dorothy"));
    QVERIFY(h->start());

    // Another workstation writes what the change locks (the file; the id lock; the
    // member's row) while this one refills; it gives up after a second.
    database::Connection other;
    other.setConnectionTimeout(1);
    other.setCommandTimeout(1);
    openLikeAWorkstation(other, *h);
    BoxesOnly boxes;
    boxes.texts = QStringList{"Baker", "9 New St", "Salem, OR", "555-2", "b", "41"};
    boxes.picked = QStringList{"Baker", "2 Oak", "Salem, OR", "555-2", "b", "41"};
    QString otherWrite;
    boxes.onFill = [&] {
        try {
            if (command == QLatin1String("add"))
                storeNewMember(other, QStringLiteral("Other"));
            else
                other.execute(QStringLiteral("update members set comment = 'seen' where recordid = 41"));
            otherWrite = QStringLiteral("stored");
        } catch (const Failure &failure) {
            otherWrite = failure.description();
        }
        // A refill that fails after the commit: the change stands.
        throw Failure(QStringLiteral("3021"), QStringLiteral("the refill failed"));
    };
    h->dialogs.answer(IDYES);
    h->module->guarded([&] {
        if (command == QLatin1String("add"))
            changes::addMember(*h->module, boxes);
        else if (command == QLatin1String("update"))
            changes::updateMember(*h->module, boxes);
        else
            changes::deleteMember(*h->module, boxes);
    });
    QCOMPARE(otherWrite, QStringLiteral("stored"));
    verifyErrorReport(*h, QStringLiteral("the refill failed"));
    const QList<JournalRow> journal = h->journal();
    QCOMPARE(journal.size(), 1);
    const QStringList names = [&] {
        QStringList all;
        for (const QStringList &row : h->texts(QStringLiteral("select name, address from members order by recordid")))
            all << row.join(QLatin1Char('/'));
        return all;
    }();
    if (command == QLatin1String("add"))
        QCOMPARE(names, (QStringList{"Baker/2 Oak", "Baker/9 New St", "Other/1 Elm"}));
    else if (command == QLatin1String("update"))
        QCOMPARE(names, QStringList{"Baker/9 New St"});
    else
        QCOMPARE(names, QStringList());
}

void TestWorkstations::aLockHeldElsewhereIsAWaitWithAWord_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("lockTimeout");
    QTest::newRow("Add New") << "add" << false;
    QTest::newRow("Update") << "update" << false;
    QTest::newRow("DELETE") << "delete" << false;
    QTest::newRow("start") << "start" << false;
    // The server gives up on the lock itself (PostgreSQL's lock_not_available), before
    // the statement's time-out.
    QTest::newRow("Update, lock time-out") << "update" << true;
}

void TestWorkstations::aLockHeldElsewhereIsAWaitWithAWord()
{
    QFETCH(QString, command);
    QFETCH(bool, lockTimeout);
    if (lockTimeout && m_backend == Backend::Sqlite)
        QSKIP("SQLite has no lock time-out of its own");
    h->prepareDatabase();
    h->addMember(QStringLiteral("Baker"), QStringLiteral("2 Oak"), QStringLiteral("Salem, OR"),
                 QStringLiteral("555-2"), QStringLiteral("b"), 41);
    h->writeUserFile(QStringLiteral("Dorothy"));
    const QString setLockTimeout = QStringLiteral("alter database %1 %2").arg(h->deployment.server.database);
    if (lockTimeout)
        h->exec(setLockTimeout.arg(QStringLiteral("set lock_timeout = '800ms'")));
    const auto resetLockTimeout = qScopeGuard([&] {
        if (lockTimeout)
            h->exec(setLockTimeout.arg(QStringLiteral("reset lock_timeout")));
    });
    // A time-out of a second instead of ten, so that the waits stay short.
    h->deployment.timeoutSeconds = 1;
    database::Connection holder;
    openLikeAWorkstation(holder, *h);
    const QList<QStringList> before = h->members();

    if (command == QLatin1String("start")) {
        holdTheRoster(holder, m_backend, true);
        QVERIFY(!h->start());
        holder.rollbackTransaction();
        verifyErrorReport(*h, QStringLiteral("is in use by another program"));
        QCOMPARE(h->dialogs.messages.size(), 1);
        QVERIFY2(h->dialogs.messages.first().text.contains(QStringLiteral("Nothing was changed")),
                 qPrintable(h->dialogs.messages.first().text));
        return;
    }

    QVERIFY(h->start());
    roster::RosterForm &window = h->form();
    QVERIFY(pickMember(window, 41));
    typeInto(window, 1, QStringLiteral("9 New St"));
    const QStringList typed = boxes();
    roster::CommandButton *button = command == QLatin1String("add")      ? window.Command3
        : command == QLatin1String("update")                             ? window.Command2
                                                                         : window.Command6;
    holdTheRoster(holder, m_backend, false);
    // What the operator sees while the statement waits, and while each message is up.
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
    look.join();
    const qint64 elapsed = waited.elapsed();
    qInfo("the change gave up after %lld ms", elapsed);
    if (lockTimeout)
        QVERIFY2(elapsed < 1000, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
    QStringList expected{changes::messages::rosterBusy()};
    if (command == QLatin1String("delete"))
        expected.prepend(QStringLiteral("Are you sure you want to Delete Baker"));
    QCOMPARE(h->dialogs.texts(), expected);
    QVERIFY(!h->end.ended);
    QCOMPARE(boxes(), typed);
    QCOMPARE(cursorWhileWaiting.load(), int(Qt::WaitCursor));
    QCOMPARE(cursorsAtMessages, QList<int>(expected.size(), int(Qt::ArrowCursor)));
    QVERIFY(!QGuiApplication::overrideCursor());
    holder.rollbackTransaction();
    QCOMPARE(h->members(), before);
    QVERIFY(h->journal().isEmpty());

    // A moment later, with the lock gone, the same press stores the change.
    h->dialogs.clear();
    h->dialogs.answer(IDYES);
    press(button);
    QCOMPARE(h->dialogs.texts().constLast(), command == QLatin1String("add") ? QStringLiteral("Record Added")
                                                 : command == QLatin1String("update") ? QStringLiteral("Record Updated")
                                                                                      : QStringLiteral("Record Deleted"));
    QCOMPARE(h->journal().size(), 1);
}

KELVORY_BACKEND_TEST_MAIN(TestWorkstations)
#include "tst_workstations.moc"
