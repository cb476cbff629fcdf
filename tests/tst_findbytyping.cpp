// Finding a member by typing in the roster grid: the first name that begins with what was
// typed, without regard to case, accents or the blanks and punctuation before it,
// highlighted but not picked until Enter; a slow typist's pause, Backspace and Escape.
#include "BackendTest.h"
#include "roster/FindByTyping.h"
#include "roster/RosterForm.h"
#include "grid/CommandButton.h"
#include "grid/FlexGrid.h"

#include <QLabel>
#include <QtTest>

using namespace kelvory;
using namespace kelvory::test;

namespace {
constexpr int kInterval = 300;
constexpr int kPause = 450;
} // namespace

class TestFindByTyping : public BackendTest
{
    Q_OBJECT
public:
    using BackendTest::BackendTest;

private Q_SLOTS:
    void init();
    void cleanup();

    void namesMatchWithoutRegardToCaseOrAccents_data();
    void namesMatchWithoutRegardToCaseOrAccents();

    void keysAsTheOperatorTypesThem_data();
    void keysAsTheOperatorTypesThem();

    void typingHighlightsTheFirstMatchWithoutPicking();
    void aPauseStartsANewSearch();
    void aSearchWithoutMatchLeavesTheHighlight();
    void enterPicksTheHighlightedRowAsAClickDoes();
    void aRowFarDownIsScrolledIntoView();
    void membersAddedSinceTheLastSearchAreFound();

private:
    // The grid row (1-based) holding the name; the order is the server's.
    int rowOf(const QString &name) { return static_cast<int>(column(0).indexOf(name)) + 1; }
    // The row the view highlights (1-based), or 0.
    int highlightedRow();
    void typeInGrid(const QString &text) { QTest::keyClicks(&grid(), text); }
    void startWithMembers(const QStringList &names);
    roster::FindByTyping &finder() const { return *form().findChild<roster::FindByTyping *>(); }
    // Keys sent one after the other take microseconds; a pause is kPause.
    void shortenPause() { finder().setPause(std::chrono::milliseconds(kInterval)); }

    int m_savedInterval = 0;
};

void TestFindByTyping::init()
{
    BackendTest::init();
    m_savedInterval = QApplication::keyboardInputInterval();
    // Keys sent one after the other take microseconds; a pause is kPause.
    QApplication::setKeyboardInputInterval(kInterval);
}

void TestFindByTyping::cleanup()
{
    QApplication::setKeyboardInputInterval(m_savedInterval);
    BackendTest::cleanup();
}

void TestFindByTyping::startWithMembers(const QStringList &names)
{
    qint64 id = 0;
    for (const QString &name : names) {
        ++id;
        h->addMember(name, QStringLiteral("%1 Elm St").arg(id), QStringLiteral("Salem, OR 97301"),
                     QStringLiteral("555-%1").arg(id, 4, 10, QLatin1Char('0')), QString(), id);
    }
    QVERIFY(h->start());
    shortenPause();
    grid().setFocus();
}

int TestFindByTyping::highlightedRow()
{
    const QModelIndexList rows = grid().selectionModel()->selectedRows();
    if (rows.size() != 1 || grid().currentIndex().row() != rows.first().row())
        return 0;
    return rows.first().row() + 1;
}

void TestFindByTyping::namesMatchWithoutRegardToCaseOrAccents_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("matches");
    QTest::newRow("case") << "Nguyen, Van"
                          << "NG" << true;
    QTest::newRow("accent in the name") << "Émile Zola"
                                        << "emi" << true;
    QTest::newRow("accent typed") << "Zoe Adler"
                                  << "zoë" << true;
    QTest::newRow("accent decomposed") << QString::fromUtf8("E\u0301mile") << "Émi" << true;
    QTest::newRow("several accents") << "Đặng Thị Ánh"
                                     << "dang thi a" << true;
    QTest::newRow("stroke") << "Łukasz Østergaard"
                            << "lukasz os" << true;
    QTest::newRow("ligature and sharp s") << "Strauß-Ærø"
                                          << "strauss-aero" << true;
    QTest::newRow("ligature half typed") << "Æsop"
                                         << "a" << true;
    QTest::newRow("beyond a surrogate pair") << "𝒜ndrews"
                                             << "𝒜n" << true;
    QTest::newRow("leading blanks, hidden by the grid") << "  Spacey Lead"
                                                        << "spac" << true;
    QTest::newRow("a leading quote") << "\"Quoted\" Name"
                                     << "quot" << true;
    QTest::newRow("only the leading ones are passed over") << "  O'Brien"
                                                           << "obr" << false;
    QTest::newRow("punctuation counts") << "O'Brien, Kate"
                                        << "ob" << false;
    QTest::newRow("different letter") << "Émile Zola"
                                      << "emu" << false;
    QTest::newRow("typed past the end") << "Ng"
                                        << "ngo" << false;
    QTest::newRow("inside, not at the start") << "Van Nguyen"
                                              << "ng" << false;
}

void TestFindByTyping::namesMatchWithoutRegardToCaseOrAccents()
{
    QFETCH(QString, name);
    QFETCH(QString, typed);
    QFETCH(bool, matches);
    QCOMPARE(roster::nameStartsWithFolded(name, roster::foldedForSearch(typed)), matches);
    // For a name that begins with its first letter, folding the whole name and comparing
    // its beginning says the same.
    if (QChar::isLetter(name.toUcs4().constFirst())) {
        const std::u32string whole = roster::foldedForSearch(name);
        QCOMPARE(whole.starts_with(roster::foldedForSearch(typed)), matches);
    }
}

void TestFindByTyping::keysAsTheOperatorTypesThem_data()
{
    // Steps: letters, each code point one key as a keyboard sends it; <BS> Backspace;
    // <ESC> Escape; <wait N> a pause of N ms. The program's own 1.5 s pause is in force.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("highlighted");
    QTest::addColumn<QString>("typed");
    QTest::newRow("a slow typist's 0.7 s pause") << QStringList{"n", "<wait 700>", "g"} << "Ngo, Lan"
                                                 << "ng";
    QTest::newRow("a pause past 1.5 s begins anew") << QStringList{"n", "<wait 1700>", "g"} << "Garcia, Ana"
                                                    << "g";
    QTest::newRow("Backspace, the highlight follows") << QStringList{"ngu", "<BS>"} << "Ngo, Lan"
                                                      << "ng";
    QTest::newRow("Escape ends the search") << QStringList{"ng", "<ESC>", "a"} << "Abbott, Helen"
                                            << "a";
    QTest::newRow("leading blanks") << QStringList{"spac"} << "  Spacey Lead"
                                    << "spac";
    QTest::newRow("beyond the BMP") << QStringList{"𠮷田"} << "𠮷田, Hanako"
                                    << "𠮷田";
    QTest::newRow("Backspace takes a whole pair") << QStringList{"𠮷", "<BS>", "吉"} << "吉川, Jiro"
                                                  << "吉";
}

void TestFindByTyping::keysAsTheOperatorTypesThem()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, highlighted);
    QFETCH(QString, typed);
    for (const char *name :
         {"Abbott, Helen", "Garcia, Ana", "Nguyen, Van", "Ngo, Lan", "  Spacey Lead", "𠮷田, Hanako", "吉川, Jiro"})
        h->addMember(QString::fromUtf8(name), QStringLiteral("1 Elm St"), QStringLiteral("Salem"),
                     QStringLiteral("555"), QString(), h->members().size() + 1);
    QVERIFY(h->start());
    grid().setFocus();
    for (const QString &step : steps) {
        if (step.startsWith(QLatin1String("<wait ")))
            QTest::qWait(step.mid(6).chopped(1).toInt());
        else if (step.startsWith(u'<'))
            QTest::keyClick(&grid(), step == QLatin1String("<BS>") ? Qt::Key_Backspace : Qt::Key_Escape);
        else
            for (const char32_t letter : step.toUcs4())
                QTest::sendKeyEvent(QTest::Click, &grid(), Qt::Key_unknown, QString::fromUcs4(&letter, 1), {});
    }
    QCOMPARE(highlightedRow(), rowOf(highlighted));
    QCOMPARE(finder().typed(), typed);
    // The tip shows what is sought; nothing is picked.
    QVERIFY(finder().tip().isVisible());
    QCOMPARE(finder().tip().text(), QStringLiteral("Find: ") + typed);
    QCOMPARE(boxes(), QStringList(6, QString()));
}

void TestFindByTyping::typingHighlightsTheFirstMatchWithoutPicking()
{
    startWithMembers({"Abbott, Helen", "Nguyen, Van", "Ngo, Lan", "Émile Zola", "Emerson, Ruth"});
    const int rowBefore = grid().Row();
    const QStringList boxesBefore = boxes();

    typeInGrid(QStringLiteral("ng"));
    // Of the two names beginning with "ng", the one the grid lists first.
    const int ngo = rowOf(QStringLiteral("Ngo, Lan"));
    const int nguyen = rowOf(QStringLiteral("Nguyen, Van"));
    QCOMPARE(highlightedRow(), std::min(ngo, nguyen));
    typeInGrid(QStringLiteral("u"));
    QCOMPARE(highlightedRow(), nguyen);
    QCOMPARE(h->form().findChild<roster::FindByTyping *>()->typed(), QStringLiteral("ngu"));

    // Not picked: the boxes and the program's current cell are as they were.
    QCOMPARE(boxes(), boxesBefore);
    QCOMPARE(grid().Row(), rowBefore);
    QVERIFY(h->dialogs.messages.isEmpty());
}

void TestFindByTyping::aPauseStartsANewSearch()
{
    startWithMembers({"Abbott, Helen", "Nguyen, Van", "Émile Zola"});
    typeInGrid(QStringLiteral("ng"));
    QCOMPARE(highlightedRow(), rowOf(QStringLiteral("Nguyen, Van")));
    QTest::qWait(kPause);
    typeInGrid(QStringLiteral("e"));
    QCOMPARE(highlightedRow(), rowOf(QStringLiteral("Émile Zola")));
    QTest::qWait(kPause);
    typeInGrid(QStringLiteral("a"));
    QCOMPARE(highlightedRow(), rowOf(QStringLiteral("Abbott, Helen")));

    // Without the pause the same keys make one search: "nge" matches nobody.
    QTest::qWait(kPause);
    typeInGrid(QStringLiteral("ng"));
    typeInGrid(QStringLiteral("e"));
    QCOMPARE(highlightedRow(), rowOf(QStringLiteral("Nguyen, Van")));
    QCOMPARE(h->form().findChild<roster::FindByTyping *>()->typed(), QStringLiteral("nge"));
    // Once the pause is over the tip is gone, and the resting window is as it was.
    QVERIFY(finder().tip().isVisible());
    QTRY_VERIFY(!finder().tip().isVisible());
}

void TestFindByTyping::aSearchWithoutMatchLeavesTheHighlight()
{
    startWithMembers({"Abbott, Helen", "Nguyen, Van", "Zimmer, Paul"});
    QCOMPARE(highlightedRow(), 0);
    typeInGrid(QStringLiteral("q"));
    QCOMPARE(highlightedRow(), 0);
    QVERIFY(!grid().selectionModel()->hasSelection());

    QTest::qWait(kPause);
    typeInGrid(QStringLiteral("nguyen"));
    const int nguyen = rowOf(QStringLiteral("Nguyen, Van"));
    QCOMPARE(highlightedRow(), nguyen);
    typeInGrid(QStringLiteral("x"));
    QCOMPARE(highlightedRow(), nguyen);
    // A blank in the middle belongs to the search; at the start of one it begins nothing.
    QTest::qWait(kPause);
    typeInGrid(QStringLiteral(" "));
    QCOMPARE(highlightedRow(), nguyen);
    typeInGrid(QStringLiteral("zimmer, p"));
    QCOMPARE(highlightedRow(), rowOf(QStringLiteral("Zimmer, Paul")));
}

void TestFindByTyping::enterPicksTheHighlightedRowAsAClickDoes()
{
    startWithMembers({"Abbott, Helen", "Émile Zola", "Nguyen, Van"});
    // Enter with nothing highlighted picks nothing.
    QTest::keyClick(&grid(), Qt::Key_Return);
    QCOMPARE(boxes(), QStringList(6, QString()));

    typeInGrid(QStringLiteral("emi"));
    const int row = rowOf(QStringLiteral("Émile Zola"));
    QCOMPARE(highlightedRow(), row);
    QTest::keyClick(&grid(), Qt::Key_Return);
    const QStringList picked = boxes();
    QCOMPARE(picked.first(), QStringLiteral("Émile Zola"));
    QCOMPARE(grid().Row(), row);
    QCOMPARE(grid().Col(), 5);

    // A click on the same row fills the boxes with the same six texts.
    press(form().Command1); // CLEAR
    QCOMPARE(boxes(), QStringList(6, QString()));
    clickRow(row);
    QCOMPARE(boxes(), picked);
    QCOMPARE(picked, QStringList({"Émile Zola", "2 Elm St", "Salem, OR 97301", "555-0002", "", "2"}));

    // The keypad's Enter picks too.
    grid().setFocus();
    QTest::qWait(kPause);
    typeInGrid(QStringLiteral("ng"));
    QTest::keyClick(&grid(), Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(form().boxText(0), QStringLiteral("Nguyen, Van"));
    QVERIFY(h->dialogs.messages.isEmpty());
}

void TestFindByTyping::aRowFarDownIsScrolledIntoView()
{
    addManyMembers(*h, 400);
    h->addMember(QStringLiteral("Zimmer, Paul"), QStringLiteral("31 Cedar Ave"), QStringLiteral("Salem"),
                 QStringLiteral("555"), QString(), 1000);
    QVERIFY(h->start());
    shortenPause();
    grid().setFocus();
    const int row = rowOf(QStringLiteral("Zimmer, Paul"));
    QCOMPARE(row, 401);
    const QModelIndex index = grid().model()->index(row - 1, 0);
    QVERIFY(!grid().viewport()->rect().contains(grid().visualRect(index)));

    typeInGrid(QStringLiteral("zi"));
    QCOMPARE(highlightedRow(), row);
    QVERIFY(grid().viewport()->rect().contains(grid().visualRect(index)));

    // Back up to a row far above it.
    QTest::qWait(kPause);
    typeInGrid(QStringLiteral("member 0000"));
    QCOMPARE(highlightedRow(), 1);
    QVERIFY(grid().viewport()->rect().contains(grid().visualRect(grid().model()->index(0, 0))));
}

void TestFindByTyping::membersAddedSinceTheLastSearchAreFound()
{
    startWithMembers({"Abbott, Helen", "Nguyen, Van"});
    typeInGrid(QStringLiteral("o'"));
    QCOMPARE(highlightedRow(), 0);

    h->addMember(QStringLiteral("O'Brien, Kate"), QStringLiteral("9 Willow Ct"), QStringLiteral("Salem"),
                 QStringLiteral("555"), QString(), 77);
    press(form().Command8); // Refresh
    grid().setFocus();
    QTest::qWait(kPause);
    typeInGrid(QStringLiteral("o'b"));
    QCOMPARE(highlightedRow(), rowOf(QStringLiteral("O'Brien, Kate")));
    QTest::keyClick(&grid(), Qt::Key_Return);
    QCOMPARE(form().boxText(5), QStringLiteral("77"));
}

KELVORY_BACKEND_TEST_MAIN(TestFindByTyping)
#include "tst_findbytyping.moc"
