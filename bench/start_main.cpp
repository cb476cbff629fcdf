// kelvory_bench_start <program folder> [<database>]
// The real start-up of the program on the Kelvory.db in <program folder>, or with a
// database name on that database of the PostgreSQL test server (as the benchmarks name
// it): prints "SHOWN <members>" once the main window is shown and its grid painted, then
// ends at once.
#include "ProgramWindows.h"
#include "BenchSupport.h"

#include "roster/RosterForm.h"
#include "grid/FlexGrid.h"
#include "grid/Fonts.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>

#include <cstdio>
#include <cstdlib>

namespace {

class PaintWatch final : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The roster grid's viewport: the last thing of the window to be drawn with members.
        if (event->type() == QEvent::Paint && watched->parent()
            && qobject_cast<kelvory::grid::FlexGrid *>(watched->parent()))
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    kelvory::grid::installFontSubstitutes();
    if (argc < 2)
        return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]);

    kelvory::Deployment deployment;
    deployment.title = QStringLiteral("Kelvory");
    deployment.programFolder = folder;
    deployment.lockFilePath = QDir(folder).filePath(QStringLiteral("Kelvory.lock"));
    if (argc > 2) {
        const std::optional<kelvory::database::ServerSettings> server = kelvory::bench::postgresServer();
        if (!server)
            return 2;
        deployment.server = *server;
        deployment.server.database = QString::fromLocal8Bit(argv[2]);
    }
    kelvory::bench::BenchDialogs dialogs;
    kelvory::bench::NullShell shell;
    kelvory::bench::NoPrinters printers;
    kelvory::bench::FailingEnd end;
    PaintWatch watch;
    app.installEventFilter(&watch);
    kelvory::ProgramWindows windows;
    kelvory::Module1 module(deployment, {&dialogs, &shell, &printers, &end, nullptr, &windows});
    if (!module.Main())
        return 1;

    const kelvory::grid::FlexGrid &grid = *kelvory::roster::RosterForm::of(module)->Grid1;
    QElapsedTimer waited;
    waited.start();
    while (!watch.painted && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!watch.painted)
        return 3;
    std::printf("SHOWN %d\n", grid.Rows() - 1);
    std::fflush(stdout);
    // Tearing the window down is no part of starting up.
    std::_Exit(0);
}
