// How long another connection's write waits while this program makes a change: another
// workstation's Add New (its id chosen and its member stored) during Add New, and an
// update of the very member being changed (as the web site would make it) during Update
// and DELETE. The change runs through the program's own Add New, Update and DELETE; the
// baseline is the same change in the order the design gives (member statement, roster
// refill, journal row) inside one transaction, as this program ran it before its refill
// moved after the commit. SQLite runs twice: on the work folder's disk as the program
// opens the file there (a local disk: write-ahead log), and as on a network share (its
// file system type faked), where the program keeps the rollback journal.
#include "Benches.h"

#include "changes/MemberChanges.h"
#include "database/Statements.h"
#include "roster/RosterForm.h"

#include <QDir>
#include <QScopeGuard>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

namespace kelvory::bench {

namespace {

using Clock = std::chrono::steady_clock;

enum class Command { Add, Update, Delete };
enum class Order { RefillAfterCommit, RefillInsideTransaction };

const char *commandName(Command command)
{
    return command == Command::Add ? "addnew" : (command == Command::Update ? "update" : "delete");
}

// The other workstation: writes every few milliseconds on a connection of its own, on a
// thread of its own, and keeps how long each write took from start to commit.
class OtherWriter
{
public:
    OtherWriter(Backend backend, const QString &folder, Command command, Order order, qint64 memberId)
    {
        m_thread = std::thread([=, this] {
            database::Connection connection;
            connection.setConnectionTimeout(30);
            connection.setCommandTimeout(30);
            if (backend == Backend::Sqlite)
                connection.openEmbedded(QDir(folder).filePath(QStringLiteral("Kelvory.db")));
            else
                connection.openServer(*postgresServer());
            m_ready = true;
            int round = 0;
            while (!m_stop) {
                const Clock::time_point start = Clock::now();
                write(connection, command, order, memberId, ++round);
                const Clock::time_point end = Clock::now();
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_writes.push_back({start, end});
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
        while (!m_ready)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~OtherWriter() { stop(); }

    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    // The longest write that was under way at some moment between `from` and `to`.
    double longestOverlapping(Clock::time_point from, Clock::time_point to)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        double longest = 0;
        for (const auto &[start, end] : m_writes) {
            if (end >= from && start <= to)
                longest = std::max(longest, std::chrono::duration<double, std::milli>(end - start).count());
        }
        return longest;
    }

    // Waits until `count` writes have ended, so that a write's own time is known.
    void waitForWrites(std::size_t count)
    {
        const Clock::time_point giveUp = Clock::now() + std::chrono::seconds(30);
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_writes.size() >= count || Clock::now() > giveUp)
                    return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // The median time of a write that ended before `from`: the write's own time, with
    // nothing to wait for.
    double ownTimeBefore(Clock::time_point from)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Stats own;
        for (const auto &[start, end] : m_writes) {
            if (end < from)
                own.samples.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
        return own.median();
    }

private:
    static void write(database::Connection &connection, Command command, Order order, qint64 memberId, int round)
    {
        database::Transaction change(connection);
        if (command == Command::Add) {
            // Before the id lock, Add New read the largest id with nothing to wait for.
            qint64 id = 0;
            if (order == Order::RefillAfterCommit)
                id = changes::nextRecordId(connection).value_or(1);
            else
                id = changes::recordIdAfter(connection.query(database::sql::kMaxRecordId).field(0));
            connection.execute(database::sql::kInsertMember,
                               {QStringLiteral("Zz Other Workstation %1").arg(round), QStringLiteral("1 Elm St"),
                                QStringLiteral("Salem, OR"), QStringLiteral("555-0100"), QString(), id});
        } else {
            // Takes the member's row as a change of it would, and changes nothing the grid shows.
            connection.execute(QStringLiteral("update members set recordid = recordid where recordid = ?"), {memberId});
        }
        change.commit();
    }

    std::thread m_thread;
    std::atomic<bool> m_ready{false};
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<std::pair<Clock::time_point, Clock::time_point>> m_writes;
};

// The change in the design's order, inside one transaction: the baseline.
void changeWithRefillInside(Module1 &module, roster::RosterForm &form, Command command, qint64 id)
{
    database::Transaction change(module.connection);
    if (command == Command::Add) {
        const qint64 newId = changes::recordIdAfter(module.connection.query(database::sql::kMaxRecordId).field(0));
        form.setBoxText(5, QString::number(newId));
        module.connection.execute(
            database::sql::kInsertMember,
            {form.boxText(0), form.boxText(1), form.boxText(2), form.boxText(3), form.boxText(4), newId});
    } else if (command == Command::Update) {
        module.connection.execute(
            database::sql::kUpdateMember,
            {form.boxText(0), form.boxText(1), form.boxText(2), form.boxText(3), form.boxText(4), id});
    } else {
        module.connection.execute(database::sql::kDeleteMember, {id});
    }
    form.FillRoster();
    changes::ChangeStore store{module.connection, module.OperatorFirstName, module.today()};
    changes::writeJournal(store,
                          command == Command::Add          ? changes::kAdded
                              : command == Command::Update ? changes::kChanged
                                                           : changes::kDeleted,
                          form.edit().fields());
    change.commit();
}

// The boxes as a click on the member's row fills them: the member as stored.
void pick(Module1 &module, roster::RosterForm &form, qint64 id)
{
    database::ResultSet stored = module.connection.query(database::sql::kSelectStoredMember, {id});
    changes::MemberRow fields;
    for (int k = 0; k < 5; ++k) {
        fields[k] = stored.eof() ? QString() : stored.text(k).toString();
        form.setBoxText(k, fields[k]);
    }
    fields[5] = QString::number(id);
    form.setBoxText(5, fields[5]);
    form.setPicked(fields);
}

} // namespace

int benchLockWait(const Options &options)
{
    std::vector<Backend> backends;
    if (options.backend != QLatin1String("postgres"))
        backends.push_back(Backend::Sqlite);
    const std::optional<QString> postgresOut = options.backend == QLatin1String("sqlite")
        ? std::optional<QString>(QStringLiteral("--backend sqlite"))
        : postgresUnavailableReason();
    if (postgresOut)
        printNote(QStringLiteral("PostgreSQL left out: ") + *postgresOut);
    else
        backends.push_back(Backend::Postgres);

    struct Run
    {
        Backend backend;
        bool networkShare;
    };
    std::vector<Run> runs;
    for (const Backend backend : backends) {
        runs.push_back({backend, false});
        if (backend == Backend::Sqlite)
            runs.push_back({backend, true});
    }
    for (const auto &[backend, networkShare] : runs) {
        // NFS: the program keeps the rollback journal, where a reader's shared lock holds
        // up a writer's commit.
        database::fakeFileSystemType(networkShare ? std::optional<qint64>(0x6969) : std::nullopt);
        const auto realDisk = qScopeGuard([] { database::fakeFileSystemType(std::nullopt); });
        const QString backendId = networkShare ? QStringLiteral("sqlite-network") : backendName(backend);
        for (const int members : options.lockSizes) {
            printHeader(QStringLiteral("Lock wait of another connection, %1, %2 members")
                            .arg(backendId, withThousands(members)));
            WorkFolder folder(options, QStringLiteral("lockwait"));
            seedDatabase(backend, folder.path(), members, 0);
            if (backend == Backend::Sqlite) {
                database::Connection opened;
                opened.openEmbedded(QDir(folder.path()).filePath(QStringLiteral("Kelvory.db")));
                printNote(QStringLiteral("the file's journal mode as the program opens it: ")
                          + opened.query(QStringLiteral("pragma journal_mode")).field(0).toString());
            }
            Program program(backend, folder.path());
            roster::RosterForm &form = program.form();
            program.dialogs().yesNoAnswer = IDYES;

            // Members in the middle of the roster: one updated each round, one deleted each round.
            const qint64 updated = members / 2;
            qint64 nextToDelete = members / 2 + 1;
            for (const Command command : {Command::Add, Command::Update, Command::Delete}) {
                std::vector<Stats> waits(2);
                Stats ownTimes;
                for (int rep = 0; rep <= options.reps; ++rep) {
                    for (const Order order : {Order::RefillAfterCommit, Order::RefillInsideTransaction}) {
                        const qint64 id = command == Command::Delete ? nextToDelete++ : updated;
                        // The member as stored, picked afresh, then edited.
                        pick(program.module(), form, id);
                        if (command == Command::Update)
                            form.setBoxText(1, QStringLiteral("%1 Changed St").arg(rep * 2 + int(order)));
                        if (command == Command::Add)
                            form.setBoxText(0, QStringLiteral("Added %1 %2").arg(rep).arg(int(order)));

                        OtherWriter other(backend, folder.path(), command, order, id);
                        other.waitForWrites(3);
                        const Clock::time_point from = Clock::now();
                        if (order == Order::RefillInsideTransaction) {
                            changeWithRefillInside(program.module(), form, command, id);
                        } else if (command == Command::Add) {
                            form.Command3_Click();
                        } else if (command == Command::Update) {
                            form.Command2_Click();
                        } else {
                            form.Command6_Click();
                        }
                        const Clock::time_point to = Clock::now();
                        std::this_thread::sleep_for(std::chrono::milliseconds(20));
                        other.stop();
                        // The wait is what the longest write took beyond a write's own time.
                        const double own = other.ownTimeBefore(from);
                        if (rep > 0) { // the first round warms up
                            waits[std::size_t(order)].samples.push_back(
                                std::max(0.0, other.longestOverlapping(from, to) - own));
                            ownTimes.samples.push_back(own);
                        }
                    }
                }
                const QString id = QStringLiteral("lockwait.%1.%2.%3")
                                       .arg(backendId)
                                       .arg(members)
                                       .arg(QString::fromLatin1(commandName(command)));
                printFigure(
                    id,
                    QStringLiteral("how long another connection's write waited during %1 (refill after the commit)")
                        .arg(QString::fromLatin1(commandName(command))),
                    waits[0], QStringLiteral("the same with the refill inside the change's transaction"), waits[1],
                    std::nullopt, QStringLiteral("after / before"));
                printNote(QStringLiteral("the wait is the longest write under way during the change less a write's own "
                                         "time alone (median %1), both runs; the other connection writes every 5 ms")
                              .arg(formatMs(ownTimes.median())));
                if (backend == Backend::Sqlite && !networkShare && members >= 1000000) {
                    const double longest = waits[0].max();
                    printNote(
                        QStringLiteral("goal under 50 ms on SQLite at 1,000,000 members: the longest wait %1, %2")
                            .arg(formatMs(longest), longest < 50 ? QStringLiteral("met") : QStringLiteral("missed")));
                }
            }
        }
    }
    return 0;
}

} // namespace kelvory::bench
