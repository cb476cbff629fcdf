#pragma once

#include "ProgramWindows.h"
#include "database/Connection.h"
#include "output/PrinterQueue.h"
#include "startup/Module1.h"
#include "startup/Platform.h"

#include <QElapsedTimer>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kelvory::roster {
class RosterForm;
}

namespace kelvory::bench {

// ---- what a run is asked to do ----------------------------------------------------

struct Options
{
    bool smoke = false;
    int reps = 5;
    int members = 100000;
    int journal = 1000000;
    // The history's sizes: --journal a,b runs it at each, one after the other.
    std::vector<int> journalSizes;
    int startupMembers = 10000;
    int pdfMembers = 1000;
    int scrollBaselineMembers = 1000;
    std::vector<int> itemGridSizes{10000, 30000, 100000};
    std::vector<int> scaleSizes{10000, 100000, 1000000};
    int importRows = 10000;
    std::vector<int> lockSizes{100000, 1000000};
    // lockwait: the SQLite file in write-ahead-log mode, for comparison.
    bool sqliteWal = false;
    // The item grid is not run at a size whose expected time, from the smaller size
    // before it and linear growth at best, passes this many seconds.
    double itemGridBudgetSeconds = 300;
    QString workDir;
    // "sqlite" or "postgres" runs the fill and history benchmarks on that backend only.
    QString backend;
};

Options parseOptions(const QStringList &arguments);

// ---- processes ---------------------------------------------------------------------

// Runs a program to its end; with `expected`, checks that it said so, otherwise its
// output goes to /dev/null. A program that fails ends the benchmark.
void runToEnd(const QString &program, const QStringList &arguments, const QByteArray &expected,
              const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
// psql reading `sql` from `database` on the test server into /dev/null, and its password.
QStringList psqlArguments(const QString &database, const QString &sql);
QProcessEnvironment psqlEnvironment();

// ---- timing -------------------------------------------------------------------------

struct Stats
{
    std::vector<double> samples; // milliseconds
    double median() const;
    double min() const;
    double max() const;
};

double elapsedMs(const QElapsedTimer &timer);

// Runs each of the measured tasks once per repetition, in turn, so that a disturbance
// from other work on the machine falls on all of them alike; the first round is a warm-up
// and is not counted. Returns one Stats per task.
std::vector<Stats> measureInterleaved(int reps, const std::vector<std::function<void()>> &tasks, bool warmUp = true);
// The same for tasks that time themselves and return their milliseconds, so that a task
// can leave things as it found them (flush the disk, say) outside its time.
std::vector<Stats> measureInterleavedSelfTimed(int reps, const std::vector<std::function<double()>> &tasks);

// ---- reporting ----------------------------------------------------------------------

// Every figure is printed as one block that begins "FIGURE <id>:", with its baseline and
// the ratio of the two, so that a reader (and the smoke test) finds them all.
void printHeader(const QString &title);
void printFigure(const QString &id, const QString &what, const Stats &ours, const QString &baselineWhat,
                 const Stats &baseline, std::optional<double> targetAtMost = std::nullopt,
                 const QString &ratioMeaning = QString());
// A figure whose baseline is not a time (bytes, counts): both values and their ratio.
void printValueFigure(const QString &id, const QString &what, double ours, const QString &unit,
                      const QString &baselineWhat, double baseline, std::optional<double> targetAtMost = std::nullopt);
void printNote(const QString &text);
QString formatMs(double ms);
QString withThousands(qint64 value);
int figuresPrinted();
int targetsMissed();

// ---- memory ------------------------------------------------------------------------

// Resident set size of this process, from /proc/self/statm, in bytes.
qint64 residentBytes();
// Hands the heap's free memory back to the system where the C library can (glibc).
void trimHeap();

// ---- databases ---------------------------------------------------------------------

enum class Backend { Sqlite, Postgres };
QString backendName(Backend backend);

// The PostgreSQL test server, from the variables the tests read; nothing when unset.
std::optional<database::ServerSettings> postgresServer();
// Why PostgreSQL is left out of this run, or nothing when it is in.
std::optional<QString> postgresUnavailableReason();

// A club database holding `members` generated members (about 85 characters each) and
// `journal` journal rows. On SQLite it is a Kelvory.db in `folder`; on PostgreSQL it is
// the database kelvory_bench_<build tag> on the test server (or `serverDatabase`), its
// tables made anew.
void seedDatabase(Backend backend, const QString &folder, int members, int journal,
                  const QString &serverDatabase = QString());

// A program folder ready for the real start-up: User.txt admitting the bench operator.
void writeUserFile(const QString &folder);

// ---- the program's outside world, answered without an operator ----------------------

class BenchDialogs final : public OperatorDialogs
{
public:
    int messageBox(const QString &text, int style, const QString &title) override;
    std::optional<QString> inputBox(const QString &prompt, const QString &title) override;
    // The benchmarks save nothing.
    std::optional<QString> saveFileName(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
    int messages = 0;
    // The answer to a Yes/No question: No unless a benchmark needs a Yes (DELETE's).
    int yesNoAnswer = IDNO;
};

class NullShell final : public Shell
{
public:
    bool openUrl(const QUrl &) override { return true; }
    bool openFile(const QString &) override { return true; }
};

class NoPrinters final : public PrinterQueue
{
public:
    std::unique_ptr<QPrinter> defaultPrinter() override { return nullptr; }
};

class FailingEnd final : public ProcessEnd
{
public:
    [[noreturn]] void end(int exitCode) override;
};

// The real program's module, deployed on a bench database, its main window loaded and
// shown by the real start-up (which fills the roster once).
class Program
{
public:
    Program(Backend backend, const QString &folder);
    ~Program();
    Module1 &module() { return *m_module; }
    roster::RosterForm &form();
    BenchDialogs &dialogs() { return m_dialogs; }

private:
    BenchDialogs m_dialogs;
    ProgramWindows m_windows;
    NullShell m_shell;
    NoPrinters m_printers;
    FailingEnd m_end;
    std::unique_ptr<Module1> m_module;
};

// Lets the window system and the views do what the last step left pending (layout, paint).
void settle();

} // namespace kelvory::bench
