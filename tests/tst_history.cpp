#include "BackendTest.h"
#include "history/History.h"
#include "roster/RosterForm.h"
#include "grid/CommandButton.h"
#include "grid/FlexGrid.h"

#include <QDate>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

using namespace kelvory;
using namespace kelvory::test;

class TestHistory : public BackendTest
{
    Q_OBJECT
public:
    using BackendTest::BackendTest;

private Q_SLOTS:
    void windowLayout();
    void emptyJournalShowsHeadingsAndOneEmptyRow();
    void oneRowMakesExactlyTwoGridRows();
    void newestFirstByTheActualDate();
    void nullsShowAsEmptyCells();
    void contentIsTheJournalAsItStoodWhenLoaded();
    void everyJournalRowIsListedInOrder();
    void journalThatCannotBeReadToItsEndIsReported();
    void datesOfEveryKindShowAsBefore();

private:
    history::History *open()
    {
        press(form().Command7);
        return historyWindow(*h->module);
    }
    void journal(QDate date, const QString &person, const QString &text)
    {
        h->exec(QStringLiteral("insert into changeHistory values (?,?,?)"), {date, person, text});
    }
};

void TestHistory::windowLayout()
{
    QVERIFY(h->start());
    history::History *window = open();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QVERIFY(!window->isModal());
    QVERIFY(!window->parentWidget());
    QCOMPARE(window->windowTitle(), QStringLiteral("Transaction History"));
    // The layout in pixels at 96 dpi, where 15 twips make one pixel.
    QCOMPARE(window->logicalDpiX(), 96);
    QCOMPARE(window->size(), QSize(877, 455));
    QCOMPARE(window->Grid1->geometry(), QRect(6, 56, 857, 391));
    QCOMPARE(window->Command4->geometry(), QRect(0, 0, 59, 51));
    QCOMPARE(window->Command4->text(), QStringLiteral("EXIT"));
    QCOMPARE(window->Label2->text(), QStringLiteral(" Transaction History"));
    QCOMPARE(window->Grid1->Cols(), 3);
    const int widths[3] = {1200, 1200, 10000};
    const QStringList headings = {"Date", "Person", "Transaction"};
    for (int c = 0; c < 3; ++c) {
        QCOMPARE(window->Grid1->ColWidth(c), widths[c]);
        QCOMPARE(window->Grid1->TextMatrix(0, c), headings[c]);
    }
    // The main window stays usable while it is open.
    QVERIFY(h->form().isEnabled());
    h->form().Command8_Click();
    QVERIFY(h->dialogs.messages.isEmpty());
}

void TestHistory::emptyJournalShowsHeadingsAndOneEmptyRow()
{
    QVERIFY(h->start());
    history::History *window = open();
    QCOMPARE(window->Grid1->Rows(), 2);
    for (int c = 0; c < 3; ++c)
        QCOMPARE(window->Grid1->TextMatrix(1, c), QString());
    QVERIFY(h->dialogs.messages.isEmpty());
}

void TestHistory::oneRowMakesExactlyTwoGridRows()
{
    const QString text = QStringLiteral("Changed : Baker, Thomas: ") + QString(300, QLatin1Char('x'));
    journal(QDate(2026, 12, 6), QStringLiteral("Bob"), text);
    QVERIFY(h->start());
    history::History *window = open();
    QCOMPARE(window->Grid1->Rows(), 2);
    QCOMPARE(window->Grid1->TextMatrix(1, 0), QStringLiteral("12/6/2026"));
    QCOMPARE(window->Grid1->TextMatrix(1, 1), QStringLiteral("Bob"));
    QCOMPARE(window->Grid1->TextMatrix(1, 2), text); // whole, however long
}

void TestHistory::newestFirstByTheActualDate()
{
    journal(QDate(2026, 12, 6), QStringLiteral("Bob"), QStringLiteral("middle"));
    journal(QDate(2026, 9, 30), QStringLiteral("Bob"), QStringLiteral("oldest"));
    journal(QDate(2027, 1, 2), QStringLiteral("Ann"), QStringLiteral("newest"));
    QVERIFY(h->start());
    history::History *window = open();
    QCOMPARE(window->Grid1->Rows(), 4);
    QCOMPARE(window->Grid1->TextMatrix(1, 0), QStringLiteral("1/2/2027"));
    QCOMPARE(window->Grid1->TextMatrix(2, 0), QStringLiteral("12/6/2026"));
    QCOMPARE(window->Grid1->TextMatrix(3, 0), QStringLiteral("9/30/2026"));
    QCOMPARE(window->Grid1->TextMatrix(1, 2), QStringLiteral("newest"));
    QCOMPARE(window->Grid1->TextMatrix(3, 2), QStringLiteral("oldest"));
}

void TestHistory::nullsShowAsEmptyCells()
{
    h->exec(QStringLiteral("insert into changeHistory values (NULL, NULL, 'written by the web site')"));
    h->exec(QStringLiteral("insert into changeHistory values (?, 'Ann', NULL)"), {QDate(2026, 3, 4)});
    QVERIFY(h->start());
    history::History *window = open();
    QCOMPARE(window->Grid1->Rows(), 3);
    QStringList cells;
    for (int r = 1; r <= 2; ++r)
        for (int c = 0; c < 3; ++c)
            cells.append(window->Grid1->TextMatrix(r, c));
    // Where a backend sorts NULL dates is its own business; both rows are there, NULLs empty.
    QVERIFY(cells.contains(QStringLiteral("written by the web site")));
    QVERIFY(cells.contains(QStringLiteral("3/4/2026")));
    QCOMPARE(cells.count(QString()), 3);
}

void TestHistory::contentIsTheJournalAsItStoodWhenLoaded()
{
    journal(QDate(2026, 1, 1), QStringLiteral("Ann"), QStringLiteral("first"));
    h->addMember(QStringLiteral("Adams"), QStringLiteral("1 Elm"), QStringLiteral("S"), QStringLiteral("1"), QString(), 1);
    QVERIFY(h->start());
    QPointer<history::History> window = open();
    QCOMPARE(window->Grid1->Rows(), 2);

    // A change made while the window is open does not show in it ...
    h->form().setBoxText(0, QStringLiteral("Baker"));
    h->form().setBoxText(1, QStringLiteral("2 Oak"));
    h->form().setBoxText(2, QStringLiteral("S"));
    h->form().setBoxText(3, QStringLiteral("2"));
    press(h->form().Command3);
    QCOMPARE(h->dialogs.texts(), QStringList{"Record Added"});
    QCOMPARE(window->Grid1->Rows(), 2);

    // ... nor after a second press, which brings the same window forward without a new query.
    QCOMPARE(open(), window.data());
    QCOMPARE(window->Grid1->Rows(), 2);
    int windows = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        windows += qobject_cast<history::History *>(w) && w->isVisible() ? 1 : 0;
    QCOMPARE(windows, 1);

    // Closed and opened again, it lists the new row at the top.
    press(window->Command4);
    QTRY_VERIFY(!window);
    history::History *again = open();
    QCOMPARE(again->Grid1->Rows(), 3);
    QCOMPARE(again->Grid1->TextMatrix(1, 2), QStringLiteral("Added : Baker: 2 Oak: S: 2: "));
    QCOMPARE(again->Grid1->TextMatrix(1, 1), QStringLiteral("Dorothy"));
    QCOMPARE(again->Grid1->TextMatrix(1, 0), QLocale().toString(QDate::currentDate(), QStringLiteral("M/d/yyyy")));
}

void TestHistory::everyJournalRowIsListedInOrder()
{
    const int n = 40000;
    if (m_backend == Backend::Sqlite) {
        h->exec(QStringLiteral("with recursive g(x) as (select 1 union all select x + 1 from g where x < ?) "
                               "insert into changeHistory select date('2020-01-01', '+' || (x * 7919 % 2000) || ' days'), "
                               "'Ann', 'row ' || x from g"),
                {n});
    } else {
        h->exec(QStringLiteral("insert into changeHistory select date '2020-01-01' + (g * 7919 % 2000), 'Ann', "
                               "'row ' || g from generate_series(1, ?) g"),
                {n});
    }
    QVERIFY(h->start());
    history::History *window = open();
    grid::FlexGrid &grid = *window->Grid1;
    QCOMPARE(grid.Rows(), n + 1);
    QDate previous = QDate(9999, 12, 31);
    QSet<QString> texts;
    for (int r = 1; r <= n; ++r) {
        const QDate date = QDate::fromString(grid.TextMatrix(r, 0), QStringLiteral("M/d/yyyy"));
        QVERIFY2(date.isValid() && date <= previous, qPrintable(QStringLiteral("row %1").arg(r)));
        previous = date;
        texts.insert(grid.TextMatrix(r, 2));
    }
    QCOMPARE(texts.size(), n);
    QCOMPARE(grid.Row(), n);
}

void TestHistory::journalThatCannotBeReadToItsEndIsReported()
{
    // The journal becomes a view whose text in its 41st newest row cannot be computed,
    // read in date order from an index, as a damaged page in the middle cannot be read.
    h->exec(QStringLiteral("drop table changeHistory"));
    h->exec(QStringLiteral("create table journal_rows (date date, person varchar(20), description varchar(20))"));
    h->exec(QStringLiteral("create index journal_dates on journal_rows (date)"));
    for (int i = 1; i <= 3000; i += 500) {
        QVariantList values;
        QStringList rows;
        for (int k = i; k < i + 500; ++k) {
            values << QDate(2020, 1, 1).addDays(k) << QStringLiteral("Ann") << QStringLiteral("row %1").arg(k);
            rows << QStringLiteral("(?,?,?)");
        }
        h->exec(QStringLiteral("insert into journal_rows values ") + rows.join(QLatin1Char(',')), values);
    }
    const QString failing = m_backend == Backend::Sqlite ? QStringLiteral("json('not json')")
                                                          : QStringLiteral("cast(1 / 0 as varchar)");
    h->exec(QStringLiteral("create view changehistory as select date, person, "
                           "case when description = 'row 2960' then %1 else description end as description "
                           "from journal_rows")
                .arg(failing));
    // On SQLite the report gives the number and words that Qt's driver gives for the row.
    QString words;
    if (m_backend == Backend::Sqlite) {
        int rows = 0;
        {
            QSqlDatabase qt = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("qt-reading"));
            qt.setDatabaseName(QDir(h->folder.path()).filePath(QStringLiteral("Kelvory.db")));
            qt.open();
            QSqlQuery query(qt);
            query.setForwardOnly(true);
            query.exec(QStringLiteral("Select * from changehistory order by date desc"));
            while (query.next())
                ++rows;
            const Failure failure = database::failureFrom(query.lastError());
            words = QStringLiteral("Run-time error '%1':\r\n\r\n%2").arg(failure.number(), failure.description());
        }
        QSqlDatabase::removeDatabase(QStringLiteral("qt-reading"));
        QCOMPARE(rows, 40);
    }
    QVERIFY(h->start());
    open();
    verifyErrorReport(*h, words);
}

void TestHistory::datesOfEveryKindShowAsBefore()
{
    if (m_backend != Backend::Sqlite)
        QSKIP("SQLite keeps a value of any kind in the date column");
    // Only a stored text in the ISO form is a date to show in the short form; the same
    // characters as bytes, and numbers, show as they are. Newest first is SQLite's order
    // of kinds: bytes, texts, numbers, NULL.
    h->exec(QStringLiteral("drop table changeHistory"));
    h->exec(QStringLiteral("create table changeHistory (date, person, description)"));
    for (const char *date : {"'2026-12-06'", "'2026-12-06'", "x'323032362d31322d3036'", "'2026-13-45'", "20261206",
                             "2.5", "NULL", "'12/7/2026'", "'2026-12-05'"})
        h->exec(QStringLiteral("insert into changeHistory values (%1, 'Ann', 'x')").arg(QLatin1String(date)));
    QVERIFY(h->start());
    history::History *window = open();
    QCOMPARE(gridColumn(*window->Grid1, 0), QStringList({"2026-12-06", "2026-13-45", "12/6/2026", "12/6/2026",
                                                         "12/5/2026", "12/7/2026", "20261206", "2.5", ""}));
    QVERIFY(h->dialogs.messages.isEmpty());
}

KELVORY_BACKEND_TEST_MAIN(TestHistory)
#include "tst_history.moc"
