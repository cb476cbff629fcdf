#include "Harness.h"
#include "database/Connection.h"
#include "roster/CommandButton.h"
#include "roster/FlexGrid.h"
#include "roster/RosterForm.h"
#include "roster/Units.h"

#include "startup/InstanceGuard.h"

#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QProcess>
#include <QSysInfo>
#include <QtTest>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kelvory;
using namespace kelvory::test;

namespace {

// The probe program (the real start-up, its dialogs printed) as a process of its own,
// as this user or, through setpriv, as another (setpriv starts it in its own place, so
// that a kill reaches the probe itself).
class Probe
{
public:
    Probe(const QString &program, const QString &folder, const QProcessEnvironment &environment,
          std::optional<uid_t> asUser = std::nullopt)
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setProcessEnvironment(environment);
        if (asUser) {
            const QString id = QString::number(*asUser);
            m_process.start(QStringLiteral("setpriv"), {QStringLiteral("--reuid=") + id, QStringLiteral("--regid=") + id,
                                                        QStringLiteral("--clear-groups"), QStringLiteral("--"), program,
                                                        folder});
        } else {
            m_process.start(program, {folder});
        }
    }
    ~Probe()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

    // Waits for a line that begins with what; false once the probe has ended without it.
    bool waitFor(const QByteArray &what)
    {
        QElapsedTimer timer;
        timer.start();
        while (!said().startsWith(what) && !said().contains("\n" + what) && timer.elapsed() < 20000) {
            if (m_process.state() == QProcess::NotRunning && m_process.bytesAvailable() == 0)
                break;
            m_process.waitForReadyRead(200);
        }
        return said().startsWith(what) || said().contains("\n" + what);
    }
    const QByteArray &said()
    {
        m_said += m_process.readAll();
        return m_said;
    }
    QString lockPath()
    {
        waitFor("LOCK ");
        const qsizetype at = said().indexOf("LOCK ");
        return at < 0 ? QString() : QString::fromLocal8Bit(said().mid(at + 5, said().indexOf('\n', at) - at - 5));
    }
    bool ends()
    {
        const bool ended = m_process.waitForFinished(20000);
        said();
        return ended && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }
    bool running() const { return m_process.state() == QProcess::Running; }
    void killHard()
    {
        m_process.kill(); // SIGKILL: the lock file stays behind
        m_process.waitForFinished(10000);
    }

private:
    QProcess m_process;
    QByteArray m_said;
};

const QByteArray kRefused = "MSG 0 Kelvory|You Already have a previous instance of Kelvory running\\r\\nYou cannot "
                            "start another.";

// Sets environment variables for one test and puts them back afterwards.
class EnvironmentOverride
{
public:
    explicit EnvironmentOverride(std::initializer_list<const char *> names)
    {
        for (const char *name : names)
            m_saved.push_back({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
    }
    ~EnvironmentOverride()
    {
        for (const Saved &saved : m_saved) {
            if (saved.wasSet)
                qputenv(saved.name, saved.value);
            else
                qunsetenv(saved.name);
        }
    }

private:
    struct Saved
    {
        const char *name;
        bool wasSet;
        QByteArray value;
    };
    std::vector<Saved> m_saved;
};

QString userName(uid_t uid)
{
    const passwd *entry = ::getpwuid(uid);
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString();
}

bool ownedAlone(const QString &folder, uid_t uid)
{
    struct stat info;
    return ::lstat(QFile::encodeName(folder).constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == uid
        && (info.st_mode & 0777) == 0700;
}

} // namespace

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
    void tabLeavesTheGridAndArrowsMoveInIt();
    void timeoutsAreTenSeconds();
    void unreachableDatabaseEndsBeforeAnyWindow();
    void secondInstanceInTheSameProcessIsRefused();
    void secondProcessIsRefusedAndAStaleLockIsNot();
    void lockFileIsInTheUsersOwnFolder();
    void anotherUsersLockIsNeverInTheWay();

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

void TestStartup::tabLeavesTheGridAndArrowsMoveInIt()
{
    h->prepareDatabase();
    h->addMember(QStringLiteral("Adams"), QStringLiteral("1 Elm"), QStringLiteral("Salem"), QStringLiteral("1"),
                 QString(), 1);
    h->addMember(QStringLiteral("Baker"), QStringLiteral("2 Elm"), QStringLiteral("Salem"), QStringLiteral("2"),
                 QString(), 2);
    h->writeUserFile(QStringLiteral("Bob"));
    QVERIFY(h->start());
    roster::RosterForm &form = h->form();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    roster::FlexGrid &grid = *form.Grid1;

    grid.setFocus();
    grid.setCurrentIndex(grid.model()->index(0, 0));
    QTest::keyClick(&grid, Qt::Key_Down);
    QCOMPARE(grid.currentIndex().row(), 1);
    QTest::keyClick(&grid, Qt::Key_Right);
    QCOMPARE(grid.currentIndex().column(), 1);
    QVERIFY(grid.hasFocus());

    // Tab goes on to the next control of the tab order, Shift+Tab back to the one before.
    QTest::keyClick(&grid, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(form.Command1));
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(form.Command12));
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
    // A runtime folder of this test's own, so that runs side by side do not meet.
    QTemporaryDir runtime;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());

    Probe first(probe, h->folder.path(), environment);
    QVERIFY2(first.waitFor("SHOWN"), first.said().constData());
    const QString lock = first.lockPath();
    QCOMPARE(lock, QDir(runtime.path()).filePath(QStringLiteral("Kelvory.lock")));

    Probe second(probe, h->folder.path(), environment);
    QVERIFY(second.ends());
    QVERIFY2(second.said().contains(kRefused), second.said().constData());
    QVERIFY(!second.said().contains("SHOWN"));
    QVERIFY(first.running());

    first.killHard();
    QVERIFY(QFile::exists(lock));

    Probe third(probe, h->folder.path(), environment);
    QVERIFY2(third.waitFor("SHOWN"), third.said().constData());
}

void TestStartup::lockFileIsInTheUsersOwnFolder()
{
    if (m_backend != Backend::Sqlite)
        QSKIP("the lock does not depend on the database");
    EnvironmentOverride saved({"XDG_RUNTIME_DIR", "TMPDIR", "XDG_CACHE_HOME"});
    QTemporaryDir scratch;
    const QDir base(scratch.path());
    const QString program = base.filePath(QStringLiteral("program"));
    QVERIFY(base.mkpath(QStringLiteral("program")) && base.mkpath(QStringLiteral("run")) && base.mkpath(QStringLiteral("tmp")));
    QVERIFY(QFile::setPermissions(base.filePath(QStringLiteral("run")), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                                             | QFileDevice::ExeOwner));
    QVERIFY(::chmod(QFile::encodeName(base.filePath(QStringLiteral("tmp"))).constData(), 01777) == 0);
    const QString perHost = QStringLiteral("Kelvory-") + QSysInfo::machineHostName() + QStringLiteral(".lock");

    // The platform's runtime folder, when it is the user's alone.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(base.filePath(QStringLiteral("run"))));
    QCOMPARE(userLockFilePath(QStringLiteral("Kelvory"), program), base.filePath(QStringLiteral("run/Kelvory.lock")));

    // Without one, a folder of the user's own that Qt makes in the temporary folder.
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(base.filePath(QStringLiteral("tmp"))));
    const QString own = base.filePath(QStringLiteral("tmp/runtime-") + userName(::geteuid()));
    QCOMPARE(userLockFilePath(QStringLiteral("Kelvory"), program), own + QStringLiteral("/Kelvory.lock"));
    QVERIFY(ownedAlone(own, ::geteuid()));

    // That folder open to others, or made by another user before this one came: the
    // user's cache folder instead, never the folder someone else could write to.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(base.filePath(QStringLiteral("cache"))));
    QVERIFY(::chmod(QFile::encodeName(own).constData(), 0777) == 0);
    QCOMPARE(userLockFilePath(QStringLiteral("Kelvory"), program), base.filePath(QStringLiteral("cache/")) + perHost);
    if (::geteuid() == 0) {
        QVERIFY(::chmod(QFile::encodeName(own).constData(), 0700) == 0);
        QVERIFY(::chown(QFile::encodeName(own).constData(), 65534, 65534) == 0);
        QCOMPARE(userLockFilePath(QStringLiteral("Kelvory"), program), base.filePath(QStringLiteral("cache/")) + perHost);
    }

    // No cache folder either: the program's folder.
    QFile blocker(base.filePath(QStringLiteral("not-a-folder")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("XDG_CACHE_HOME", QFile::encodeName(blocker.fileName()));
    QCOMPARE(userLockFilePath(QStringLiteral("Kelvory"), program), QDir(program).filePath(perHost));
}

void TestStartup::anotherUsersLockIsNeverInTheWay()
{
    if (m_backend != Backend::Sqlite)
        QSKIP("the lock does not depend on the database");
    if (::geteuid() != 0)
        QSKIP("a second local user can only be made as root (CI runs the tests as root)");
    const QString probe = qEnvironmentVariable("KELVORY_PROBE");
    QVERIFY2(QFile::exists(probe), "KELVORY_PROBE names no program");

    // A second user of the workstation, for this test alone.
    const QString other = QStringLiteral("kvy%1").arg(QCoreApplication::applicationPid());
    QCOMPARE(QProcess::execute(QStringLiteral("useradd"),
                               {QStringLiteral("--system"), QStringLiteral("--no-create-home"),
                                QStringLiteral("--shell"), QStringLiteral("/usr/sbin/nologin"), other}),
             0);
    struct RemoveUser
    {
        QString name;
        ~RemoveUser() { QProcess::execute(QStringLiteral("userdel"), {name}); }
    } removeUser{other};
    const passwd *entry = ::getpwnam(other.toLocal8Bit().constData());
    QVERIFY(entry);
    const uid_t otherUid = entry->pw_uid;

    // Everything both users need, where both can reach it whatever folder the build is in:
    // the probe, a temporary folder shared by all (where Qt makes each user's runtime
    // folder, as no XDG_RUNTIME_DIR is set), and a program folder for each.
    QTemporaryDir scratch;
    const QDir base(scratch.path());
    QVERIFY(::chmod(QFile::encodeName(scratch.path()).constData(), 0755) == 0);
    const QString program = base.filePath(QStringLiteral("kelvory_probe"));
    QVERIFY(QFile::copy(probe, program));
    QVERIFY(base.mkpath(QStringLiteral("tmp")) && base.mkpath(QStringLiteral("mine"))
            && base.mkpath(QStringLiteral("theirs")));
    QVERIFY(::chmod(QFile::encodeName(base.filePath(QStringLiteral("tmp"))).constData(), 01777) == 0);
    for (const QString &folder : {QStringLiteral("mine"), QStringLiteral("theirs")}) {
        QFile user(base.filePath(folder + QStringLiteral("/User.txt")));
        QVERIFY(user.open(QIODevice::WriteOnly));
        user.write("\"Bob\"\r\n");
    }
    const QString theirs = base.filePath(QStringLiteral("theirs"));
    for (const QString &path : {theirs, theirs + QStringLiteral("/User.txt")})
        QVERIFY(::chown(QFile::encodeName(path).constData(), otherUid, entry->pw_gid) == 0);

    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("TMPDIR"), base.filePath(QStringLiteral("tmp")));
    QProcessEnvironment theirEnvironment = environment;
    environment.insert(QStringLiteral("HOME"), base.filePath(QStringLiteral("mine")));
    theirEnvironment.insert(QStringLiteral("HOME"), theirs);
    const QString mine = base.filePath(QStringLiteral("mine"));

    Probe myFirst(program, mine, environment);
    QVERIFY2(myFirst.waitFor("SHOWN"), myFirst.said().constData());
    const QString myLock = myFirst.lockPath();
    QCOMPARE(QFileInfo(myLock).dir().path(), base.filePath(QStringLiteral("tmp/runtime-root")));

    // My running copy does not refuse theirs; their running copy refuses their second.
    Probe theirFirst(program, theirs, theirEnvironment, otherUid);
    QVERIFY2(theirFirst.waitFor("SHOWN"), theirFirst.said().constData());
    const QString theirLock = theirFirst.lockPath();
    QCOMPARE(QFileInfo(theirLock).dir().path(), base.filePath(QStringLiteral("tmp/runtime-") + other));
    QVERIFY(ownedAlone(QFileInfo(theirLock).dir().path(), otherUid));
    Probe theirSecond(program, theirs, theirEnvironment, otherUid);
    QVERIFY(theirSecond.ends());
    QVERIFY2(theirSecond.said().contains(kRefused), theirSecond.said().constData());
    QVERIFY(theirFirst.running());
    QVERIFY(myFirst.running());

    // Both copies killed: each leaves its lock behind; each user starts again, and the
    // other user's stale lock is in nobody's way.
    theirFirst.killHard();
    myFirst.killHard();
    QVERIFY(QFile::exists(myLock) && QFile::exists(theirLock));
    Probe myAgain(program, mine, environment);
    QVERIFY2(myAgain.waitFor("SHOWN"), myAgain.said().constData());
    Probe theirAgain(program, theirs, theirEnvironment, otherUid);
    QVERIFY2(theirAgain.waitFor("SHOWN"), theirAgain.said().constData());
}

KELVORY_BACKEND_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
