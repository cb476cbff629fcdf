#include "startup/Module1.h"

#include "common/BusyCursor.h"
#include "database/DatabaseMessages.h"
#include "startup/DailyBackup.h"
#include "startup/StartupMessages.h"

#include <QDir>
#include <QFileInfo>

#include <cstdlib>

namespace kelvory {

Module1::Module1(Deployment deployment, Services services) : m_deployment(std::move(deployment)), m_services(services)
{
}

Module1::~Module1()
{
    // The windows refer to this module; they go first.
    delete m_history.data();
    delete m_rosterForm.data();
}

QString Module1::userFilePath() const
{
    return QDir(m_deployment.programFolder).filePath(QStringLiteral("User.txt"));
}

QString Module1::exportFilePath() const
{
    return QDir(m_deployment.programFolder).filePath(QStringLiteral("ExcelExport.csv"));
}

QString Module1::databaseFilePath() const
{
    return QDir(m_deployment.programFolder).filePath(QStringLiteral("Kelvory.db"));
}

QDate Module1::today() const
{
    return m_services.clock ? m_services.clock->today() : QDate::currentDate();
}

int Module1::MsgBox(const QString &prompt, int style, const QString &title)
{
    BusyCursor::Pause pause;
    return m_services.dialogs->messageBox(prompt, style, title.isEmpty() ? m_deployment.title : title);
}

std::optional<QString> Module1::InputBox(const QString &prompt, const QString &title)
{
    BusyCursor::Pause pause;
    return m_services.dialogs->inputBox(prompt, title.isEmpty() ? m_deployment.title : title);
}

void Module1::End(int exitCode)
{
    m_services.processEnd->end(exitCode);
    // An end that returns would let the program run on past a point it must not pass.
    std::abort();
}

void Module1::reportFailure(const Failure &failure)
{
    MsgBox(startup::messages::runTimeError(failure.number(), failure.description()), MB_OK | MB_ICONERROR);
    End(1);
}

void Module1::failWith(const std::exception &error)
{
    reportFailure(Failure(QStringLiteral("-1"), QString::fromLocal8Bit(error.what())));
}

bool Module1::Main()
{
    bool shown = false;
    guarded([&] {
        if (!m_instanceGuard.acquire(m_deployment.lockFilePath)) {
            MsgBox(startup::messages::alreadyRunning(m_deployment.title), MB_OK);
            End(0);
        }
        connection.setConnectionTimeout(m_deployment.timeoutSeconds);
        connection.setCommandTimeout(m_deployment.timeoutSeconds);
        if (m_deployment.server.server.isEmpty())
            connection.openEmbedded(databaseFilePath());
        else
            connection.openServer(m_deployment.server);

        m_rosterForm = m_services.windows->makeRosterForm(*this);
        try {
            m_services.windows->load(*m_rosterForm);
        } catch (const Failure &failure) {
            if (!failure.busy())
                throw;
            // A roster that another session keeps locked past the time-out gets the same
            // plain words on every backend, with the driver's own in parentheses.
            const QString words = m_deployment.server.server.isEmpty()
                ? database::messages::fileInUse(
                    QDir::toNativeSeparators(QFileInfo(databaseFilePath()).absoluteFilePath()),
                    m_deployment.timeoutSeconds)
                : database::messages::serverInUse(m_deployment.timeoutSeconds);
            throw Failure(failure.number(),
                          words + QStringLiteral("\r\n\r\n(") + failure.description() + QLatin1Char(')'));
        }
        backup::dailyBackup(*this);
        m_rosterForm->show();
        shown = true;
    });
    return shown;
}

QWidget *Module1::rosterWindow() const
{
    return m_rosterForm.data();
}

QWidget *Module1::historyWindow() const
{
    return m_history.data();
}

void Module1::showHistory()
{
    if (!m_history) {
        m_history = m_services.windows->makeHistory(*this);
        m_services.windows->load(*m_history);
    }
    m_history->show();
    m_history->raise();
    m_history->activateWindow();
}

} // namespace kelvory
