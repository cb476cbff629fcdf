#include "BackendTest.h"
#include "history/History.h"
#include "roster/RosterForm.h"
#include "grid/CommandButton.h"
#include "grid/FlexGrid.h"

#include <QtTest>

using namespace kelvory;
using namespace kelvory::test;

class TestSelection : public BackendTest
{
    Q_OBJECT
private Q_SLOTS:
    void clickingAMemberCopiesItsSixCells();
    void clickingTheDesignTimeEmptyRowEmptiesTheBoxes();
    void countersTurnRedPastTheirLimits_data();
    void countersTurnRedPastTheirLimits();
    void otherBoxesChangeNoCounter();
    void recordIdCannotBeTyped();
    void clearEmptiesEveryBoxAndResetsTheCounters();
    void exitClosesOnlyTheMainWindow();

private:
    QColor color(QLabel *label) { return label->palette().color(QPalette::WindowText); }
};

void TestSelection::clickingAMemberCopiesItsSixCells()
{
    h->addMember(QStringLiteral("Adams"), QStringLiteral("12 Main St, Apt 4"), QStringLiteral("Salem, OR 97301"),
                 QStringLiteral("555-1"), QStringLiteral("Treasurer"), 17);
    h->addMember(QStringLiteral("Baker"), QStringLiteral("2 Oak"), QStringLiteral("Salem"), QStringLiteral("555-2"),
                 QString(), 3);
    QVERIFY(h->start());
    QSignalSpy changes0(form().Text1[0], &QLineEdit::textChanged);
    clickRow(1, 2); // any cell of the row picks the member
    QCOMPARE(form().boxText(0), QStringLiteral("Adams"));
    QCOMPARE(form().boxText(1), QStringLiteral("12 Main St, Apt 4"));
    QCOMPARE(form().boxText(2), QStringLiteral("Salem, OR 97301"));
    QCOMPARE(form().boxText(3), QStringLiteral("555-1"));
    QCOMPARE(form().boxText(4), QStringLiteral("Treasurer"));
    QCOMPARE(form().boxText(5), QStringLiteral("17"));
    QCOMPARE(changes0.count(), 1);
    QCOMPARE(form().NameCnt->text(), QStringLiteral("5"));
    QCOMPARE(form().Addcnt->text(), QStringLiteral("17"));
    QCOMPARE(form().Grid1->Col(), 5);
    QCOMPARE(form().Grid1->Row(), 1);

    clickRow(2);
    QCOMPARE(form().boxText(0), QStringLiteral("Baker"));
    QCOMPARE(form().boxText(4), QString());
    QCOMPARE(form().boxText(5), QStringLiteral("3"));
    QVERIFY(h->dialogs.messages.isEmpty());
}

void TestSelection::clickingTheDesignTimeEmptyRowEmptiesTheBoxes()
{
    h->exec(QStringLiteral("delete from hitcounters")); // no fill at start
    QVERIFY(h->start());
    for (int k = 0; k < 6; ++k)
        form().setBoxText(k, QStringLiteral("x"));
    clickRow(1);
    for (int k = 0; k < 6; ++k)
        QCOMPARE(form().boxText(k), QString());
    QCOMPARE(form().NameCnt->text(), QStringLiteral("0"));
}

void TestSelection::countersTurnRedPastTheirLimits_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("count");
    QTest::addColumn<bool>("red");
    QTest::newRow("name 24") << 0 << QString(24, QLatin1Char('n')) << "24" << false;
    QTest::newRow("name 25") << 0 << QString(25, QLatin1Char('n')) << "25" << true;
    QTest::newRow("address 30") << 1 << QString(30, QLatin1Char('a')) << "30" << false;
    QTest::newRow("address 31") << 1 << QString(31, QLatin1Char('a')) << "31" << true;
    // Letters as the operator sees them: a decomposed accent or an emoji is one.
    QTest::newRow("decomposed accents") << 0 << QString::fromUtf8("Ine\u0301s Zoe\u0308") << "8" << false;
    QTest::newRow("composed accents") << 0 << QString::fromUtf8("Inés Zoë") << "8" << false;
    QTest::newRow("emoji") << 1 << QString::fromUtf8("🙂🙂🙂") << "3" << false;
    QTest::newRow("24 accented letters") << 0 << QString::fromUtf8("e\u0301").repeated(24) << "24" << false;
    QTest::newRow("25 accented letters") << 0 << QString::fromUtf8("e\u0301").repeated(25) << "25" << true;
}

void TestSelection::countersTurnRedPastTheirLimits()
{
    QFETCH(int, box);
    QFETCH(QString, text);
    QFETCH(QString, count);
    QFETCH(bool, red);
    QVERIFY(h->start());
    QCOMPARE(form().NameCnt->text(), QString()); // empty until its box first changes
    form().Text1[box]->setText(text);
    QLabel *counter = box == 0 ? form().NameCnt : form().Addcnt;
    QCOMPARE(counter->text(), count);
    QCOMPARE(color(counter), red ? QColor(255, 0, 0) : QColor(255, 255, 255));
    // Typed one key at a time, the counter follows every key.
    form().Text1[box]->clear();
    QTest::keyClicks(form().Text1[box], QStringLiteral("abc"));
    QCOMPARE(counter->text(), QStringLiteral("3"));
    QCOMPARE(color(counter), QColor(255, 255, 255));
}

void TestSelection::otherBoxesChangeNoCounter()
{
    QVERIFY(h->start());
    for (int k = 2; k < 6; ++k)
        form().setBoxText(k, QString(40, QLatin1Char('z')));
    QCOMPARE(form().NameCnt->text(), QString());
    QCOMPARE(form().Addcnt->text(), QString());
}

void TestSelection::recordIdCannotBeTyped()
{
    h->addMember(QStringLiteral("Adams"), QStringLiteral("1 Elm"), QStringLiteral("S"), QStringLiteral("1"), QString(),
                 17);
    QVERIFY(h->start());
    clickRow(1);
    form().Text1[5]->setFocus();
    QTest::keyClicks(form().Text1[5], QStringLiteral("99"));
    QTest::keyClick(form().Text1[5], Qt::Key_Backspace);
    QCOMPARE(form().boxText(5), QStringLiteral("17"));
}

void TestSelection::clearEmptiesEveryBoxAndResetsTheCounters()
{
    h->addMember(QString(30, QLatin1Char('N')), QString(40, QLatin1Char('A')), QStringLiteral("S"), QStringLiteral("1"),
                 QStringLiteral("c"), 17);
    QVERIFY(h->start());
    clickRow(1);
    QCOMPARE(color(form().NameCnt), QColor(255, 0, 0));
    QTest::mouseClick(form().Command1, Qt::LeftButton);
    for (int k = 0; k < 6; ++k)
        QCOMPARE(form().boxText(k), QString());
    QCOMPARE(form().NameCnt->text(), QStringLiteral("0"));
    QCOMPARE(form().Addcnt->text(), QStringLiteral("0"));
    QCOMPARE(color(form().NameCnt), QColor(255, 255, 255));
    QCOMPARE(form().Grid1->Rows(), 2);
    QCOMPARE(h->rows(QStringLiteral("select * from members")).size(), 1);

    // With every box empty, each command says there is nothing to do.
    QTest::mouseClick(form().Command3, Qt::LeftButton);
    QTest::mouseClick(form().Command2, Qt::LeftButton);
    QTest::mouseClick(form().Command6, Qt::LeftButton);
    QCOMPARE(h->dialogs.texts(), QStringList({"Nothing to Add", "Nothing to update", "Nothing to Delete"}));
}

void TestSelection::exitClosesOnlyTheMainWindow()
{
    QVERIFY(h->start());
    QTest::mouseClick(form().Command7, Qt::LeftButton);
    QPointer<history::History> history = historyWindow(*h->module);
    QVERIFY(history);
    QPointer<roster::RosterForm> main = &form();
    auto visibleWindows = [] {
        int count = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            count += w->isVisible() ? 1 : 0;
        return count;
    };
    QTest::mouseClick(main->Command4, Qt::LeftButton);
    QTRY_VERIFY(!main); // unloaded
    QVERIFY(history && history->isVisible());
    QCOMPARE(visibleWindows(), 1);
    QTest::mouseClick(history->Command4, Qt::LeftButton);
    QTRY_VERIFY(!history);
    QCOMPARE(visibleWindows(), 0);
}

KELVORY_TEST_MAIN(TestSelection)

#include "tst_selection.moc"
