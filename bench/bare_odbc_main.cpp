// kelvory_bench_bare_odbc <connection string> <query>
// The best read of the ODBC C API as a process of its own: connect, fetch the query in
// blocks of 1024 rows with every column bound once (UTF-8 texts widened here, dates and
// whole numbers bound as such), keep the texts packed in memory, nothing else. Prints
// "READ <values>".
#include "BareRead.h"

#include <QCoreApplication>

#include <cstdio>
#include <exception>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    try {
        const std::unique_ptr<kelvory::bench::BareReader> reader =
            kelvory::bench::odbcBlockReader(QString::fromLocal8Bit(argv[1]), true);
        std::printf("READ %zu\n", reader->read(QString::fromLocal8Bit(argv[2])));
    } catch (const std::exception &failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 1;
    }
    return 0;
}
