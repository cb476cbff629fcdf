// The program is killed while it adds a member to a large roster: before the insert,
// before the commit, during the refill that follows it, or after its message. Whatever the moment, the
// database holds the new member with its journal row, or neither.
#include "BackendTest.h"
#include "FaultTools.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>

using namespace kelvory;
using namespace kelvory::test;

class TestKilledMidChange : public BackendTest
{
    Q_OBJECT
public:
    using BackendTest::BackendTest;

private Q_SLOTS:
    void aChangeIsStoredWithItsJournalRowOrNotAtAll();
};

void TestKilledMidChange::aChangeIsStoredWithItsJournalRowOrNotAtAll()
{
    addManyMembers(*h, 100000);
    // The change commits before the refill now, a few milliseconds after Add New; a
    // journal row that takes its time (a quarter of a second or so) keeps a moment
    // between the member's insert and the commit for the kills to fall into.
    if (m_backend == Backend::Sqlite) {
        h->exec(QStringLiteral("create trigger slow_journal before insert on changeHistory begin "
                               "select count(*) from members a, members b where b.recordid <= 20 "
                               "and a.name || b.name like '%zz%'; end"));
    } else {
        h->exec(QStringLiteral("create or replace function slow_journal() returns trigger language plpgsql as "
                               "$$ begin perform pg_sleep(0.25); return new; end $$"));
        h->exec(QStringLiteral("create trigger slow_journal before insert on changeHistory "
                               "for each row execute function slow_journal()"));
    }
    const QString probe = qEnvironmentVariable("KELVORY_PROBE");
    QVERIFY2(QFile::exists(probe), "KELVORY_PROBE names no program");

    // A runtime folder of the test's own, so that the probe's single-instance lock is not
    // another test program's.
    QTemporaryDir runtime;
    QVERIFY(QFile::setPermissions(runtime.path(),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());

    // Milliseconds after Add New is pressed; -1: once "Record Added" is shown.
    const int delays[] = {0, 20, 50, 80, 120, 170, 230, 300, 400, 600, -1};
    int stored = 0;
    int notStored = 0;
    for (std::size_t run = 0; run < std::size(delays); ++run) {
        const QString name = QStringLiteral("Killed, Kim %1").arg(run);
        QStringList arguments = {QStringLiteral("--add"), name + QStringLiteral("|1 Elm St|Salem, OR|555-0100|")};
        if (m_backend == Backend::Postgres)
            arguments = QStringList{QStringLiteral("--pg"), h->deployment.server.database} + arguments;
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(probe, arguments + QStringList{h->folder.path()});
        QVERIFY(program.waitForStarted());
        QVERIFY2(!waitForLine(program, QStringLiteral("ADDING"), 60000).isEmpty(), "the probe never pressed Add New");
        if (delays[run] >= 0)
            QThread::msleep(static_cast<unsigned long>(delays[run]));
        else
            QVERIFY2(!waitForLine(program, QStringLiteral("MSG 0 Kelvory|Record Added"), 60000).isEmpty(),
                     "no Record Added");
        ::kill(static_cast<pid_t>(program.processId()), SIGKILL);
        QVERIFY(program.waitForFinished(10000));

        const qint64 members = h->rows(QStringLiteral("select count(*) from members where name = ?"), {name})
                                   .value(0)
                                   .value(0)
                                   .toLongLong();
        const qint64 journalRows =
            h->rows(QStringLiteral("select count(*) from changeHistory where description = ?"),
                    {QStringLiteral("Added : ") + name + QStringLiteral(": 1 Elm St: Salem, OR: 555-0100: ")})
                .value(0)
                .value(0)
                .toLongLong();
        QVERIFY2(members == journalRows,
                 qPrintable(QStringLiteral("killed %1 ms after Add New: %2 member(s), %3 journal row(s)")
                                .arg(delays[run])
                                .arg(members)
                                .arg(journalRows)));
        (members ? stored : notStored)++;
    }
    // Both sides of the moment the change is committed were hit.
    QVERIFY(stored > 0);
    QVERIFY(notStored > 0);
    qInfo("%d runs stored the member with its journal row, %d stored neither", stored, notStored);
}

KELVORY_BACKEND_TEST_MAIN(TestKilledMidChange)
#include "tst_faults_killed.moc"
