// Resident memory of a loaded roster against the UTF-16 size of its text, measured in a
// process that has done nothing else.
#include "Benches.h"

#include "roster/RosterForm.h"
#include "grid/FlexGrid.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

#include <cstdio>

namespace kelvory::bench {

int benchMemory(const Options &options)
{
    printHeader(
        QStringLiteral("Memory of a %1-member roster, sqlite, fresh process").arg(withThousands(options.members)));
    WorkFolder folder(options, QStringLiteral("memory"));
    {
        // Seeding in a process of its own keeps its allocations out of this one.
        QProcess seed;
        seed.setProcessChannelMode(QProcess::ForwardedChannels);
        seed.start(QCoreApplication::applicationFilePath(),
                   {QStringLiteral("seed"), folder.path(), QString::number(options.members)});
        if (!seed.waitForFinished(-1) || seed.exitCode() != 0) {
            std::fprintf(stderr, "seeding failed\n");
            return 4;
        }
    }

    BenchDialogs dialogs;
    NullShell shell;
    NoPrinters printers;
    FailingEnd end;
    Deployment deployment;
    deployment.title = QStringLiteral("Kelvory");
    deployment.programFolder = folder.path();
    deployment.lockFilePath = folder.file(QStringLiteral("Kelvory.lock"));
    Module1 module(deployment, {&dialogs, &shell, &printers, &end});
    module.connection.setConnectionTimeout(10);
    module.connection.setCommandTimeout(10);
    module.connection.openEmbedded(module.databaseFilePath());

    // The main window, shown and painted with its designed empty row: everything but the roster.
    roster::RosterForm form(module);
    form.show();
    settle();
    trimHeap();
    const qint64 before = residentBytes();

    form.FillRoster();
    settle();
    const qint64 afterFill = residentBytes();
    // What the fill's passing values and the result set left free in the heap goes back.
    trimHeap();
    const qint64 afterTrim = residentBytes();
    // The connection's own page cache is the driver's, not the roster's.
    module.connection.database().close();
    trimHeap();
    const qint64 afterClose = residentBytes();

    const grid::PackedRows &cells = form.Grid1->dataRows();
    if (cells.rows() != options.members) {
        std::fprintf(stderr, "the grid holds %d members, expected %d\n", cells.rows(), options.members);
        return 4;
    }
    qint64 characters = 0;
    for (int r = 0; r < cells.rows(); ++r)
        for (int c = 0; c < cells.cols(); ++c)
            characters += cells.cell(r, c).size();
    const double n = options.members;
    const double textBytes = 2.0 * characters / n;

    std::printf("    resident: %s bytes before the fill (window shown, connection open), %s after it, "
                "%s once the heap's free memory is returned, %s with the connection closed too\n",
                qPrintable(withThousands(before)), qPrintable(withThousands(afterFill)),
                qPrintable(withThousands(afterTrim)), qPrintable(withThousands(afterClose)));
    std::printf("    members hold %.1f characters on average, record id included (%s in all)\n", characters / n,
                qPrintable(withThousands(characters)));
    const QString text = QStringLiteral("their text in UTF-16, per member");
    printValueFigure(QStringLiteral("memory.after-fill"),
                     QStringLiteral("resident bytes per member right after the fill (grid, view, freed but "
                                    "unreturned heap, SQLite page cache)"),
                     (afterFill - before) / n, QStringLiteral("bytes"), text, textBytes, 4.0);
    printValueFigure(QStringLiteral("memory.query-released"),
                     QStringLiteral("resident bytes per member once the query's memory is released (heap "
                                    "trimmed; grid, view, SQLite page cache)"),
                     (afterTrim - before) / n, QStringLiteral("bytes"), text, textBytes, 4.0);
    printValueFigure(QStringLiteral("memory.grid-only"),
                     QStringLiteral("resident bytes per member with the connection closed as well (grid and view)"),
                     (afterClose - before) / n, QStringLiteral("bytes"), text, textBytes, 4.0);
    return 0;
}

int seedCommand(const QStringList &arguments)
{
    if (arguments.size() < 2)
        return 2;
    const int journal = arguments.size() > 2 ? arguments.at(2).toInt() : 0;
    seedDatabase(Backend::Sqlite, arguments.at(0), arguments.at(1).toInt(), journal);
    writeUserFile(arguments.at(0));
    return 0;
}

} // namespace kelvory::bench
