#pragma once

#include "database/Connection.h"
#include "startup/InstanceGuard.h"
#include "startup/Platform.h"

#include <QPointer>
#include <QWidget>
#include <QString>

#include <exception>
#include <optional>

namespace kelvory {

class Module1;

// The program's two windows are made by the layers above start-up; it only asks for them.
class Windows
{
public:
    virtual ~Windows() = default;
    virtual QWidget *makeRosterForm(Module1 &module) = 0;
    virtual QWidget *makeHistory(Module1 &module) = 0;
    // The window's load sequence (Form_Load), which may fail or end the process.
    virtual void load(QWidget &window) = 0;
};

// What a build is deployed with: constants of the build in the real program, chosen
// freely by tests.
struct Deployment
{
    QString title;
    // An empty server selects the embedded SQLite file in the program's folder.
    database::ServerSettings server;
    QString updatePage;
    // Where User.txt, Kelvory.db, ExcelExport.csv and Backups/ live: beside the executable,
    // or the user's own data folder for an installed copy (DataFolder.h).
    QString programFolder;
    QString lockFilePath;
    // The connect and command time-outs; the design's 10 seconds, shorter in tests that wait for locks.
    int timeoutSeconds = 10;
    int versionMajor = 1;
    int versionMinor = 0;
    int versionRevision = 0;
};

struct Services
{
    OperatorDialogs *dialogs = nullptr;
    Shell *shell = nullptr;
    PrinterQueue *printers = nullptr;
    ProcessEnd *processEnd = nullptr;
    // None: the system's clock.
    Clock *clock = nullptr;
    Windows *windows = nullptr;
};

// The process-wide values and the start-up procedure. One Module1 lives as long as
// the process (or, in a test, as long as the test case).
class Module1
{
public:
    Module1(Deployment deployment, Services services);
    ~Module1();
    Module1(const Module1 &) = delete;
    Module1 &operator=(const Module1 &) = delete;

    // Start-up: refuses a second instance, opens the shared connection, loads and shows
    // the main window. Returns true when the main window is shown and the event loop
    // should run; in the real program every other outcome has ended the process.
    bool Main();

    // The shared connection: every statement of the program runs on it.
    database::Connection connection;
    // The operator's first name, exactly as typed or read; stamped on every journal row.
    QString OperatorFirstName;

    const Deployment &deployment() const { return m_deployment; }
    Services &services() { return m_services; }

    QString userFilePath() const;
    QString exportFilePath() const;
    QString databaseFilePath() const;
    // Today, by the services' clock.
    QDate today() const;

    // A message box; without a title of its own it shows the application title.
    int MsgBox(const QString &prompt, int style = MB_OK, const QString &title = QString());
    std::optional<QString> InputBox(const QString &prompt, const QString &title = QString());
    [[noreturn]] void End(int exitCode);

    // The standard error report: the failure's number and description, then the end.
    [[noreturn]] void reportFailure(const Failure &failure);

    // Runs a handler to its end. A failure it does not catch ends in the standard error
    // report; no exception leaves this boundary for the event loop.
    template <class Body> void guarded(Body &&body) noexcept;

    QWidget *rosterWindow() const;
    // Shows the history window, loading it first when it is not loaded.
    void showHistory();
    QWidget *historyWindow() const;

private:
    void failWith(const std::exception &error);

    Deployment m_deployment;
    Services m_services;
    InstanceGuard m_instanceGuard;
    QPointer<QWidget> m_rosterForm;
    QPointer<QWidget> m_history;
};

template <class Body> void Module1::guarded(Body &&body) noexcept
{
    try {
        try {
            body();
        } catch (const Failure &failure) {
            reportFailure(failure);
        } catch (const std::exception &error) {
            failWith(error);
        }
    } catch (const ProcessEnded &) {
        // Only an end that could not end the process (a test's) comes back here.
    }
}

} // namespace kelvory
