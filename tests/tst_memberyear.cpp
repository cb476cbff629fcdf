// A club's year on both backends: a member's details stored with their journal row in
// one transaction, status leaving members out of the labels and the lists with the
// counts said, birthdays and anniversaries over the turn of the year and 29 February,
// dues for many members in one transaction, and a server without the details table.
#include "BackendTest.h"
#include "changes/MemberDetails.h"
#include "grid/CommandButton.h"
#include "grid/FlexGrid.h"
#include "output/LabelsDialog.h"
#include "roster/DetailsDialog.h"
#include "roster/DetailsMessages.h"
#include "roster/RosterForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace kelvory;
using namespace kelvory::test;
using namespace kelvory::changes;

class TestMemberYear : public BackendTest
{
    Q_OBJECT
public:
    using BackendTest::BackendTest;

private Q_SLOTS:
    void detailsAreStoredWithTheirJournalRowAtomically();
    void badDetailsAreSaidAndLoseNothing_data();
    void badDetailsAreSaidAndLoseNothing();
    void statusLeavesMembersOutOfTheLabels();
    void aDeletedMembersDetailsGoWithThem();
    void withoutTheTableEverythingWorksAsBefore();

private:
    void startWithClub();
    void setStatus(qint64 id, const QString &status);
    QStringList storedDetails(qint64 id);
    template <class Dialog>
    Dialog *openDialog(Qt::Key key)
    {
        form().activateWindow();
        if (!QTest::qWaitForWindowActive(&form()))
            return nullptr;
        QTest::keyClick(&form(), key, Qt::ControlModifier);
        for (Dialog *dialog : form().findChildren<Dialog *>()) {
            if (dialog->isVisible())
                return dialog;
        }
        return nullptr;
    }
};

void TestMemberYear::startWithClub()
{
    h->addMember("Abbott, Helen", "12 Main St", "Calvessa, OR 97301", "503-555-0142", "", 1);
    h->addMember("Baker, Ann", "4 Oak Ave", "Salem, OR 97302", "503-555-0150", "", 2);
    h->addMember("Carter, June", "77 Riverside Dr", "Keizer, OR 97303", "503-555-0119", "", 3);
    h->addMember("Dale, Ed", "9 Elm St", "Salem, OR 97302", "503-555-0177", "", 4);
    h->clock.day = QDate(2026, 12, 1);
    QVERIFY(h->start());
}

void TestMemberYear::setStatus(qint64 id, const QString &status)
{
    h->exec(QStringLiteral("insert into memberDetails (recordid, status) values (?, ?)"), {id, status});
}

QStringList TestMemberYear::storedDetails(qint64 id)
{
    const QList<QStringList> rows = h->texts(
        QStringLiteral("select birthYear, birthMonth, birthDay, joined, status, statusChanged, contact1Name, "
                       "contact1Phone, contact2Name from memberDetails where recordid = ?"),
        {id});
    return rows.isEmpty() ? QStringList() : rows.first();
}

void TestMemberYear::detailsAreStoredWithTheirJournalRowAtomically()
{
    startWithClub();
    clickRow(2); // Baker
    auto *dialog = openDialog<roster::DetailsDialog>(Qt::Key_D);
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Member Details: Baker, Ann"));
    dialog->txtBorn->setText(QStringLiteral("3/2/1941"));
    dialog->cboStatus->setCurrentIndex(3);
    QCOMPARE(dialog->txtStatusSince->text(), QStringLiteral("12/1/2026")); // today, to be corrected
    dialog->txtStatusSince->setText(QStringLiteral("2026-11-30"));
    // The second contact alone becomes the first to call.
    dialog->txtContactName[1]->setText(QStringLiteral("Baker, Tom"));
    dialog->txtContactRelationship[1]->setText(QStringLiteral("son"));
    dialog->txtContactPhone[1]->setText(QStringLiteral("503-555-0999"));
    QPointer<roster::DetailsDialog> open = dialog;
    press(dialog->cmdSave);
    QVERIFY(h->dialogs.messages.isEmpty());
    QTRY_VERIFY(!open);
    QCOMPARE(storedDetails(2),
             QStringList({"1941", "3", "2", kNull, "passed away", "2026-11-30", "Baker, Tom", "503-555-0999", ""}));
    QCOMPARE(journal().size(), 1);
    QCOMPARE(journal().last().transaction,
             QStringLiteral("Details : Baker, Ann: passed away 2026-11-30; born 1941-03-02; emergency contacts changed"));
    QCOMPARE(journal().last().person, QStringLiteral("Dorothy"));
    // Emergency contacts never reach the grid.
    form().FillRoster();
    for (int c = 0; c < grid().Cols(); ++c)
        QVERIFY(!column(c).contains(QStringLiteral("503-555-0999")));

    // Changed on another workstation while the dialog is open: nothing is stored over it.
    dialog = openDialog<roster::DetailsDialog>(Qt::Key_D);
    QVERIFY(dialog);
    QCOMPARE(dialog->txtBorn->text(), QStringLiteral("3/2/1941"));
    h->exec(QStringLiteral("update memberDetails set birthYear = 1942 where recordid = 2"));
    dialog->txtJoined->setText(QStringLiteral("5/1/1998"));
    press(dialog->cmdSave);
    QCOMPARE(h->dialogs.texts(), QStringList{roster::messages::detailsChangedElsewhere("Baker, Ann")});
    QCOMPARE(dialog->txtBorn->text(), QStringLiteral("3/2/1942"));
    QCOMPARE(storedDetails(2).at(3), kNull);
    QCOMPARE(journal().size(), 1);

    // A journal row that cannot be written takes the details with it.
    if (m_backend == Backend::Sqlite) {
        h->exec(QStringLiteral("create trigger refuse_journal before insert on changeHistory "
                               "begin select raise(abort, 'the journal is closed'); end"));
    } else {
        h->exec(QStringLiteral("create or replace function refuse_journal() returns trigger language plpgsql as "
                               "$$ begin raise exception 'the journal is closed'; end $$"));
        h->exec(QStringLiteral("create trigger refuse_journal before insert on changeHistory "
                               "for each row execute function refuse_journal()"));
    }
    dialog->txtJoined->setText(QStringLiteral("5/1/1998"));
    press(dialog->cmdSave);
    verifyErrorReport(*h, QStringLiteral("the journal is closed"));
    QCOMPARE(storedDetails(2).at(3), kNull);
    QCOMPARE(journal().size(), 1);
}

void TestMemberYear::badDetailsAreSaidAndLoseNothing_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("said");
    const QString example = QStringLiteral("12/1/2026");
    QTest::newRow("29 February of a common year") << "born" << "2/29/1943"
                                                  << roster::messages::notADay("Born", example);
    QTest::newRow("no month 13") << "born" << "13/2" << roster::messages::notADay("Born", example);
    QTest::newRow("born tomorrow") << "born" << "12/2/2026"
                                   << roster::messages::detailsNotSaved("Born", "in the future");
    QTest::newRow("joined in the future") << "joined" << "1/1/2027"
                                          << roster::messages::detailsNotSaved("Joined", "in the future");
    QTest::newRow("a contact without a phone")
        << "contact" << "Baker, Tom"
        << roster::messages::detailsNotSaved("First emergency contact", "a name and a phone are both needed");
}

void TestMemberYear::badDetailsAreSaidAndLoseNothing()
{
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, said);
    startWithClub();
    clickRow(1);
    auto *dialog = openDialog<roster::DetailsDialog>(Qt::Key_D);
    QVERIFY(dialog);
    dialog->txtDues->setText(QStringLiteral("12/31/2026"));
    (box == QLatin1String("born") ? dialog->txtBorn
                                  : (box == QLatin1String("joined") ? dialog->txtJoined : dialog->txtContactName[0]))
        ->setText(text);
    press(dialog->cmdSave);
    QCOMPARE(h->dialogs.texts(), QStringList{said});
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->txtDues->text(), QStringLiteral("12/31/2026"));
    QVERIFY(storedDetails(1).isEmpty());
    QVERIFY(journal().isEmpty());
    // A birthday without its year, 29 February included, is a birthday.
    dialog->txtBorn->setText(QStringLiteral("2/29"));
    dialog->txtJoined->clear();
    dialog->txtContactName[0]->clear();
    press(dialog->cmdSave);
    QCOMPARE(h->dialogs.messages.size(), 1);
    QCOMPARE(storedDetails(1).mid(0, 3), QStringList({"0", "2", "29"}));
    QCOMPARE(journal().last().transaction,
             QStringLiteral("Details : Abbott, Helen: born --02-29; dues paid through 2026-12-31"));
}

void TestMemberYear::statusLeavesMembersOutOfTheLabels()
{
    startWithClub();
    setStatus(2, QStringLiteral("passed away"));
    setStatus(3, QStringLiteral("resigned"));
    setStatus(4, QStringLiteral("lapsed"));
    auto *dialog = openDialog<output::LabelsDialog>(Qt::Key_L);
    QVERIFY(dialog);
    auto names = [&] {
        QStringList shown;
        for (const output::MailingAddress &address : dialog->job().addresses)
            shown << address.name;
        return shown;
    };
    QVERIFY(dialog->chkResigned->isVisibleTo(dialog));
    QCOMPARE(names(), QStringList({"Abbott, Helen", "Dale, Ed"}));
    QCOMPARE(dialog->lblSummary->text(),
             QStringLiteral("2 labels on 1 sheet, the first at label 1. Every member has an address. Left out: 1 "
                            "member who resigned and 1 member who passed away (tick them in below)."));
    dialog->chkPassedAway->click();
    QCOMPARE(names(), QStringList({"Abbott, Helen", "Baker, Ann", "Dale, Ed"}));
    QVERIFY(dialog->lblSummary->text().endsWith(QStringLiteral("Left out: 1 member who resigned (tick them in below).")));
    dialog->chkResigned->click();
    QCOMPARE(names().size(), 4);
    QVERIFY(dialog->lblSummary->text().endsWith(QStringLiteral("Every member has an address.")));
    // The member in the boxes is printed whatever the status: the operator chose her.
    dialog->reject();
    clickRow(2);
    dialog = openDialog<output::LabelsDialog>(Qt::Key_L);
    QVERIFY(dialog);
    dialog->optPicked->click();
    QCOMPARE(names(), QStringList{"Baker, Ann"});
    dialog->reject();
}

void TestMemberYear::aDeletedMembersDetailsGoWithThem()
{
    startWithClub();
    setStatus(4, QStringLiteral("passed away"));
    h->exec(QStringLiteral("update memberDetails set contact1Name = 'Dale, Rose', contact1Phone = '555' "
                           "where recordid = 4"));
    clickRow(4);
    h->dialogs.answer(IDYES);
    press(form().Command6);
    QVERIFY(storedDetails(4).isEmpty());
    // Add New gives the next member id 4 again; an id held by details left behind by the
    // web site's own delete holds nothing for the new member either.
    setStatus(4, QStringLiteral("resigned"));
    typeInto(form(), 0, QStringLiteral("Evans, Joy"));
    h->dialogs.clear();
    press(form().Command3);
    QCOMPARE(h->dialogs.texts(), QStringList{"Record Added"});
    QCOMPARE(form().boxText(5), QStringLiteral("4"));
    QVERIFY(storedDetails(4).isEmpty());
}

void TestMemberYear::withoutTheTableEverythingWorksAsBefore()
{
    h->prepareDatabase();
    h->exec(QStringLiteral("drop table memberDetails"));
    startWithClub();
    if (m_backend == Backend::Sqlite) {
        // An embedded file made by an earlier build is given the table at start.
        setStatus(3, QStringLiteral("resigned"));
        QCOMPARE(storedDetails(3).at(4), QStringLiteral("resigned"));
        return;
    }
    QVERIFY(!detailsTableExists(h->module->connection));
    clickRow(2);
    QVERIFY(!openDialog<roster::DetailsDialog>(Qt::Key_D));
    QCOMPARE(h->dialogs.texts(), QStringList{roster::messages::noDetailsTable()});
    auto *labels = openDialog<output::LabelsDialog>(Qt::Key_L);
    QVERIFY(labels);
    QVERIFY(!labels->chkResigned->isVisibleTo(labels));
    QCOMPARE(labels->lblSummary->text(),
             QStringLiteral("4 labels on 1 sheet, the first at label 1. Every member has an address."));
    labels->reject();
    h->dialogs.clear();
    h->dialogs.answer(IDYES);
    press(form().Command6);
    typeInto(form(), 0, QStringLiteral("Evans, Joy"));
    press(form().Command3);
    QCOMPARE(h->dialogs.texts(), QStringList({"Are you sure you want to Delete Baker, Ann", "Record Deleted",
                                              "Record Added"}));
    QVERIFY(!h->end.ended);
}

KELVORY_BACKEND_TEST_MAIN(TestMemberYear)

#include "tst_memberyear.moc"
