// The export against the sqlite3 shell writing the same rows, and the printout's layout
// and painting.
#include "Benches.h"

#include "database/MemberFields.h"
#include "database/Statements.h"
#include "output/CellSource.h"
#include "output/Export.h"
#include "output/Printout.h"
#include "roster/FlexGridSource.h"
#include "roster/RosterForm.h"
#include "grid/FlexGrid.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>

#include <cstdio>

#include <unistd.h>

namespace kelvory::bench {

int benchExport(const Options &options)
{
    printHeader(QStringLiteral("Xcel Export of a %1-member grid, sqlite").arg(withThousands(options.members)));
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty()) {
        std::fprintf(stderr, "the sqlite3 command-line tool is not installed (scripts/install-deps.sh)\n");
        return 5;
    }
    WorkFolder folder(options, QStringLiteral("export"));
    seedDatabase(Backend::Sqlite, folder.path(), options.members, 0);
    Program program(Backend::Sqlite, folder.path());
    roster::RosterForm &form = program.form();
    const QString ours = program.module().exportFilePath();
    const QString theirs = folder.file(QStringLiteral("sqlite3-export.csv"));

    // Besides the export and its baseline, the export's two halves and, for scale, the same
    // bytes written to a plain file with no flush, all in the same rounds. A task that leaves
    // data unflushed flushes it after its time is taken: on ext4 the next fdatasync, the
    // export's own, would otherwise write that data too.
    const roster::FlexGridSource cells(*form.Grid1);
    QByteArray bytes;
    auto timed = [](auto &&task) {
        QElapsedTimer timer;
        timer.start();
        task();
        return elapsedMs(timer);
    };
    const std::vector<Stats> s = measureInterleavedSelfTimed(
        options.reps,
        {
            [&] { return timed([&] { output::exportRoster(ours, roster::FlexGridSource(*form.Grid1)); }); },
            [&] {
                const double ms = timed([&] {
                    QProcess process;
                    process.setStandardOutputFile(theirs);
                    process.start(shell,
                                  {QStringLiteral("-csv"), folder.file(QStringLiteral("Kelvory.db")),
                                   database::sql::kSelectMembers});
                    if (!process.waitForFinished(-1) || process.exitCode() != 0) {
                        std::fprintf(stderr, "sqlite3 failed: %s\n", process.readAllStandardError().constData());
                        std::exit(4);
                    }
                });
                ::sync();
                return ms;
            },
            [&] {
                bytes = QByteArray(); // freed here, as the export frees its own, not inside the next time
                return timed([&] { bytes = output::exportBytes(cells); });
            },
            [&] {
                return timed([&] {
                    if (output::writeExportFile(folder.file(QStringLiteral("parts.csv")), bytes))
                        std::exit(4);
                });
            },
            [&] {
                const double ms = timed([&] {
                    QFile plain(folder.file(QStringLiteral("plain.csv")));
                    if (!plain.open(QIODevice::WriteOnly | QIODevice::Truncate) || plain.write(bytes) != bytes.size())
                        std::exit(4);
                });
                ::sync();
                return ms;
            },
        });
    printNote(QStringLiteral("of the export, making the text and its bytes takes %1; writing them through a temporary "
                             "file that is flushed to disk (fdatasync) and then replaces the old one takes %2; the "
                             "same bytes written to a plain file, not flushed, take %3 (medians)")
                  .arg(formatMs(s[2].median()), formatMs(s[3].median()), formatMs(s[4].median())));

    QFile written(ours);
    if (!written.open(QIODevice::ReadOnly) || written.readAll().count("\r\n") != options.members + 1) {
        std::fprintf(stderr, "ExcelExport.csv does not hold %d lines\n", options.members + 1);
        return 4;
    }
    printFigure(QStringLiteral("export.sqlite"),
                QStringLiteral("Xcel Export of %1 members from the grid to ExcelExport.csv (%2 bytes)")
                    .arg(withThousands(options.members), withThousands(QFileInfo(ours).size())),
                s[0],
                QStringLiteral("sqlite3 -csv process, start to exit, writing the same query to a file (%1 bytes; "
                               "flushed by a sync after its time is taken)")
                    .arg(withThousands(QFileInfo(theirs).size())),
                s[1], 0.5);
    return 0;
}

namespace {

std::unique_ptr<QPrinter> pdfPrinter(const QString &file)
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(file);
    return printer;
}

// The grid's heading row and its first `members` data rows, as a plain table.
output::TableSource firstMembers(const output::CellSource &grid, int members)
{
    output::TableSource table;
    for (int r = 0; r <= members && r < grid.rows(); ++r) {
        QStringList row;
        for (int c = 0; c < grid.cols(); ++c)
            row.append(grid.cell(r, c).toString());
        table.appendRow(row);
    }
    return table;
}

} // namespace

int benchPrintout(const Options &options)
{
    printHeader(QStringLiteral("Printout of a %1-member grid, sqlite").arg(withThousands(options.members)));
    WorkFolder folder(options, QStringLiteral("printout"));
    seedDatabase(Backend::Sqlite, folder.path(), options.members, 0);
    Program program(Backend::Sqlite, folder.path());
    const roster::FlexGridSource cells(*program.form().Grid1);
    const int rows = cells.rows();

    // Reading every cell the printout prints, trimmed, and nothing more.
    qsizetype sink = 0;
    auto walk = [&] {
        for (int r = 0; r < rows; ++r)
            for (int f = 0; f < 5; ++f)
                sink += output::trimBlanks(cells.cell(r, f)).size();
    };

    std::size_t lines = 0;
    {
        const output::TextWidth perCharacter = [](QStringView text) { return static_cast<double>(text.size()); };
        const std::vector<Stats> s =
            measureInterleaved(options.reps,
                               {
                                   [&] { lines = output::layoutRoster(cells, true, perCharacter).lineCount(); },
                                   walk,
                               });
        printFigure(QStringLiteral("printout.layout"),
                    QStringLiteral("layoutRoster of %1 members, With Lines, one print column per character: "
                                   "%2 lines, %3 lines per second")
                        .arg(withThousands(options.members), withThousands(static_cast<qint64>(lines)),
                             withThousands(static_cast<qint64>(lines / (s[0].median() / 1000)))),
                    s[0], QStringLiteral("reading the five printed cells of every row, trimmed"), s[1]);
    }
    {
        // As PRINT measures: the printer font's widths at the PDF printer's resolution.
        const std::unique_ptr<QPrinter> printer = pdfPrinter(folder.file(QStringLiteral("metrics.pdf")));
        const QFontMetricsF metrics(output::printerFont(), printer.get());
        const double column = output::averageCharacterWidth(metrics);
        const output::TextWidth measured = [&](QStringView text) {
            return metrics.horizontalAdvance(text.toString()) / column;
        };
        double widths = 0;
        const std::vector<Stats> s =
            measureInterleaved(options.reps,
                               {
                                   [&] { lines = output::layoutRoster(cells, true, measured).lineCount(); },
                                   [&] {
                                       for (int r = 0; r < rows; ++r)
                                           for (int f = 0; f < 4; ++f) {
                                               const QStringView text = output::trimBlanks(cells.cell(r, f));
                                               if (!text.isEmpty())
                                                   widths += measured(text);
                                           }
                                   },
                               });
        printFigure(QStringLiteral("printout.layout-metrics"),
                    QStringLiteral("layoutRoster of %1 members, With Lines, printer font widths as PRINT measures "
                                   "them: %2 lines, %3 lines per second")
                        .arg(withThousands(options.members), withThousands(static_cast<qint64>(lines)),
                             withThousands(static_cast<qint64>(lines / (s[0].median() / 1000)))),
                    s[0], QStringLiteral("measuring the same fields' widths, no layout"), s[1]);
    }
    if (sink < 0)
        std::printf("%lld\n", static_cast<long long>(sink));

    // Painting: the first members to a PDF file, through the printout and bare.
    const output::TableSource sample = firstMembers(cells, options.pdfMembers);
    const QString oursPdf = folder.file(QStringLiteral("printout.pdf"));
    const QString barePdf = folder.file(QStringLiteral("bare.pdf"));
    const std::vector<Stats> s = measureInterleaved(
        options.reps,
        {
            [&] {
                const std::unique_ptr<QPrinter> printer = pdfPrinter(oursPdf);
                if (const std::optional<QString> problem = output::printRoster(*printer, sample, true)) {
                    std::fprintf(stderr, "printRoster: %s\n", qPrintable(*problem));
                    std::exit(4);
                }
            },
            [&] {
                // The same lines with no layout: each field drawn at its column, a hyphen line
                // under each member, a new page when the page is full.
                const std::unique_ptr<QPrinter> printer = pdfPrinter(barePdf);
                QPainter painter(printer.get());
                const QFont font = output::printerFont();
                painter.setFont(font);
                const QFontMetricsF metrics(font, printer.get());
                const double column = output::averageCharacterWidth(metrics);
                const double lineHeight = metrics.lineSpacing();
                const QString hyphens(output::kMemberLineLength, u'-');
                double top = 0;
                auto line = [&](auto &&draw) {
                    if (top > 0 && top + lineHeight > printer->height()) {
                        printer->newPage();
                        top = 0;
                    }
                    draw(top + metrics.ascent());
                    top += lineHeight;
                };
                for (int r = 0; r < sample.rows(); ++r) {
                    line([&](double y) {
                        for (int f = 0; f < 5; ++f)
                            painter.drawText(QPointF((output::printColumn(f) - 1) * column, y),
                                             sample.cell(r, f).toString());
                    });
                    if (r > 0)
                        line([&](double y) { painter.drawText(QPointF(0, y), hyphens); });
                }
                painter.end();
            },
        });
    printFigure(QStringLiteral("printout.pdf"),
                QStringLiteral("PRINT of %1 members to a PDF file through QPrinter (printRoster: layout and "
                               "painting, %2 bytes)")
                    .arg(withThousands(options.pdfMembers), withThousands(QFileInfo(oursPdf).size())),
                s[0],
                QStringLiteral("QPainter drawing the same fields and hyphen lines on the same printer, no layout "
                               "(%1 bytes)")
                    .arg(withThousands(QFileInfo(barePdf).size())),
                s[1]);
    return 0;
}

} // namespace kelvory::bench
