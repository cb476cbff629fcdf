// The club's server cannot be reached at start, through FreeTDS registered as the
// "SQL Server" driver by scripts/register-sqlserver-driver.sh, as on a workstation (on
// test-only files). The connection string names no port; for such a string FreeTDS
// takes the port from its environment (TDSPORT), which is how the test points it at a
// port of its own.
#include "BackendTest.h"
#include "FaultTools.h"
#include "roster/RosterForm.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using namespace kelvory;
using namespace kelvory::test;

namespace {

// What the workstation's freetds.conf holds before the script: Debian's own [global].
const QByteArray kDebianConf = "[global]\n\t# TDS protocol version\n\ttds version = auto\n\n"
                               "[egServer73]\n\thost = ntmachine.domain.com\n\tport = 1433\n\ttds version = 7.3\n";

struct Registration
{
    QString folder;
    QByteArray firstRun;
    QByteArray secondRun;
    QByteArray registryAfterFirst;
    QByteArray confAfterFirst;
    bool ran = false;
};
Registration registration;

QByteArray runScript(const QString &script)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ODBCSYSINI"), registration.folder);
    environment.insert(QStringLiteral("FREETDSCONF"), registration.folder + QStringLiteral("/freetds.conf"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("bash"), {script});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return "FAILED: " + process.readAll();
    return process.readAll();
}

// Registers the driver the way a workstation's administrator does, twice, on files of
// the test's own. unixODBC reads its driver registry once per process, so this runs
// before the first ODBC call of the program.
void registerDriver(const QString &folder)
{
    registration.folder = folder;
    QFile conf(folder + QStringLiteral("/freetds.conf"));
    if (!conf.open(QIODevice::WriteOnly))
        return;
    conf.write(kDebianConf);
    conf.close();
    const QString script = QFINDTESTDATA("../scripts/register-sqlserver-driver.sh");
    if (script.isEmpty())
        return;
    registration.firstRun = runScript(script);
    registration.registryAfterFirst = fileBytes(folder + QStringLiteral("/odbcinst.ini"));
    registration.confAfterFirst = fileBytes(conf.fileName());
    registration.secondRun = runScript(script);
    registration.ran = true;

    qputenv("ODBCSYSINI", QFile::encodeName(folder));
    qputenv("ODBCINI", QFile::encodeName(folder + QStringLiteral("/odbc.ini")));
    qputenv("FREETDSCONF", QFile::encodeName(conf.fileName()));
    // Nothing else of the machine's FreeTDS set-up may reach the test; the protocol
    // version is the program's own business.
    for (const char *name : {"TDSPORT", "TDSVER", "TDSHOST", "FREETDS"})
        qunsetenv(name);
}

// A stand-in for a SQL Server host on a loopback address of the test's own: the browser
// service on UDP port 1434, which answers with the TCP port of an instance, and that TCP
// port, which hangs up at once, so that a start fails at once. It records what FreeTDS
// asked the browser for and how often it came to the port.
struct InstanceHost
{
    QString address;
    quint16 port = 0;
    int tcp = ::socket(AF_INET, SOCK_STREAM, 0);
    int udp = ::socket(AF_INET, SOCK_DGRAM, 0);
    std::atomic<bool> stop{false};
    int connections = 0;
    QList<QByteArray> browserRequests;
    std::thread thread;

    InstanceHost()
    {
        const qint64 pid = QCoreApplication::applicationPid();
        address = QStringLiteral("127.1.%1.%2").arg((pid >> 8) % 256).arg(2 + pid % 250);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        ::inet_pton(AF_INET, address.toLatin1().constData(), &at.sin_addr);
        socklen_t length = sizeof at;
        if (::bind(tcp, reinterpret_cast<sockaddr *>(&at), sizeof at) != 0 || ::listen(tcp, 4) != 0
            || ::getsockname(tcp, reinterpret_cast<sockaddr *>(&at), &length) != 0)
            return;
        port = ntohs(at.sin_port);
        at.sin_port = htons(1434);
        if (::bind(udp, reinterpret_cast<sockaddr *>(&at), sizeof at) == 0)
            thread = std::thread([this] { serve(); });
    }
    ~InstanceHost()
    {
        finish();
        ::close(tcp);
        ::close(udp);
    }
    // Ends the service; what it recorded may be read from then on.
    void finish()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
    }
    void serve()
    {
        while (!stop) {
            pollfd wait[2] = {{udp, POLLIN, 0}, {tcp, POLLIN, 0}};
            if (::poll(wait, 2, 100) <= 0)
                continue;
            char request[512];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t got = (wait[0].revents & POLLIN)
                ? ::recvfrom(udp, request, sizeof request, 0, reinterpret_cast<sockaddr *>(&from), &length)
                : 0;
            if (got > 0) {
                browserRequests.append(QByteArray(request, got));
                // The browser's answer: 0x05, the length (little endian), the instance's facts.
                const QByteArray facts =
                    "ServerName;CLUB;InstanceName;SQLEXPRESS;IsClustered;No;tcp;" + QByteArray::number(port) + ";;";
                const QByteArray answer = QByteArray("\x05") + char(facts.size()) + '\0' + facts;
                ::sendto(udp, answer.constData(), answer.size(), 0, reinterpret_cast<sockaddr *>(&from), length);
            }
            if (wait[1].revents & POLLIN) {
                ++connections;
                ::close(::accept(tcp, nullptr, nullptr));
            }
        }
    }
};

} // namespace

class TestServerUnreachable : public BackendTest
{
    Q_OBJECT
public:
    // The program's folder only; the cases name the server.
    TestServerUnreachable() : BackendTest(Backend::Sqlite, QString(), Database::NotMade) {}

private Q_SLOTS:
    void scriptRegistersFreeTdsAsSqlServer();
    void unreachableServerEndsBeforeAnything_data();
    void unreachableServerEndsBeforeAnything();
    void withoutAPortFreeTdsGoesToTheSqlServerPort();
    void aNamedPortOrInstanceIsReachedAsNamed_data();
    void aNamedPortOrInstanceIsReachedAsNamed();

private:
    // The club's server, as the deployment names it.
    void nameServer(const QString &server)
    {
        h->deployment.server = {server, QStringLiteral("club"), QStringLiteral("webuser"), QStringLiteral("secret999")};
    }
};

void TestServerUnreachable::scriptRegistersFreeTdsAsSqlServer()
{
    QVERIFY2(registration.ran, "scripts/register-sqlserver-driver.sh was not found");
    QVERIFY2(!registration.firstRun.startsWith("FAILED"), registration.firstRun.constData());
    QVERIFY2(!registration.secondRun.startsWith("FAILED"), registration.secondRun.constData());

    const QByteArray registry = registration.registryAfterFirst;
    QVERIFY2(registry.contains("[SQL Server]"), registry.constData());
    QVERIFY2(registry.contains("libtdsodbc.so\n"), registry.constData());
    const QByteArray conf = registration.confAfterFirst;
    QVERIFY2(conf.startsWith("[global]\n\ttds version = 7.4\n\tclient charset = UTF-8\n"), conf.constData());
    QVERIFY2(!conf.contains("tds version = auto"), conf.constData());
    // The other sections stay as they were.
    QVERIFY(conf.contains("[egServer73]\n\thost = ntmachine.domain.com\n\tport = 1433\n\ttds version = 7.3\n"));

    // Idempotent: a second run changes neither file.
    QCOMPARE(fileBytes(registration.folder + QStringLiteral("/odbcinst.ini")), registry);
    QCOMPARE(fileBytes(registration.folder + QStringLiteral("/freetds.conf")), conf);
    QVERIFY2(registration.secondRun.contains("already"), registration.secondRun.constData());
}

void TestServerUnreachable::unreachableServerEndsBeforeAnything_data()
{
    QTest::addColumn<bool>("answers");
    QTest::addColumn<bool>("userFile");
    QTest::addColumn<int>("minMs");
    QTest::addColumn<int>("maxMs");
    QTest::newRow("closed port, known operator") << false << true << 0 << 3000;
    QTest::newRow("closed port, first run") << false << false << 0 << 3000;
    // The 10-second connect time-out, with room for a slow machine on either side.
    QTest::newRow("silent listener, known operator") << true << true << 8000 << 20000;
    QTest::newRow("silent listener, first run") << true << false << 8000 << 20000;
}

void TestServerUnreachable::unreachableServerEndsBeforeAnything()
{
    QFETCH(bool, answers);
    QFETCH(bool, userFile);
    QFETCH(int, minMs);
    QFETCH(int, maxMs);
    QVERIFY(registration.ran);

    std::unique_ptr<SilentListener> listener;
    const quint16 port = answers ? (listener = std::make_unique<SilentListener>())->port() : closedLoopbackPort();
    qputenv("TDSPORT", QByteArray::number(port));

    nameServer(QStringLiteral("127.0.0.1"));
    if (userFile)
        writeOldUserFile(*h);
    const FileSnapshot before = FileSnapshot::of(h->userFilePath());

    qint64 elapsed = 0;
    const bool shown = startWatched(*h, "the start against an unreachable server", &elapsed);
    qInfo("port %u: the start ended after %lld ms", port, elapsed);

    QVERIFY(!shown);
    QVERIFY2(elapsed >= minMs && elapsed <= maxMs, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
    if (listener)
        QVERIFY2(listener->accepted() >= 1, "FreeTDS never reached the listener");

    verifyErrorReport(*h, QStringLiteral("[FreeTDS]"));
    QCOMPARE(h->dialogs.messages.size(), 1);

    QVERIFY(!rosterForm(*h->module));
    for (QWidget *widget : QApplication::topLevelWidgets())
        QVERIFY2(!widget->isVisible(), qPrintable(widget->objectName()));
    QVERIFY(h->dialogs.inputPrompts.isEmpty());
    QVERIFY(FileSnapshot::of(h->userFilePath()) == before);
    QVERIFY(!QFile::exists(h->module->databaseFilePath()));
}

void TestServerUnreachable::withoutAPortFreeTdsGoesToTheSqlServerPort()
{
    QVERIFY(registration.ran);
    qunsetenv("TDSPORT");
    // A listener on SQL Server's port that hangs up at once: the start fails quickly, and
    // the listener tells whether FreeTDS came to it at all.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    QVERIFY(listener >= 0);
    const int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(1433);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(listener, 4) != 0) {
        ::close(listener);
        if (qEnvironmentVariable("KELVORY_TEST_PG_REQUIRED") == QLatin1String("1") && ::geteuid() == 0)
            QFAIL("port 1433 on 127.0.0.1 is taken");
        QSKIP("port 1433 cannot be taken here (it needs root)");
    }
    std::atomic<int> accepted{0};
    std::thread acceptor([&] {
        const int client = ::accept(listener, nullptr, nullptr);
        if (client >= 0) {
            ++accepted;
            ::close(client);
        }
    });

    nameServer(QStringLiteral("127.0.0.1"));
    const bool shown = startWatched(*h, "the start against port 1433");
    ::shutdown(listener, SHUT_RDWR);
    ::close(listener);
    acceptor.join();
    QVERIFY(!shown);
    QCOMPARE(accepted.load(), 1);
    QCOMPARE(qgetenv("TDSPORT"), QByteArray("1433"));
    QCOMPARE(h->end.code, 1);
}

void TestServerUnreachable::aNamedPortOrInstanceIsReachedAsNamed_data()
{
    QTest::addColumn<bool>("instance");
    QTest::newRow("host\\INSTANCE") << true;
    QTest::newRow("host,port") << false;
}

void TestServerUnreachable::aNamedPortOrInstanceIsReachedAsNamed()
{
    QFETCH(bool, instance);
    QVERIFY(registration.ran);
    qunsetenv("TDSPORT");
    InstanceHost host;
    QVERIFY2(host.thread.joinable(), "no loopback address for the stand-in server");

    nameServer(instance ? host.address + QStringLiteral("\\SQLEXPRESS")
                        : host.address + QLatin1Char(',') + QString::number(host.port));
    const bool shown = startWatched(*h, "the start against a named port or instance");
    QVERIFY(!shown);
    QCOMPARE(h->end.code, 1);
    // FreeTDS went where the server's name sends it, not to port 1433.
    host.finish();
    QCOMPARE(host.connections, 1);
    if (instance)
        QCOMPARE(host.browserRequests, QList<QByteArray>{QByteArray("\x04SQLEXPRESS", 11) + '\0'});
    else
        QVERIFY(host.browserRequests.isEmpty());
    QVERIFY2(!qEnvironmentVariableIsSet("TDSPORT"), qgetenv("TDSPORT").constData());
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    prepareApplication();
    QTemporaryDir config;
    registerDriver(config.path());
    TestServerUnreachable test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_faults_server.moc"
