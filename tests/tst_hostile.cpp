// Hostile input in every edit box and in the first name, driven as the operator drives
// the program: each text is stored and journalled exactly as it stands in the box (byte
// for byte, as the server itself reports the bytes), or refused with a clear message and
// nothing sent. No text changes what a statement does: the other members, the journal
// and the other tables stay as they were.
#include "BackendTest.h"
#include "HostileTexts.h"
#include "roster/ChangeMessages.h"
#include "changes/MemberChanges.h"
#include "roster/RosterForm.h"
#include "grid/CommandButton.h"
#include "grid/FlexGrid.h"

#include <QDate>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QtTest>

#include <algorithm>

using namespace kelvory;
using namespace kelvory::test;

namespace {

using Row = QStringList;

const QString kOperator = QStringLiteral("Dorothy");
const char *const kBoxNames[5] = {"Name", "Address", "City, State, ZIP", "Phone", "Comment"};

QString hex(const QString &text)
{
    return QString::fromLatin1(text.toUtf8().toHex().toUpper());
}

} // namespace

class TestHostileInput : public BackendTest
{
    Q_OBJECT
public:
    // The tables are made in init(); the cases write User.txt, or are first runs.
    explicit TestHostileInput(Backend backend) : BackendTest(backend, QString(), Database::NotMade) {}

private Q_SLOTS:
    void init();
    void everyBoxStoresAndJournalsExactly_data();
    void everyBoxStoresAndJournalsExactly();
    void unstorableTextIsRefusedInEveryBox_data();
    void unstorableTextIsRefusedInEveryBox();
    void idBoxThatIsNoWholeNumberSendsNothing();
    void firstNameIsStoredJournalledAndReadBack_data();
    void firstNameIsStoredJournalledAndReadBack();
    void cleanupTestCase();

private:
    // The bytes the server holds, as the server itself writes them out in hexadecimal.
    QString hexOf(const QString &column) const
    {
        return m_backend == Backend::Sqlite
            ? QStringLiteral("hex(%1)").arg(column)
            : QStringLiteral("upper(encode(convert_to(%1, 'UTF8'), 'hex'))").arg(column);
    }
    QList<Row> members();
    QList<Row> journal();
    QList<Row> everythingElse();
    void seed();
    // Tells how many hostile texts each box took, for the closing figures.
    void count(int box) { ++m_tried[m_backend == Backend::Sqlite ? 0 : 1][box]; }

    QList<Row> m_bystanders;
    QList<Row> m_otherTables;
    int m_tried[2][7] = {};
    bool m_tablesMade = false;
};

void TestHostileInput::init()
{
    BackendTest::init();
    // The server's tables are made once; emptying them is much quicker than new ones.
    if (m_backend == Backend::Postgres && m_tablesMade) {
        for (const char *table : {"members", "changehistory", "memberstatus"})
            h->exec(QStringLiteral("delete from %1").arg(QLatin1String(table)));
    } else {
        h->prepareDatabase();
        m_tablesMade = true;
    }
    seed();
}

void TestHostileInput::cleanupTestCase()
{
    const int b = m_backend == Backend::Sqlite ? 0 : 1;
    qInfo("hostile texts tried per box on %s: Name %d, Address %d, City %d, Phone %d, Comment %d, record id %d, "
          "first name %d",
          qPrintable(backendName(m_backend)), m_tried[b][0], m_tried[b][1], m_tried[b][2], m_tried[b][3], m_tried[b][4],
          m_tried[b][5], m_tried[b][6]);
}

void TestHostileInput::seed()
{
    h->addMember(QStringLiteral("Adams, Ann"), QStringLiteral("1 Elm St"), QStringLiteral("Salem, OR 97301"),
                 QStringLiteral("555-0101"), QString(), 1);
    h->addMember(QStringLiteral("Baker, Bob"), QStringLiteral("2 Oak St"), QStringLiteral("Salem, OR 97301"),
                 QStringLiteral("555-0102"), QStringLiteral("board"), 2);
    h->addMember(QStringLiteral("O'Hara, Cy"), QStringLiteral("3 Ash St"), QStringLiteral("Keizer, OR 97303"),
                 QStringLiteral("555-0103"), QStringLiteral("likes 'quotes'"), 3);
    h->exec(QStringLiteral("insert into changeHistory values (?,?,?)"),
            {QDate(2024, 3, 1), QStringLiteral("Ed"), QStringLiteral("Added : O'Hara, Cy: 3 Ash St: Keizer: 555: x")});
    h->exec(QStringLiteral("insert into memberstatus values (?,?,?)"),
            {kOperator, QStringLiteral("1"), QDate(2024, 1, 1)});
    // A barred operator: a first name that rewrote the status query could let itself in.
    h->exec(QStringLiteral("insert into memberstatus values (?,?,?)"),
            {QStringLiteral("Mallory"), QStringLiteral("0"), QDate(2024, 1, 1)});
    m_bystanders = members();
    m_otherTables = everythingElse();
}

QList<Row> TestHostileInput::members()
{
    return h->texts(QStringLiteral("select %1, %2, %3, %4, %5, recordid from members order by recordid")
                        .arg(hexOf(QStringLiteral("name")), hexOf(QStringLiteral("address")),
                             hexOf(QStringLiteral("city")), hexOf(QStringLiteral("phone")),
                             hexOf(QStringLiteral("comment"))));
}

QList<Row> TestHostileInput::journal()
{
    QList<Row> rows = h->texts(QStringLiteral("select date, %1, %2 from changehistory")
                                   .arg(hexOf(QStringLiteral("person")), hexOf(QStringLiteral("description"))));
    std::sort(rows.begin(), rows.end());
    return rows;
}

QList<Row> TestHostileInput::everythingElse()
{
    QList<Row> rows = h->texts(QStringLiteral("select %1, status, created from memberstatus order by member")
                                   .arg(hexOf(QStringLiteral("member"))));
    rows += h->texts(QStringLiteral("select ver from hitcounters"));
    return rows;
}

void TestHostileInput::everyBoxStoresAndJournalsExactly_data()
{
    QTest::addColumn<QString>("text");
    for (const HostileText &hostile : storableHostileTexts())
        QTest::newRow(hostile.name) << hostile.text;
}

void TestHostileInput::everyBoxStoresAndJournalsExactly()
{
    QFETCH(QString, text);
    h->writeUserFile(kOperator);
    QVERIFY(h->start());
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    auto journalRow = [&](const QString &action, const QStringList &five) {
        return Row{today, hex(kOperator), hex(action + five.join(QStringLiteral(": ")))};
    };
    auto memberRow = [&](const QStringList &five, int id) {
        Row row;
        for (const QString &field : five)
            row.append(hex(field));
        row.append(QString::number(id));
        return row;
    };
    QList<Row> expectedJournal = journal();
    // After each change the journal holds one more row, that change's, and nothing else.
    auto journalled = [&](const QString &action, const QStringList &five) {
        expectedJournal.append(journalRow(action, five));
        std::sort(expectedJournal.begin(), expectedJournal.end());
        QCOMPARE(journal(), expectedJournal);
        for (int k = 0; k < 5; ++k)
            count(k);
    };

    // Add New, the text in all five boxes. The boxes set no length limit, so even a
    // 100,000-character text is held, stored and journalled whole.
    pasteMember(form(), QStringList(5, text));
    const QStringList added = boxes().mid(0, 5);
    QCOMPARE(added, QStringList(5, text));
    press(form().Command3);
    QCOMPARE(h->dialogs.texts(), QStringList{QStringLiteral("Record Added")});
    QCOMPARE(form().Text1[5]->text(), QStringLiteral("4"));
    QCOMPARE(members(), m_bystanders + QList<Row>{memberRow(added, 4)});
    journalled(QStringLiteral("Added : "), added);
    if (QTest::currentTestFailed())
        return;

    // Picked in the grid: the boxes get back exactly what was stored. Then Update with a
    // different text in each box, so that a value in the wrong column would show.
    form().Command1->click();
    QVERIFY(pickMember(form(), 4));
    QCOMPARE(boxes(), added + QStringList{QStringLiteral("4")});
    QStringList changed;
    for (int k = 0; k < 5; ++k)
        changed.append(QString::fromLatin1(kBoxNames[k]).left(1) + QString::number(k) + text);
    pasteMember(form(), changed);
    changed = boxes().mid(0, 5);
    h->dialogs.clear();
    press(form().Command2);
    QCOMPARE(h->dialogs.texts(), QStringList{QStringLiteral("Record Updated")});
    QCOMPARE(members(), m_bystanders + QList<Row>{memberRow(changed, 4)});
    journalled(QStringLiteral("Changed : "), changed);
    if (QTest::currentTestFailed())
        return;

    // DELETE: the confirmation names the member as the box holds it; the journal row
    // holds the deleted member's fields.
    form().Command1->click();
    QVERIFY(pickMember(form(), 4));
    QCOMPARE(boxes(), changed + QStringList{QStringLiteral("4")});
    h->dialogs.clear();
    h->dialogs.answer(IDYES);
    press(form().Command6);
    QCOMPARE(h->dialogs.texts(),
             QStringList({QStringLiteral("Are you sure you want to Delete ") + changed.first(), "Record Deleted"}));
    QCOMPARE(members(), m_bystanders);
    journalled(QStringLiteral("Deleted : "), changed);
    if (QTest::currentTestFailed())
        return;

    QCOMPARE(everythingElse(), m_otherTables);
    QVERIFY(!h->end.ended);
    QCOMPARE(h->dialogs.unscripted, 0);
}

void TestHostileInput::unstorableTextIsRefusedInEveryBox_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("problem");
    for (const HostileText &hostile : unstorableHostileTexts())
        QTest::newRow(hostile.name) << hostile.text << hostile.problem;
}

void TestHostileInput::unstorableTextIsRefusedInEveryBox()
{
    QFETCH(QString, text);
    QFETCH(QString, problem);
    h->writeUserFile(kOperator);
    QVERIFY(h->start());
    const QList<Row> journalBefore = journal();
    const QStringList plain = {"Nguyen, Van", "31 Cedar Ave", "Salem, OR 97301", "503-555-0128", "new"};

    for (int k = 0; k < 5; ++k) {
        const QString refusal = QStringLiteral("The %1 box holds %2, which cannot be stored. Remove it and try again; "
                                               "nothing was changed.")
                                    .arg(QString::fromLatin1(kBoxNames[k]), problem);
        for (const int command : {3, 2, 6}) {
            form().Command1->click();
            if (command != 3)
                QVERIFY(pickMember(form(), 2));
            QStringList five = command == 3 ? plain : boxes().mid(0, 5);
            five[k] = text;
            pasteMember(form(), five);
            // The box holds the text as it came, the bad character included.
            QCOMPARE(form().Text1[k]->text(), text);
            const QString idBefore = form().Text1[5]->text();
            h->dialogs.clear();
            grid::CommandButton *button =
                command == 3 ? form().Command3 : (command == 2 ? form().Command2 : form().Command6);
            press(button);
            QCOMPARE(h->dialogs.texts(), QStringList{refusal});
            QCOMPARE(h->dialogs.messages.first().style, MB_OK);
            // Refused before the id query of Add New and before DELETE's question.
            QCOMPARE(form().Text1[5]->text(), idBefore);
            QCOMPARE(members(), m_bystanders);
            QCOMPARE(journal(), journalBefore);
            count(k);
        }
    }
    QCOMPARE(everythingElse(), m_otherTables);
    QVERIFY(!h->end.ended);
}

void TestHostileInput::idBoxThatIsNoWholeNumberSendsNothing()
{
    h->writeUserFile(kOperator);
    QVERIFY(h->start());
    const QList<Row> journalBefore = journal();
    // The id box takes no typing; what could still reach it must not reach a statement.
    const QStringList ids = {"2 or 1=1",
                             "2; delete from members; --",
                             "2 --",
                             "' or ''='",
                             "2/* */",
                             QString::fromUtf8("\xEF\xBC\x92"),
                             QString::fromUtf8("\xD9\xA2"),
                             "99999999999999999999",
                             "0x2",
                             "2e0",
                             " 2",
                             "2 ",
                             "2\t",
                             QString(100000, QLatin1Char('2'))};
    for (const QString &id : ids) {
        for (const bool update : {true, false}) {
            form().Command1->click();
            QVERIFY(pickMember(form(), 2));
            form().Text1[5]->setText(id);
            h->dialogs.clear();
            press(update ? form().Command2 : form().Command6);
            QCOMPARE(h->dialogs.texts(), QStringList{roster::messages::recordIdNotWhole(id)});
            QCOMPARE(members(), m_bystanders);
            QCOMPARE(journal(), journalBefore);
            count(5);
        }
    }
    QCOMPARE(everythingElse(), m_otherTables);
}

void TestHostileInput::firstNameIsStoredJournalledAndReadBack_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("problem");
    for (const HostileText &hostile : storableHostileTexts())
        QTest::newRow(hostile.name) << hostile.text << QString();
    for (const HostileText &hostile : unstorableHostileTexts())
        QTest::newRow(hostile.name) << hostile.text << hostile.problem;
}

void TestHostileInput::firstNameIsStoredJournalledAndReadBack()
{
    QFETCH(QString, name);
    QFETCH(QString, problem);
    count(6);
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    QList<Row> expectedJournal = journal();

    h->dialogs.type(name);
    const bool shown = h->start();
    // A name that User.txt could not give back as typed at the next start (one that holds a
    // double quote or a line break) is refused and asked for again; Cancel then ends.
    const bool unreadable =
        name.contains(QLatin1Char('"')) || name.contains(QLatin1Char('\r')) || name.contains(QLatin1Char('\n'));
    QCOMPARE(h->dialogs.inputPrompts.size(), problem.isEmpty() && unreadable ? 2 : 1);
    if (!problem.isEmpty() || unreadable) {
        QVERIFY(!shown);
        const QStringList refusal = !problem.isEmpty()
            ? QStringList{QStringLiteral("Your first name holds %1, which cannot be stored. Start "
                                         "the program again and type your first name without it.")
                              .arg(problem)}
            : QStringList{QStringLiteral("Your first name cannot hold a double quote or a line break: the program "
                                         "could not read it back as you typed it. Type your first name again."),
                          QStringLiteral("You must enter your first name")};
        QCOMPARE(h->dialogs.texts(), refusal);
        QCOMPARE(h->dialogs.messages.first().style, MB_OK | MB_ICONERROR);
        QVERIFY(h->end.ended);
        QVERIFY(!QFile::exists(h->userFilePath()));
        QCOMPARE(everythingElse(), m_otherTables);
        QCOMPARE(journal(), expectedJournal);
        return;
    }
    QVERIFY(shown);
    QCOMPARE(h->module->OperatorFirstName, name);

    // User.txt: the name between double quotes, CR LF, as typed.
    QCOMPARE(fileBytes(h->userFilePath()), '"' + name.toUtf8() + "\"\r\n");
    QList<Row> expectedStatus = everythingElse();
    QVERIFY(expectedStatus.contains(Row{hex(name), QStringLiteral("1"), today}));
    QCOMPARE(expectedStatus.size(), m_otherTables.size() + 1);

    // The journal's person column carries the name exactly.
    pasteMember(form(), {"Nguyen, Van", "31 Cedar Ave", "Salem, OR 97301", "503-555-0128", ""});
    press(form().Command3);
    QCOMPARE(h->dialogs.texts(), QStringList{QStringLiteral("Record Added")});
    expectedJournal.append(Row{today, hex(name),
                               hex(QStringLiteral("Added : Nguyen, Van: 31 Cedar Ave: Salem, OR 97301: "
                                                  "503-555-0128: "))});
    std::sort(expectedJournal.begin(), expectedJournal.end());
    QCOMPARE(journal(), expectedJournal);

    // The next start reads the first item of User.txt: the name as typed.
    const QString readBack = name;
    h->restart();
    h->dialogs.clear();
    const bool shownAgain = h->start();
    QVERIFY(h->dialogs.inputPrompts.isEmpty());
    // Admitted: no text of a name can make the status query find the barred operator.
    QVERIFY(shownAgain);
    QCOMPARE(h->module->OperatorFirstName, readBack);
    QVERIFY(h->dialogs.messages.isEmpty());
    pasteMember(form(), {"Ortiz, Ana", "5 Pine St", "Salem, OR 97301", "503-555-0199", ""});
    press(form().Command3);
    QCOMPARE(h->dialogs.texts(), QStringList{QStringLiteral("Record Added")});
    expectedJournal.append(Row{today, hex(readBack),
                               hex(QStringLiteral("Added : Ortiz, Ana: 5 Pine St: Salem, OR 97301: 503-555-0199: "))});
    std::sort(expectedJournal.begin(), expectedJournal.end());
    QCOMPARE(journal(), expectedJournal);
    QCOMPARE(everythingElse(), expectedStatus);
    QCOMPARE(members().mid(0, 3), m_bystanders);
}

int main(int argc, char *argv[])
{
    // The texts are under test, not the disk: on a RAM disk SQLite's syncs cost nothing.
    if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        qputenv("TMPDIR", "/dev/shm");
    QApplication app(argc, argv);
    prepareApplication();
    return runOnEveryBackend<TestHostileInput>(argc, argv);
}
#include "tst_hostile.moc"
