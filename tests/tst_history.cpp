#include "BackendTest.h"
#include "changes/MemberDetails.h"
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
    void aChangeAndItsUndoAreTakenBackExactly_data();
    void aChangeAndItsUndoAreTakenBackExactly();
    void undoAsksOrRefusesWhenTheMemberChangedSince_data();
    void undoAsksOrRefusesWhenTheMemberChangedSince();
    void aDeletedMemberWhoseIdIsHeldComesBackWithANewId();
    void aChangeOfDetailsIsTakenBackExactly_data();
    void aChangeOfDetailsIsTakenBackExactly();
    void withoutTheTableChangesWorkAsBefore();

private:
    const QStringList kAdams = {"Adams", "1 Elm", "Salem, OR", "555-1", "", "17"};
    const QStringList kBaker = {"Baker", "2 Oak", "Salem, OR", "555-2", "b", "41"};
    void startWithMembers()
    {
        h->addMember(kBaker[0], kBaker[1], kBaker[2], kBaker[3], kBaker[4], 41);
        h->addMember(kAdams[0], kAdams[1], kAdams[2], kAdams[3], kAdams[4], 17);
        QVERIFY(h->start());
    }
    // Makes one change through the main window, as the operator does.
    void change(const QString &command)
    {
        if (command == QLatin1String("Add New")) {
            press(form().Command1);
            pasteMember(form(), {"Carter", "3 Ash", "Salem, OR", "555-3", "c"});
            press(form().Command3);
            return;
        }
        QVERIFY(pickMember(form(), 17));
        if (command == QLatin1String("Update")) {
            typeInto(form(), 1, QStringLiteral("9 New St"));
            press(form().Command2);
        } else {
            h->dialogs.answer(IDYES);
            press(form().Command6);
        }
    }
    // The journal freshly loaded, the row showing `text` made current, and Ctrl+Z with
    // the answers given in order; of several rows with the text, the lowest with `oldest`.
    // False when no row shows the text.
    bool undoRow(const QString &text, const QList<int> &answers, bool oldest = false)
    {
        if (history::History *old = historyWindow(*h->module))
            delete old;
        history::History *window = open();
        for (int step = 1; step < window->Grid1->Rows(); ++step) {
            const int r = oldest ? window->Grid1->Rows() - step : step;
            if (window->Grid1->TextMatrix(r, 2) != text)
                continue;
            window->Grid1->setCurrentIndex(window->Grid1->model()->index(r - 1, 2));
            for (int answer : answers)
                h->dialogs.answer(answer);
            window->activateWindow();
            if (!QTest::qWaitForWindowActive(window))
                return false;
            QTest::keyClick(window->Grid1, Qt::Key_Z, Qt::ControlModifier);
            return true;
        }
        return false;
    }
    QString lastMessage() const { return h->dialogs.messages.isEmpty() ? QString() : h->dialogs.messages.last().text; }
    history::History *open()
    {
        press(form().Command7);
        return historyWindow(*h->module);
    }
    std::optional<changes::MemberDetails> details(qint64 id) const
    {
        return changes::readDetails(h->module->connection, id);
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
    h->addMember(QStringLiteral("Adams"), QStringLiteral("1 Elm"), QStringLiteral("S"), QStringLiteral("1"), QString(),
                 1);
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
        h->exec(
            QStringLiteral("with recursive g(x) as (select 1 union all select x + 1 from g where x < ?) "
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
    const QString failing =
        m_backend == Backend::Sqlite ? QStringLiteral("json('not json')") : QStringLiteral("cast(1 / 0 as varchar)");
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
    QCOMPARE(gridColumn(*window->Grid1, 0),
             QStringList({"2026-12-06", "2026-13-45", "12/6/2026", "12/6/2026", "12/5/2026", "12/7/2026", "20261206",
                          "2.5", ""}));
    QVERIFY(h->dialogs.messages.isEmpty());
}

void TestHistory::aChangeAndItsUndoAreTakenBackExactly_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("done");   // the change's journal text
    QTest::addColumn<QString>("undone"); // the undo's
    QTest::addColumn<QString>("said");
    const QString adams = QStringLiteral("Adams: 1 Elm: Salem, OR: 555-1: ");
    const QString carter = QStringLiteral("Carter: 3 Ash: Salem, OR: 555-3: c");
    QTest::newRow("update") << "Update"
                            << "Changed : Adams: 9 New St: Salem, OR: 555-1: "
                            << "Changed : " + adams << "\"Adams\" has the values back that it had before the change.";
    QTest::newRow("delete") << "DELETE"
                            << "Deleted : " + adams << "Added : " + adams
                            << "\"Adams\" is back on the roster, with its record id 17.";
    QTest::newRow("add") << "Add New"
                         << "Added : " + carter << "Deleted : " + carter
                         << "\"Carter\", added by this change, is removed from the roster.";
}

void TestHistory::aChangeAndItsUndoAreTakenBackExactly()
{
    QFETCH(QString, command);
    QFETCH(QString, done);
    QFETCH(QString, undone);
    QFETCH(QString, said);
    startWithMembers();
    const QList<QStringList> before = members();
    change(command);
    const QList<QStringList> after = members();
    QVERIFY(after != before);

    QVERIFY(undoRow(done, {IDYES}));
    QCOMPARE(lastMessage(), said);
    QCOMPARE(members(), before); // the same five fields and the same id
    QCOMPARE(h->journal().last().transaction, undone);
    QCOMPARE(h->journal().last().person, QStringLiteral("Dorothy"));
    // The roster shows it at once.
    QCOMPARE(column(members::Name).size(), before.size());

    // The undo is a change of its own, and can be taken back in turn.
    QVERIFY(undoRow(undone, {IDYES}));
    QCOMPARE(members(), after);
    QCOMPARE(h->journal().size(), 3);
    // A change taken back once is not taken back twice (the newer row of the same text
    // is the undo's own).
    QVERIFY(undoRow(done, {IDYES}, true));
    QCOMPARE(lastMessage(), QStringLiteral("This change was taken back already. Nothing was changed."));
    QCOMPARE(members(), after);
    QCOMPARE(h->journal().size(), 3);
}

void TestHistory::undoAsksOrRefusesWhenTheMemberChangedSince_data()
{
    QTest::addColumn<QString>("since");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QStringList>("adams"); // as stored afterwards; empty: none
    QTest::addColumn<QString>("said");
    const QString phone = QStringLiteral("update members set phone = '555-9' where recordid = 17");
    QTest::newRow("changed since, kept") << phone << QList<int>{IDYES, IDNO}
                                         << QStringList{"Adams", "9 New St", "Salem, OR", "555-9", "", "17"}
                                         << "Phone: from \"555-1\" to \"555-9\"";
    QTest::newRow("changed since, taken back all the same")
        << phone << QList<int>{IDYES, IDYES} << kAdams << "\"Adams\" has the values back";
    QTest::newRow("renamed or another member under the id")
        << "update members set name = 'Zed' where recordid = 17" << QList<int>{IDYES}
        << QStringList{"Zed", "9 New St", "Salem, OR", "555-1", "", "17"} << "Record id 17 holds \"Zed\" now";
    QTest::newRow("deleted since") << "delete from members where recordid = 17" << QList<int>{IDYES} << QStringList{}
                                   << "No member holds record id 17 any more.";
}

void TestHistory::undoAsksOrRefusesWhenTheMemberChangedSince()
{
    QFETCH(QString, since);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, adams);
    QFETCH(QString, said);
    startWithMembers();
    change(QStringLiteral("Update"));
    h->exec(since);
    const int journalRows = h->journal().size();
    QVERIFY(undoRow(QStringLiteral("Changed : Adams: 9 New St: Salem, OR: 555-1: "), answers));
    QVERIFY2(h->dialogs.texts().join(u'|').contains(said), qPrintable(h->dialogs.texts().join(u'|')));
    QList<QStringList> expected = {kBaker};
    if (!adams.isEmpty())
        expected.prepend(adams);
    QCOMPARE(members(), expected);
    QCOMPARE(h->journal().size(), journalRows + (adams == kAdams ? 1 : 0));
}

void TestHistory::aDeletedMemberWhoseIdIsHeldComesBackWithANewId()
{
    startWithMembers();
    change(QStringLiteral("DELETE"));
    h->addMember(QStringLiteral("Zed"), QString(), QString(), QString(), QString(), 17);
    QVERIFY(undoRow(QStringLiteral("Deleted : Adams: 1 Elm: Salem, OR: 555-1: "), {IDYES}));
    QCOMPARE(lastMessage(),
             QStringLiteral("\"Adams\" is back on the roster, with the new record id 42: its own "
                            "record id 17 is held by another member now."));
    QStringList adams = kAdams;
    adams[5] = QStringLiteral("42");
    QCOMPARE(members(), (QList<QStringList>{{"Zed", "", "", "", "", "17"}, kBaker, adams}));
}

namespace {

// Details whose thirteen values all differ with `n`.
changes::MemberDetails numbered(int n)
{
    const QString k = QString::number(n);
    return {{1940 + n, 1 + n, 2 + n},
            QDate(1990 + n, 3 + n, 4 + n),
            n % 2 ? changes::MemberStatus::Lapsed : changes::MemberStatus::Resigned,
            QDate(2020 + n, 5 + n, 6 + n),
            QDate(2024 + n, 12, 31),
            {{{"Ann " + k, "daughter " + k, "555-1" + k}, {"Bob " + k, "son " + k, "555-2" + k}}}};
}

} // namespace

void TestHistory::aChangeOfDetailsIsTakenBackExactly_data()
{
    QTest::addColumn<bool>("dues"); // else a save of every detail
    QTest::addColumn<QString>("since");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QString>("said");
    QTest::addColumn<QString>("undone"); // the undo's journal text; empty: nothing taken back
    const QString back =
        QStringLiteral("The details of \"Adams\" have the values back that they had before the change.");
    const QString all = QStringLiteral("Details : Adams: lapsed 2021-06-07; born 1941-02-03; joined 1991-04-05; "
                                       "dues paid through 2025-12-31; emergency contacts changed");
    const QString paid = QStringLiteral("update memberDetails set duesPaidThrough = '2031-01-31' where recordid = 17");
    QTest::newRow("a save") << false << QString() << QList<int>{IDYES} << back << all;
    QTest::newRow("dues of two members, one taken back")
        << true << QString() << QList<int>{IDYES} << back << "Details : Adams: dues paid through 2025-12-31";
    QTest::newRow("changed since, kept") << false << paid << QList<int>{IDYES, IDNO}
                                         << "Dues paid through: from \"12/31/2026\" to \"1/31/2031\"" << QString();
    QTest::newRow("changed since, taken back all the same") << false << paid << QList<int>{IDYES, IDYES} << back << all;
    QTest::newRow("the member deleted since") << false << "delete from members where recordid = 17" << QList<int>{IDYES}
                                              << "No member holds record id 17" << QString();
}

void TestHistory::aChangeOfDetailsIsTakenBackExactly()
{
    QFETCH(bool, dues);
    QFETCH(QString, since);
    QFETCH(QList<int>, answers);
    QFETCH(QString, said);
    QFETCH(QString, undone);
    startWithMembers();
    changes::ChangeStore saving{h->module->connection, QStringLiteral("Dorothy"), h->module->today()};
    const changes::MemberDetails first = numbered(1);
    QVERIFY(changes::saveDetails(saving, "17", "Adams", std::nullopt, first).done());
    changes::MemberDetails second = numbered(2);
    if (dues) {
        second = first;
        second.duesPaidThrough = QDate(2030, 12, 31);
        QCOMPARE(changes::recordDues(saving, {{17, "Adams"}, {41, "Baker"}}, second.duesPaidThrough).recorded, 2);
    } else {
        QVERIFY(changes::saveDetails(saving, "17", "Adams", first, second).done());
    }
    const QString done = h->journal().at(1).transaction;
    if (!since.isEmpty())
        h->exec(since);
    const std::optional<changes::MemberDetails> stored = details(17);
    const int journalRows = h->journal().size();

    QVERIFY(undoRow(done, answers));
    QVERIFY2(h->dialogs.texts().join(u'|').contains(said), qPrintable(h->dialogs.texts().join(u'|')));
    QCOMPARE(details(17), undone.isEmpty() ? stored : first);
    QCOMPARE(h->journal().size(), journalRows + (undone.isEmpty() ? 0 : 1));
    if (undone.isEmpty())
        return;
    QCOMPARE(h->journal().last().transaction, undone);
    if (dues)
        QCOMPARE(details(41)->duesPaidThrough, second.duesPaidThrough);
    // The undo is a change of details of its own, taken back in turn; the change is not
    // taken back twice (the newer row of the same text is the undo's own).
    QVERIFY(undoRow(undone, {IDYES}));
    QCOMPARE(details(17), stored);
    QVERIFY(undoRow(done, {IDYES}, true));
    QCOMPARE(lastMessage(), QStringLiteral("This change was taken back already. Nothing was changed."));
    QCOMPARE(details(17), stored);
}

void TestHistory::withoutTheTableChangesWorkAsBefore()
{
    h->exec(QStringLiteral("drop table memberHistory"));
    h->exec(QStringLiteral("drop table memberDetailsHistory"));
    startWithMembers();
    changes::MemberDetails lapsed;
    lapsed.status = changes::MemberStatus::Lapsed;
    changes::ChangeStore saving{h->module->connection, QStringLiteral("Dorothy"), h->module->today()};
    QVERIFY(changes::saveDetails(saving, "41", "Baker", std::nullopt, lapsed).done());
    change(QStringLiteral("Update"));
    change(QStringLiteral("DELETE"));
    QCOMPARE(members(), QList<QStringList>{kBaker});
    QCOMPARE(h->journal().size(), 3);
    QCOMPARE(h->journal().first().transaction, QStringLiteral("Details : Baker: lapsed"));
    QCOMPARE(h->journal().last().transaction, QStringLiteral("Deleted : Adams: 9 New St: Salem, OR: 555-1: "));
    QVERIFY(undoRow(h->journal().last().transaction, {IDYES}));
    if (m_backend == Backend::Sqlite) {
        // The program's own file gets the tables back as it opens.
        QCOMPARE(lastMessage(), QStringLiteral("\"Adams\" is back on the roster, with its record id 17."));
        QCOMPARE(members(), (QList<QStringList>{{"Adams", "9 New St", "Salem, OR", "555-1", "", "17"}, kBaker}));
        QCOMPARE(h->journal().size(), 4);
        QVERIFY(undoRow(QStringLiteral("Details : Baker: lapsed"), {IDYES}));
        QCOMPARE(details(41)->status, changes::MemberStatus::Active);
        // A journal row written without kept values (by the web site, say) says so.
        for (const QString text : {"Added : Cole", "Details : Cole: lapsed"}) {
            h->exec(QStringLiteral("insert into changeHistory values (?, 'Web', ?)"), {QDate::currentDate(), text});
            QVERIFY(undoRow(text, {IDYES}));
            QVERIFY(lastMessage().startsWith(QStringLiteral("This change cannot be taken back: the database kept no")));
        }
        return;
    }
    QVERIFY(lastMessage().startsWith(QStringLiteral("Changes cannot be taken back on this database yet")));
    QVERIFY(undoRow(QStringLiteral("Details : Baker: lapsed"), {IDYES}));
    QVERIFY(lastMessage().startsWith(QStringLiteral("Changes of members' details cannot be taken back on this")));
    QCOMPARE(details(41), lapsed);
    QCOMPARE(members(), QList<QStringList>{kBaker});
    QCOMPARE(h->journal().size(), 3);
}

KELVORY_BACKEND_TEST_MAIN(TestHistory)
#include "tst_history.moc"
