#include "BackendTest.h"
#include "HostileTexts.h"
#include "database/DateText.h"
#include "roster/RosterForm.h"
#include "grid/CommandButton.h"
#include "grid/FlexGrid.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

using namespace kelvory;
using namespace kelvory::test;

namespace {

// Every row of a query on an SQLite file as Qt's driver reads it, turned into text as the grid turns values.
QList<QStringList> readByQt(const QString &file, const QString &sql)
{
    QList<QStringList> rows;
    {
        QSqlDatabase qt = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("qt-reading"));
        qt.setDatabaseName(file);
        if (!qt.open())
            return rows;
        QSqlQuery query(qt);
        query.setForwardOnly(true);
        query.exec(sql);
        while (query.next()) {
            QStringList row;
            for (int k = 0; k < query.record().count(); ++k)
                row << database::displayText(query.value(k));
            rows << row;
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("qt-reading"));
    return rows;
}

} // namespace

class TestRosterFill : public BackendTest
{
    Q_OBJECT
public:
    explicit TestRosterFill(Backend backend) : BackendTest(backend, QStringLiteral("Bob")) {}

    // Every data row of the roster grid, cell by cell.
    QList<QStringList> shownRows() const
    {
        QList<QStringList> rows;
        for (int r = 1; r < grid().Rows(); ++r) {
            QStringList row;
            for (int k = 0; k < grid().Cols(); ++k)
                row << grid().TextMatrix(r, k);
            rows << row;
        }
        return rows;
    }

private Q_SLOTS:
    void membersInNameOrderWithHiddenRecordId();
    void refreshWithUnchangedTableRewritesTheSameGrid();
    void rowsOfAnEarlierLongerRosterAreDropped();
    void emptyTableShowsHeadingAndOneEmptyRow();
    void nullValuesShowAsEmptyText();
    void everyMemberIsShownBeyondTheOldLimit();
    void lostTableEndsInTheErrorReport();
    void namesInOrderWithoutRegardToCase();
    void rowsThatCannotBeReadAreSkipped_data();
    void rowsThatCannotBeReadAreSkipped();
    void everyColumnTypeReadsAsQtReadsIt_data();
    void everyColumnTypeReadsAsQtReadsIt();
    void everySqliteValueReadsAsQtReadsIt();
    void aRosterOfManyBlocksReadsAsQtReadsIt();
    void textOfAUtf16FileReadsAsQtReadsIt();
};

void TestRosterFill::membersInNameOrderWithHiddenRecordId()
{
    h->addMember(QStringLiteral("Baker"), QStringLiteral("2 Oak"), QStringLiteral("Salem, OR"), QStringLiteral("555-2"),
                 QStringLiteral("b"), 2);
    h->addMember(QStringLiteral("Adams"), QStringLiteral("1 Elm"), QStringLiteral("Salem, OR"), QStringLiteral("555-1"),
                 QString(), 17);
    h->addMember(QStringLiteral("Clark"), QStringLiteral("3 Ash"), QStringLiteral("Salem, OR"), QStringLiteral("555-3"),
                 QStringLiteral("c"), 3);
    QVERIFY(h->start());

    QCOMPARE(grid().Rows(), 4);
    QCOMPARE(column(0), QStringList({"Adams", "Baker", "Clark"}));
    QCOMPARE(column(5), QStringList({"17", "2", "3"}));
    QCOMPARE(grid().TextMatrix(1, 1), QStringLiteral("1 Elm"));
    QCOMPARE(grid().TextMatrix(1, 4), QString());
    QCOMPARE(grid().Row(), 3);
    QCOMPARE(grid().Col(), 4);
    for (int c = 0; c < 5; ++c)
        QVERIFY(grid().dataRows().leftAligned(1, c));
    QVERIFY(!grid().dataRows().leftAligned(1, 5));
}

void TestRosterFill::refreshWithUnchangedTableRewritesTheSameGrid()
{
    addManyMembers(*h, 5);
    QVERIFY(h->start());
    QStringList before;
    for (int c = 0; c < 6; ++c)
        before += column(c);
    QTest::mouseClick(h->form().Command8, Qt::LeftButton);
    QStringList after;
    for (int c = 0; c < 6; ++c)
        after += column(c);
    QCOMPARE(after, before);
    QCOMPARE(grid().Rows(), 6);
    QVERIFY(h->dialogs.messages.isEmpty());
}

void TestRosterFill::rowsOfAnEarlierLongerRosterAreDropped()
{
    addManyMembers(*h, 4);
    QVERIFY(h->start());
    QCOMPARE(grid().Rows(), 5);
    h->exec(QStringLiteral("delete from members where recordid = 4"));
    h->form().Command8_Click();
    QCOMPARE(grid().Rows(), 4);
    QCOMPARE(column(0), QStringList({"Member 00001", "Member 00002", "Member 00003"}));
}

void TestRosterFill::emptyTableShowsHeadingAndOneEmptyRow()
{
    h->addMember(QStringLiteral("Last"), QStringLiteral("1 Elm"), QStringLiteral("x"), QStringLiteral("1"), QString(),
                 1);
    QVERIFY(h->start());
    QCOMPARE(grid().TextMatrix(1, 0), QStringLiteral("Last"));
    h->exec(QStringLiteral("delete from members"));
    h->form().Command8_Click();
    QCOMPARE(grid().Rows(), 2);
    for (int c = 0; c < 6; ++c)
        QCOMPARE(grid().TextMatrix(1, c), QString());
    QCOMPARE(grid().TextMatrix(0, 0), QStringLiteral("Name"));
}

void TestRosterFill::nullValuesShowAsEmptyText()
{
    h->exec(QStringLiteral("insert into members values ('Nulls', NULL, NULL, '555', NULL, 9)"));
    QVERIFY(h->start());
    QCOMPARE(grid().Rows(), 2);
    QCOMPARE(grid().TextMatrix(1, 0), QStringLiteral("Nulls"));
    QCOMPARE(grid().TextMatrix(1, 1), QString());
    QCOMPARE(grid().TextMatrix(1, 2), QString());
    QCOMPARE(grid().TextMatrix(1, 3), QStringLiteral("555"));
    QCOMPARE(grid().TextMatrix(1, 5), QStringLiteral("9"));
}

void TestRosterFill::everyMemberIsShownBeyondTheOldLimit()
{
    addManyMembers(*h, 40000);
    QVERIFY(h->start());
    QCOMPARE(grid().Rows(), 40001);
    QCOMPARE(grid().TextMatrix(1, 0), QStringLiteral("Member 00001"));
    QCOMPARE(grid().TextMatrix(32766, 0), QStringLiteral("Member 32766"));
    QCOMPARE(grid().TextMatrix(32767, 0), QStringLiteral("Member 32767"));
    QCOMPARE(grid().TextMatrix(40000, 0), QStringLiteral("Member 40000"));
    QCOMPARE(grid().TextMatrix(40000, 5), QStringLiteral("40000"));
    QCOMPARE(grid().TextMatrix(40000, 1), QStringLiteral("40000 Elm St"));
    QCOMPARE(grid().Row(), 40000);
    QCOMPARE(grid().model()->rowCount(), 40000);
}

void TestRosterFill::lostTableEndsInTheErrorReport()
{
    addManyMembers(*h, 2);
    QVERIFY(h->start());
    h->exec(QStringLiteral("drop table members"));
    h->form().Command8_Click();
    verifyErrorReport(*h, QStringLiteral("members"));
    QCOMPARE(h->dialogs.messages.size(), 1);
    // The grid keeps what it showed.
    QCOMPARE(grid().Rows(), 3);
}

void TestRosterFill::namesInOrderWithoutRegardToCase()
{
    for (const char *name : {"Zed", "adams", "Bob", "carter"})
        h->addMember(QString::fromLatin1(name), QStringLiteral("1 Elm"), QStringLiteral("Salem"), QStringLiteral("555"),
                     QString(), qHash(QByteArray(name)) % 1000);
    QVERIFY(h->start());
    QCOMPARE(column(0), QStringList({"adams", "Bob", "carter", "Zed"}));
}

void TestRosterFill::rowsThatCannotBeReadAreSkipped_data()
{
    QTest::addColumn<int>("failingRow");
    QTest::addColumn<bool>("indexed"); // read in index order, row by row, rather than sorted first
    QTest::newRow("first row") << 1 << false;
    QTest::newRow("row 40") << 40 << true;
}

void TestRosterFill::rowsThatCannotBeReadAreSkipped()
{
    QFETCH(int, failingRow);
    QFETCH(bool, indexed);
    // The members table becomes a view whose value in one row cannot be computed, as a
    // damaged page cannot be read.
    h->exec(QStringLiteral("drop table members"));
    h->exec(QStringLiteral("create table member_rows (name varchar(20), address varchar(20), city varchar(20), "
                           "phone varchar(20), comment varchar(20), recordid integer)"));
    for (int i = 1; i <= 60; ++i)
        h->exec(QStringLiteral("insert into member_rows values (?, 'a', 'c', 'p', '', ?)"),
                {QStringLiteral("Member %1").arg(i, 2, 10, QLatin1Char('0')), i});
    if (indexed)
        h->exec(QStringLiteral("create index member_names on member_rows (name)"));
    const QString failing =
        m_backend == Backend::Sqlite ? QStringLiteral("json('not json')") : QStringLiteral("cast(1 / 0 as varchar)");
    h->exec(QStringLiteral("create view members as select name, address, city, phone, "
                           "case when recordid = %1 then %2 else comment end as comment, recordid from member_rows")
                .arg(failingRow)
                .arg(failing));
    if (m_backend == Backend::Postgres) {
        // The PostgreSQL driver reads the whole result as the query opens: the query
        // itself fails, which is the standard error report.
        QVERIFY(!h->start());
        verifyErrorReport(*h);
        return;
    }
    QVERIFY(h->start());
    // Told once how many are shown; a failure that is not SQLite's "damaged" blames no file.
    QCOMPARE(h->dialogs.messages.size(), 1);
    const QString told = h->dialogs.messages.first().text;
    QVERIFY2(told.startsWith(QStringLiteral("Members shown: %1. The club's database could not be read to its end (")
                                 .arg(failingRow - 1)),
             qPrintable(told));
    QCOMPARE(h->dialogs.messages.first().style, int(MB_OK | MB_ICONERROR));
    QVERIFY(!h->end.ended);
    QCOMPARE(grid().Rows(), qMax(failingRow, 2));
    QCOMPARE(column(0).first(), failingRow == 1 ? QString() : QStringLiteral("Member 01"));
}

void TestRosterFill::everyColumnTypeReadsAsQtReadsIt_data()
{
    QTest::addColumn<QStringList>("types");
    QTest::addColumn<QStringList>("values");
    // Types the reader takes straight from the statement, NULLs among them.
    QTest::newRow("text, whole numbers, dates")
        << QStringList{"varchar(40)", "char(12)", "text", "smallint", "bigint", "integer"}
        << QStringList{"'Émile Zola'", "'1 Rue'", "NULL", "-32768", "9223372036854775807", "NULL"};
    QTest::newRow("dates") << QStringList{"varchar(40)", "date", "date", "varchar(40)", "varchar(40)", "integer"}
                           << QStringList{"'Adams'", "'2026-12-06'", "NULL", "''", "'x'", "17"};
    // Types it leaves to Qt's own reading.
    QTest::newRow("numeric, timestamp, uuid, bytea")
        << QStringList{"varchar(40)", "numeric(10,2)", "timestamp", "uuid", "bytea", "numeric(12,0)"}
        << QStringList{"'Baker'",
                       "1234.50",
                       "'2026-12-06 14:30:00'",
                       "'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11'",
                       "'\\x4b656c766f7279'",
                       "41"};
    QTest::newRow("real, boolean, time") << QStringList{"varchar(40)", "real", "double precision",
                                                        "boolean",     "time", "integer"}
                                         << QStringList{"'Clark'", "2.5", "1e25", "true", "'08:15:00'", "3"};
}

void TestRosterFill::everyColumnTypeReadsAsQtReadsIt()
{
    QFETCH(QStringList, types);
    QFETCH(QStringList, values);
    if (m_backend != Backend::Postgres)
        QSKIP("only the rows of an ODBC statement are read straight from it");
    h->exec(QStringLiteral("drop table members"));
    QStringList columns;
    for (int k = 0; k < types.size(); ++k)
        columns << (k == 0 ? QStringLiteral("name ") : QStringLiteral("c%1 ").arg(k)) + types[k];
    h->exec(QStringLiteral("create table members (%1)").arg(columns.join(QLatin1Char(','))));
    h->exec(QStringLiteral("insert into members values (%1)").arg(values.join(QLatin1Char(','))));
    QVERIFY(h->start());

    // What Qt's own ODBC driver gives for the same query, turned into text as the grid turns values.
    QStringList expected;
    {
        QSqlDatabase qt = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), QStringLiteral("qt-reading"));
        qt.setDatabaseName(database::connectionString(postgresSettings()));
        QVERIFY(qt.open());
        QSqlQuery query(qt);
        QVERIFY(query.exec(QStringLiteral("Select * from members order by name")));
        QVERIFY(query.next());
        for (int k = 0; k < types.size(); ++k)
            expected << database::displayText(query.value(k));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("qt-reading"));
    QStringList shown;
    for (int k = 0; k < types.size(); ++k)
        shown << grid().TextMatrix(1, k);
    QCOMPARE(shown, expected);
}

void TestRosterFill::everySqliteValueReadsAsQtReadsIt()
{
    if (m_backend != Backend::Sqlite)
        QSKIP("SQLite keeps a value of any kind in any column");
    // A table without declared types keeps every value as it was given. Each value fills
    // a whole row, so that every column meets every kind; the rows after the first are
    // read from the statement itself, not by Qt's driver.
    h->exec(QStringLiteral("drop table members"));
    h->exec(QStringLiteral("create table members (name, address, city, phone, comment, recordid)"));
    const QStringList literals = {
        "NULL", "0", "-1", "17", "-9223372036854775808", "9223372036854775807", "2.5", "1e25", "-0.0", "0.1", "1e-7",
        "123456789012.75", "9e999", "-9e999", "''", "x''", "x'00'", "x'4b656c766f7279'", "x'ff41c3'", "x'efbbbf41'",
        "x'410042'", "char(0) || 'a'", "cast(x'00d84100' as text)",
        // Text that is no valid UTF-8, and the two codes SQLite does not give back as stored.
        "cast(x'41ff42c3' as text)", "cast(x'eda080' as text)", "cast(x'efbfbeefbfbf' as text)"};
    for (const QString &literal : literals)
        h->exec(QStringLiteral("insert into members values (%1, %1, %1, %1, %1, %1)").arg(literal));
    for (const HostileText &hostile : storableHostileTexts())
        h->exec(QStringLiteral("insert into members values (?,?,?,?,?,?)"), QVariantList(6, hostile.text));
    QVERIFY(h->start());

    const QList<QStringList> expected = readByQt(QDir(h->folder.path()).filePath(QStringLiteral("Kelvory.db")),
                                                 QStringLiteral("Select * from members order by name"));
    QCOMPARE(expected.size(), literals.size() + storableHostileTexts().size());
    QCOMPARE(shownRows(), expected);
}

void TestRosterFill::aRosterOfManyBlocksReadsAsQtReadsIt()
{
    if (m_backend != Backend::Sqlite)
        QSKIP("SQLite keeps a value of any kind in any column");
    // Enough rows for many blocks of packed rows, the later ones made ready on the spare
    // core; each row's name is its place, so any row out of its place shows.
    h->exec(QStringLiteral("drop table members"));
    h->exec(QStringLiteral("create table members (name, address, city, phone, comment, recordid)"));
    h->exec(QStringLiteral(
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < 5000) "
        "insert into members select printf('%05d', i), case i % 7 when 0 then NULL when 1 then 'Émile Zola' "
        "when 2 then i * 1000003 when 3 then i / 8.0 when 4 then x'4b6c' when 5 then '' else printf('%0*d', i % 300, "
        "7) "
        "end, 'Rue ' || char(0x1F600 + i % 50), i % 3, substr('plain ASCII text', 1 + i % 16), i from n"));
    QVERIFY(h->start());
    const QList<QStringList> expected = readByQt(QDir(h->folder.path()).filePath(QStringLiteral("Kelvory.db")),
                                                 QStringLiteral("Select * from members order by name"));
    QCOMPARE(expected.size(), 5000);
    QCOMPARE(shownRows(), expected);
}

void TestRosterFill::textOfAUtf16FileReadsAsQtReadsIt()
{
    if (m_backend != Backend::Sqlite)
        QSKIP("a file made by another program may keep its text in UTF-16");
    const QString file = QDir(h->folder.path()).filePath(QStringLiteral("utf16.db"));
    {
        QSqlDatabase made = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("utf16"));
        made.setDatabaseName(file);
        QVERIFY(made.open());
        QSqlQuery query(made);
        QVERIFY(query.exec(QStringLiteral("pragma encoding = 'UTF-16le'")));
        QVERIFY(query.exec(QStringLiteral("create table members (name, address)")));
        // A lone surrogate, U+FFFF, accented and plain text.
        for (const char *value :
             {"'Adams'", "cast(x'00d84100' as text)", "cast(x'ffff4200' as text)", "'Émile'", "'Zola'"})
            QVERIFY(query.exec(QStringLiteral("insert into members values (%1, %1)").arg(QString::fromUtf8(value))));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("utf16"));

    database::Connection connection;
    connection.openEmbedded(file);
    const QString sql = QStringLiteral("select * from members order by rowid");
    QList<QStringList> shown;
    for (database::ResultSet result = connection.openQuery(sql); !result.eof(); result.moveNext())
        shown << QStringList{result.text(0).toString(), result.text(1).toString()};
    QCOMPARE(shown.size(), 5);
    QCOMPARE(shown, readByQt(file, sql));
}

KELVORY_BACKEND_TEST_MAIN(TestRosterFill)
#include "tst_rosterfill.moc"
