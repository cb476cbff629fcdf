#include "BenchSupport.h"

#include "PostgresSchema.h"
#include "roster/RosterForm.h"
#include "startup/Admission.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace kelvory::bench {

// ---- options ----------------------------------------------------------------------------

Options parseOptions(const QStringList &arguments)
{
    Options options;
    if (arguments.contains(QStringLiteral("--smoke"))) {
        options.smoke = true;
        options.reps = 1;
        options.members = 2000;
        options.journal = 5000;
        options.startupMembers = 300;
        options.pdfMembers = 50;
        options.scrollBaselineMembers = 200;
        options.itemGridSizes = {300};
        options.scaleSizes = {300, 3000};
        options.importRows = 500;
        options.lockSizes = {2000};
    }
    auto number = [&](int i) {
        bool ok = false;
        const int value = i + 1 < arguments.size() ? arguments.at(i + 1).toInt(&ok) : 0;
        if (!ok || value < 0) {
            std::fprintf(stderr, "%s needs a whole number\n", qPrintable(arguments.at(i)));
            std::exit(2);
        }
        return value;
    };
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("--reps"))
            options.reps = std::max(1, number(i++));
        else if (a == QLatin1String("--members"))
            options.members = std::max(1, number(i++));
        else if (a == QLatin1String("--journal") && i + 1 < arguments.size()) {
            options.journalSizes.clear();
            for (const QString &part : arguments.at(++i).split(QLatin1Char(','), Qt::SkipEmptyParts))
                options.journalSizes.push_back(std::max(1, part.toInt()));
            if (!options.journalSizes.empty())
                options.journal = options.journalSizes.back();
        } else if (a == QLatin1String("--startup-members"))
            options.startupMembers = std::max(1, number(i++));
        else if (a == QLatin1String("--pdf-members"))
            options.pdfMembers = std::max(1, number(i++));
        else if (a == QLatin1String("--import-rows"))
            options.importRows = std::max(1, number(i++));
        else if (a == QLatin1String("--item-budget"))
            options.itemGridBudgetSeconds = number(i++);
        else if ((a == QLatin1String("--item-sizes") || a == QLatin1String("--scale-sizes")
                  || a == QLatin1String("--lock-sizes"))
                 && i + 1 < arguments.size()) {
            std::vector<int> &sizes = a == QLatin1String("--item-sizes") ? options.itemGridSizes
                : a == QLatin1String("--scale-sizes")                    ? options.scaleSizes
                                                                         : options.lockSizes;
            sizes.clear();
            for (const QString &part : arguments.at(++i).split(QLatin1Char(','), Qt::SkipEmptyParts))
                sizes.push_back(std::max(1, part.toInt()));
        } else if (a == QLatin1String("--work") && i + 1 < arguments.size())
            options.workDir = arguments.at(++i);
        else if (a == QLatin1String("--sqlite-wal"))
            options.sqliteWal = true;
        else if (a == QLatin1String("--backend") && i + 1 < arguments.size())
            options.backend = arguments.at(++i);
    }
    if (options.journalSizes.empty())
        options.journalSizes = {options.journal};
    return options;
}

// ---- processes --------------------------------------------------------------------------

void runToEnd(const QString &program, const QStringList &arguments, const QByteArray &expected,
              const QProcessEnvironment &environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    if (expected.isEmpty())
        process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), process.readAllStandardError().constData());
        std::exit(4);
    }
    if (!expected.isEmpty() && !process.readAllStandardOutput().contains(expected)) {
        std::fprintf(stderr, "%s did not say \"%s\"\n", qPrintable(program), expected.constData());
        std::exit(4);
    }
}

QStringList psqlArguments(const QString &database, const QString &sql)
{
    const database::ServerSettings server = *postgresServer();
    return {QStringLiteral("-X"),
            QStringLiteral("-A"),
            QStringLiteral("-q"),
            QStringLiteral("-h"),
            server.server,
            QStringLiteral("-U"),
            server.uid,
            QStringLiteral("-d"),
            database,
            QStringLiteral("-c"),
            sql};
}

QProcessEnvironment psqlEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PGPASSWORD"), postgresServer()->pwd);
    return environment;
}

// ---- timing -----------------------------------------------------------------------------

double Stats::median() const
{
    if (samples.empty())
        return 0;
    std::vector<double> sorted = samples;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t n = sorted.size();
    return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

double Stats::min() const
{
    return samples.empty() ? 0 : *std::min_element(samples.begin(), samples.end());
}

double Stats::max() const
{
    return samples.empty() ? 0 : *std::max_element(samples.begin(), samples.end());
}

double elapsedMs(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

std::vector<Stats> measureInterleaved(int reps, const std::vector<std::function<void()>> &tasks, bool warmUp)
{
    std::vector<Stats> stats(tasks.size());
    for (int round = warmUp ? -1 : 0; round < reps; ++round) {
        for (std::size_t t = 0; t < tasks.size(); ++t) {
            QElapsedTimer timer;
            timer.start();
            tasks[t]();
            const double ms = elapsedMs(timer);
            if (round >= 0)
                stats[t].samples.push_back(ms);
        }
    }
    return stats;
}

std::vector<Stats> measureInterleavedSelfTimed(int reps, const std::vector<std::function<double()>> &tasks)
{
    std::vector<Stats> stats(tasks.size());
    for (int round = -1; round < reps; ++round) {
        for (std::size_t t = 0; t < tasks.size(); ++t) {
            const double ms = tasks[t]();
            if (round >= 0)
                stats[t].samples.push_back(ms);
        }
    }
    return stats;
}

// ---- reporting --------------------------------------------------------------------------

namespace {
int g_figures = 0;
int g_missed = 0;

void out(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

QString spread(const Stats &s)
{
    if (s.samples.size() < 2)
        return QStringLiteral("(1 run)");
    return QStringLiteral("(min %1, max %2, %3 runs)").arg(formatMs(s.min()), formatMs(s.max())).arg(s.samples.size());
}

QString targetText(double ratio, std::optional<double> target)
{
    if (!target)
        return QString();
    if (ratio <= *target)
        return QStringLiteral("; target at most %1: met").arg(*target, 0, 'f', 2);
    ++g_missed;
    return QStringLiteral("; target at most %1: NOT MET, by %2 (%3% over)")
        .arg(*target, 0, 'f', 2)
        .arg(ratio - *target, 0, 'f', 2)
        .arg((ratio / *target - 1) * 100, 0, 'f', 0);
}
} // namespace

QString formatMs(double ms)
{
    if (ms >= 10000)
        return QStringLiteral("%1 s").arg(ms / 1000, 0, 'f', 2);
    if (ms >= 100)
        return QStringLiteral("%1 ms").arg(ms, 0, 'f', 0);
    if (ms >= 1)
        return QStringLiteral("%1 ms").arg(ms, 0, 'f', 2);
    return QStringLiteral("%1 us").arg(ms * 1000, 0, 'f', 1);
}

QString withThousands(qint64 value)
{
    QString digits = QString::number(value < 0 ? -value : value);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(','));
    return value < 0 ? QLatin1Char('-') + digits : digits;
}

void printHeader(const QString &title)
{
    out(QString());
    out(QStringLiteral("== ") + title);
}

void printFigure(const QString &id, const QString &what, const Stats &ours, const QString &baselineWhat,
                 const Stats &baseline, std::optional<double> targetAtMost, const QString &ratioMeaning)
{
    ++g_figures;
    const double ratio = baseline.median() > 0 ? ours.median() / baseline.median() : 0;
    out(QStringLiteral("FIGURE %1: %2: median %3 %4").arg(id, what, formatMs(ours.median()), spread(ours)));
    out(QStringLiteral("    baseline: %1: median %2 %3")
            .arg(baselineWhat, formatMs(baseline.median()), spread(baseline)));
    out(QStringLiteral("    ratio %1%2%3")
            .arg(ratio, 0, 'f', ratio >= 100 ? 0 : 3)
            .arg(ratioMeaning.isEmpty() ? QString() : QStringLiteral(" (") + ratioMeaning + QLatin1Char(')'))
            .arg(targetText(ratio, targetAtMost)));
}

void printValueFigure(const QString &id, const QString &what, double ours, const QString &unit,
                      const QString &baselineWhat, double baseline, std::optional<double> targetAtMost)
{
    ++g_figures;
    const double ratio = baseline != 0 ? ours / baseline : 0;
    out(QStringLiteral("FIGURE %1: %2: %3 %4").arg(id, what).arg(ours, 0, 'f', 1).arg(unit));
    out(QStringLiteral("    baseline: %1: %2 %3").arg(baselineWhat).arg(baseline, 0, 'f', 1).arg(unit));
    out(QStringLiteral("    ratio %1%2").arg(ratio, 0, 'f', 3).arg(targetText(ratio, targetAtMost)));
}

void printNote(const QString &text)
{
    out(QStringLiteral("    note: ") + text);
}

int figuresPrinted()
{
    return g_figures;
}

int targetsMissed()
{
    return g_missed;
}

// ---- memory -----------------------------------------------------------------------------

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    if (fields.size() < 2)
        return -1;
    return fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

void trimHeap()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

// ---- databases --------------------------------------------------------------------------

QString backendName(Backend backend)
{
    return backend == Backend::Sqlite ? QStringLiteral("sqlite") : QStringLiteral("postgres-odbc");
}

std::optional<QString> postgresUnavailableReason()
{
    if (qEnvironmentVariableIsEmpty("KELVORY_TEST_PG_SERVER"))
        return QStringLiteral("KELVORY_TEST_PG_SERVER is not set");
    if (qEnvironmentVariableIsEmpty("ODBCSYSINI"))
        return QStringLiteral("ODBCSYSINI names no driver registry (build with the tests for <build>/tests/odbc)");
    if (!QFile::exists(qEnvironmentVariable("ODBCSYSINI") + QStringLiteral("/odbcinst.ini")))
        return QStringLiteral("no odbcinst.ini in ODBCSYSINI=") + qEnvironmentVariable("ODBCSYSINI");
    return std::nullopt;
}

std::optional<database::ServerSettings> postgresServer()
{
    if (postgresUnavailableReason())
        return std::nullopt;
    // One database per build folder, so that two builds can run their benchmarks on one server.
    const QString tag = QString::number(qHash(QCoreApplication::applicationDirPath().toUtf8()) % 100000);
    return database::ServerSettings{qEnvironmentVariable("KELVORY_TEST_PG_SERVER"),
                                    QStringLiteral("kelvory_bench_") + tag, qEnvironmentVariable("KELVORY_TEST_PG_UID"),
                                    qEnvironmentVariable("KELVORY_TEST_PG_PWD")};
}

namespace {

// The generated rows, written once for both dialects; only padding, dates and the row
// source differ. x is the row number, p a scrambled number, so that neither the names
// nor the dates arrive in the order the queries sort them in.
struct Dialect
{
    QString (*pad)(const QString &expr, int width);
    QString (*daysBefore)(const QString &days);
    QString rows; // yields x, p
};

QString sqlitePad(const QString &expr, int width)
{
    return QStringLiteral("substr('000000' || (%1), -%2)").arg(expr, QString::number(width));
}
QString pgPad(const QString &expr, int width)
{
    return QStringLiteral("right('000000' || (%1), %2)").arg(expr, QString::number(width));
}
QString sqliteDays(const QString &days)
{
    return QStringLiteral("date('2026-06-30', '-' || (%1) || ' days')").arg(days);
}
QString pgDays(const QString &days)
{
    return QStringLiteral("(date '2026-06-30' - cast(%1 as integer))").arg(days);
}

const Dialect &dialect(Backend backend)
{
    static const Dialect sqlite{
        sqlitePad, sqliteDays,
        QStringLiteral("(with recursive g(x) as (select 1 union all select x + 1 from g where x < ?) "
                       "select x, (x * 7919) % 1000003 as p from g) s")};
    static const Dialect pg{pgPad, pgDays,
                            QStringLiteral("(select x, (x * 7919) % 1000003 as p from "
                                           "(select g::bigint as x from generate_series(1, ?) g) s0) s")};
    return backend == Backend::Sqlite ? sqlite : pg;
}

QString pick(const char *table, const QString &index)
{
    // Eight words of eight characters each, one picked by index.
    return QStringLiteral("rtrim(substr('%1', cast(((%2) % 8) * 8 + 1 as integer), 8))")
        .arg(QLatin1String(table), index);
}

const char *kSurnames = "AndersonBaker   Clark   Davis   Evans   Foster  Garcia  Harris  ";
const char *kFirstNames = "Mary    John    Ruth    George  Helen   Walter  Dorothy Frank   ";
const char *kStreets = "Maple   Oak     Elm     Cedar   Pine    Birch   Walnut  Chestnut";

QString nameExpr(const Dialect &d)
{
    return pick(kSurnames, QStringLiteral("p")) + QStringLiteral(" || ' ' || ")
        + d.pad(QStringLiteral("p % 1000000"), 6) + QStringLiteral(" || ', ' || ")
        + pick(kFirstNames, QStringLiteral("p / 8"));
}

QString addressExpr()
{
    return QStringLiteral("(x % 997 + 1) || ' ' || ") + pick(kStreets, QStringLiteral("x / 8"))
        + QStringLiteral(" || ' Street'");
}

QString membersInsert(Backend backend)
{
    const Dialect &d = dialect(backend);
    return QStringLiteral("insert into members select ") + nameExpr(d) + QStringLiteral(", ") + addressExpr()
        + QStringLiteral(", 'Springfield, IL 62701', '(217) 555-' || ") + d.pad(QStringLiteral("x % 10000"), 4)
        + QStringLiteral(", case x % 4 when 0 then '' when 1 then 'Board member' when 2 then 'Dues paid 2026' "
                         "else 'Prefers mail' end, x from ")
        + d.rows;
}

QString journalInsert(Backend backend)
{
    const Dialect &d = dialect(backend);
    return QStringLiteral("insert into changeHistory select ") + d.daysBefore(QStringLiteral("p % 20000"))
        + QStringLiteral(", ") + pick(kFirstNames, QStringLiteral("x"))
        + QStringLiteral(", case x % 3 when 0 then 'Added : ' when 1 then 'Changed : ' else 'Deleted : ' end || ")
        + nameExpr(d) + QStringLiteral(" || ' ' || ") + addressExpr()
        + QStringLiteral(" || ' Springfield, IL 62701 (217) 555-' || ") + d.pad(QStringLiteral("x % 10000"), 4)
        + QStringLiteral(" from ") + d.rows;
}

} // namespace

void seedDatabase(Backend backend, const QString &folder, int members, int journal, const QString &serverDatabase)
{
    database::Connection connection;
    connection.setCommandTimeout(600);
    if (backend == Backend::Sqlite) {
        const QString file = QDir(folder).filePath(QStringLiteral("Kelvory.db"));
        QFile::remove(file);
        connection.openEmbedded(file); // creates the club's four tables
    } else {
        std::optional<database::ServerSettings> server = postgresServer();
        if (!server)
            qFatal("seedDatabase: no PostgreSQL server");
        if (!serverDatabase.isEmpty())
            server->database = serverDatabase;
        {
            database::ServerSettings admin = *server;
            admin.database = QStringLiteral("postgres");
            database::Connection adminConnection;
            adminConnection.openServer(admin);
            if (adminConnection.query(QStringLiteral("select 1 from pg_database where datname = ?"), {server->database})
                    .eof())
                adminConnection.execute(QStringLiteral("create database ") + server->database);
        }
        connection.openServer(*server);
        for (const QString &statement : test::postgresSchema())
            connection.execute(statement);
    }
    if (members > 0)
        connection.execute(membersInsert(backend), {members});
    if (journal > 0)
        connection.execute(journalInsert(backend), {journal});
    if (backend == Backend::Postgres)
        connection.execute(QStringLiteral("analyze"));
}

void writeUserFile(const QString &folder)
{
    QFile file(QDir(folder).filePath(admission::kFileName));
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write User.txt in %s", qPrintable(folder));
    file.write(admission::userFileContent(QStringLiteral("Bench")));
}

// ---- the program's outside world --------------------------------------------------------

int BenchDialogs::messageBox(const QString &text, int style, const QString &)
{
    ++messages;
    if (messageIcon(style) == MB_ICONERROR)
        std::fprintf(stderr, "message box: %s\n", qPrintable(text));
    switch (messageButtons(style)) {
    case MB_OKCANCEL: return IDCANCEL; // the export's "open it now?": the bench opens nothing
    case MB_YESNO: return yesNoAnswer;
    default: return IDOK;
    }
}

std::optional<QString> BenchDialogs::inputBox(const QString &, const QString &)
{
    return QStringLiteral("Bench");
}

void FailingEnd::end(int exitCode)
{
    std::fprintf(stderr, "the program ended with code %d\n", exitCode);
    std::fflush(stderr);
    std::_Exit(3);
}

Program::Program(Backend backend, const QString &folder)
{
    writeUserFile(folder);
    Deployment deployment;
    deployment.title = QStringLiteral("Kelvory");
    deployment.programFolder = folder;
    deployment.lockFilePath = QDir(folder).filePath(QStringLiteral("Kelvory.lock"));
    if (backend == Backend::Postgres)
        deployment.server = *postgresServer();
    m_module =
        std::make_unique<Module1>(deployment, Services{&m_dialogs, &m_shell, &m_printers, &m_end, nullptr, &m_windows});
    if (!m_module->Main())
        qFatal("the main window was not shown");
    settle();
}

Program::~Program() = default;

roster::RosterForm &Program::form()
{
    return *roster::RosterForm::of(*m_module);
}

void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

} // namespace kelvory::bench
