// kelvory_bench_bare_qt <Kelvory.db>
// The bare start of a reader through Qt's SQLite driver: connect and read every column
// of every member row into QStrings, nothing else. Prints "READ <rows>".
#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <cstdio>
#include <vector>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    int rows = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
        db.setDatabaseName(QString::fromLocal8Bit(argv[1]));
        if (!db.open())
            return 1;
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (!query.exec(QStringLiteral("Select * from members order by name")))
            return 1;
        const int cols = query.record().count();
        std::vector<QString> values;
        while (query.next()) {
            for (int k = 0; k < cols; ++k)
                values.push_back(query.value(k).toString());
            ++rows;
        }
    }
    std::printf("READ %d\n", rows);
    return 0;
}
