#include "BackendTest.h"
#include "roster/ChangeMessages.h"
#include "changes/MemberChanges.h"
#include "database/Connection.h"
#include "database/MemberFields.h"
#include "roster/RosterForm.h"
#include "grid/CommandButton.h"
#include "grid/FlexGrid.h"

#include <QDate>
#include <QFile>
#include <QSqlDatabase>
#include <QtTest>

#include <dlfcn.h>
#include <sql.h>
#include <sqlext.h>

// The ODBC driver's answer to a commit, doubled: while set, a commit that succeeds is
// answered with "success with information". The test program exports this function, so
// that Qt's ODBC driver reaches it as the program's code does.
static bool commitAnswersWithInformation = false;
extern "C" SQLRETURN SQL_API SQLEndTran(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT completion)
{
    using Real = SQLRETURN(SQL_API *)(SQLSMALLINT, SQLHANDLE, SQLSMALLINT);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "SQLEndTran"));
    const SQLRETURN answer = real(handleType, handle, completion);
    return answer == SQL_SUCCESS && completion == SQL_COMMIT && commitAnswersWithInformation ? SQL_SUCCESS_WITH_INFO
                                                                                             : answer;
}

using namespace kelvory;
using namespace kelvory::test;

class TestChanges : public BackendTest
{
    Q_OBJECT
public:
    using BackendTest::BackendTest;

private Q_SLOTS:
    void addValidatesTheBoxesInOrder_data();
    void addValidatesTheBoxesInOrder();
    void addStoresUnderTheNextIdAndJournals();
    void blanksCountAsContentAndAnEmptyCommentIsEmptyText();
    void firstMemberOfAnEmptyRosterGetsId1AndAddsAreConsecutive();
    void addNewOnAPickedMemberMakesASecondMember();
    void updateWritesTheBoxesOverThePickedMember();
    void updateNeedsAnAddressButNotAName();
    void deleteAsksAndRemovesThePickedMember();
    void deleteWithoutAPickedMemberOrAnsweredNoChangesNothing();
    void updateOrDeleteWithoutAWholeNumberIdSendsNothing_data();
    void updateOrDeleteWithoutAWholeNumberIdSendsNothing();
    void updateOrDeleteOfAMemberThatIsGoneIsNotReportedAsDone();
    void textsThatLookLikeStatementsAreStoredExactly_data();
    void textsThatLookLikeStatementsAreStoredExactly();
    void unstorableTextIsRefusedBeforeAnythingIsSent();
    void longStoredTextSurvivesPickAndUpdate();
    void refusedJournalRowLeavesTheMembersAsTheyWere_data();
    void refusedJournalRowLeavesTheMembersAsTheyWere();
    void sharedRecordIdIsNeitherChangedNorDeleted();
    void recordIdsHeldAsTextAreNeverReusedOrGuessed();
    void realLargestIdBeyondWholeNumbersIsAnOverflow();
    void datesTakeTheFormTheirColumnKeeps_data();
    void datesTakeTheFormTheirColumnKeeps();
    void aServerColumnIsJudgedByTheCatalogueFirst_data();
    void aServerColumnIsJudgedByTheCatalogueFirst();
    void aDateColumnChangedMeanwhileIsLookedUpOnceMore();
    void aCommitWithInformationIsACommit();
    void anotherWorkstationsChangeIsNeverOverwrittenUnseen_data();
    void anotherWorkstationsChangeIsNeverOverwrittenUnseen();
    void anotherNameUnderThePickedIdIsNeverActedOn_data();
    void anotherNameUnderThePickedIdIsNeverActedOn();

private:
    void startWithMembers()
    {
        h->addMember(QStringLiteral("Baker"), QStringLiteral("2 Oak"), QStringLiteral("Salem, OR"),
                     QStringLiteral("555-2"), QStringLiteral("b"), 41);
        h->addMember(QStringLiteral("Adams"), QStringLiteral("1 Elm"), QStringLiteral("Salem, OR"),
                     QStringLiteral("555-1"), QString(), 17);
        QVERIFY(h->start());
    }

    // The members table as another program may have made it: any type for the record id,
    // and no guarantee that ids are unique.
    void remakeMembers(const QString &recordIdType)
    {
        h->exec(QStringLiteral("drop table members"));
        h->exec(QStringLiteral("create table members (name varchar(50), address varchar(50), city varchar(50), "
                               "phone varchar(50), comment varchar(50), recordid %1)")
                    .arg(recordIdType));
    }
    void pickUpdateAndDelete()
    {
        clickRow(1);
        typeInto(form(), 1, QStringLiteral("9 New St"));
        press(form().Command2);
        clickRow(1);
        h->dialogs.answer(IDYES);
        press(form().Command6);
    }
};

void TestChanges::addValidatesTheBoxesInOrder_data()
{
    QTest::addColumn<QStringList>("five");
    QTest::addColumn<QString>("message");
    QTest::newRow("all empty") << QStringList{"", "", "", "", ""} << "Nothing to Add";
    QTest::newRow("only comment") << QStringList{"", "", "", "", "note"} << "Nothing to Add";
    QTest::newRow("no address") << QStringList{"Nguyen", "", "Salem", "555", ""} << "Address is required";
    QTest::newRow("no city") << QStringList{"Nguyen", "1 Elm", "", "", ""} << "`City State ZIP` is required";
    QTest::newRow("no phone") << QStringList{"Nguyen", "1 Elm", "Salem", "", "x"} << "Phone is required";
}

void TestChanges::addValidatesTheBoxesInOrder()
{
    QFETCH(QStringList, five);
    QFETCH(QString, message);
    startWithMembers();
    pasteMember(form(), five);
    const QStringList before = boxes();
    press(form().Command3);
    QCOMPARE(h->dialogs.texts(), QStringList{message});
    QCOMPARE(h->dialogs.messages.first().style, MB_OK);
    QCOMPARE(h->dialogs.messages.first().title, QStringLiteral("Kelvory"));
    QCOMPARE(boxes(), before);
    QCOMPARE(members().size(), 2);
    QVERIFY(journal().isEmpty());
}

void TestChanges::addStoresUnderTheNextIdAndJournals()
{
    startWithMembers();
    typeInto(form(), 0, QStringLiteral("Castillo"));
    typeInto(form(), 1, QStringLiteral("77 Riverside Dr"));
    typeInto(form(), 2, QStringLiteral("Salem, OR 97302"));
    typeInto(form(), 3, QStringLiteral("503-555-0119"));
    typeInto(form(), 4, QStringLiteral("Bridge club"));
    press(form().Command3);

    QCOMPARE(h->dialogs.texts(), QStringList{"Record Added"});
    QCOMPARE(form().boxText(5), QStringLiteral("42"));
    QCOMPARE(boxes(),
             QStringList({"Castillo", "77 Riverside Dr", "Salem, OR 97302", "503-555-0119", "Bridge club", "42"}));
    QCOMPARE(members().last(),
             QStringList({"Castillo", "77 Riverside Dr", "Salem, OR 97302", "503-555-0119", "Bridge club", "42"}));
    QCOMPARE(column(0), QStringList({"Adams", "Baker", "Castillo"}));
    QCOMPARE(column(5), QStringList({"17", "41", "42"}));
    const QList<JournalRow> rows = journal();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().date, QDate::currentDate().toString(Qt::ISODate));
    QCOMPARE(rows.first().person, QStringLiteral("Dorothy"));
    QCOMPARE(rows.first().transaction,
             QStringLiteral("Added : Castillo: 77 Riverside Dr: Salem, OR 97302: 503-555-0119: Bridge club"));
}

void TestChanges::blanksCountAsContentAndAnEmptyCommentIsEmptyText()
{
    startWithMembers();
    pasteMember(form(), {" ", " ", " ", " ", ""});
    press(form().Command3);
    QCOMPARE(h->dialogs.texts(), QStringList{"Record Added"});
    QCOMPARE(members().last(), QStringList({" ", " ", " ", " ", "", "42"}));
    QCOMPARE(journal().last().transaction, QStringLiteral("Added :  :  :  :  : "));
}

void TestChanges::firstMemberOfAnEmptyRosterGetsId1AndAddsAreConsecutive()
{
    QVERIFY(h->start());
    pasteMember(form(), {"Adams", "1 Elm", "Salem", "555-1", ""});
    press(form().Command3);
    QCOMPARE(form().boxText(5), QStringLiteral("1"));
    pasteMember(form(), {"Baker", "2 Oak", "Salem", "555-2", ""});
    press(form().Command3);
    QCOMPARE(form().boxText(5), QStringLiteral("2"));
    QCOMPARE(h->dialogs.texts(), QStringList({"Record Added", "Record Added"}));
    QCOMPARE(members().size(), 2);
    QCOMPARE(members().at(0).at(5), QStringLiteral("1"));
    QCOMPARE(members().at(1).at(5), QStringLiteral("2"));
    QCOMPARE(journal().size(), 2);
}

void TestChanges::addNewOnAPickedMemberMakesASecondMember()
{
    startWithMembers();
    clickRow(1);
    QCOMPARE(boxes(), QStringList({"Adams", "1 Elm", "Salem, OR", "555-1", "", "17"}));
    press(form().Command3);
    QCOMPARE(form().boxText(5), QStringLiteral("42"));
    const QList<QStringList> all = members();
    QCOMPARE(all.size(), 3);
    QCOMPARE(all.at(0), QStringList({"Adams", "1 Elm", "Salem, OR", "555-1", "", "17"}));
    QCOMPARE(all.at(2), QStringList({"Adams", "1 Elm", "Salem, OR", "555-1", "", "42"}));
    QCOMPARE(column(0), QStringList({"Adams", "Adams", "Baker"}));
}

void TestChanges::updateWritesTheBoxesOverThePickedMember()
{
    startWithMembers();
    clickRow(2); // Baker, 41
    QCOMPARE(form().boxText(5), QStringLiteral("41"));
    typeInto(form(), 1, QStringLiteral("9 New Rd"));
    typeInto(form(), 4, QString());
    press(form().Command2);

    QCOMPARE(h->dialogs.texts(), QStringList{"Record Updated"});
    QCOMPARE(members().at(1), QStringList({"Baker", "9 New Rd", "Salem, OR", "555-2", "", "41"}));
    QCOMPARE(members().at(0), QStringList({"Adams", "1 Elm", "Salem, OR", "555-1", "", "17"}));
    QCOMPARE(form().Grid1->TextMatrix(2, 1), QStringLiteral("9 New Rd"));
    QCOMPARE(boxes(), QStringList({"Baker", "9 New Rd", "Salem, OR", "555-2", "", "41"}));
    QCOMPARE(journal().size(), 1);
    QCOMPARE(journal().first().transaction, QStringLiteral("Changed : Baker: 9 New Rd: Salem, OR: 555-2: "));
    QCOMPARE(journal().first().person, QStringLiteral("Dorothy"));
}

void TestChanges::updateNeedsAnAddressButNotAName()
{
    startWithMembers();
    clickRow(1); // Adams, 17
    typeInto(form(), 1, QString());
    press(form().Command2);
    QCOMPARE(h->dialogs.texts(), QStringList{"Nothing to update"});
    QVERIFY(journal().isEmpty());

    h->dialogs.clear();
    typeInto(form(), 0, QString());
    typeInto(form(), 1, QStringLiteral("5 Pine"));
    press(form().Command2);
    QCOMPARE(h->dialogs.texts(), QStringList{"Record Updated"});
    QCOMPARE(members().at(0), QStringList({"", "5 Pine", "Salem, OR", "555-1", "", "17"}));
    QCOMPARE(journal().size(), 1);
}

void TestChanges::deleteAsksAndRemovesThePickedMember()
{
    startWithMembers();
    clickRow(2); // Baker, 41
    h->dialogs.answer(IDYES);
    press(form().Command6);

    QCOMPARE(h->dialogs.messages.size(), 2);
    const Message confirm = h->dialogs.messages.at(0);
    QCOMPARE(confirm.text, QStringLiteral("Are you sure you want to Delete Baker"));
    QCOMPARE(confirm.style, MB_YESNO); // Yes is the default button
    QCOMPARE(confirm.title, QStringLiteral("DELETE"));
    QCOMPARE(h->dialogs.messages.at(1).text, QStringLiteral("Record Deleted"));
    QCOMPARE(members().size(), 1);
    QCOMPARE(form().Grid1->Rows(), 2);
    QCOMPARE(column(0), QStringList{"Adams"});
    QCOMPARE(boxes(), QStringList({"Baker", "2 Oak", "Salem, OR", "555-2", "b", "41"}));
    QCOMPARE(journal().size(), 1);
    QCOMPARE(journal().first().transaction, QStringLiteral("Deleted : Baker: 2 Oak: Salem, OR: 555-2: b"));

    // The last member: the grid falls back to its one empty row.
    clickRow(1);
    h->dialogs.answer(IDYES);
    press(form().Command6);
    QVERIFY(members().isEmpty());
    QCOMPARE(form().Grid1->Rows(), 2);
    QCOMPARE(form().Grid1->TextMatrix(1, 0), QString());
    QCOMPARE(journal().size(), 2);
}

void TestChanges::deleteWithoutAPickedMemberOrAnsweredNoChangesNothing()
{
    startWithMembers();
    pasteMember(form(), {"Adams", "1 Elm", "x", "y", "z"});
    press(form().Command6);
    QCOMPARE(h->dialogs.texts(), QStringList{"Nothing to Delete"});

    h->dialogs.clear();
    clickRow(1);
    form().setBoxText(0, QString());
    h->dialogs.answer(IDNO);
    press(form().Command6);
    QCOMPARE(h->dialogs.texts(), QStringList{"Are you sure you want to Delete "});
    QCOMPARE(members().size(), 2);
    QCOMPARE(form().Grid1->Rows(), 3);
    QVERIFY(journal().isEmpty());
}

void TestChanges::updateOrDeleteWithoutAWholeNumberIdSendsNothing_data()
{
    QTest::addColumn<bool>("update");
    QTest::addColumn<QString>("id");
    QTest::newRow("update, empty id") << true << "";
    QTest::newRow("update, letters") << true << "abc";
    QTest::newRow("update, statement") << true << "17 or 1=1";
    QTest::newRow("update, decimal") << true << "17.5";
    QTest::newRow("delete, letters") << false << "abc";
    QTest::newRow("delete, statement") << false << "0; delete from members";
    QTest::newRow("delete, blank") << false << " ";
}

void TestChanges::updateOrDeleteWithoutAWholeNumberIdSendsNothing()
{
    QFETCH(bool, update);
    QFETCH(QString, id);
    startWithMembers();
    const QList<QStringList> before = members();
    pasteMember(form(), {"Zed", "1 Elm", "x", "y", "z"});
    form().setBoxText(5, id);
    h->dialogs.answer(IDYES);
    press(update ? form().Command2 : form().Command6);
    QCOMPARE(h->dialogs.messages.size(), 1);
    QCOMPARE(h->dialogs.messages.first().text,
             id.isEmpty()
                 ? roster::messages::noMemberPicked(update ? QStringLiteral("Update") : QStringLiteral("DELETE"))
                 : roster::messages::recordIdNotWhole(id));
    QVERIFY(!h->end.ended);
    QCOMPARE(members(), before);
    QVERIFY(journal().isEmpty());
}

void TestChanges::updateOrDeleteOfAMemberThatIsGoneIsNotReportedAsDone()
{
    startWithMembers();
    clickRow(2); // Baker, 41
    h->dialogs.answer(IDYES);
    press(form().Command6);
    QCOMPARE(journal().size(), 1);

    // DELETE pressed again on the same boxes: asked again, but nothing is left to delete.
    h->dialogs.clear();
    h->dialogs.answer(IDYES);
    press(form().Command6);
    QCOMPARE(
        h->dialogs.texts(),
        QStringList({"Are you sure you want to Delete Baker", roster::messages::memberGone(QStringLiteral("41"))}));
    QCOMPARE(journal().size(), 1);

    // Another workstation deletes Adams while it is picked here.
    clickRow(1);
    h->exec(QStringLiteral("delete from members where recordid = 17"));
    h->dialogs.clear();
    typeInto(form(), 1, QStringLiteral("8 Gone St"));
    press(form().Command2);
    QCOMPARE(h->dialogs.texts(), QStringList{roster::messages::memberGone(QStringLiteral("17"))});
    QCOMPARE(journal().size(), 1);
    QVERIFY(members().isEmpty());
    // The grid now shows the truth.
    QCOMPARE(form().Grid1->Rows(), 2);
    QCOMPARE(form().Grid1->TextMatrix(1, 0), QString());
}

void TestChanges::textsThatLookLikeStatementsAreStoredExactly_data()
{
    QTest::addColumn<QStringList>("five");
    QTest::newRow("quotes") << QStringList{"O'Brien", "12 'Main' St", "Salem, \"OR\"", "555'1", "it's"};
    QTest::newRow("statement in comment")
        << QStringList{"Evans", "1 Elm", "Salem", "555-3", "'); delete from members; --"};
    QTest::newRow("semicolon and comment marks")
        << QStringList{"Ford; drop table members", "/* 1 */ Elm", "-- Salem", "555;1234", "\\'\\\\"};
    QTest::newRow("non-ASCII") << QStringList{QString::fromUtf8("Zoë Ñúñez 李"), QString::fromUtf8("Straße 5"),
                                              QString::fromUtf8("Ærø"), QString::fromUtf8("٥٥٥"),
                                              QString::fromUtf8("🙂")};
    QTest::newRow("long address") << QStringList{"Long", QString(1000, QLatin1Char('A')), "Salem", "555", ""};
}

void TestChanges::textsThatLookLikeStatementsAreStoredExactly()
{
    QFETCH(QStringList, five);
    startWithMembers();
    pasteMember(form(), five);
    press(form().Command3);
    QCOMPARE(h->dialogs.texts(), QStringList{"Record Added"});
    QCOMPARE(members().size(), 3);
    QCOMPARE(members().last().mid(0, 5), five);
    QCOMPARE(journal().last().transaction, QStringLiteral("Added : ") + five.join(QStringLiteral(": ")));

    // Updating and deleting by the same boxes keeps them exact too, and touches no other member.
    h->dialogs.answer(IDOK);
    press(form().Command2);
    QCOMPARE(members().last().mid(0, 5), five);
    QCOMPARE(journal().last().transaction, QStringLiteral("Changed : ") + five.join(QStringLiteral(": ")));
    h->dialogs.answer(IDYES);
    press(form().Command6);
    QCOMPARE(journal().last().transaction, QStringLiteral("Deleted : ") + five.join(QStringLiteral(": ")));
    QCOMPARE(members().size(), 2);
    QCOMPARE(journal().size(), 3);
    QCOMPARE(h->rows(QStringLiteral("select * from hitcounters")).size(), 1);
}

void TestChanges::unstorableTextIsRefusedBeforeAnythingIsSent()
{
    startWithMembers();
    pasteMember(form(), {"Nul", QStringLiteral("1 Elm") + QChar(0) + QStringLiteral("x"), "Salem", "555", ""});
    press(form().Command3);
    QCOMPARE(h->dialogs.messages.size(), 1);
    QVERIFY(h->dialogs.messages.first().text.contains(QStringLiteral("Address")));
    QCOMPARE(members().size(), 2);
    QVERIFY(journal().isEmpty());
    QVERIFY(!h->end.ended);

    clickRow(1);
    form().setBoxText(4, QString(QChar(0xD800)));
    h->dialogs.clear();
    press(form().Command2);
    press(form().Command6);
    QCOMPARE(h->dialogs.messages.size(), 2);
    QVERIFY(h->dialogs.messages.at(0).text.contains(QStringLiteral("Comment")));
    QCOMPARE(members().size(), 2);
    QVERIFY(journal().isEmpty());
}

void TestChanges::longStoredTextSurvivesPickAndUpdate()
{
    // Stored by the web site, longer than an edit box holds by default.
    const QString comment = QString(40000, QLatin1Char('c'));
    h->addMember(QStringLiteral("Long, Lee"), QStringLiteral("9 Elm St"), QStringLiteral("Salem"),
                 QStringLiteral("555"), comment, 9);
    QVERIFY(h->start());
    clickRow(1);
    QCOMPARE(form().boxText(4).size(), comment.size());
    typeInto(form(), 3, QStringLiteral("555-0199"));
    press(form().Command2);
    QCOMPARE(h->dialogs.texts(), QStringList{"Record Updated"});
    QCOMPARE(members().first(), QStringList({"Long, Lee", "9 Elm St", "Salem", "555-0199", comment, "9"}));
    QCOMPARE(journal().first().transaction,
             QStringLiteral("Changed : Long, Lee: 9 Elm St: Salem: 555-0199: ") + comment);
}

void TestChanges::refusedJournalRowLeavesTheMembersAsTheyWere_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("Add New") << "add";
    QTest::newRow("Update") << "update";
    QTest::newRow("DELETE") << "delete";
}

void TestChanges::refusedJournalRowLeavesTheMembersAsTheyWere()
{
    QFETCH(QString, command);
    closeTheJournal();
    startWithMembers();
    const QList<QStringList> before = members();
    clickRow(1);
    typeInto(form(), 1, QStringLiteral("9 New St"));
    h->dialogs.answer(IDYES);
    press(command == QLatin1String("add") ? form().Command3
                                          : (command == QLatin1String("update") ? form().Command2 : form().Command6));
    verifyErrorReport(*h, QStringLiteral("the journal is closed"));
    QCOMPARE(members(), before);
    QVERIFY(journal().isEmpty());
}

void TestChanges::sharedRecordIdIsNeitherChangedNorDeleted()
{
    remakeMembers(QStringLiteral("integer"));
    h->addMember(QStringLiteral("Adams"), QStringLiteral("1 Elm"), QStringLiteral("Salem"), QStringLiteral("555-1"),
                 QString(), 7);
    h->addMember(QStringLiteral("Baker"), QStringLiteral("2 Oak"), QStringLiteral("Salem"), QStringLiteral("555-2"),
                 QString(), 7);
    QVERIFY(h->start());
    const QList<QStringList> before = members();
    pickUpdateAndDelete();
    QCOMPARE(h->dialogs.texts(),
             QStringList({roster::messages::recordIdShared(7, 2), "Are you sure you want to Delete Adams",
                          roster::messages::recordIdShared(7, 2)}));
    QVERIFY(!h->end.ended);
    QCOMPARE(members(), before);
    QVERIFY(journal().isEmpty());
}

void TestChanges::recordIdsHeldAsTextAreNeverReusedOrGuessed()
{
    remakeMembers(QStringLiteral("varchar(20)"));
    for (const QString &id : {"9", "10", "abc", "2.5", "1e+25"})
        h->exec(QStringLiteral("insert into members values (?,?,?,?,?,?)"),
                {QStringLiteral("Member ") + id, QStringLiteral("1 Elm"), QStringLiteral("Salem"),
                 QStringLiteral("555"), QString(), id});
    QVERIFY(h->start());

    // A picked member whose id is no whole number is named, not mistaken for no pick at all.
    for (const QString &id : {QStringLiteral("abc"), QStringLiteral("2.5"), QStringLiteral("1e+25")}) {
        const int row = column(5).indexOf(id) + 1;
        QVERIFY2(row > 0, qPrintable(id));
        for (const bool update : {true, false}) {
            h->dialogs.clear();
            clickRow(row);
            press(update ? form().Command2 : form().Command6);
            QCOMPARE(h->dialogs.texts(), QStringList{roster::messages::recordIdNotWhole(id)});
        }
    }
    QCOMPARE(members().size(), 5);

    // With '9' and '10' left, the largest by text order is '9': its successor is in use.
    h->exec(QStringLiteral("delete from members where recordid in ('abc', '2.5', '1e+25')"));
    h->dialogs.clear();
    pasteMember(form(), {"Castillo", "7 Pine", "Salem", "555-7", ""});
    form().setBoxText(5, QStringLiteral("keep"));
    press(form().Command3);
    QCOMPARE(h->dialogs.texts(), QStringList{roster::messages::newRecordIdTaken(10)});
    QCOMPARE(form().boxText(5), QStringLiteral("keep"));
    QCOMPARE(members().size(), 2);
    QVERIFY(journal().isEmpty());
    QVERIFY(!h->end.ended);
}

void TestChanges::realLargestIdBeyondWholeNumbersIsAnOverflow()
{
    remakeMembers(QStringLiteral("double precision"));
    h->exec(QStringLiteral("insert into members values ('Big', '1 Elm', 'Salem', '555', '', 1e25)"));
    QVERIFY(h->start());
    pasteMember(form(), {"Castillo", "7 Pine", "Salem", "555-7", ""});
    press(form().Command3);
    verifyErrorReport(*h, QStringLiteral("Overflow"));
    QVERIFY(h->dialogs.messages.first().text.startsWith(QStringLiteral("Run-time error '6'")));
    QCOMPARE(members().size(), 1);
    QVERIFY(journal().isEmpty());
}

void TestChanges::datesTakeTheFormTheirColumnKeeps_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("text");
    QTest::newRow("date") << "date" << false;
    QTest::newRow("timestamp") << "timestamp" << false;
    QTest::newRow("varchar") << "varchar(10)" << true;
    QTest::newRow("char") << "char(10)" << true;
    QTest::newRow("text") << "text" << true;
}

void TestChanges::datesTakeTheFormTheirColumnKeeps()
{
    QFETCH(QString, type);
    QFETCH(bool, text);
    h->exec(QStringLiteral("drop table changeHistory"));
    h->exec(
        QStringLiteral("create table changeHistory (date %1, person varchar(50), description varchar(500))").arg(type));
    h->exec(QStringLiteral("drop table memberstatus"));
    h->exec(QStringLiteral("create table memberstatus (member varchar(50), status varchar(5), created %1)").arg(type));
    QFile::remove(h->userFilePath());
    h->dialogs.type(QStringLiteral("Dorothy"));
    QVERIFY(h->start());
    pasteMember(form(), {"Castillo", "7 Pine", "Salem", "555-7", ""});
    press(form().Command3);
    QCOMPARE(h->dialogs.texts(), QStringList{"Record Added"});

    // What was stored, as the form it was stored in: a date value, or the text the club's older copies write.
    const auto storedForm = [](const QVariant &stored) {
        if (stored.typeId() == QMetaType::QDate || stored.typeId() == QMetaType::QDateTime)
            return QStringLiteral("date ") + stored.toDate().toString(Qt::ISODate);
        const QString value = stored.toString().trimmed(); // char(10) pads
        if (QDate::fromString(value, Qt::ISODate).isValid())
            return QStringLiteral("date ") + value;
        return QStringLiteral("text ") + value;
    };
    const QDate today = QDate::currentDate();
    const QString expected = text
        ? QStringLiteral("text %1/%2/%3").arg(today.month()).arg(today.day()).arg(today.year())
        : QStringLiteral("date ") + today.toString(Qt::ISODate);
    QCOMPARE(storedForm(h->rows(QStringLiteral("select date from changeHistory")).value(0).value(0)), expected);
    QCOMPARE(storedForm(h->rows(QStringLiteral("select created from memberstatus")).value(0).value(0)), expected);
}

void TestChanges::aServerColumnIsJudgedByTheCatalogueFirst_data()
{
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<bool>("describedAsText");
    QTest::addColumn<bool>("text");
    // The "SQL Server" driver describes these as text; the catalogue knows better.
    QTest::newRow("date described as text") << "date" << true << false;
    QTest::newRow("datetimeoffset described as text") << "datetimeoffset" << true << false;
    QTest::newRow("varchar described as a date") << "character varying" << false << true;
    // No answer, or a type of the server's own: the driver's description decides.
    QTest::newRow("no answer") << "" << true << true;
    QTest::newRow("a type of its own") << "user-defined" << false << false;
}

void TestChanges::aServerColumnIsJudgedByTheCatalogueFirst()
{
    QFETCH(QString, catalogue);
    QFETCH(bool, describedAsText);
    QFETCH(bool, text);
    QCOMPARE(database::serverColumnHoldsText(catalogue, describedAsText), text);
}

void TestChanges::aDateColumnChangedMeanwhileIsLookedUpOnceMore()
{
    if (m_backend != Backend::Postgres)
        QSKIP("SQLite keeps any value in any column: no date fails to convert");
    h->exec(QStringLiteral("alter table changeHistory alter column date type varchar(10)"));
    h->clock.day = QDate(2026, 12, 13); // 12/13/2026: no date where the day comes first
    startWithMembers();
    pasteMember(form(), {"Castillo", "7 Pine", "Salem", "555-7", ""});
    press(form().Command3);
    QCOMPARE(h->dialogs.texts(), QStringList{"Record Added"});
    // The administrator makes it a date column while the program runs, on a server that reads day first.
    h->exec(QStringLiteral("alter table changeHistory alter column date type date using to_date(date, 'MM/DD/YYYY')"));
    h->module->connection.execute(QStringLiteral("set datestyle to 'ISO, DMY'"));
    pasteMember(form(), {"Okafor", "8 Pine", "Salem", "555-8", ""});
    press(form().Command3);
    QCOMPARE(h->dialogs.texts(), QStringList({"Record Added", "Record Added"}));
    QVERIFY(!h->end.ended);
    QCOMPARE(h->texts(QStringLiteral("select date, description from changeHistory order by description")),
             QList<QStringList>({{"2026-12-13", "Added : Castillo: 7 Pine: Salem: 555-7: "},
                                 {"2026-12-13", "Added : Okafor: 8 Pine: Salem: 555-8: "}}));
}

void TestChanges::aCommitWithInformationIsACommit()
{
    if (m_backend != Backend::Postgres)
        QSKIP("an ODBC driver's answer");
    // psqlODBC answers a commit with SQL_SUCCESS or SQL_ERROR only, so the driver's answer
    // is doubled; SQL Server's driver gives "success with information" for a warning.
    commitAnswersWithInformation = true;
    auto reset = qScopeGuard([] { commitAnswersWithInformation = false; });
    startWithMembers();
    QVERIFY(h->module->connection.database().transaction());
    QVERIFY2(!h->module->connection.database().commit(), "the double does not reach Qt's driver");
    pasteMember(form(), {"Castillo", "7 Pine", "Salem", "555-7", ""});
    press(form().Command3);
    QCOMPARE(h->dialogs.texts(), QStringList{"Record Added"});
    QVERIFY(!h->end.ended);
    QCOMPARE(h->rows(QStringLiteral("select count(*) from members where name = 'Castillo'")).value(0).value(0).toInt(),
             1);
    // Back to one statement, one transaction: another connection sees a later statement at once.
    h->module->connection.execute(QStringLiteral("insert into changeHistory values (current_date, 'After', 'y')"));
    QCOMPARE(
        h->rows(QStringLiteral("select count(*) from changeHistory where person = 'After'")).value(0).value(0).toInt(),
        1);
}

void TestChanges::anotherWorkstationsChangeIsNeverOverwrittenUnseen_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("otherBox");
    QTest::addColumn<QString>("otherText");
    QTest::addColumn<int>("secondAnswer");
    QTest::newRow("Update after a new phone") << "update" << 3 << "555-9" << 0;
    QTest::newRow("Update after a new comment") << "update" << 4 << "moved" << 0;
    QTest::newRow("DELETE after a new phone, kept") << "delete" << 3 << "555-9" << int(IDNO);
    QTest::newRow("DELETE after a new comment, deleted") << "delete" << 4 << "moved" << int(IDYES);
}

void TestChanges::anotherWorkstationsChangeIsNeverOverwrittenUnseen()
{
    QFETCH(QString, command);
    QFETCH(int, otherBox);
    QFETCH(QString, otherText);
    QFETCH(int, secondAnswer);
    startWithMembers();
    // Another workstation: a program of its own on the same database.
    ScriptedDialogs otherDialogs;
    RecordingEnd otherEnd;
    Deployment elsewhere = h->deployment;
    elsewhere.lockFilePath += QStringLiteral(".elsewhere");
    Module1 other(elsewhere, {&otherDialogs, &h->shell, nullptr, &otherEnd, nullptr, &test::programWindows()});
    QVERIFY(other.Main());

    // Both pick Baker; the other workstation changes one field and stores it.
    QVERIFY(pickMember(form(), 41));
    const QStringList picked = boxes();
    QVERIFY(pickMember(*rosterForm(other), 41));
    typeInto(*rosterForm(other), otherBox, otherText);
    press(rosterForm(other)->Command2);
    QCOMPARE(otherDialogs.texts(), QStringList{"Record Updated"});
    const QList<QStringList> afterOther = members();
    const QString changed = roster::messages::changedField(members::caption(otherBox), picked.at(otherBox), otherText);

    if (command == QLatin1String("update")) {
        typeInto(form(), 1, QStringLiteral("9 New St"));
        const QStringList typed = boxes();
        press(form().Command2);
        QCOMPARE(h->dialogs.texts(), QStringList{roster::messages::changedElsewhere(changed)});
        QCOMPARE(members(), afterOther);
        QCOMPARE(journal().size(), 1);
        QCOMPARE(boxes(), typed);
        QVERIFY(!h->end.ended);

        // Pressed again, now that the other change has been seen: the boxes are stored.
        h->dialogs.clear();
        press(form().Command2);
        QCOMPARE(h->dialogs.texts(), QStringList{"Record Updated"});
        QCOMPARE(members().at(1), typed);
        QCOMPARE(journal().size(), 2);
    } else {
        h->dialogs.answer(IDYES);
        h->dialogs.answer(secondAnswer);
        press(form().Command6);
        QStringList expected{"Are you sure you want to Delete Baker", roster::messages::deleteChangedQuestion(changed)};
        if (secondAnswer == IDYES)
            expected << "Record Deleted";
        QCOMPARE(h->dialogs.texts(), expected);
        QCOMPARE(members().size(), secondAnswer == IDYES ? 1 : 2);
        QCOMPARE(journal().size(), secondAnswer == IDYES ? 2 : 1);
    }
}

void TestChanges::anotherNameUnderThePickedIdIsNeverActedOn_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("idReused");
    QTest::newRow("Update after a rename") << "update" << false;
    QTest::newRow("DELETE after a rename") << "delete" << false;
    QTest::newRow("Update after the id went to another member") << "update" << true;
    QTest::newRow("DELETE after the id went to another member") << "delete" << true;
}

void TestChanges::anotherNameUnderThePickedIdIsNeverActedOn()
{
    QFETCH(QString, command);
    QFETCH(bool, idReused);
    // Ids without a gap below the largest, so that the next new member takes Baker's.
    h->addMember(QStringLiteral("Baker"), QStringLiteral("2 Oak"), QStringLiteral("Salem, OR"), QStringLiteral("555-2"),
                 QStringLiteral("b"), 41);
    h->addMember(QStringLiteral("Adams"), QStringLiteral("1 Elm"), QStringLiteral("Salem, OR"), QStringLiteral("555-1"),
                 QString(), 40);
    QVERIFY(h->start());
    ScriptedDialogs otherDialogs;
    RecordingEnd otherEnd;
    Deployment elsewhere = h->deployment;
    elsewhere.lockFilePath += QStringLiteral(".elsewhere");
    Module1 other(elsewhere, {&otherDialogs, &h->shell, nullptr, &otherEnd, nullptr, &test::programWindows()});
    QVERIFY(other.Main());
    roster::RosterForm &b = *rosterForm(other);

    // Both pick Baker, the member with the largest id; the other workstation then renames
    // Baker, or deletes Baker and adds Carter, who is given Baker's id.
    QVERIFY(pickMember(form(), 41));
    QVERIFY(pickMember(b, 41));
    if (idReused) {
        otherDialogs.answer(IDYES);
        press(b.Command6);
        pasteMember(b, {"Carter", "3 Ash", "Eugene, OR", "555-3", "c"});
        press(b.Command3);
        QCOMPARE(otherDialogs.texts(),
                 (QStringList{"Are you sure you want to Delete Baker", "Record Deleted", "Record Added"}));
        QCOMPARE(b.boxText(5), QStringLiteral("41"));
    } else {
        typeInto(b, 0, QStringLiteral("Baker-Lee"));
        press(b.Command2);
        QCOMPARE(otherDialogs.texts(), QStringList{"Record Updated"});
    }
    const QList<QStringList> stored = members();
    const int journalRows = journal().size();
    const QString otherName = idReused ? QStringLiteral("Carter") : QStringLiteral("Baker-Lee");
    const QString refusal = roster::messages::otherMember(QStringLiteral("Baker"), otherName);

    // However often the operator presses, nothing is stored or deleted until the row is picked again.
    typeInto(form(), 3, QStringLiteral("555-0"));
    for (int press_ = 0; press_ < 2; ++press_) {
        h->dialogs.clear();
        if (command == QLatin1String("update")) {
            press(form().Command2);
            QCOMPARE(h->dialogs.texts(), QStringList{refusal});
        } else {
            h->dialogs.answer(IDYES);
            press(form().Command6);
            QCOMPARE(h->dialogs.texts(), (QStringList{"Are you sure you want to Delete Baker", refusal}));
        }
        QCOMPARE(members(), stored);
        QCOMPARE(journal().size(), journalRows);
        QVERIFY(!h->end.ended);
    }
    // The list shows the member as stored now; picked again, the command acts on it.
    QVERIFY(gridColumn(*form().Grid1, 0).contains(otherName));
    QVERIFY(pickMember(form(), 41));
    h->dialogs.clear();
    if (command == QLatin1String("update")) {
        typeInto(form(), 3, QStringLiteral("555-0"));
        press(form().Command2);
        QCOMPARE(h->dialogs.texts(), QStringList{"Record Updated"});
        QCOMPARE(members().at(1).at(3), QStringLiteral("555-0"));
    } else {
        h->dialogs.answer(IDYES);
        press(form().Command6);
        QCOMPARE(h->dialogs.texts(), (QStringList{"Are you sure you want to Delete " + otherName, "Record Deleted"}));
        QCOMPARE(members().size(), 1);
    }
}

KELVORY_BACKEND_TEST_MAIN(TestChanges)
#include "tst_changes.moc"
