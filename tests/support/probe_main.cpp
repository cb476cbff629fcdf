// kelvory_probe [--pg <database>] [--add <name|address|city|phone|comment>] [--rounds <n>]
//               [--today <yyyy-MM-dd>] [--put-back <copy>] [--network-share] [--once] <program folder> [answer ...]
// Runs the real start-up of the program on the embedded database in <program folder>
// (or, with --pg, on that database of the PostgreSQL test server that KELVORY_TEST_PG_*
// name), printing every message box as one line "MSG <style> <title>|<text>" and
// answering them from the arguments (numbers; missing answers are OK/No). It first prints
// the single-instance lock it uses, "LOCK <path>", the one the program itself would use.
// When the main window is shown it prints "SHOWN"; with --add it then types the member
// into the edit boxes, prints "ADDING" and presses Add New. With --rounds it adds n members
// instead, "<name> 1" to "<name> n", each when a line arrives on its standard input, and
// then prints "DONE". With --put-back it prints "PUTTING BACK", puts that copy of the
// database back as the grid's command does, and prints "PUT BACK". It keeps running until it is killed; with --once it
// ends as soon as the window is shown. --today sets the day the program's clock gives. --network-share takes every file
// to be on an NFS share, where the embedded file keeps its rollback journal.
#include "Fakes.h"
#include "Harness.h"
#include "database/Connection.h"
#include "changes/PutBack.h"
#include "roster/RosterForm.h"
#include "startup/DailyBackup.h"
#include "grid/CommandButton.h"
#include "grid/Fonts.h"
#include "startup/InstanceGuard.h"
#include "startup/Module1.h"

#include <QApplication>
#include <QLineEdit>
#include <QTimer>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

class PrintingDialogs final : public kelvory::OperatorDialogs
{
public:
    explicit PrintingDialogs(QStringList answers) : m_answers(std::move(answers)) {}

    int messageBox(const QString &text, int style, const QString &title) override
    {
        QString line = text;
        line.replace(QLatin1String("\r\n"), QLatin1String("\\r\\n"));
        std::printf("MSG %d %s|%s\n", style, qPrintable(title), qPrintable(line));
        std::fflush(stdout);
        if (!m_answers.isEmpty())
            return m_answers.takeFirst().toInt();
        return kelvory::messageButtons(style) == kelvory::MB_YESNO ? kelvory::IDNO : kelvory::IDOK;
    }
    std::optional<QString> inputBox(const QString &, const QString &) override
    {
        std::printf("INPUT\n");
        std::fflush(stdout);
        return std::nullopt;
    }
    std::optional<QString> saveFileName(const QString &, const QString &, const QString &) override
    {
        std::printf("SAVE FILE\n");
        std::fflush(stdout);
        return std::nullopt;
    }

private:
    QStringList m_answers;
};

class FixedClock final : public kelvory::Clock
{
public:
    explicit FixedClock(QDate day) : m_day(day) {}
    QDate today() const override { return m_day.isValid() ? m_day : QDate::currentDate(); }

private:
    QDate m_day;
};

class PrintingEnd final : public kelvory::ProcessEnd
{
public:
    [[noreturn]] void end(int exitCode) override
    {
        std::printf("END %d\n", exitCode);
        std::fflush(stdout);
        std::_Exit(exitCode);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    kelvory::grid::installFontSubstitutes();
    QStringList arguments = QCoreApplication::arguments().mid(1);
    QString database;
    QStringList member;
    QDate today;
    bool once = false;
    int rounds = 0;
    QString putBack;
    while (arguments.size() >= 2 && arguments.first().startsWith(QLatin1String("--"))) {
        const QString option = arguments.takeFirst();
        if (option == QLatin1String("--once"))
            once = true;
        else if (option == QLatin1String("--today"))
            today = QDate::fromString(arguments.takeFirst(), Qt::ISODate);
        else if (option == QLatin1String("--pg"))
            database = arguments.takeFirst();
        else if (option == QLatin1String("--add"))
            member = arguments.takeFirst().split(QLatin1Char('|'));
        else if (option == QLatin1String("--put-back"))
            putBack = arguments.takeFirst();
        else if (option == QLatin1String("--rounds"))
            rounds = arguments.takeFirst().toInt();
        else if (option == QLatin1String("--network-share"))
            kelvory::database::fakeFileSystemType(0x6969);
        else
            return 2;
    }
    if (arguments.isEmpty())
        return 2;
    const QString folder = arguments.takeFirst();

    kelvory::Deployment deployment;
    deployment.title = QStringLiteral("Kelvory");
    deployment.programFolder = folder;
    deployment.lockFilePath = kelvory::userLockFilePath(deployment.title, folder);
    std::printf("LOCK %s\n", qPrintable(deployment.lockFilePath));
    std::fflush(stdout);
    if (!database.isEmpty())
        deployment.server = {qEnvironmentVariable("KELVORY_TEST_PG_SERVER"), database,
                             qEnvironmentVariable("KELVORY_TEST_PG_UID"), qEnvironmentVariable("KELVORY_TEST_PG_PWD")};

    PrintingDialogs dialogs(arguments);
    kelvory::test::RecordingShell shell;
    kelvory::test::PdfPrinterQueue printers;
    PrintingEnd processEnd;
    FixedClock clock(today);
    kelvory::Module1 module(deployment,
                            {&dialogs, &shell, &printers, &processEnd, &clock, &kelvory::test::programWindows()});
    if (!module.Main())
        return 1;
    std::printf("SHOWN\n");
    std::fflush(stdout);
    if (once)
        return 0;
    if (!putBack.isEmpty()) {
        std::printf("PUTTING BACK\n");
        std::fflush(stdout);
        kelvory::changes::ChangeStore store{module.connection, module.OperatorFirstName, module.today()};
        const auto result = kelvory::changes::putBack(store, putBack, kelvory::backup::backupsFolder(module));
        std::printf("PUT BACK %d\n", int(result.outcome.kind));
        std::fflush(stdout);
    }
    if (!member.isEmpty()) {
        QTimer::singleShot(0, [&] {
            kelvory::roster::RosterForm &form = *kelvory::test::rosterForm(module);
            for (int k = 0; k < 5; ++k)
                form.Text1[k]->setText(member.value(k));
            if (rounds == 0) {
                std::printf("ADDING\n");
                std::fflush(stdout);
                form.Command3->click();
                return;
            }
            for (int round = 1; round <= rounds; ++round) {
                std::string go;
                if (!std::getline(std::cin, go))
                    break;
                form.Text1[0]->setText(member.value(0) + QLatin1Char(' ') + QString::number(round));
                form.Command3->click();
            }
            std::printf("DONE\n");
            std::fflush(stdout);
        });
    }
    return QApplication::exec();
}
