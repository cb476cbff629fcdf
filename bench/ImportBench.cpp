// The member import as an operator meets it: a spreadsheet file of generated members read,
// previewed against the roster and imported into the embedded database (the copy made
// before it, the one transaction, the roster refilled), against the sqlite3 tool
// importing the same file into a table of its own as a process, start to exit.
#include "Benches.h"

#include "import/ImportFile.h"
#include "import/ImportPreview.h"
#include "import/ImportStore.h"
#include "roster/RosterForm.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <cstdio>

namespace kelvory::bench {

namespace {

// Members as a club's spreadsheet holds them: quoted names with their comma, about 85
// characters a row.
QByteArray memberFile(int rows)
{
    QByteArray text = "Name,Address,City State Zip,Phone,Comment\r\n";
    for (int i = 0; i < rows; ++i) {
        text += QStringLiteral("\"Member%1, Firstname%2\",%3 Elm Street,\"Springfield, IL 627%4\",555-%5,joined %6\r\n")
                    .arg(i * 7919 % rows, 6, 10, QLatin1Char('0'))
                    .arg(i % 97)
                    .arg(i % 900 + 1)
                    .arg(i % 100, 2, 10, QLatin1Char('0'))
                    .arg(i % 10000, 4, 10, QLatin1Char('0'))
                    .arg(1990 + i % 30)
                    .toUtf8();
    }
    return text;
}

} // namespace

int benchImport(const Options &options)
{
    const QString sqlite3 = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (sqlite3.isEmpty()) {
        std::fprintf(stderr, "the sqlite3 command-line tool is not installed (scripts/install-deps.sh)\n");
        return 4;
    }
    printHeader(
        QStringLiteral("Import of %1 members from a spreadsheet file (SQLite)").arg(withThousands(options.importRows)));
    WorkFolder work(options, QStringLiteral("import"));
    const QString csv = work.file(QStringLiteral("members.csv"));
    {
        QFile file(csv);
        if (!file.open(QIODevice::WriteOnly) || file.write(memberFile(options.importRows)) < 0)
            qFatal("the member file could not be written");
    }
    const QString folder = work.file(QStringLiteral("program"));
    QDir().mkpath(folder);
    seedDatabase(Backend::Sqlite, folder, 0, 0);
    Program program(Backend::Sqlite, folder);
    Module1 &module = program.module();
    const QString toolDatabase = work.file(QStringLiteral("tool.db"));
    int imported = 0;

    const std::vector<Stats> stats = measureInterleavedSelfTimed(
        options.reps,
        {
            [&] {
                // An empty roster and no copies of earlier rounds, outside the time.
                module.connection.execute(QStringLiteral("delete from members"));
                module.connection.execute(QStringLiteral("delete from changeHistory"));
                QDir(QDir(folder).filePath(QStringLiteral("Backups"))).removeRecursively();
                program.form().FillRoster();
                settle();
                QElapsedTimer timer;
                timer.start();
                const import::ReadResult read = import::readImportFile(csv);
                const import::ColumnMatch match = import::matchColumns(read.table->records);
                const import::Preview preview =
                    import::makePreview(*read.table, match, import::rosterEntries(module.connection),
                                        import::fieldWidths(module.connection));
                if (import::importMembers(module, preview, false).kind != import::ImportResult::Kind::Imported)
                    qFatal("the import stored nothing");
                program.form().FillRoster();
                settle();
                const double ms = elapsedMs(timer);
                imported = module.connection.query(QStringLiteral("select count(*) from members")).field(0).toInt();
                return ms;
            },
            [&] {
                QFile::remove(toolDatabase);
                QElapsedTimer timer;
                timer.start();
                QProcess tool;
                tool.setStandardOutputFile(QProcess::nullDevice());
                tool.start(sqlite3, {toolDatabase, QStringLiteral(".import --csv %1 imported").arg(csv)});
                if (!tool.waitForFinished(600000) || tool.exitCode() != 0)
                    qFatal("sqlite3 .import failed: %s", tool.readAllStandardError().constData());
                return elapsedMs(timer);
            },
        });
    if (imported != options.importRows)
        qFatal("%d members imported of %d", imported, options.importRows);
    printFigure(QStringLiteral("import.sqlite"),
                QStringLiteral("%1 rows read, previewed against the roster and imported through the program's import "
                               "(copy of the database, one transaction with the journal rows, the roster refilled)")
                    .arg(withThousands(options.importRows)),
                stats[0],
                QStringLiteral("the sqlite3 tool's .import --csv of the same file into a new table, as a "
                               "process, start to exit"),
                stats[1], 2.0);
    return 0;
}

} // namespace kelvory::bench
