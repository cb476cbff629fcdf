// kelvory_bench <benchmark|all> [--smoke] [--reps N] [--members N] [--journal N]
//               [--startup-members N] [--pdf-members N] [--item-sizes a,b,c] [--item-budget S]
//               [--scale-sizes a,b,c] [--import-rows N] [--lock-sizes a,b] [--sqlite-wal]
//               [--work DIR]
// Every figure is printed with the baseline it was measured against in the same process
// and run, and their ratio. "all" runs each benchmark in a fresh process of its own.
#include "Benches.h"

#include "grid/Fonts.h"

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>

#include <cstdio>
#include <map>

namespace kelvory::bench {

namespace {

struct Benchmark
{
    const char *name;
    int (*run)(const Options &);
    int figures; // at least this many on SQLite alone
};

const Benchmark kBenchmarks[] = {
    {"fill", benchFill, 2},       {"items", benchItemGrid, 1},    {"history", benchHistory, 2},
    {"export", benchExport, 1},   {"printout", benchPrintout, 3}, {"memory", benchMemory, 3},
    {"startup", benchStartup, 2}, {"scroll", benchScroll, 3},     {"find", benchFind, 3},
    {"scale", benchScale, 3},     {"import", benchImport, 1},     {"lockwait", benchLockWait, 3},
};

int runAll(const QStringList &passOn, const Options &options)
{
    std::printf("Kelvory benchmarks: %s; every figure is the median of %d timed runs after one warm-up run "
                "unless it says otherwise, its baseline measured in the same process and run.\n",
                options.smoke ? "smoke run at small sizes (figures not meaningful)" : "full sizes", options.reps);
    std::fflush(stdout);
    int failed = 0;
    int figures = 0;
    int missed = 0;
    const QRegularExpression done(QStringLiteral("^BENCH (\\w+) done: (\\d+) figures, (\\d+) targets missed"),
                                  QRegularExpression::MultilineOption);
    for (const Benchmark &benchmark : kBenchmarks) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), QStringList{QString::fromLatin1(benchmark.name)} + passOn);
        QByteArray output;
        while (child.state() != QProcess::NotRunning || child.bytesAvailable() > 0) {
            child.waitForReadyRead(1000);
            const QByteArray chunk = child.readAll();
            output += chunk;
            std::fwrite(chunk.constData(), 1, static_cast<std::size_t>(chunk.size()), stdout);
            std::fflush(stdout);
        }
        child.waitForFinished(-1);
        const QRegularExpressionMatch match = done.match(QString::fromUtf8(output));
        const int printed = match.hasMatch() ? match.captured(2).toInt() : 0;
        if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 || !match.hasMatch()
            || printed < benchmark.figures) {
            std::printf("BENCHMARK FAILED: %s (exit %d, %d figures, at least %d expected)\n", benchmark.name,
                        child.exitCode(), printed, benchmark.figures);
            ++failed;
        }
        figures += printed;
        missed += match.hasMatch() ? match.captured(3).toInt() : 0;
    }
    std::printf("\nAll benchmarks: %d figures printed, %d targets missed, %d benchmarks failed to run.\n", figures,
                missed, failed);
    return failed == 0 ? 0 : 1;
}

} // namespace

WorkFolder::WorkFolder(const Options &options, const QString &name)
{
    if (options.workDir.isEmpty()) {
        m_temporary = std::make_unique<QTemporaryDir>(QDir::temp().filePath(QStringLiteral("kelvory-bench-XXXXXX")));
        m_path = m_temporary->path();
    } else {
        m_path = QDir(options.workDir).filePath(name);
        QDir(m_path).removeRecursively();
        QDir().mkpath(m_path);
    }
}

WorkFolder::~WorkFolder() = default;

QString WorkFolder::file(const QString &name) const
{
    return QDir(m_path).filePath(name);
}

} // namespace kelvory::bench

int main(int argc, char *argv[])
{
    using namespace kelvory::bench;
    // Windows are made and painted off screen, so that a run does not depend on a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    kelvory::grid::installFontSubstitutes();

    QStringList arguments = QCoreApplication::arguments().mid(1);
    const QString command = arguments.isEmpty() ? QStringLiteral("all") : arguments.takeFirst();
    if (command == QLatin1String("seed"))
        return seedCommand(arguments);
    const Options options = parseOptions(arguments);
    if (command == QLatin1String("all"))
        return runAll(arguments, options);
    for (const auto &benchmark : kBenchmarks) {
        if (command == QLatin1String(benchmark.name)) {
            int code = 4;
            try {
                code = benchmark.run(options);
            } catch (const kelvory::Failure &failure) {
                std::fprintf(stderr, "database failure %s: %s\n", qPrintable(failure.number()),
                             qPrintable(failure.description()));
            } catch (const std::exception &error) {
                std::fprintf(stderr, "failure: %s\n", error.what());
            }
            std::printf("BENCH %s done: %d figures, %d targets missed\n", benchmark.name, figuresPrinted(),
                        targetsMissed());
            std::fflush(stdout);
            // Tearing down grids of a million cells is no part of any figure.
            std::_Exit(code);
        }
    }
    std::fprintf(stderr, "unknown benchmark %s\n", qPrintable(command));
    return 2;
}
