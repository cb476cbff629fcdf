// A club's year on both backends: a member's details stored with their journal row in
// one transaction, status leaving members out of the labels and the lists with the
// counts said, birthdays and anniversaries over the turn of the year and 29 February,
// dues for many members in one transaction, and a server without the details table.
#include "BackendTest.h"
#include "PdfText.h"
#include "changes/MemberDetails.h"
#include "database/Connection.h"
#include "grid/CommandButton.h"
#include "grid/FlexGrid.h"
#include "output/LabelsDialog.h"
#include "output/ListsDialog.h"
#include "output/YearMessages.h"
#include "roster/DetailsDialog.h"
#include "roster/DetailsMessages.h"
#include "roster/RosterForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QtTest>

#include <thread>

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
    void theFirstDetailsSavedOnTwoWorkstationsAtOnce();
    void badDetailsAreSaidAndLoseNothing_data();
    void badDetailsAreSaidAndLoseNothing();
    void statusLeavesMembersOutOfTheLabels();
    void aDeletedMembersDetailsGoWithThem();
    void withoutTheTableEverythingWorksAsBefore();
    void birthdaysAndAnniversariesInARange_data();
    void birthdaysAndAnniversariesInARange();
    void theListsDialogPrintsAndLabelsItsMembers();
    void duesForManyMembersInOneTransaction_data();
    void duesForManyMembersInOneTransaction();

private:
    void startWithClub();
    void setStatus(qint64 id, const QString &status);
    QStringList storedDetails(qint64 id);
    QString keptRows()
    {
        return h->texts(QStringLiteral("select count(*) from memberDetailsHistory")).value(0).value(0);
    }
    template <class Dialog> Dialog *openDialog(Qt::Key key)
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
    const QList<QStringList> rows =
        h->texts(QStringLiteral("select birthYear, birthMonth, birthDay, joined, status, statusChanged, contact1Name, "
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
    QCOMPARE(
        journal().last().transaction,
        QStringLiteral("Details : Baker, Ann: passed away 2026-11-30; born 1941-03-02; emergency contacts changed"));
    QCOMPARE(journal().last().person, QStringLiteral("Dorothy"));
    QCOMPARE(keptRows(), QStringLiteral("1"));
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
    closeTheJournal();
    dialog->txtJoined->setText(QStringLiteral("5/1/1998"));
    press(dialog->cmdSave);
    verifyErrorReport(*h, QStringLiteral("the journal is closed"));
    QCOMPARE(storedDetails(2).at(3), kNull);
    QCOMPARE(journal().size(), 1);
    QCOMPARE(keptRows(), QStringLiteral("1"));
}

void TestMemberYear::theFirstDetailsSavedOnTwoWorkstationsAtOnce()
{
    startWithClub();
    // This workstation has stored Baker's first details, and not yet committed them.
    database::Transaction saving(h->module->connection);
    MemberDetails lapsed;
    lapsed.status = MemberStatus::Lapsed;
    writeDetails(h->module->connection, 2, lapsed, false);
    DetailsResult second;
    std::thread other([&] {
        database::Connection connection;
        if (m_backend == Backend::Sqlite)
            connection.openEmbedded(QDir(h->folder.path()).filePath(QStringLiteral("Kelvory.db")));
        else
            connection.openServer(h->deployment.server);
        ChangeStore store{connection, QStringLiteral("Edna"), QDate(2026, 12, 1)};
        try {
            second = saveDetails(store, QStringLiteral("2"), QStringLiteral("Baker, Ann"), std::nullopt,
                                 MemberDetails{.duesPaidThrough = QDate(2026, 12, 31)});
        } catch (const Failure &failure) {
            second.problem = failure.description();
        }
    });
    // On PostgreSQL the other finds no row to lock and waits at its insert; on SQLite, for
    // this transaction.
    const QString waiting = QStringLiteral("select count(*) from pg_locks where not granted");
    for (QDeadlineTimer deadline(m_backend == Backend::Sqlite ? 300 : 10000);
         !deadline.hasExpired() && (m_backend == Backend::Sqlite || h->texts(waiting).value(0).value(0) == "0");)
        QThread::msleep(20);
    saving.commit();
    other.join();
    QCOMPARE(second.problem, QString());
    QCOMPARE(second.kind, DetailsResult::Kind::ChangedElsewhere);
    QCOMPARE(second.stored, std::optional<MemberDetails>(lapsed));
    QCOMPARE(storedDetails(2).mid(3, 3), QStringList({kNull, "lapsed", kNull}));
    QVERIFY(journal().isEmpty());
}

void TestMemberYear::badDetailsAreSaidAndLoseNothing_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("said");
    const QString example = QStringLiteral("12/1/2026");
    QTest::newRow("29 February of a common year") << "born"
                                                  << "2/29/1943" << roster::messages::notADay("Born", example);
    QTest::newRow("no month 13") << "born"
                                 << "13/2" << roster::messages::notADay("Born", example);
    QTest::newRow("born tomorrow") << "born"
                                   << "12/2/2026" << roster::messages::detailsNotSaved("Born", "in the future");
    QTest::newRow("joined in the future") << "joined"
                                          << "1/1/2027" << roster::messages::detailsNotSaved("Joined", "in the future");
    QTest::newRow("a contact without a phone")
        << "contact"
        << "Baker, Tom"
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
    QVERIFY(
        dialog->lblSummary->text().endsWith(QStringLiteral("Left out: 1 member who resigned (tick them in below).")));
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
    QCOMPARE(h->dialogs.texts(),
             QStringList({"Are you sure you want to Delete Baker, Ann", "Record Deleted", "Record Added"}));
    QVERIFY(!h->end.ended);
}

namespace {

output::ListMember born(const char *name, int year, int month, int day, QDate joined = {},
                        MemberStatus status = MemberStatus::Active)
{
    output::ListMember member;
    member.name = QString::fromUtf8(name);
    member.phone = QStringLiteral("555");
    member.details.birth = {year, month, day};
    member.details.joined = joined;
    member.details.status = status;
    return member;
}

} // namespace

void TestMemberYear::birthdaysAndAnniversariesInARange_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("notes");
    const int birthdays = int(output::ListKind::Birthdays);
    const QString notPlaced = QStringLiteral("1 member without a known birthday could not be placed.");
    QTest::newRow("20 December to 10 January")
        << birthdays << QDate(2026, 12, 20) << QDate(2027, 1, 10)
        << QStringList({"12/20/2026|Baker, Ann|80 *", "12/31/2026|Carter, June|", "1/1/2027|Dale, Ed|100 *",
                        "1/10/2027|Evans, Joy|91"})
        << QStringList({"* a round age", notPlaced, "Left out: 1 member who passed away."});
    QTest::newRow("29 February in a common year, on the 28th")
        << birthdays << QDate(2027, 2, 27) << QDate(2027, 3, 1)
        << QStringList({"2/28/2027|Leap, Lee|91", "3/1/2027|March, Mo|79"}) << QStringList{notPlaced};
    QTest::newRow("29 February in a leap year, on the day")
        << birthdays << QDate(2028, 2, 28) << QDate(2028, 3, 1)
        << QStringList({"2/29/2028|Leap, Lee|92", "3/1/2028|March, Mo|80 *"})
        << QStringList({"* a round age", notPlaced});
    QTest::newRow("a range over two years lists a birthday twice")
        << birthdays << QDate(2026, 1, 1) << QDate(2027, 1, 1)
        << QStringList({"1/1/2026|Dale, Ed|99", "1/10/2026|Evans, Joy|90 *", "2/28/2026|Leap, Lee|90 *",
                        "3/1/2026|March, Mo|78", "12/20/2026|Baker, Ann|80 *", "12/31/2026|Carter, June|",
                        "1/1/2027|Dale, Ed|100 *"})
        << QStringList({"* a round age", notPlaced, "Left out: 1 member who resigned and 1 member who passed away."});
    QTest::newRow("anniversaries of joining")
        << int(output::ListKind::Anniversaries) << QDate(2026, 12, 1) << QDate(2027, 1, 31)
        << QStringList({"12/1/2026|Baker, Ann|25 *", "1/15/2027|Dale, Ed|9"})
        << QStringList({"* a round anniversary", "5 members without a known day of joining could not be placed."});
}

void TestMemberYear::birthdaysAndAnniversariesInARange()
{
    QFETCH(int, kind);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, notes);
    const std::vector<output::ListMember> members = {
        born("Baker, Ann", 1946, 12, 20, QDate(2001, 12, 1)),
        born("Carter, June", 0, 12, 31),
        born("Dale, Ed", 1927, 1, 1, QDate(2018, 1, 15)),
        born("Evans, Joy", 1936, 1, 10),
        born("Gone, Gus", 1930, 1, 2, {}, MemberStatus::PassedAway),
        born("Left, Liz", 1940, 6, 1, {}, MemberStatus::Resigned), // counted only where her birthday falls
        born("Leap, Lee", 1936, 2, 29),
        born("March, Mo", 1948, 3, 1),
        born("Nobody, Known", 0, 0, 0),
    };
    output::ListRequest request;
    request.kind = static_cast<output::ListKind>(kind);
    request.from = from;
    request.to = to;
    const output::MemberList list = output::buildList(members, request);
    const output::ListDocument document = output::listDocument(members, request, list);
    QStringList shown;
    for (std::size_t r = 0; r < document.rows.size(); ++r) {
        shown << document.rows[r].mid(0, 3).join(u'|');
        QCOMPARE(document.marked[r], shown.last().endsWith(u'*'));
    }
    QCOMPARE(shown, rows);
    QCOMPARE(document.notes, notes);
    // Ticked in, they are listed and nobody is left out.
    request.inclusion = {true, true};
    QCOMPARE(output::buildList(members, request).leftOut.total(), 0);
}

void TestMemberYear::theListsDialogPrintsAndLabelsItsMembers()
{
    QVERIFY(havePoppler());
    startWithClub();
    h->exec(QStringLiteral("insert into memberDetails (recordid, birthYear, birthMonth, birthDay, contact1Name, "
                           "contact1Relationship, contact1Phone) values (1, 1946, 12, 24, 'Abbott, Sam', 'son', "
                           "'503-555-0001')"));
    h->exec(QStringLiteral("insert into memberDetails (recordid, birthMonth, birthDay, status) "
                           "values (2, 1, 3, 'passed away')"));
    h->exec(QStringLiteral("insert into memberDetails (recordid, birthMonth, birthDay) values (4, 1, 5)"));
    auto *dialog = openDialog<output::ListsDialog>(Qt::Key_L);
    QVERIFY(!dialog); // Ctrl+L is the labels' key
    qDeleteAll(form().findChildren<output::LabelsDialog *>());
    form().activateWindow();
    QTest::keyClick(&form(), Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
    dialog = form().findChild<output::ListsDialog *>();
    QVERIFY(dialog && dialog->isVisible());
    dialog->txtFrom->setText(QStringLiteral("12/20/2026"));
    dialog->txtTo->setText(QStringLiteral("1/10/2027"));
    QTest::keyClick(dialog->txtTo, Qt::Key_Return); // Show is the default button
    QCOMPARE(dialog->tblList->rowCount(), 2);
    QCOMPARE(dialog->tblList->item(0, 1)->text(), QStringLiteral("Abbott, Helen"));
    QVERIFY(dialog->tblList->item(0, 1)->font().bold()); // 80
    QCOMPARE(dialog->lblSummary->text(),
             QStringLiteral("2 lines.\n* a round age\n1 member without a known birthday could not be placed.\nLeft "
                            "out: 1 member who passed away."));
    dialog->txtTo->setText(QStringLiteral("12/1/2026"));
    press(dialog->cmdShow);
    QCOMPARE(dialog->lblSummary->text(), output::messages::listRangeBackwards());
    QCOMPARE(dialog->tblList->rowCount(), 0);
    dialog->txtTo->setText(QStringLiteral("1/10/2027"));
    press(dialog->cmdShow);

    // Mailing labels for exactly the list's members.
    press(dialog->cmdLabels);
    auto *labels = dialog->findChild<output::LabelsDialog *>();
    QVERIFY(labels);
    QCOMPARE(labels->job().addresses.size(), std::size_t(2));
    QCOMPARE(labels->job().addresses[1].name, QStringLiteral("Dale, Ed"));
    QVERIFY(labels->optAll->text().startsWith(QStringLiteral("&All members of the list: Birthdays from 12/20/2026")));
    labels->reject();

    // The emergency sheet for the member picked, on paper with the contact in order.
    dialog->cboKind->setCurrentIndex(3);
    QCOMPARE(dialog->tblList->rowCount(), 3);
    QCOMPARE(dialog->lblSummary->text(),
             QStringLiteral("3 lines.\n2 members have no emergency contact.\nLeft out: 1 member who passed away."));
    dialog->tblList->selectRow(0);
    const QString pdf = QDir(h->folder.path()).filePath(QStringLiteral("sheet.pdf"));
    h->dialogs.chooseFile(pdf);
    press(dialog->cmdSavePdf);
    QCOMPARE(h->dialogs.texts().last(), QStringLiteral("The list was saved to\r\n") + QDir::toNativeSeparators(pdf));
    const QString text = pdfLayoutPages(pdf).value(0).join(u'\n');
    QVERIFY2(text.contains(QStringLiteral("Abbott, Sam (son)")) && text.contains(QStringLiteral("503-555-0001")),
             qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("Only the members picked in the list are printed.")));
    QVERIFY2(!text.contains(QStringLiteral("Dale")), qPrintable(text));
    dialog->reject();
}

void TestMemberYear::duesForManyMembersInOneTransaction_data()
{
    QTest::addColumn<bool>("failHalfWay");
    QTest::newRow("200 members") << false;
    QTest::newRow("the 101st fails") << true;
}

void TestMemberYear::duesForManyMembersInOneTransaction()
{
    QFETCH(bool, failHalfWay);
    addManyMembers(*h, 206);
    // Five have paid already, one of them beyond the day asked.
    h->exec(QStringLiteral("insert into memberDetails (recordid, duesPaidThrough) values (1, ?), (2, ?), (3, ?), "
                           "(4, ?), (5, ?)"),
            {QDate(2026, 12, 31), QDate(2026, 12, 31), QDate(2026, 12, 31), QDate(2026, 12, 31), QDate(2027, 12, 31)});
    h->exec(
        QStringLiteral("insert into memberDetails (recordid, contact1Name, contact1Phone) values (10, 'Kept', '1')"));
    if (failHalfWay) {
        if (m_backend == Backend::Sqlite) {
            h->exec(QStringLiteral("create trigger refuse_one before insert on changeHistory "
                                   "when new.description like '%Member 00106%' "
                                   "begin select raise(abort, 'refused half way'); end"));
        } else {
            h->exec(QStringLiteral("create or replace function refuse_one() returns trigger language plpgsql as $$ "
                                   "begin if new.description like '%Member 00106%' then "
                                   "raise exception 'refused half way'; end if; return new; end $$"));
            h->exec(QStringLiteral("create trigger refuse_one before insert on changeHistory "
                                   "for each row execute function refuse_one()"));
        }
    }
    h->clock.day = QDate(2026, 12, 1);
    QVERIFY(h->start());
    form().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form()));
    QTest::keyClick(&form(), Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
    auto *dialog = form().findChild<output::ListsDialog *>();
    QVERIFY(dialog);
    dialog->cboKind->setCurrentIndex(2);
    QCOMPARE(dialog->txtPaidThrough->text(), QStringLiteral("12/31/2026"));
    QCOMPARE(dialog->tblList->rowCount(), 201);
    press(dialog->cmdRecordDues);
    QCOMPARE(h->dialogs.texts().last(), output::messages::pickMembersWhoPaid());
    // Picked by keys: the first row, then Shift+Down 199 times.
    dialog->tblList->setFocus();
    dialog->tblList->setCurrentCell(0, 0);
    for (int i = 0; i < 199; ++i)
        QTest::keyClick(dialog->tblList, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(dialog->tblList->selectionModel()->selectedRows().size(), 200);
    h->dialogs.answer(IDYES);
    press(dialog->cmdRecordDues);
    const QString paid = QStringLiteral("select count(*) from memberDetails where duesPaidThrough = ?");
    if (failHalfWay) {
        verifyErrorReport(*h, QStringLiteral("refused half way"));
        QCOMPARE(h->texts(paid, {QDate(2026, 12, 31)}).first().first(), QStringLiteral("4"));
        QVERIFY(journal().isEmpty());
        QCOMPARE(keptRows(), QStringLiteral("0"));
        return;
    }
    QCOMPARE(h->dialogs.texts().mid(1),
             QStringList({"Record dues paid through 12/31/2026 for 200 members?",
                          "Dues paid through 12/31/2026 were recorded for 200 members."}));
    QCOMPARE(h->texts(paid, {QDate(2026, 12, 31)}).first().first(), QStringLiteral("204"));
    QCOMPARE(journal().size(), 200);
    QCOMPARE(keptRows(), QStringLiteral("200"));
    QCOMPARE(journal().first().transaction, QStringLiteral("Details : Member 00006: dues paid through 2026-12-31"));
    // What was stored before stays: the contact of member 10, the later dues of member 5.
    QCOMPARE(storedDetails(10).at(6), QStringLiteral("Kept"));
    QCOMPARE(h->texts(paid, {QDate(2027, 12, 31)}).first().first(), QStringLiteral("1"));
    QCOMPARE(dialog->tblList->rowCount(), 1);
    QCOMPARE(dialog->tblList->item(0, 0)->text(), QStringLiteral("Member 00206"));
}

KELVORY_BACKEND_TEST_MAIN(TestMemberYear)

#include "tst_memberyear.moc"
