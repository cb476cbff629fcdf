#pragma once

#include "Fakes.h"
#include "ProgramWindows.h"
#include "database/Connection.h"
#include "startup/Module1.h"

#include <QList>
#include <QTemporaryDir>
#include <QTest>
#include <QVariantList>

#include <memory>
#include <vector>

namespace kelvory::roster {
class RosterForm;
} // namespace kelvory::roster
namespace kelvory::history {
class History;
} // namespace kelvory::history

namespace kelvory::test {

// The program's own windows, for every Module1 a test makes.
ProgramWindows &programWindows();
// The windows a module has made, if any.
roster::RosterForm *rosterForm(const Module1 &module);
history::History *historyWindow(const Module1 &module);

enum class Backend { Sqlite, Postgres };

QString backendName(Backend backend);
// SQLite always; PostgreSQL through ODBC when the test environment names a server.
std::vector<Backend> backends();
// Ends the test program at once, with the reason, when PostgreSQL is among the backends
// and its server cannot be reached: no case runs against a server that is not there.
void requireReachableServer(const std::vector<Backend> &chosen);
// The command line for the run-th QTest::qExec of one test program.
std::vector<char *> argumentsForRun(int argc, char *argv[], int run);
// The PostgreSQL server of the test environment, by the deployment's four pieces.
database::ServerSettings postgresSettings();
bool postgresRequired();

// Every row a query gives, on a connection of the caller's.
QList<QVariantList> allRows(database::Connection &connection, const QString &sql, const QVariantList &values = {});
// How a stored NULL reads among texts.
inline const QString kNull = QStringLiteral("<NULL>");
// Rows as texts, NULL as kNull, for comparing whole tables.
QList<QStringList> asTexts(const QList<QVariantList> &rows);

// A file's bytes; one that cannot be read gives a text no test expects.
QByteArray fileBytes(const QString &path);
// Writes the bytes as the file's whole content, making its folder when it is missing.
void writeFile(const QString &path, const QByteArray &bytes);

// One journal row as stored, each column as text (a date as yyyy-MM-dd, NULL as kNull).
struct JournalRow
{
    QString date;
    QString person;
    QString transaction;
};

// A program folder, a fresh club database and scripted answers: everything a test needs
// to run the real program code on a real database.
class Harness
{
public:
    explicit Harness(Backend backend);
    ~Harness();

    Backend backend;
    QTemporaryDir folder;
    ScriptedDialogs dialogs;
    RecordingShell shell;
    PdfPrinterQueue printers;
    RecordingEnd end;
    SettableClock clock;
    Deployment deployment;
    std::unique_ptr<Module1> module;

    // Creates the four tables (and the hitcounters row with ver 1), empty. On SQLite the
    // program would create them itself at its first start; tests that seed data first
    // create them here.
    void prepareDatabase();
    // User.txt as a previous first run left it, so that start() admits without a prompt.
    void writeUserFile(const QString &firstName);
    // Runs the program's start-up; true when the main window is shown.
    bool start();
    // A new Module1 for a second start on the same folder and database.
    void restart();

    roster::RosterForm &form() const;

    // Direct access for seeding and checking, on a connection of the test's own.
    qint64 exec(const QString &sql, const QVariantList &values = {});
    QList<QVariantList> rows(const QString &sql, const QVariantList &values = {});
    QList<QStringList> texts(const QString &sql, const QVariantList &values = {});
    // Every member, by record id, and the journal in the order it is stored.
    QList<QStringList> members();
    QList<JournalRow> journal();
    void addMember(const QString &name, const QString &address, const QString &city, const QString &phone,
                   const QString &comment, qint64 recordId);
    QString userFilePath() const;

private:
    database::Connection &admin();
    std::unique_ptr<database::Connection> m_admin;
};

// Sets what every test expects: United States dates, the design's fonts.
void prepareApplication();

// The standard error report has ended the run: one message, its number and description
// (the description holding `mentions`), the error icon and the application title.
void verifyErrorReport(const Harness &harness, const QString &mentions = QString());

} // namespace kelvory::test

namespace kelvory::test {
// Runs a test class once per backend (it takes the backend in its constructor). The
// program ends at once when the PostgreSQL server of a PostgreSQL run cannot be reached.
template <class TestClass> int runOnEveryBackend(int argc, char *argv[])
{
    const std::vector<Backend> chosen = backends();
    requireReachableServer(chosen);
    int failures = 0;
    for (std::size_t run = 0; run < chosen.size(); ++run) {
        qInfo("=== backend: %s", qPrintable(backendName(chosen[run])));
        TestClass test(chosen[run]);
        std::vector<char *> arguments = argumentsForRun(argc, argv, int(run));
        failures += QTest::qExec(&test, int(arguments.size()), arguments.data());
    }
    return failures;
}
} // namespace kelvory::test

#define KELVORY_BACKEND_TEST_MAIN(TestClass)                                                                           \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        QApplication app(argc, argv);                                                                                  \
        kelvory::test::prepareApplication();                                                                           \
        return kelvory::test::runOnEveryBackend<TestClass>(argc, argv);                                                \
    }

#define KELVORY_TEST_MAIN(TestClass)                                                                                   \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        QApplication app(argc, argv);                                                                                  \
        kelvory::test::prepareApplication();                                                                           \
        TestClass test;                                                                                                \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }

namespace kelvory::test {
// Stores n members named "Member 00001" .. in one statement, address "<i> Elm St",
// city "Springfield, IL 62701", phone "555-<i>", comment empty, record ids 1 .. n.
void addManyMembers(Harness &harness, int n);
} // namespace kelvory::test
