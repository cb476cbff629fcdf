#include "BackendTest.h"
#include "roster/RosterForm.h"
#include "grid/FlexGrid.h"

#include <QMessageBox>
#include <QtTest>

using namespace kelvory;
using namespace kelvory::test;

namespace {
const QString kQuestion = QStringLiteral("A Needed Update is available, do you want to install it now?");
}

class TestVersionCheck : public BackendTest
{
    Q_OBJECT
public:
    explicit TestVersionCheck(Backend backend) : BackendTest(backend, QStringLiteral("Bob")) {}

private Q_SLOTS:
    void init();
    void versionDecidesWhetherTheUpdateIsOffered_data();
    void versionDecidesWhetherTheUpdateIsOffered();
    void numericVersionColumn();
    void onlyTheMajorNumberCounts();
    void noVersionRowLeavesTheGridUnfilledUntilRefresh();
    void acceptingTheUpdateOpensThePageAndLeavesTheGridEmpty();
    void aBrowserThatCannotStartIsToldNotFatal();
    void escapeDoesNotAnswerTheUpdateQuestion();

private:
    void setVersion(const QVariant &ver)
    {
        h->exec(QStringLiteral("delete from hitcounters"));
        if (ver.isNull())
            h->exec(QStringLiteral("insert into hitcounters values (NULL)"));
        else
            h->exec(QStringLiteral("insert into hitcounters values (?)"), {ver});
    }
    bool filled() { return h->form().Grid1->TextMatrix(1, 0) == QStringLiteral("Adams"); }
};

void TestVersionCheck::init()
{
    BackendTest::init();
    h->addMember(QStringLiteral("Adams"), QStringLiteral("1 Elm"), QStringLiteral("Salem"), QStringLiteral("1"),
                 QString(), 1);
}

void TestVersionCheck::versionDecidesWhetherTheUpdateIsOffered_data()
{
    QTest::addColumn<QVariant>("ver");
    QTest::addColumn<bool>("offered");
    QTest::newRow("1") << QVariant(QStringLiteral("1")) << false;
    QTest::newRow("1.0") << QVariant(QStringLiteral("1.0")) << false;
    QTest::newRow("0.9") << QVariant(QStringLiteral("0.9")) << false;
    QTest::newRow("empty") << QVariant(QStringLiteral("")) << false;
    QTest::newRow("letter first") << QVariant(QStringLiteral("v2")) << false;
    QTest::newRow("NULL") << QVariant(QMetaType::fromType<QString>()) << false;
    QTest::newRow("1,5 has no decimal comma") << QVariant(QStringLiteral("1,5")) << false;
    // A sign, a D or a signed exponent is no part of a version number.
    QTest::newRow("+2 reads 0") << QVariant(QStringLiteral("+2")) << false;
    QTest::newRow("-2 reads 0") << QVariant(QStringLiteral("-2")) << false;
    QTest::newRow("1d1 reads 1") << QVariant(QStringLiteral("1d1")) << false;
    QTest::newRow("1E+1 reads 1") << QVariant(QStringLiteral("1E+1")) << false;
    QTest::newRow("2") << QVariant(QStringLiteral("2")) << true;
    QTest::newRow("1.5") << QVariant(QStringLiteral("1.5")) << true;
    QTest::newRow("1.01") << QVariant(QStringLiteral("1.01")) << true;
    QTest::newRow("2 with blanks") << QVariant(QStringLiteral(" 2 ")) << true;
    QTest::newRow("1 blank 5 reads 15") << QVariant(QStringLiteral("1 5")) << true;
    QTest::newRow("hex 10") << QVariant(QStringLiteral("&H10")) << true;
    QTest::newRow("1e1") << QVariant(QStringLiteral("1e1")) << true;
    QTest::newRow("1.5.3") << QVariant(QStringLiteral("1.5.3")) << true;
}

void TestVersionCheck::versionDecidesWhetherTheUpdateIsOffered()
{
    QFETCH(QVariant, ver);
    QFETCH(bool, offered);
    setVersion(ver);
    h->dialogs.answer(IDNO);
    QVERIFY(h->start());
    QVERIFY(!h->end.ended);
    if (offered) {
        QCOMPARE(h->dialogs.messages.size(), 1);
        QCOMPARE(h->dialogs.messages.first().text, kQuestion);
        QCOMPARE(h->dialogs.messages.first().style, MB_YESNO);
        QCOMPARE(h->dialogs.messages.first().title, QStringLiteral("Needed Program Update"));
    } else {
        QVERIFY(h->dialogs.messages.isEmpty());
    }
    // Declined or not offered, the roster is filled.
    QVERIFY(filled());
    QVERIFY(h->shell.urls.isEmpty());
}

void TestVersionCheck::numericVersionColumn()
{
    h->exec(QStringLiteral("drop table hitcounters"));
    h->exec(QStringLiteral("create table hitcounters (hits integer, ver real)"));
    h->exec(QStringLiteral("insert into hitcounters (hits, ver) values (12345, 1.5)"));
    h->dialogs.answer(IDNO);
    QVERIFY(h->start());
    QCOMPARE(h->dialogs.messages.size(), 1);
    QCOMPARE(h->dialogs.messages.first().text, kQuestion);
}

void TestVersionCheck::onlyTheMajorNumberCounts()
{
    setVersion(QStringLiteral("1.5"));
    h->deployment.versionMinor = 9;
    h->deployment.versionRevision = 9;
    h->dialogs.answer(IDNO);
    QVERIFY(h->start());
    QCOMPARE(h->dialogs.messages.size(), 1);
    QCOMPARE(h->form().Label3->text(), QStringLiteral("Version 1.9.9"));
}

void TestVersionCheck::noVersionRowLeavesTheGridUnfilledUntilRefresh()
{
    h->exec(QStringLiteral("delete from hitcounters"));
    QVERIFY(h->start());
    QVERIFY(h->dialogs.messages.isEmpty());
    grid::FlexGrid &grid = *h->form().Grid1;
    QCOMPARE(grid.Rows(), 2);
    QCOMPARE(grid.TextMatrix(1, 0), QString());
    QCOMPARE(grid.TextMatrix(0, 2), QStringLiteral("City, State, Zip"));
    QCOMPARE(grid.ColWidth(1), 2600);
    h->form().Command8_Click();
    QVERIFY(filled());
}

void TestVersionCheck::acceptingTheUpdateOpensThePageAndLeavesTheGridEmpty()
{
    setVersion(QStringLiteral("2"));
    h->dialogs.answer(IDYES);
    QVERIFY(h->start());
    QVERIFY(!h->end.ended);
    QCOMPARE(h->shell.urls, QList<QUrl>({QUrl(h->deployment.updatePage)}));
    QCOMPARE(h->dialogs.messages.size(), 1);
    QVERIFY(h->form().isVisible());
    QCOMPARE(h->form().Label3->text(), QStringLiteral("Version 1.0.0"));
    QCOMPARE(h->form().Grid1->Rows(), 2);
    QCOMPARE(h->form().Grid1->TextMatrix(1, 0), QString());
    QCOMPARE(h->form().Grid1->TextMatrix(0, 0), QStringLiteral("Name"));
    // The program is fully usable afterwards.
    h->form().Command8_Click();
    QVERIFY(filled());
}

void TestVersionCheck::aBrowserThatCannotStartIsToldNotFatal()
{
    setVersion(QStringLiteral("3"));
    h->shell.succeed = false;
    h->dialogs.answer(IDYES);
    QVERIFY(h->start());
    QVERIFY(!h->end.ended);
    QCOMPARE(h->dialogs.messages.size(), 2);
    const Message told = h->dialogs.messages.at(1);
    QVERIFY2(told.text.contains(h->deployment.updatePage), qPrintable(told.text));
    QCOMPARE(told.title, QStringLiteral("Kelvory"));
    QVERIFY(h->form().isVisible());
    QCOMPARE(h->form().Grid1->TextMatrix(1, 0), QString());
}

void TestVersionCheck::escapeDoesNotAnswerTheUpdateQuestion()
{
    setVersion(QStringLiteral("2"));
    QtDialogs dialogs;
    h->module = std::make_unique<Module1>(
        h->deployment, Services{&dialogs, &h->shell, &h->printers, &h->end, nullptr, &test::programWindows()});
    // On the real box: Escape on the focused button, then the box's close; then Yes.
    bool openAfterEscape = false;
    bool openAfterClose = false;
    QTimer operatorAtTheBox;
    connect(&operatorAtTheBox, &QTimer::timeout, this, [&] {
        QPointer<QMessageBox> box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        operatorAtTheBox.stop();
        QTest::keyClick(box->focusWidget() ? box->focusWidget() : box.data(), Qt::Key_Escape);
        openAfterEscape = box && box->isVisible();
        if (box)
            box->close();
        openAfterClose = box && box->isVisible();
        if (openAfterClose)
            box->button(QMessageBox::Yes)->click();
    });
    operatorAtTheBox.start(20);
    QVERIFY(h->start());
    QVERIFY(openAfterEscape);
    QVERIFY(openAfterClose);
    // Yes, as clicked at last: the update page, and no roster.
    QCOMPARE(h->shell.urls, QList<QUrl>({QUrl(h->deployment.updatePage)}));
    QCOMPARE(h->form().Grid1->TextMatrix(1, 0), QString());
}

KELVORY_BACKEND_TEST_MAIN(TestVersionCheck)
#include "tst_versioncheck.moc"
