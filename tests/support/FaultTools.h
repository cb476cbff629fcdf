#pragma once

#include <QByteArray>
#include <QProcess>
#include <QDateTime>
#include <QString>
#include <QTemporaryDir>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include <sys/resource.h>

// What the fault tests need beyond the harness: servers that are not there or do not
// answer, a PostgreSQL server of their own that they may stop, and a way to tell that a
// file was left exactly as it was.
namespace kelvory::test {

class Harness;

// A loopback port on which nothing listens: connecting to it is refused at once.
quint16 closedLoopbackPort();

// A loopback listener that accepts every connection and never sends a byte, as a
// server does that has hung after the network let the client in.
class SilentListener
{
public:
    Q_DISABLE_COPY(SilentListener)
    SilentListener();
    ~SilentListener();

    quint16 port() const { return m_port; }
    int accepted() const { return m_accepted.load(); }

private:
    int m_socket = -1;
    quint16 m_port = 0;
    std::atomic<int> m_accepted{0};
    std::atomic<bool> m_stop{false};
    std::vector<int> m_clients;
    std::thread m_thread;
};

// Ends the whole test program with a message when a step has not returned in time: a
// call blocked inside a driver cannot be interrupted from the thread that made it.
class Watchdog
{
public:
    Q_DISABLE_COPY(Watchdog)
    Watchdog(int seconds, QByteArray what);
    ~Watchdog();

private:
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

// A file's bytes and modification time, or its absence.
struct FileSnapshot
{
    bool exists = false;
    QByteArray bytes;
    QDateTime modified;

    static FileSnapshot of(const QString &path);
    bool operator==(const FileSnapshot &other) const
    {
        return exists == other.exists && bytes == other.bytes && modified == other.modified;
    }
};

// The port a connection string without one reaches: libpq's PGPORT, else 5432.
int programPort();

// A PostgreSQL cluster of the test's own, in a scratch folder, listening on a loopback
// address of its own and programPort() (the program's connection string names no port),
// with the role kelvory / kelvory99 and the database kelvory_faults. It can be stopped
// under a running program and started again on the same data.
class ThrowawayPostgres
{
public:
    Q_DISABLE_COPY(ThrowawayPostgres)
    ThrowawayPostgres();
    ~ThrowawayPostgres();

    // initdb, start, role and database. Empty on success, else why it failed.
    QString create();
    // Empty on success, else why it failed.
    QString start();
    // "fast" ends every session with a notice, "immediate" drops them as a crash would.
    QString stop(const QString &mode = QStringLiteral("fast"));

    QString address() const { return m_address; }
    static QString databaseName() { return QStringLiteral("kelvory_faults"); }

private:
    QString run(const QString &program, const QStringList &arguments, int timeoutMs = 60000);

    QTemporaryDir m_dir;
    QString m_bin;
    QString m_address;
    bool m_running = false;
};

// Runs the program's start under a 60-second Watchdog (what: the step it names); the
// time the start took goes to elapsedMs.
bool startWatched(Harness &harness, const QByteArray &what, qint64 *elapsedMs = nullptr);

// Waits until the process prints a line that begins with `start`; the line, or nothing.
QString waitForLine(QProcess &process, const QString &start, int timeoutMs);

// User.txt naming Dorothy, with an old time stamp, so that even a rewrite with the same
// bytes would show.
void writeOldUserFile(const Harness &harness);

// While it lives, writes past `bytes` fail part-way, as on a full disk, whoever runs the
// test (root included).
class FileSizeLimit
{
public:
    Q_DISABLE_COPY(FileSizeLimit)
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    bool isSet() const { return m_set; }

private:
    rlimit m_saved{};
    void (*m_previousHandler)(int) = nullptr;
    bool m_armed = false; // the handler and the limit are to be put back
    bool m_set = false;
};

} // namespace kelvory::test
