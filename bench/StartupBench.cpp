// Start-up of the real program in a fresh process against fresh processes that only
// connect and read the same rows.
#include "Benches.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <cstdio>

namespace kelvory::bench {

int benchStartup(const Options &options)
{
    const int members = options.startupMembers;
    printHeader(QStringLiteral("Start-up with %1 members on the embedded default, fresh processes")
                    .arg(withThousands(members)));
    WorkFolder folder(options, QStringLiteral("startup"));
    seedDatabase(Backend::Sqlite, folder.path(), members, 0);
    writeUserFile(folder.path());
    const QString here = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    const QString database = folder.file(QStringLiteral("Kelvory.db"));
    const QByteArray read = "READ " + QByteArray::number(members);

    const std::vector<Stats> s =
        measureInterleaved(options.reps,
                           {
                               [&] {
                                   // The front end ends at once when the window is up; its lock is cleared here so
                                   // that no start has to look into a stale one.
                                   QFile::remove(folder.file(QStringLiteral("Kelvory.lock")));
                                   runToEnd(here + QStringLiteral("kelvory_bench_start"), {folder.path()},
                                            "SHOWN " + QByteArray::number(members));
                               },
                               [&] { runToEnd(here + QStringLiteral("kelvory_bench_bare_qt"), {database}, read); },
                               [&] { runToEnd(here + QStringLiteral("kelvory_bench_bare_sqlite"), {database}, read); },
                           });
    const QString what = QStringLiteral("process start to the main window shown and painted with %1 members "
                                        "(the real Module1::Main: lock, connect, admission, version check, "
                                        "FillRoster)")
                             .arg(withThousands(members));
    printFigure(QStringLiteral("startup.qt-driver"), what, s[0],
                QStringLiteral("(a) process start to end: Qt's SQLite driver connects and reads the same rows into "
                               "QStrings"),
                s[1]);
    printFigure(QStringLiteral("startup.native"), what, s[0],
                QStringLiteral("(b) process start to end: the SQLite C API connects and reads the same rows into "
                               "UTF-16 strings, no Qt"),
                s[2]);
    return 0;
}

} // namespace kelvory::bench
