// The roster fill and the history fill against the bare driver, and the roster fill
// against a grid that stores and writes its cells one widget item at a time.
#include "BareRead.h"
#include "Benches.h"
#include "ItemGrid.h"

#include "database/Statements.h"
#include "history/History.h"
#include "roster/RosterForm.h"
#include "grid/FlexGrid.h"

#include <QHeaderView>
#include <QStandardPaths>

#include <cstdio>

namespace kelvory::bench {

namespace {

std::vector<Backend> backendsOfThisRun(const Options &options)
{
    std::vector<Backend> all;
    if (options.backend != QLatin1String("postgres"))
        all.push_back(Backend::Sqlite);
    if (options.backend == QLatin1String("sqlite"))
        return all;
    if (const std::optional<QString> reason = postgresUnavailableReason())
        std::printf("PostgreSQL through ODBC left out: %s\n", qPrintable(*reason));
    else
        all.push_back(Backend::Postgres);
    return all;
}

std::unique_ptr<BareReader> nativeReader(Backend backend, const WorkFolder &folder)
{
    if (backend == Backend::Sqlite)
        return sqliteReader(folder.file(QStringLiteral("Kelvory.db")));
    return odbcReader(database::connectionString(*postgresServer()));
}

void expectValues(std::size_t values, std::size_t expected, const QString &reader);

// Through ODBC, the best reads of the C API as further baselines: block fetching with the
// driver's wide texts, with its UTF-8 texts widened by the reader, and (psqlODBC's own
// option, UTF-8 texts) with the rows fetched through a server cursor in batches instead
// of the whole result read as the query runs.
struct OdbcBaseline
{
    const char *tag;
    std::unique_ptr<BareReader> reader;
};

std::vector<OdbcBaseline> odbcBaselines(Backend backend)
{
    std::vector<OdbcBaseline> baselines;
    if (backend != Backend::Postgres)
        return baselines;
    const QString connection = database::connectionString(*postgresServer());
    baselines.push_back({"block", odbcBlockReader(connection)});
    baselines.push_back({"block-utf8", odbcBlockReader(connection, true)});
    baselines.push_back(
        {"block-declare-fetch", odbcBlockReader(connection + QStringLiteral(";UseDeclareFetch=1;Fetch=1024"), true)});
    return baselines;
}

// The figure and each of the further baselines taking turns with it.
std::vector<std::function<void()>> withBaselines(std::vector<std::function<void()>> runs,
                                                 const std::vector<OdbcBaseline> &baselines, const QString &sql,
                                                 std::size_t values)
{
    for (const OdbcBaseline &baseline : baselines)
        runs.push_back(
            [&baseline, sql, values] { expectValues(baseline.reader->read(sql), values, baseline.reader->name()); });
    return runs;
}

void printBaselines(const QString &figure, const QString &what, const std::vector<Stats> &s,
                    const std::vector<OdbcBaseline> &baselines)
{
    for (std::size_t i = 0; i < baselines.size(); ++i)
        printFigure(figure + QLatin1Char('.') + QLatin1String(baselines[i].tag), what, s[0],
                    QStringLiteral("(%1) ").arg(QChar(char16_t(u'c' + i))) + baselines[i].reader->name(), s[3 + i],
                    std::nullopt);
}

void expectRows(const grid::FlexGrid &grid, int rows, const char *what)
{
    if (grid.Rows() != rows + 1) {
        std::fprintf(stderr, "%s: the grid holds %d rows, expected %d\n", what, grid.Rows(), rows + 1);
        std::exit(4);
    }
}

void expectValues(std::size_t values, std::size_t expected, const QString &reader)
{
    if (values != expected) {
        std::fprintf(stderr, "%s read %zu values, expected %zu\n", qPrintable(reader), values, expected);
        std::exit(4);
    }
}

} // namespace

int benchFill(const Options &options)
{
    for (const Backend backend : backendsOfThisRun(options)) {
        const QString name = backendName(backend);
        printHeader(QStringLiteral("Roster fill, %1 members, %2").arg(withThousands(options.members), name));
        WorkFolder folder(options, QStringLiteral("fill-") + name);
        seedDatabase(backend, folder.path(), options.members, 0);
        Program program(backend, folder.path());
        roster::RosterForm &form = program.form();
        expectRows(*form.Grid1, options.members, "start-up fill");

        const std::unique_ptr<BareReader> qt = qtDriverReader(program.module().connection.database());
        const std::unique_ptr<BareReader> native = nativeReader(backend, folder);
        const std::size_t values = static_cast<std::size_t>(options.members) * 6;
        const QString &sql = database::sql::kSelectMembers;
        const int reps = backend == Backend::Postgres ? std::min(options.reps, 5) : options.reps;
        const std::vector<OdbcBaseline> baselines = odbcBaselines(backend);
        const std::vector<Stats> s =
            measureInterleaved(reps,
                               withBaselines({
                                                 [&] {
                                                     form.FillRoster();
                                                     settle();
                                                 },
                                                 [&] { expectValues(qt->read(sql), values, qt->name()); },
                                                 [&] { expectValues(native->read(sql), values, native->name()); },
                                             },
                                             baselines, sql, values));
        expectRows(*form.Grid1, options.members, "FillRoster");

        const QString what = QStringLiteral("fill of %1 members (RosterForm::FillRoster into the shown Grid1, "
                                            "query included, then its repaint)")
                                 .arg(withThousands(options.members));
        printFigure(QStringLiteral("fill.%1.qt-driver").arg(name), what, s[0], QStringLiteral("(a) ") + qt->name(),
                    s[1], 1.3);
        printFigure(QStringLiteral("fill.%1.native").arg(name), what, s[0], QStringLiteral("(b) ") + native->name(),
                    s[2], 1.3);
        printBaselines(QStringLiteral("fill.%1").arg(name), what, s, baselines);
    }
    return 0;
}

int benchItemGrid(const Options &options)
{
    printHeader(QStringLiteral("Roster fill against an item-by-item grid (QTableWidget, one item per cell, "
                               "18 property accesses per member, shown), sqlite"));
    printNote(
        QStringLiteral("the item grid is shown and never has its drawing switched off; Qt gathers the repaints "
                       "its changes ask for until the event loop runs, so it is painted once, after the fill, "
                       "as our grid is: in the item grid's favour against a control that repaints on each change"));
    double previousSeconds = 0;
    int previousSize = 0;
    for (const int size : options.itemGridSizes) {
        if (previousSize > 0) {
            // Linear growth is the best the item grid could do; past the budget even that is too long.
            const double atLeast = previousSeconds * size / previousSize;
            if (atLeast > options.itemGridBudgetSeconds) {
                printNote(QStringLiteral("item grid not run at %1 members: at %2 it took %3 a fill, so %1 would take "
                                         "at least %4 s a fill even if it grew only linearly (budget %5 s)")
                              .arg(withThousands(size), withThousands(previousSize), formatMs(previousSeconds * 1000))
                              .arg(atLeast, 0, 'f', 0)
                              .arg(options.itemGridBudgetSeconds, 0, 'f', 0));
                break;
            }
        }
        WorkFolder folder(options, QStringLiteral("items-%1").arg(size));
        seedDatabase(Backend::Sqlite, folder.path(), size, 0);
        Program program(Backend::Sqlite, folder.path());
        roster::RosterForm &form = program.form();
        grid::FlexGrid &grid = *form.Grid1;

        // The item grid has the roster grid's place, font, row height and column widths.
        auto makeItemGrid = [&] {
            auto table = std::make_unique<ItemGrid>();
            table->setFont(grid.font());
            table->verticalHeader()->setDefaultSectionSize(grid.verticalHeader()->defaultSectionSize());
            for (int c = 0; c < 6; ++c)
                table->setColumnWidth(c, grid.columnWidth(c));
            table->resize(grid.size());
            table->show();
            settle();
            return table;
        };

        // Large item grids are slow to make and to free: both stay outside the time.
        const int reps = size >= 30000 ? std::min(options.reps, 3) : options.reps;
        Stats ours;
        Stats items;
        for (int round = -1; round < reps; ++round) {
            if (round < 0 && size >= 30000)
                continue; // the first round warms up only the small sizes
            QElapsedTimer timer;
            timer.start();
            form.FillRoster();
            settle();
            const double oursMs = elapsedMs(timer);
            expectRows(grid, size, "FillRoster");

            std::unique_ptr<ItemGrid> table = makeItemGrid();
            timer.restart();
            const int filled = table->fill(program.module().connection, database::sql::kSelectMembers);
            settle();
            const double itemsMs = elapsedMs(timer);
            if (filled != size || table->rowCount() != size) {
                std::fprintf(stderr, "the item grid holds %d rows, expected %d\n", table->rowCount(), size);
                return 4;
            }
            table.reset();
            settle();
            if (round >= 0) {
                ours.samples.push_back(oursMs);
                items.samples.push_back(itemsMs);
            }
        }
        const double speedUp = items.median() / ours.median();
        printFigure(
            QStringLiteral("items.%1").arg(size),
            QStringLiteral("fill of %1 members (FillRoster into Grid1, query included)").arg(withThousands(size)), ours,
            QStringLiteral("item-by-item grid, the same query, Rows grown by one per member, "
                           "18 property accesses per member, drawing not suspended"),
            items, std::nullopt, QStringLiteral("ours is %1 times faster").arg(speedUp, 0, 'f', 1));
        previousSeconds = items.median() / 1000;
        previousSize = size;
    }
    return 0;
}

int benchHistory(const Options &options)
{
    const QString psql = QStandardPaths::findExecutable(QStringLiteral("psql"));
    for (const Backend backend : backendsOfThisRun(options)) {
        const QString name = backendName(backend);
        // psql's figure is its read less the same read of a journal of 10 rows: its start and
        // its connection are not in ours, which runs in a program already started.
        const bool withPsql = backend == Backend::Postgres && !psql.isEmpty();
        const QString smallDatabase =
            postgresServer() ? postgresServer()->database + QStringLiteral("_journal") : QString();
        if (withPsql)
            seedDatabase(backend, QString(), 10, 10, smallDatabase);
        for (const int journal : options.journalSizes) {
            printHeader(QStringLiteral("History fill, %1 journal rows, %2").arg(withThousands(journal), name));
            WorkFolder folder(options, QStringLiteral("history-") + name);
            seedDatabase(backend, folder.path(), 10, journal);
            Program program(backend, folder.path());
            program.module().showHistory();
            settle();
            history::History &window = *history::History::of(program.module());
            expectRows(*window.Grid1, journal, "history load");

            const std::unique_ptr<BareReader> qt = qtDriverReader(program.module().connection.database());
            const std::unique_ptr<BareReader> native = nativeReader(backend, folder);
            const std::size_t values = static_cast<std::size_t>(journal) * 3;
            const QString &sql = database::sql::kSelectJournal;
            const std::vector<OdbcBaseline> baselines = odbcBaselines(backend);
            std::vector<std::function<void()>> runs =
                withBaselines({
                                  [&] {
                                      window.FillHistory();
                                      settle();
                                  },
                                  [&] { expectValues(qt->read(sql), values, qt->name()); },
                                  [&] { expectValues(native->read(sql), values, native->name()); },
                              },
                              baselines, sql, values);
            if (withPsql) {
                runs.push_back([&] { runToEnd(psql, psqlArguments(smallDatabase, sql), {}, psqlEnvironment()); });
                runs.push_back(
                    [&] { runToEnd(psql, psqlArguments(postgresServer()->database, sql), {}, psqlEnvironment()); });
            }
            const std::vector<Stats> s = measureInterleaved(options.reps, runs);
            expectRows(*window.Grid1, journal, "FillHistory");

            const QString what = QStringLiteral("history fill of %1 journal rows (History::FillHistory into the shown "
                                                "Grid1, query included, dates in the short form, then its repaint)")
                                     .arg(withThousands(journal));
            const QString figure =
                QStringLiteral("history.%1%2")
                    .arg(name, options.journalSizes.size() > 1 ? QStringLiteral(".%1").arg(journal) : QString());
            printFigure(figure + QStringLiteral(".qt-driver"), what, s[0], QStringLiteral("(a) ") + qt->name(), s[1],
                        1.3);
            printFigure(figure + QStringLiteral(".native"), what, s[0], QStringLiteral("(b) ") + native->name(), s[2],
                        1.3);
            printBaselines(figure, what, s, baselines);
            if (withPsql) {
                Stats read;
                const Stats &large = s[s.size() - 1];
                const Stats &small = s[s.size() - 2];
                for (std::size_t i = 0; i < large.samples.size(); ++i)
                    read.samples.push_back(large.samples[i] - small.samples[i]);
                printFigure(figure + QStringLiteral(".psql"), what, s[0],
                            QStringLiteral("psql reading the same query into /dev/null, as a process, less the same "
                                           "with a journal of 10 rows"),
                            read, 1.3);
            }
        }
    }
    return 0;
}

} // namespace kelvory::bench
