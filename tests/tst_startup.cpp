#include "Harness.h"
#include "database/Connection.h"
#include "roster/CommandButton.h"
#include "roster/FlexGrid.h"
#include "roster/RosterForm.h"
#include "roster/Units.h"

#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QProcess>
#include <QtTest>

using namespace kelvory;
using namespace kelvory::test;

class TestStartup : public QObject
{
    Q_OBJECT
public:
    explicit TestStartup(Backend backend) : m_backend(backend) {}

private Q_SLOTS:
    void init();
    void cleanup() { h.reset(); }
    void connectionStringIsFivePieces();
    void embeddedDatabaseIsCreatedWithTheClubsTables();
    void loadSequencePreparesTheWindowBeforeItIsShown();
    void timeoutsAreTenSeconds();
    void unreachableDatabaseEndsBeforeAnyWindow();
    void secondInstanceInTheSameProcessIsRefused();
    void secondProcessIsRefusedAndAStaleLockIsNot();

private:
    Backend m_backend;
    std::unique_ptr<Harness> h;
};

void TestStartup::init()
{
    h = std::make_unique<Harness>(m_backend);
}

void TestStartup::connectionStringIsFivePieces()
{
    const database::ServerSettings settings{QStringLiteral("db.example.org"), QStringLiteral("club"),
                                            QStringLiteral("webuser"), QStringLiteral("pa;ss1234")};
    QCOMPARE(database::connectionString(settings),
             QStringLiteral("Driver={SQL Server};Server=db.example.org;Database=club;Uid=webuser;Pwd=pa;ss1234"));
}

void TestStartup::embeddedDatabaseIsCreatedWithTheClubsTables()
{
    if (m_backend != Backend::Sqlite)
        QSKIP("the embedded file exists only on the SQLite backend");
    const QString file = QDir(h->folder.path()).filePath(QStringLiteral("Kelvory.db"));
    QVERIFY(!QFile::exists(file));
    h->writeUserFile(QStringLiteral("Bob"));
    QVERIFY(h->start());
    QVERIFY(QFile::exists(file));

    auto columns = [&](const QString &table) {
        QStringList names;
        for (const QVariantList &row : h->rows(QStringLiteral("select name from pragma_table_info('%1')").arg(table)))
            names.append(row.at(0).toString());
        return names;
    };
    QCOMPARE(columns(QStringLiteral("members")),
             QStringList({"name", "address", "city", "phone", "comment", "recordid"}));
    QCOMPARE(columns(QStringLiteral("changeHistory")).size(), 3);
    QCOMPARE(columns(QStringLiteral("changeHistory")).first(), QStringLiteral("date"));
    QCOMPARE(columns(QStringLiteral("memberstatus")).mid(0, 2), QStringList({"member", "status"}));
    QCOMPARE(columns(QStringLiteral("memberstatus")).size(), 3);
    const QList<QVariantList> ver = h->rows(QStringLiteral("select ver from hitcounters"));
    QCOMPARE(ver.size(), 1);
    QCOMPARE(ver.first().first().toString(), QStringLiteral("1"));

    // A second start finds the file and leaves it as it is.
    h->restart();
    QVERIFY(h->start());
    QCOMPARE(h->rows(QStringLiteral("select ver from hitcounters")).size(), 1);
}

void TestStartup::loadSequencePreparesTheWindowBeforeItIsShown()
{
    h->prepareDatabase();
    h->addMember(QStringLiteral("Adams"), QStringLiteral("1 Elm"), QStringLiteral("Salem"), QStringLiteral("1"),
                 QString(), 1);
    h->writeUserFile(QStringLiteral("Bob"));
    QVERIFY(h->start());
    roster::RosterForm &form = h->form();
    QVERIFY(form.isVisible());
    QCOMPARE(form.windowTitle(), QStringLiteral("Calvessa Senior Citizens Cluub Members"));
    QCOMPARE(form.Label3->text(), QStringLiteral("Version 1.0.0"));
    QCOMPARE(form.Label2->text(), QStringLiteral(" Kelvory"));
    const int widths[6] = {2000, 2600, 2500, 1800, 3000, 4};
    const QStringList headings = {"Name", "Address", "City, State, Zip", "Phone", "Comment", ""};
    for (int c = 0; c < 6; ++c) {
        QCOMPARE(form.Grid1->ColWidth(c), widths[c]);
        QCOMPARE(form.Grid1->TextMatrix(0, c), headings[c]);
    }
    QCOMPARE(form.Grid1->TextMatrix(1, 0), QStringLiteral("Adams"));
    QVERIFY(form.Option1->isChecked());
    QVERIFY(!form.Option2->isChecked());
    form.Option2->click();
    QVERIFY(!form.Option1->isChecked());

    const int dpi = form.logicalDpiX();
    QCOMPARE(form.size(), QSize(roster::twipsToPixels(12915, dpi), roster::twipsToPixels(9900, dpi)));
    QCOMPARE(form.Grid1->geometry(), roster::twipsRect(420, 1350, 12285, 5865, dpi));
    QCOMPARE(form.Text1[5]->geometry(), roster::twipsRect(7290, 8460, 405, 330, dpi));
    QVERIFY(form.Text1[5]->isReadOnly());
    QCOMPARE(form.Command6->text(), QStringLiteral("DELETE"));
    QCOMPARE(form.Label1[8]->text(),
             QStringLiteral("If the number of characters turns red it will force 2 lines on priint out"));

    // Focus starts on EXIT and moves through the controls in tab index order.
    QWidget *const expected[] = {form.Command4, form.Command12, form.Grid1,    form.Command1, form.Command2,
                                 form.Command3, form.Text1[0],  form.Text1[1], form.Text1[2], form.Text1[3],
                                 form.Text1[4], form.Text1[5],  form.Command5, form.Command6, form.Option1};
    QWidget *w = form.Command4;
    for (QWidget *next : expected) {
        QCOMPARE(w, next);
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus || !w->isVisibleTo(&form) || w->parentWidget() != &form)
            w = w->nextInFocusChain();
    }
    QVERIFY(h->dialogs.messages.isEmpty());
}

void TestStartup::timeoutsAreTenSeconds()
{
    h->prepareDatabase();
    h->writeUserFile(QStringLiteral("Bob"));
    QVERIFY(h->start());
    QCOMPARE(h->module->connection.connectionTimeout(), 10);
    QCOMPARE(h->module->connection.commandTimeout(), 10);
    QVERIFY(h->module->connection.isOpen());
}

void TestStartup::unreachableDatabaseEndsBeforeAnyWindow()
{
    QByteArray garbage;
    if (m_backend == Backend::Sqlite) {
        // A file that is not a database.
        garbage = QByteArray("This is the club's old spreadsheet, not a database.\n").repeated(40);
        QFile file(QDir(h->folder.path()).filePath(QStringLiteral("Kelvory.db")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(garbage);
    } else {
        h->deployment.server.pwd = QStringLiteral("wrong-password");
    }

    QVERIFY(!h->start());
    QVERIFY(h->end.ended);
    QCOMPARE(h->end.code, 1);
    QCOMPARE(h->dialogs.messages.size(), 1);
    QVERIFY(h->dialogs.messages.first().text.startsWith(QStringLiteral("Run-time error '")));
    QCOMPARE(h->dialogs.messages.first().style, MB_OK | MB_ICONERROR);
    QVERIFY(h->dialogs.inputPrompts.isEmpty());
    QVERIFY(!QFile::exists(h->userFilePath()));
    QVERIFY(!h->module->rosterForm());
    if (m_backend == Backend::Sqlite) {
        QFile file(QDir(h->folder.path()).filePath(QStringLiteral("Kelvory.db")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), garbage);
    }
}

void TestStartup::secondInstanceInTheSameProcessIsRefused()
{
    h->prepareDatabase();
    h->writeUserFile(QStringLiteral("Bob"));
    QVERIFY(h->start());

    ScriptedDialogs dialogs;
    RecordingShell shell;
    RecordingEnd end;
    Module1 second(h->deployment, {&dialogs, &shell, &h->printers, &end});
    QVERIFY(!second.Main());
    QVERIFY(end.ended);
    QCOMPARE(end.code, 0);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.first().text,
             QStringLiteral("You Already have a previous instance of Kelvory running\r\nYou cannot start another."));
    QCOMPARE(dialogs.messages.first().style, MB_OK);
    QCOMPARE(dialogs.messages.first().title, QStringLiteral("Kelvory"));
    QVERIFY(!second.connection.isOpen());
    QVERIFY(!second.rosterForm());
    QVERIFY(h->form().isVisible());
}

void TestStartup::secondProcessIsRefusedAndAStaleLockIsNot()
{
    if (m_backend != Backend::Sqlite)
        QSKIP("the lock does not depend on the database");
    const QString probe = qEnvironmentVariable("KELVORY_PROBE");
    QVERIFY2(QFile::exists(probe), "KELVORY_PROBE names no program");
    h->writeUserFile(QStringLiteral("Bob"));

    auto launch = [&](QProcess &process) {
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(probe, {h->folder.path()});
        QVERIFY(process.waitForStarted());
    };
    auto waitFor = [](QProcess &process, const QByteArray &line) {
        QByteArray seen;
        QElapsedTimer timer;
        timer.start();
        while (!seen.contains(line) && timer.elapsed() < 20000) {
            process.waitForReadyRead(200);
            seen += process.readAll();
        }
        return seen;
    };

    QProcess first;
    launch(first);
    QVERIFY(waitFor(first, "SHOWN").contains("SHOWN"));

    QProcess second;
    launch(second);
    QVERIFY(second.waitForFinished(20000));
    const QByteArray said = second.readAll();
    QVERIFY2(said.contains("MSG 0 Kelvory|You Already have a previous instance of Kelvory running\\r\\nYou cannot "
                           "start another."),
             said.constData());
    QVERIFY(!said.contains("SHOWN"));
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);

    first.kill(); // SIGKILL: the lock file stays behind
    QVERIFY(first.waitForFinished(10000));
    QVERIFY(QFile::exists(h->deployment.lockFilePath));

    QProcess third;
    launch(third);
    const QByteArray thirdSaid = waitFor(third, "SHOWN");
    QVERIFY2(thirdSaid.contains("SHOWN"), thirdSaid.constData());
    third.kill();
    third.waitForFinished(10000);
}

KELVORY_BACKEND_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
