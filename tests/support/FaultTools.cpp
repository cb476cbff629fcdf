#include "FaultTools.h"

#include "Harness.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kelvory::test {

namespace {

// A TCP socket bound to address:port (port 0: any free one), or -1.
int boundSocket(const char *address, quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    if (::inet_pton(AF_INET, address, &where.sin_addr) != 1
        || ::bind(fd, reinterpret_cast<sockaddr *>(&where), sizeof where) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

quint16 localPort(int fd)
{
    sockaddr_in where{};
    socklen_t length = sizeof where;
    if (::getsockname(fd, reinterpret_cast<sockaddr *>(&where), &length) != 0)
        return 0;
    return ntohs(where.sin_port);
}

} // namespace

quint16 closedLoopbackPort()
{
    const int fd = boundSocket("127.0.0.1", 0);
    if (fd < 0)
        qFatal("no loopback port is free");
    const quint16 port = localPort(fd);
    ::close(fd);
    return port;
}

SilentListener::SilentListener()
{
    m_socket = boundSocket("127.0.0.1", 0);
    if (m_socket < 0 || ::listen(m_socket, 16) != 0)
        qFatal("the silent listener cannot listen on loopback");
    m_port = localPort(m_socket);
    // Accepts on a thread of its own, so that a client blocked on the test's thread is
    // really let in, and then holds the connection without a word until the end.
    m_thread = std::thread([this] {
        while (!m_stop.load()) {
            pollfd waiting{m_socket, POLLIN, 0};
            if (::poll(&waiting, 1, 100) <= 0)
                continue;
            const int client = ::accept(m_socket, nullptr, nullptr);
            if (client >= 0) {
                m_clients.push_back(client);
                ++m_accepted;
            }
        }
    });
}

SilentListener::~SilentListener()
{
    m_stop = true;
    m_thread.join();
    for (int client : m_clients)
        ::close(client);
    ::close(m_socket);
}

Watchdog::Watchdog(int seconds, QByteArray what)
{
    m_thread = std::thread([this, seconds, what = std::move(what)] {
        QElapsedTimer timer;
        timer.start();
        while (!m_done.load()) {
            if (timer.elapsed() > seconds * 1000LL) {
                std::fprintf(stderr, "FAIL: %s did not return within %d s\n", what.constData(), seconds);
                std::fflush(stderr);
                std::_Exit(3);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
}

Watchdog::~Watchdog()
{
    m_done = true;
    m_thread.join();
}

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

FileSnapshot FileSnapshot::of(const QString &path)
{
    FileSnapshot snapshot;
    QFile file(path);
    snapshot.exists = file.exists();
    if (!snapshot.exists)
        return snapshot;
    if (file.open(QIODevice::ReadOnly))
        snapshot.bytes = file.readAll();
    snapshot.modified = QFileInfo(path).fileTime(QFileDevice::FileModificationTime);
    return snapshot;
}

namespace {

bool runningAsRoot()
{
    return ::geteuid() == 0;
}

// A loopback address of this test run's own: another build's run of the same test may
// hold 127.0.0.2 at this very moment.
QStringList candidateAddresses()
{
    QStringList addresses;
    const qint64 pid = QCoreApplication::applicationPid();
    for (int attempt = 0; attempt < 8; ++attempt) {
        const qint64 n = pid * 8 + attempt;
        addresses.append(
            QStringLiteral("127.%1.%2.%3").arg(100 + (n >> 16) % 100).arg((n >> 8) % 256).arg(2 + n % 250));
    }
    return addresses;
}

bool portFree(const QString &address)
{
    const int fd = boundSocket(address.toLatin1().constData(), programPort());
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace

int programPort()
{
    const int port = qEnvironmentVariableIntValue("PGPORT");
    return port > 0 ? port : 5432;
}

ThrowawayPostgres::ThrowawayPostgres()
{
    QDir lib(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = lib.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(),
              [](const QString &a, const QString &b) { return a.toInt() < b.toInt(); });
    for (const QString &version : versions) {
        const QString bin = lib.filePath(version + QStringLiteral("/bin"));
        if (QFileInfo(bin + QStringLiteral("/initdb")).isExecutable())
            m_bin = bin;
    }
}

ThrowawayPostgres::~ThrowawayPostgres()
{
    if (m_running)
        stop(QStringLiteral("immediate"));
}

QString ThrowawayPostgres::run(const QString &program, const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(m_dir.path());
    // The server refuses to run as root; its files belong to the postgres account then.
    if (runningAsRoot())
        process.start(QStringLiteral("runuser"),
                      QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"),
                                  m_bin + QLatin1Char('/') + program}
                          + arguments);
    else
        process.start(m_bin + QLatin1Char('/') + program, arguments);
    if (!process.waitForStarted(10000))
        return program + QStringLiteral(" did not start: ") + process.errorString();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return program + QStringLiteral(" did not finish in time");
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAll());
    return QString();
}

QString ThrowawayPostgres::create()
{
    if (m_bin.isEmpty())
        return QStringLiteral("no PostgreSQL server binaries under /usr/lib/postgresql/*/bin (install postgresql)");
    if (!m_dir.isValid())
        return QStringLiteral("no scratch folder");
    if (runningAsRoot()) {
        QProcess::execute(QStringLiteral("chown"), {QStringLiteral("postgres:postgres"), m_dir.path()});
    }
    QFile password(QDir(m_dir.path()).filePath(QStringLiteral("superuser-password")));
    if (!password.open(QIODevice::WriteOnly) || password.write("kelvory99\n") < 0)
        return QStringLiteral("cannot write the password file");
    password.close();
    password.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);

    // The superuser itself is the kelvory role: a password login over TCP, as the
    // program logs in, and nothing else to set up.
    QString problem = run(QStringLiteral("initdb"),
                          {QStringLiteral("-D"), m_dir.path() + QStringLiteral("/data"), QStringLiteral("-U"),
                           QStringLiteral("kelvory"), QStringLiteral("--pwfile=") + password.fileName(),
                           QStringLiteral("--auth=scram-sha-256"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                           QStringLiteral("--locale=C.UTF-8"), QStringLiteral("--no-sync")});
    if (!problem.isEmpty())
        return problem;

    for (const QString &address : candidateAddresses()) {
        if (!portFree(address))
            continue;
        m_address = address;
        problem = start();
        if (problem.isEmpty())
            break;
    }
    if (!m_running)
        return problem.isEmpty() ? QStringLiteral("no free loopback address for port %1").arg(programPort()) : problem;

    QProcess psql;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("kelvory99"));
    psql.setProcessEnvironment(environment);
    psql.setProcessChannelMode(QProcess::MergedChannels);
    psql.start(m_bin + QStringLiteral("/psql"),
               {QStringLiteral("-q"), QStringLiteral("-h"), m_address, QStringLiteral("-U"), QStringLiteral("kelvory"),
                QStringLiteral("-d"), QStringLiteral("postgres"), QStringLiteral("-v"),
                QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-c"),
                QStringLiteral("create database ") + databaseName()});
    if (!psql.waitForFinished(30000) || psql.exitCode() != 0)
        return QStringLiteral("cannot create the database: ") + QString::fromLocal8Bit(psql.readAll());
    return QString();
}

QString ThrowawayPostgres::start()
{
    const QString data = m_dir.path() + QStringLiteral("/data");
    const QString problem =
        run(QStringLiteral("pg_ctl"),
            {QStringLiteral("-D"), data, QStringLiteral("-l"), m_dir.path() + QStringLiteral("/server.log"),
             QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("-o"),
             QStringLiteral("-c listen_addresses=%1 -c port=%3 -c unix_socket_directories=%2 "
                            "-c fsync=off -c max_connections=10 -c shared_buffers=1MB")
                 .arg(m_address, m_dir.path(), QString::number(programPort())),
             QStringLiteral("start")});
    if (problem.isEmpty()) {
        m_running = true;
        return problem;
    }
    QFile log(m_dir.path() + QStringLiteral("/server.log"));
    if (log.open(QIODevice::ReadOnly))
        return problem + QString::fromLocal8Bit(log.readAll().right(2000));
    return problem;
}

QString ThrowawayPostgres::stop(const QString &mode)
{
    const QString problem = run(QStringLiteral("pg_ctl"),
                                {QStringLiteral("-D"), m_dir.path() + QStringLiteral("/data"), QStringLiteral("-m"),
                                 mode, QStringLiteral("-w"), QStringLiteral("stop")});
    if (problem.isEmpty())
        m_running = false;
    return problem;
}

bool startWatched(Harness &harness, const QByteArray &what, qint64 *elapsedMs)
{
    QElapsedTimer timer;
    timer.start();
    Watchdog watchdog(60, what);
    const bool shown = harness.start();
    if (elapsedMs)
        *elapsedMs = timer.elapsed();
    return shown;
}

void writeOldUserFile(const Harness &harness)
{
    QFile file(harness.userFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("\"Dorothy\"\r\n");
    QVERIFY(file.setFileTime(QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5)), QFileDevice::FileModificationTime));
}

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    if (getrlimit(RLIMIT_FSIZE, &m_saved) != 0)
        return;
    // A write past the limit raises SIGXFSZ, which would end the test program.
    m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    m_armed = true;
    rlimit limit = m_saved;
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    m_set = setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    if (m_armed) {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_previousHandler);
    }
}

} // namespace kelvory::test
