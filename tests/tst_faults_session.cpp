// The connection to the club's server is lost while the main window is open: the
// PostgreSQL server (through ODBC, under the "SQL Server" driver name) is stopped under
// the running program. The next command that needs the database ends in the standard
// error report, and every change made before it is in the database with its journal row.
#include "BackendTest.h"
#include "FaultTools.h"
#include "PostgresSchema.h"
#include "history/History.h"
#include "roster/RosterForm.h"
#include "grid/CommandButton.h"
#include "grid/FlexGrid.h"

#include <QApplication>
#include <QDate>
#include <QtTest>

#include <algorithm>

using namespace kelvory;
using namespace kelvory::test;

namespace {

using Row = QStringList;

// The schema, and the operator and members the session starts with.
const QStringList kSchema = postgresSchema()
    + QStringList{
        QStringLiteral("insert into memberstatus values ('Dorothy', '1', '2024-03-01')"),
        QStringLiteral("insert into members values ('Adams, Ann', '1 Elm St', 'Salem, OR 97301', '555-0101', '', 1), "
                       "('Baker, Bob', '2 Oak St', 'Salem, OR 97301', '555-0102', 'board', 2), "
                       "('Clark, Cy', '3 Ash St', 'Salem, OR 97302', '555-0103', '', 3)"),
    };

// What the operator did before the server went away, and what must be stored after.
const QList<Row> kMembersAfter = {
    {"Adams, Ann", "1 Elm St", "Salem, OR 97301", "555-0101", "", "1"},
    {"Baker, Bob", "77 New Rd", "Salem, OR 97301", "555-0102", "board", "2"},
    {"Dunn, Dee", "4 Fir St", "Keizer, OR 97303", "555-0104", "joined today", "4"},
};
const QList<Row> kJournalAfter = {
    {"Dorothy", "Added : Dunn, Dee: 4 Fir St: Keizer, OR 97303: 555-0104: joined today"},
    {"Dorothy", "Changed : Baker, Bob: 77 New Rd: Salem, OR 97301: 555-0102: board"},
    {"Dorothy", "Deleted : Clark, Cy: 3 Ash St: Salem, OR 97302: 555-0103: "},
};

} // namespace

class TestConnectionLost : public BackendTest
{
    Q_OBJECT
public:
    // The program's folder and User.txt; the database is the test's own server.
    TestConnectionLost() : BackendTest(Backend::Sqlite, QStringLiteral("Dorothy"), Database::NotMade) {}

private Q_SLOTS:
    void initTestCase();
    void nextCommandReportsAndNothingIsLost_data();
    void nextCommandReportsAndNothingIsLost();

private:
    database::ServerSettings settings() const
    {
        return {m_server->address(), ThrowawayPostgres::databaseName(), QStringLiteral("kelvory"),
                QStringLiteral("kelvory99")};
    }
    QList<Row> rows(const QString &sql);
    void changeBeforeTheFault(roster::RosterForm &form);

    std::unique_ptr<ThrowawayPostgres> m_server;
};

void TestConnectionLost::initTestCase()
{
    m_server = std::make_unique<ThrowawayPostgres>();
    const QString problem = m_server->create();
    if (!problem.isEmpty()) {
        // Under the test command and in CI the PostgreSQL runs are mandatory.
        if (postgresRequired())
            QFAIL(qPrintable(QStringLiteral("cannot start a PostgreSQL server of the test's own: ") + problem));
        QSKIP(qPrintable(QStringLiteral("no PostgreSQL server of the test's own: ") + problem));
    }
    qInfo("throwaway PostgreSQL server on %s:%d", qPrintable(m_server->address()), programPort());
}

QList<Row> TestConnectionLost::rows(const QString &sql)
{
    database::Connection admin;
    admin.openServer(settings());
    return asTexts(allRows(admin, sql));
}

void TestConnectionLost::changeBeforeTheFault(roster::RosterForm &form)
{
    pasteMember(form, {"Dunn, Dee", "4 Fir St", "Keizer, OR 97303", "555-0104", "joined today"});
    press(form.Command3);
    QVERIFY(pickMember(form, 2));
    typeInto(form, 1, QStringLiteral("77 New Rd"));
    press(form.Command2);
    QVERIFY(pickMember(form, 3));
    h->dialogs.answer(IDYES);
    press(form.Command6);
    QCOMPARE(
        h->dialogs.texts(),
        QStringList({"Record Added", "Record Updated", "Are you sure you want to Delete Clark, Cy", "Record Deleted"}));
}

void TestConnectionLost::nextCommandReportsAndNothingIsLost_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("stop");
    QTest::newRow("Refresh, server shut down") << "Refresh"
                                               << "fast";
    QTest::newRow("Add New, server crashed") << "Add New"
                                             << "immediate";
    QTest::newRow("Update, server shut down") << "Update"
                                              << "fast";
    QTest::newRow("DELETE, server crashed") << "DELETE"
                                            << "immediate";
    QTest::newRow("Transaction History, server shut down") << "Transaction History"
                                                           << "fast";
}

void TestConnectionLost::nextCommandReportsAndNothingIsLost()
{
    QFETCH(QString, command);
    QFETCH(QString, stop);

    {
        database::Connection admin;
        admin.openServer(settings());
        for (const QString &statement : kSchema)
            admin.execute(statement);
    }
    h->deployment.server = settings();
    QVERIFY(h->start());
    roster::RosterForm &form = h->form();
    changeBeforeTheFault(form);
    if (QTest::currentTestFailed())
        return;

    // The grid is the program's own copy; picking a member still works without a server.
    if (command == QLatin1String("Update") || command == QLatin1String("DELETE"))
        QVERIFY(pickMember(form, 1));
    const QString stopped = m_server->stop(stop);
    QVERIFY2(stopped.isEmpty(), qPrintable(stopped));
    h->dialogs.clear();

    Watchdog watchdog(60, qPrintable(command + QStringLiteral(" without a server")));
    if (command == QLatin1String("Refresh")) {
        press(form.Command8);
    } else if (command == QLatin1String("Add New")) {
        pasteMember(form, {"Evans, Eve", "5 Elm St", "Salem, OR 97301", "555-0105", ""});
        press(form.Command3);
    } else if (command == QLatin1String("Update")) {
        typeInto(form, 3, QStringLiteral("555-9999"));
        press(form.Command2);
    } else if (command == QLatin1String("DELETE")) {
        h->dialogs.answer(IDYES);
        press(form.Command6);
    } else {
        press(form.Command7);
    }

    const QString started = m_server->start();
    QVERIFY2(started.isEmpty(), qPrintable(started));

    verifyErrorReport(*h);
    qInfo("%s", qPrintable(h->dialogs.messages.last().text.simplified()));
    for (const Message &message : h->dialogs.messages)
        QVERIFY2(!message.text.startsWith(QStringLiteral("Record ")), qPrintable(message.text));
    QVERIFY(!historyWindow(*h->module) || !historyWindow(*h->module)->isVisible());

    // Nothing lost, nothing half done: exactly the changes made before, each journalled.
    QCOMPARE(rows(QStringLiteral("select * from members order by recordid")), kMembersAfter);
    QList<Row> journal = rows(QStringLiteral("select person, description from changehistory"));
    std::sort(journal.begin(), journal.end());
    QList<Row> expected = kJournalAfter;
    std::sort(expected.begin(), expected.end());
    QCOMPARE(journal, expected);
    QCOMPARE(rows(QStringLiteral("select distinct date from changehistory")),
             QList<Row>({{QDate::currentDate().toString(Qt::ISODate)}}));
    QCOMPARE(rows(QStringLiteral("select member, status from memberstatus")), QList<Row>({{"Dorothy", "1"}}));

    // The operator starts the program again: it works on, with every member listed.
    h->restart();
    h->dialogs.clear();
    QVERIFY(h->start());
    QCOMPARE(h->form().Grid1->Rows(), 1 + int(kMembersAfter.size()));
    QCOMPARE(h->form().Grid1->TextMatrix(2, 1), QStringLiteral("77 New Rd"));
}

KELVORY_TEST_MAIN(TestConnectionLost)
#include "tst_faults_session.moc"
