#include "BackendTest.h"
#include "database/Connection.h"
#include "roster/RosterForm.h"
#include "grid/CommandButton.h"
#include "grid/FlexGrid.h"

#include "startup/DataFolder.h"
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

// The probe (the real start-up, its dialogs printed) as a process of its own; as another
// user through setpriv, which starts it in its own place, so that a kill reaches the probe.
struct Probe
{
    QProcess process;
    QByteArray said;

    Probe(const QString &program, const QString &folder, const QProcessEnvironment &environment, uid_t user = 0)
    {
        const QString id = QString::number(user);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setProcessEnvironment(environment);
        if (user == 0)
            process.start(program, {folder});
        else
            process.start(QStringLiteral("setpriv"),
                          {"--reuid=" + id, "--regid=" + id, "--clear-groups", program, folder});
    }
    ~Probe() { killHard(); }
    // Waits for a line that begins with what; false when the probe ended, or 20 s passed, without it.
    bool waitFor(const QByteArray &what)
    {
        QElapsedTimer timer;
        timer.start();
        do
            said += process.readAll();
        while (!('\n' + said).contains('\n' + what) && timer.elapsed() < 20000
               && (process.waitForReadyRead(200) || process.state() == QProcess::Running));
        said += process.readAll();
        return ('\n' + said).contains('\n' + what);
    }
    QString lock()
    {
        waitFor("LOCK ");
        const qsizetype at = said.indexOf("LOCK ") + 5;
        return QString::fromLocal8Bit(said.mid(at, said.indexOf('\n', at) - at));
    }
    bool endsRefused()
    {
        process.waitForFinished(20000);
        said += process.readAll();
        return process.exitCode() == 0 && !said.contains("SHOWN")
            && said.contains("MSG 0 Kelvory|You Already have a previous instance of Kelvory running\\r\\nYou "
                             "cannot start another.");
    }
    void killHard() // SIGKILL: the lock file stays behind
    {
        process.kill();
        process.waitForFinished(10000);
    }
};

bool ownedAlone(const QString &folder, uid_t uid)
{
    struct stat info;
    return ::lstat(QFile::encodeName(folder).constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == uid
        && (info.st_mode & 0777) == 0700;
}

} // namespace

class TestStartup : public BackendTest
{
    Q_OBJECT
public:
    // Only the program's folder: each case makes what it needs.
    explicit TestStartup(Backend backend) : BackendTest(backend, QString(), Database::NotMade) {}

private Q_SLOTS:
    void connectionStringIsFivePieces();
    void embeddedDatabaseIsCreatedWithTheClubsTables();
    void loadSequencePreparesTheWindowBeforeItIsShown();
    void aStatementTheServerHoldsGivesUpAfterTenSeconds();
    void unreachableDatabaseEndsBeforeAnyWindow();
    void secondInstanceInTheSameProcessIsRefused();
    void secondProcessIsRefusedAndAStaleLockIsNot();
    void lockFileIsInTheUsersOwnFolder();
    void anotherUsersLockIsNeverInTheWay();
    void dataFolderFollowsTheBuildsChoice_data();
    void dataFolderFollowsTheBuildsChoice();
};

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

    // The layout in pixels at 96 dpi, where 15 twips make one pixel.
    QCOMPARE(form.logicalDpiX(), 96);
    QCOMPARE(form.size(), QSize(861, 660));
    QCOMPARE(form.Grid1->geometry(), QRect(28, 90, 819, 391));
    QCOMPARE(form.Text1[5]->geometry(), QRect(486, 564, 27, 22));
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
    // Tab leaves the grid for the next control, Shift+Tab for the one before; arrows move in it.
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.Grid1->setFocus();
    form.Grid1->setCurrentIndex(form.Grid1->model()->index(0, 0));
    QTest::keyClick(form.Grid1, Qt::Key_Right);
    QCOMPARE(form.Grid1->currentIndex().column(), 1);
    QTest::keyClick(form.Grid1, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), form.Command1);
    form.Grid1->setFocus();
    QTest::keyClick(form.Grid1, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), form.Command12);
    QVERIFY(h->dialogs.messages.isEmpty());
}

void TestStartup::aStatementTheServerHoldsGivesUpAfterTenSeconds()
{
    if (m_backend != Backend::Postgres)
        QSKIP("on SQLite the same time-out bounds the wait for a lock: tst_faults_embedded");
    h->prepareDatabase();
    h->writeUserFile(QStringLiteral("Bob"));
    QVERIFY(h->start());
    QElapsedTimer timer;
    timer.start();
    QVERIFY_THROWS_EXCEPTION(Failure, h->module->connection.query(QStringLiteral("select pg_sleep(30)")));
    // The 10-second command time-out, with room for a slow machine on either side.
    const qint64 elapsed = timer.elapsed();
    QVERIFY2(elapsed >= 8000 && elapsed <= 20000, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
}

void TestStartup::unreachableDatabaseEndsBeforeAnyWindow()
{
    QByteArray garbage;
    if (m_backend == Backend::Sqlite) {
        // A file that is not a database.
        garbage = QByteArray("This is the club's old spreadsheet, not a database.\n").repeated(40);
        writeFile(QDir(h->folder.path()).filePath(QStringLiteral("Kelvory.db")), garbage);
    } else {
        h->deployment.server.pwd = QStringLiteral("wrong-password");
    }

    QVERIFY(!h->start());
    verifyErrorReport(*h);
    QCOMPARE(h->dialogs.messages.size(), 1);
    QVERIFY(h->dialogs.inputPrompts.isEmpty());
    QVERIFY(!QFile::exists(h->userFilePath()));
    QVERIFY(!rosterForm(*h->module));
    if (m_backend == Backend::Sqlite)
        QCOMPARE(fileBytes(QDir(h->folder.path()).filePath(QStringLiteral("Kelvory.db"))), garbage);
}

void TestStartup::secondInstanceInTheSameProcessIsRefused()
{
    h->prepareDatabase();
    h->writeUserFile(QStringLiteral("Bob"));
    QVERIFY(h->start());

    ScriptedDialogs dialogs;
    RecordingShell shell;
    RecordingEnd end;
    Module1 second(h->deployment, {&dialogs, &shell, &h->printers, &end, nullptr, &test::programWindows()});
    QVERIFY(!second.Main());
    QVERIFY(end.ended);
    QCOMPARE(end.code, 0);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.first().text,
             QStringLiteral("You Already have a previous instance of Kelvory running\r\nYou cannot start another."));
    QCOMPARE(dialogs.messages.first().style, MB_OK);
    QCOMPARE(dialogs.messages.first().title, QStringLiteral("Kelvory"));
    QVERIFY(!second.connection.isOpen());
    QVERIFY(!rosterForm(second));
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
    QVERIFY2(first.waitFor("SHOWN"), first.said.constData());
    QCOMPARE(first.lock(), runtime.path() + QStringLiteral("/Kelvory.lock"));
    Probe second(probe, h->folder.path(), environment);
    QVERIFY2(second.endsRefused(), second.said.constData());
    QCOMPARE(first.process.state(), QProcess::Running);

    first.killHard();
    QVERIFY(QFile::exists(first.lock()));
    Probe third(probe, h->folder.path(), environment);
    QVERIFY2(third.waitFor("SHOWN"), third.said.constData());
}

void TestStartup::lockFileIsInTheUsersOwnFolder()
{
    if (m_backend != Backend::Sqlite)
        QSKIP("the lock does not depend on the database");
    const char *const names[] = {"XDG_RUNTIME_DIR", "TMPDIR", "XDG_CACHE_HOME"};
    QByteArray saved[3];
    for (int i = 0; i < 3; ++i)
        saved[i] = qgetenv(names[i]);
    const auto restore = qScopeGuard([&] {
        for (int i = 0; i < 3; ++i) {
            if (saved[i].isEmpty())
                qunsetenv(names[i]);
            else
                qputenv(names[i], saved[i]);
        }
    });
    QTemporaryDir scratch;
    const QString program = scratch.filePath(QStringLiteral("program"));
    QVERIFY(QDir(scratch.path()).mkdir(QStringLiteral("tmp")));
    QVERIFY(::chmod(QFile::encodeName(scratch.filePath(QStringLiteral("tmp"))).constData(), 01777) == 0);
    const QString perHost = QStringLiteral("/Kelvory-") + QSysInfo::machineHostName() + QStringLiteral(".lock");

    // Without XDG_RUNTIME_DIR: a folder of the user's own that Qt makes in the temporary folder.
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(scratch.filePath(QStringLiteral("tmp"))));
    const QString me = QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name);
    const QString own = scratch.filePath(QStringLiteral("tmp/runtime-") + me);
    QCOMPARE(userLockFilePath(QStringLiteral("Kelvory"), program), own + QStringLiteral("/Kelvory.lock"));
    QVERIFY(ownedAlone(own, ::geteuid()));

    // That folder made by another user before this one came (or open to others): the
    // user's cache folder, never a folder that someone else can write to.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(scratch.filePath(QStringLiteral("cache"))));
    const bool planted = ::geteuid() == 0 ? ::chown(QFile::encodeName(own).constData(), 65534, 65534) == 0
                                          : ::chmod(QFile::encodeName(own).constData(), 0777) == 0;
    QVERIFY(planted);
    QCOMPARE(userLockFilePath(QStringLiteral("Kelvory"), program), scratch.filePath(QStringLiteral("cache")) + perHost);

    // No cache folder either (a file stands where it would be): the program's folder.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(h->userFilePath()));
    h->writeUserFile(QStringLiteral("Bob"));
    QCOMPARE(userLockFilePath(QStringLiteral("Kelvory"), program), program + perHost);
}

void TestStartup::anotherUsersLockIsNeverInTheWay()
{
    if (m_backend != Backend::Sqlite)
        QSKIP("the lock does not depend on the database");
    if (::geteuid() != 0)
        QSKIP("a second local user can only be made as root (CI runs the tests as root)");
    const QString other = QStringLiteral("kvy%1").arg(QCoreApplication::applicationPid());
    QCOMPARE(QProcess::execute(QStringLiteral("useradd"), {"--system", "--no-create-home", other}), 0);
    const auto removeUser = qScopeGuard([&] { QProcess::execute(QStringLiteral("userdel"), {other}); });
    const passwd *entry = ::getpwnam(other.toLocal8Bit().constData());
    QVERIFY(entry);
    const uid_t otherUid = entry->pw_uid;

    // What both need, where both can reach it whatever folder the build is in: the probe,
    // a temporary folder shared by all (where Qt makes each user's runtime folder, as no
    // XDG_RUNTIME_DIR is set), and a program folder for each, which is also their home.
    QTemporaryDir scratch;
    QVERIFY(::chmod(QFile::encodeName(scratch.path()).constData(), 0755) == 0);
    const QString program = scratch.filePath(QStringLiteral("kelvory_probe"));
    QVERIFY(QFile::copy(qEnvironmentVariable("KELVORY_PROBE"), program));
    QVERIFY(QDir(scratch.path()).mkdir(QStringLiteral("tmp")));
    QVERIFY(::chmod(QFile::encodeName(scratch.filePath(QStringLiteral("tmp"))).constData(), 01777) == 0);
    QProcessEnvironment mine, theirs;
    for (const QString &folder : {QStringLiteral("mine"), QStringLiteral("theirs")}) {
        QVERIFY(QDir(scratch.path()).mkdir(folder));
        QFile user(scratch.filePath(folder + QStringLiteral("/User.txt")));
        QVERIFY(user.open(QIODevice::WriteOnly) && user.write("\"Bob\"\r\n") == 7);
        QProcessEnvironment &environment = folder == QLatin1String("mine") ? mine : theirs;
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("TMPDIR"), scratch.filePath(QStringLiteral("tmp")));
        environment.insert(QStringLiteral("HOME"), scratch.filePath(folder));
    }
    const QString myFolder = scratch.filePath(QStringLiteral("mine"));
    const QString theirFolder = scratch.filePath(QStringLiteral("theirs"));
    for (const QString &path : {theirFolder, theirFolder + QStringLiteral("/User.txt")})
        QVERIFY(::chown(QFile::encodeName(path).constData(), otherUid, entry->pw_gid) == 0);

    // My running copy does not refuse theirs; their running copy refuses their second.
    Probe myFirst(program, myFolder, mine);
    QVERIFY2(myFirst.waitFor("SHOWN"), myFirst.said.constData());
    QCOMPARE(myFirst.lock(), scratch.filePath(QStringLiteral("tmp/runtime-root/Kelvory.lock")));
    Probe theirFirst(program, theirFolder, theirs, otherUid);
    QVERIFY2(theirFirst.waitFor("SHOWN"), theirFirst.said.constData());
    const QString theirLock = theirFirst.lock();
    QCOMPARE(theirLock, scratch.filePath(QStringLiteral("tmp/runtime-") + other + QStringLiteral("/Kelvory.lock")));
    QVERIFY(ownedAlone(QFileInfo(theirLock).path(), otherUid));
    Probe theirSecond(program, theirFolder, theirs, otherUid);
    QVERIFY2(theirSecond.endsRefused(), theirSecond.said.constData());

    // Both copies killed, their locks left behind: each user starts again, and the other
    // user's stale lock is in nobody's way.
    theirFirst.killHard();
    myFirst.killHard();
    QVERIFY(QFile::exists(myFirst.lock()) && QFile::exists(theirLock));
    Probe myAgain(program, myFolder, mine);
    QVERIFY2(myAgain.waitFor("SHOWN"), myAgain.said.constData());
    Probe theirAgain(program, theirFolder, theirs, otherUid);
    QVERIFY2(theirAgain.waitFor("SHOWN"), theirAgain.said.constData());
}

void TestStartup::dataFolderFollowsTheBuildsChoice_data()
{
    QTest::addColumn<DataFolderKind>("kind");
    QTest::addColumn<QString>("before"); // what stands where the user's folder goes
    QTest::addColumn<bool>("usable");
    QTest::newRow("beside the executable, taken as it is") << DataFolderKind::Program << "" << true;
    QTest::newRow("the user's folder, made at the first start") << DataFolderKind::User << "" << true;
    QTest::newRow("the user's folder, kept with its files") << DataFolderKind::User << "folder" << true;
    QTest::newRow("a file in the folder's place") << DataFolderKind::User << "file" << false;
    QTest::newRow("a file in its parent's place") << DataFolderKind::User << "parent file" << false;
}

void TestStartup::dataFolderFollowsTheBuildsChoice()
{
    if (m_backend != Backend::Sqlite)
        QSKIP("the folder does not depend on the database");
    QFETCH(DataFolderKind, kind);
    QFETCH(QString, before);
    QFETCH(bool, usable);
    const QByteArray savedHome = qgetenv("XDG_DATA_HOME");
    const QString savedName = QCoreApplication::applicationName();
    const auto restore = qScopeGuard([&] {
        savedHome.isEmpty() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", savedHome);
        QCoreApplication::setApplicationName(savedName);
    });
    QTemporaryDir scratch;
    const QString executableFolder = scratch.filePath(QStringLiteral("bin"));
    const QString dataHome = scratch.filePath(QStringLiteral("home/.local/share"));
    const QString userFolder = dataHome + QStringLiteral("/Kelvory");
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));
    QCoreApplication::setApplicationName(QStringLiteral("Kelvory"));
    if (before == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(userFolder));
        writeFile(userFolder + QStringLiteral("/User.txt"), "\"Bob\"\r\n");
    } else if (before == QLatin1String("file")) {
        QVERIFY(QDir().mkpath(dataHome));
        writeFile(userFolder, "not a folder");
    } else if (before == QLatin1String("parent file")) {
        QVERIFY(QDir().mkpath(scratch.filePath(QStringLiteral("home/.local"))));
        writeFile(dataHome, "not a folder");
    }

    const QString folder = dataFolder(kind, executableFolder);
    QCOMPARE(folder, kind == DataFolderKind::Program ? executableFolder : userFolder);
    const std::optional<QString> unusable = prepareDataFolder(kind, folder);
    QCOMPARE(!unusable.has_value(), usable);
    if (!usable) {
        QVERIFY2(unusable->contains(QStringLiteral("cannot be made or written to:\r\n") + userFolder + kCrLf),
                 qPrintable(*unusable));
        return;
    }
    // The program's folder is neither made nor looked at; the user's is theirs alone, and
    // what it held stays.
    QCOMPARE(QFileInfo::exists(executableFolder), false);
    if (kind == DataFolderKind::User && before.isEmpty())
        QVERIFY(ownedAlone(userFolder, ::geteuid()));
    if (before == QLatin1String("folder"))
        QCOMPARE(fileBytes(userFolder + QStringLiteral("/User.txt")), QByteArray("\"Bob\"\r\n"));
}

KELVORY_BACKEND_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
