// The roster fill as a user meets it, at growing sizes: a fresh process that starts the
// program and shows the roster, against the database's own command-line tool reading the
// same query from the same database into /dev/null. Each is taken less the same with 10
// members, so that what is left is the fill, and the read, alone.
#include "Benches.h"

#include "database/Statements.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <cstdio>

namespace kelvory::bench {

namespace {

constexpr int kSmallRoster = 10;

// The cost of the larger size alone: each run less the run of the small size in the same
// round, so that drift over the rounds falls on both.
Stats less(const Stats &larger, const Stats &small)
{
    Stats difference;
    for (std::size_t i = 0; i < larger.samples.size() && i < small.samples.size(); ++i)
        difference.samples.push_back(larger.samples[i] - small.samples[i]);
    return difference;
}

// How one backend is started and read by its own tool.
struct Side
{
    Backend backend = Backend::Sqlite;
    QString tool;     // sqlite3 or psql
    QString toolName; // as the figures name it
    QString smallDatabase;
    QString database;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Through ODBC, the C API's best read as a second baseline: kelvory_bench_bare_odbc.
    QString bare;

    QStringList startArguments(const QString &folder, bool small) const
    {
        if (backend == Backend::Sqlite)
            return {folder};
        return {folder, small ? smallDatabase : database};
    }
    QStringList toolArguments(const QString &folder, bool small) const
    {
        if (backend == Backend::Sqlite)
            return {QDir(folder).filePath(QStringLiteral("Kelvory.db")), database::sql::kSelectMembers};
        return psqlArguments(small ? smallDatabase : database, database::sql::kSelectMembers);
    }
};

void seed(const Side &side, const QString &folder, int members, bool small)
{
    const bool server = side.backend == Backend::Postgres;
    seedDatabase(side.backend, folder, members, 0, server ? (small ? side.smallDatabase : side.database) : QString());
    writeUserFile(folder);
}

void scaleOn(const Side &side, const Options &options)
{
    const QString name = backendName(side.backend);
    const bool sqlite = side.backend == Backend::Sqlite;
    printHeader(QStringLiteral("Roster fill at %1 members against %2, %3, fresh processes")
                    .arg(withThousands(options.scaleSizes.front()) + QStringLiteral(" to ")
                             + withThousands(options.scaleSizes.back()),
                         side.toolName, name));
    const QString start = QCoreApplication::applicationDirPath() + QStringLiteral("/kelvory_bench_start");
    WorkFolder small(options, QStringLiteral("scale-%1-small").arg(name));
    seed(side, small.path(), kSmallRoster, true);
    const int reps = sqlite ? options.reps : std::min(options.reps, 5);

    std::vector<int> sizes;
    std::vector<Stats> fills;
    std::vector<Stats> reads;
    std::vector<double> fillMins;
    std::vector<double> readMins;
    for (const int members : options.scaleSizes) {
        WorkFolder folder(options, QStringLiteral("scale-%1-%2").arg(name).arg(members));
        seed(side, folder.path(), members, false);
        auto startIn = [&](const WorkFolder &where, int shown, bool isSmall) {
            // The front end ends at once when the window is up; its lock is cleared here so
            // that no start has to look into a stale one.
            QFile::remove(where.file(QStringLiteral("Kelvory.lock")));
            runToEnd(start, side.startArguments(where.path(), isSmall), "SHOWN " + QByteArray::number(shown));
        };
        auto readIn = [&](const WorkFolder &where, bool isSmall) {
            runToEnd(side.tool, side.toolArguments(where.path(), isSmall), {}, side.environment);
        };
        auto bareIn = [&](bool isSmall) {
            database::ServerSettings server = *postgresServer();
            server.database = isSmall ? side.smallDatabase : side.database;
            runToEnd(side.bare, {database::connectionString(server), database::sql::kSelectMembers},
                     "READ " + QByteArray::number((isSmall ? kSmallRoster : members) * 6));
        };
        // The warm-up round makes the day's backup of each SQLite file.
        std::vector<std::function<void()>> runs = {
            [&] { startIn(small, kSmallRoster, true); },
            [&] { startIn(folder, members, false); },
            [&] { readIn(small, true); },
            [&] { readIn(folder, false); },
        };
        if (!side.bare.isEmpty()) {
            runs.push_back([&] { bareIn(true); });
            runs.push_back([&] { bareIn(false); });
        }
        const std::vector<Stats> s = measureInterleaved(reps, runs);
        const Stats fill = less(s[1], s[0]);
        const Stats read = less(s[3], s[2]);
        // On the embedded file the fill keeps up with SQLite's own tool: the program may use
        // the sorter's helper threads and the second core, which the tool leaves idle.
        std::optional<double> target;
        if (members >= 1000000)
            target = sqlite ? 1.0 : 1.3;
        else if (members >= 100000)
            target = sqlite ? 1.1 : 1.3;
        printFigure(QStringLiteral("scale.%1.%2").arg(name).arg(members),
                    QStringLiteral("fill of %1 members as a start shows it: kelvory_bench_start with %1 members less "
                                   "with %2, the same round")
                        .arg(withThousands(members))
                        .arg(kSmallRoster),
                    fill,
                    QStringLiteral("%1 reading \"%2\" from the same database into /dev/null, as a process, less the "
                                   "same with %3 members")
                        .arg(side.toolName, database::sql::kSelectMembers)
                        .arg(kSmallRoster),
                    read, target);
        if (!side.bare.isEmpty())
            printFigure(QStringLiteral("scale.%1.%2.block").arg(name).arg(members), QStringLiteral("the same fill"),
                        fill,
                        QStringLiteral("kelvory_bench_bare_odbc, the ODBC C API with block fetching (1024 rows a "
                                       "call, UTF-8 texts bound and widened, dates and numbers bound as such, "
                                       "packed), as a process, less the same with %1 members")
                            .arg(kSmallRoster),
                        less(s[5], s[4]));
        // The fastest runs, those least disturbed by other work on the machine.
        const double fillMin = s[1].min() - s[0].min();
        const double readMin = s[3].min() - s[2].min();
        printNote(QStringLiteral("by the minimums: fill %1 (fastest start with %2 members %3, with %4 %5), read %6 "
                                 "(%7 and %8); ratio %9")
                      .arg(formatMs(fillMin), withThousands(members), formatMs(s[1].min()))
                      .arg(kSmallRoster)
                      .arg(formatMs(s[0].min()), formatMs(readMin), formatMs(s[3].min()), formatMs(s[2].min()))
                      .arg(readMin > 0 ? fillMin / readMin : 0, 0, 'f', 3));
        sizes.push_back(members);
        fills.push_back(fill);
        reads.push_back(read);
        fillMins.push_back(fillMin);
        readMins.push_back(readMin);
    }

    for (std::size_t i = 1; i < sizes.size(); ++i) {
        const double rows = static_cast<double>(sizes[i]) / sizes[i - 1];
        const double growth = fills[i].median() / fills[i - 1].median();
        const double toolGrowth = reads[i].median() / reads[i - 1].median();
        // On the embedded file no more than the tool's own growth; on a server at most 11-fold
        // for ten times the rows: at most 1.1 times linear growth.
        const bool measured = sizes[i - 1] >= 100000 && rows == 10;
        const std::optional<double> target = measured ? std::optional<double>(sqlite ? 1.0 : 1.1) : std::nullopt;
        printValueFigure(QStringLiteral("scale.%1.growth-%2-%3").arg(name).arg(sizes[i - 1]).arg(sizes[i]),
                         QStringLiteral("growth of the fill's median cost from %1 to %2 members")
                             .arg(withThousands(sizes[i - 1]), withThousands(sizes[i])),
                         growth, QStringLiteral("fold"),
                         sqlite ? QStringLiteral("%1's own growth, by its medians").arg(side.toolName)
                                : QStringLiteral("the rows' own growth"),
                         sqlite ? toolGrowth : rows, target);
        printNote(QStringLiteral("by the minimums %1-fold; %2's own read grew %3-fold by its medians, %4-fold by its "
                                 "minimums")
                      .arg(fillMins[i] / fillMins[i - 1], 0, 'f', 1)
                      .arg(side.toolName)
                      .arg(toolGrowth, 0, 'f', 1)
                      .arg(readMins[i] / readMins[i - 1], 0, 'f', 1));
    }
}

} // namespace

int benchScale(const Options &options)
{
    const QString sqlite3 = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (sqlite3.isEmpty()) {
        std::fprintf(stderr, "the sqlite3 command-line tool is not installed (scripts/install-deps.sh)\n");
        return 4;
    }
    Side embedded;
    embedded.backend = Backend::Sqlite;
    embedded.tool = sqlite3;
    embedded.toolName = QStringLiteral("the sqlite3 tool");
    if (options.backend != QLatin1String("postgres"))
        scaleOn(embedded, options);

    if (options.backend == QLatin1String("sqlite"))
        return 0;
    if (const std::optional<QString> reason = postgresUnavailableReason()) {
        std::printf("PostgreSQL through ODBC left out: %s\n", qPrintable(*reason));
        return 0;
    }
    const QString psql = QStandardPaths::findExecutable(QStringLiteral("psql"));
    if (psql.isEmpty()) {
        std::printf("PostgreSQL through ODBC left out: the psql tool is not installed\n");
        return 0;
    }
    const database::ServerSettings server = *postgresServer();
    Side postgres;
    postgres.backend = Backend::Postgres;
    postgres.tool = psql;
    postgres.toolName = QStringLiteral("psql");
    postgres.smallDatabase = server.database + QStringLiteral("_small");
    postgres.database = server.database;
    postgres.environment = psqlEnvironment();
    postgres.bare = QCoreApplication::applicationDirPath() + QStringLiteral("/kelvory_bench_bare_odbc");
    scaleOn(postgres, options);
    return 0;
}

} // namespace kelvory::bench
