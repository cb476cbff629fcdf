#include "BackendTest.h"
#include "database/MemberFields.h"
#include "import/ImportDialog.h"
#include "import/ImportFile.h"
#include "import/ImportMessages.h"
#include "import/ImportStore.h"
#include "history/History.h"
#include "import/TakeBackImport.h"
#include "output/Export.h"
#include "roster/FlexGridSource.h"
#include "roster/RosterForm.h"
#include "grid/CommandButton.h"
#include "grid/FlexGrid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStringEncoder>
#include <QTableWidget>
#include <QtTest>

#include <numeric>

using namespace kelvory;
using namespace kelvory::import;
using namespace kelvory::test;

Q_DECLARE_METATYPE(kelvory::import::Verdict)

namespace {

using Records = std::vector<QStringList>;

// A field as a spreadsheet program writes it: quoted when it holds the separator, a quote
// or a line break, its quotes doubled.
QString written(const QString &field, QChar separator)
{
    if (!field.contains(separator) && !field.contains(u'"') && !field.contains(u'\n') && !field.contains(u'\r'))
        return field;
    return u'"' + QString(field).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
}

QString fileText(const Records &records, QChar separator)
{
    QString text;
    for (const QStringList &record : records) {
        QStringList fields;
        for (const QString &field : record)
            fields.append(written(field, separator));
        text += fields.join(separator) + QStringLiteral("\r\n");
    }
    return text;
}

} // namespace

class TestImport : public BackendTest
{
    Q_OBJECT
public:
    using BackendTest::BackendTest;

private Q_SLOTS:
    void readsEveryEncodingAndSeparator_data();
    void readsEveryEncodingAndSeparator();
    void matchesColumnsByHeading_data();
    void matchesColumnsByHeading();
    void previewGivesEachRowItsVerdict_data();
    void previewGivesEachRowItsVerdict();
    void importStoresMembersWithIdsAndJournalRows();
    void theExportImportsBackToTheSameMembers();
    void aFailureHalfwayStoresNothing();
    void importChoicesAndRefusals_data();
    void importChoicesAndRefusals();
    void anImportIsTakenBackInOneStep_data();
    void anImportIsTakenBackInOneStep();

private:
    QString writeImportFile(const QByteArray &bytes) const
    {
        const QString path = QDir(h->folder.path()).filePath(QStringLiteral("list.csv"));
        writeFile(path, bytes);
        return path;
    }
    // Ctrl+I, then the file chosen with Browse.
    ImportDialog *openDialog(const QString &path)
    {
        // A window's shortcut works while the window is the active one.
        form().activateWindow();
        if (!QTest::qWaitForWindowActive(&form()))
            return nullptr;
        QTest::keyClick(&form(), Qt::Key_I, Qt::ControlModifier);
        ImportDialog *dialog = nullptr;
        // One closed a moment ago may not be deleted yet.
        for (ImportDialog *open : form().findChildren<ImportDialog *>())
            dialog = open->isVisible() ? open : dialog;
        if (!dialog)
            return nullptr;
        h->dialogs.chooseFile(path);
        press(dialog->cmdBrowse);
        return dialog;
    }
    QStringList messageTexts() const { return h->dialogs.texts(); }
};

void TestImport::readsEveryEncodingAndSeparator_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<char>("separator");
    QTest::addColumn<Records>("records");

    const Records records = {
        {QStringLiteral("Name"), QStringLiteral("Address"), QStringLiteral("Comment")},
        {QStringLiteral("Lefèvre, Zoë"), QStringLiteral("12 Elm St; Apt 4\tback"), QStringLiteral("says \"hi\"")},
        {QStringLiteral("Müller, Jürgen"), QStringLiteral("Line one\r\nline two"), QString()},
    };
    const struct
    {
        const char *name;
        QString encoding;
        std::function<QByteArray(const QString &)> encode;
    } encodings[] = {
        {"utf-8", messages::utf8(), [](const QString &t) { return t.toUtf8(); }},
        {"utf-8 with mark", messages::utf8WithMark(), [](const QString &t) { return "\xEF\xBB\xBF" + t.toUtf8(); }},
        {"utf-16le", messages::utf16(),
         [](const QString &t) { return QByteArray("\xFF\xFE") + QStringEncoder(QStringConverter::Utf16LE)(t); }},
        {"utf-16be", messages::utf16(),
         [](const QString &t) { return QByteArray("\xFE\xFF") + QStringEncoder(QStringConverter::Utf16BE)(t); }},
        {"windows-1252", messages::windows1252(),
         [](const QString &t) -> QByteArray {
             QStringEncoder encode("windows-1252");
             return encode(t);
         }},
    };
    for (const auto &encoding : encodings) {
        for (const char separator : {',', ';', '\t'}) {
            const QByteArray bytes = encoding.encode(fileText(records, QLatin1Char(separator)));
            QTest::addRow("%s, %s", encoding.name, separator == '\t' ? "tab" : QByteArray(1, separator).constData())
                << bytes << encoding.encoding << separator << records;
        }
    }
    // Bytes that are not UTF-8 read as Windows' code page, its own 0x80 to 0x9F included.
    QTest::newRow("1252 quotes and euro") << QByteArray("Name\r\n\x93" "Bud\x94 \x80\x85\r\n") << messages::windows1252()
                                         << ',' << Records{{QStringLiteral("Name")}, {QStringLiteral("“Bud” €…")}};
    QTest::newRow("blank lines and no last line end") << QByteArray("Name,Phone\n\n\nAdams, 555\n") << messages::utf8()
                                                      << ',' << Records{{QStringLiteral("Name"), QStringLiteral("Phone")},
                                                                        {QStringLiteral("Adams"), QStringLiteral(" 555")}};
}

void TestImport::readsEveryEncodingAndSeparator()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, encoding);
    QFETCH(char, separator);
    QFETCH(Records, records);
    const ImportTable table = readImportBytes(bytes);
    QCOMPARE(table.encodingName, encoding);
    QCOMPARE(table.separator, separator);
    QCOMPARE(table.records, records);
}

void TestImport::matchesColumnsByHeading_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("headingRow");
    QTest::addColumn<QStringList>("member");

    const QStringList adams = {QStringLiteral("Adams, Jane"), QStringLiteral("12 Elm St"),
                               QStringLiteral("Springfield, IL 62701"), QStringLiteral("555-0101"),
                               QStringLiteral("new")};
    QTest::newRow("the export's own") << QStringLiteral("Name,Address,City State Zip,Phone,Comment,,\r\n"
                                                       "\"Adams, Jane\",12 Elm St,\"Springfield, IL 62701\",555-0101,new,7,\r\n")
                                      << true << adams;
    QTest::newRow("parts apart") << QStringLiteral("Last Name;First Name;Street;City;State;ZIP;Telephone;Notes\n"
                                                   "Adams;Jane;12 Elm St;Springfield;IL;62701;555-0101;new\n")
                                 << true << adams;
    QTest::newRow("case, blanks, punctuation, order")
        << QStringLiteral("e-mail,TELEPHONE,city / state / zip,NOTES,first_name,LAST-NAME,ADDRESS\n"
                          "jane@example.org,555-0101,\"Springfield, IL 62701\",new,Jane,Adams,12 Elm St\n")
        << true << adams;
    QTest::newRow("a second phone left out") << QStringLiteral("Name\tPhone\tTelephone\nAdams\t555-0101\t555-9999\n")
                                             << true
                                             << QStringList{QStringLiteral("Adams"), {}, {}, QStringLiteral("555-0101"), {}};
    QTest::newRow("no headings: by position") << QStringLiteral("\"Adams, Jane\",12 Elm St,\"Springfield, IL 62701\","
                                                                "555-0101,new,extra\n")
                                              << false << adams;
    QTest::newRow("a short row") << QStringLiteral("Name,City,State,ZIP\nAdams,,IL\n") << true
                                 << QStringList{QStringLiteral("Adams"), {}, QStringLiteral("IL"), {}, {}};
}

void TestImport::matchesColumnsByHeading()
{
    QFETCH(QString, file);
    QFETCH(bool, headingRow);
    QFETCH(QStringList, member);
    const ImportTable table = readImportBytes(file.toUtf8());
    const ColumnMatch match = matchColumns(table.records);
    QCOMPARE(match.headingRow, headingRow);
    QCOMPARE(table.records.size(), std::size_t(headingRow ? 2 : 1));
    const MemberFields fields = memberFrom(table.records.back(), match);
    QCOMPARE(QStringList(fields.begin(), fields.end()), member);
}

void TestImport::previewGivesEachRowItsVerdict_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<Verdict>("verdict");
    QTest::addColumn<QString>("note");

    QTest::newRow("new") << QStringLiteral("Baker Tom,3 Oak Ave") << Verdict::Added << QString();
    QTest::newRow("same, spelled otherwise") << QStringLiteral("\"marie, anne marie\",12 ELM ST.") << Verdict::OnRoster
                                             << QStringLiteral("the same as \"Marie, Anne-Marie\", 12 Elm St");
    QTest::newRow("accents") << QStringLiteral("Zoe Lefevre,5 Pine Rd") << Verdict::OnRoster
                             << QStringLiteral("the same as \"Zoë Lefèvre\", 5 Pine Rd");
    QTest::newRow("same name, other address") << QStringLiteral("\"Marie, Anne-Marie\",40 Birch Ln")
                                              << Verdict::PossiblyOnRoster
                                              << QStringLiteral("the same name as \"Marie, Anne-Marie\", 12 Elm St");
    QTest::newRow("same address, name turned round") << QStringLiteral("Anne-Marie Marie,12 Elm St")
                                                     << Verdict::PossiblyOnRoster
                                                     << QStringLiteral("the same address as \"Marie, Anne-Marie\", 12 Elm St");
    QTest::newRow("same address, another name") << QStringLiteral("\"Marie, Paul\",12 Elm St") << Verdict::Added
                                                << QString();
    QTest::newRow("no name") << QStringLiteral(" ,7 Ash Ct") << Verdict::Unusable << messages::noName();
    QTest::newRow("a null character") << QStringLiteral("Nul\u0001,7 Ash Ct").replace(QChar(1), QChar(0))
                                      << Verdict::Unusable
                                      << QStringLiteral("the Name holds a null character, which cannot be stored");
    QTest::newRow("too long") << QStringLiteral("Long Lou,") + QString(41, u'x') << Verdict::Unusable
                              << QStringLiteral("the Address is 41 characters long; the database holds at most 40");
    QTest::newRow("twice in the file") << QStringLiteral("Baker Tom,3 Oak Ave\nBAKER TOM,3 Oak Ave")
                                       << Verdict::OnRoster << QStringLiteral("the same as row 2 of this file");
}

void TestImport::previewGivesEachRowItsVerdict()
{
    QFETCH(QString, row);
    QFETCH(Verdict, verdict);
    QFETCH(QString, note);
    h->addMember(QStringLiteral("Marie, Anne-Marie"), QStringLiteral("12 Elm St"), {}, {}, {}, 1);
    h->addMember(QStringLiteral("Zoë Lefèvre"), QStringLiteral("5 Pine Rd"), {}, {}, {}, 2);
    // SQLite has no widths: there the address gets one, to find the limit by.
    if (m_backend == Backend::Postgres)
        h->exec(QStringLiteral("alter table members alter column address type varchar(40)"));
    QVERIFY(h->start());
    FieldWidths widths = fieldWidths(h->module->connection);
    QCOMPARE(widths, (FieldWidths{0, m_backend == Backend::Postgres ? 40 : 0, 0, 0, 0}));
    widths[1] = 40;

    const ImportTable table = readImportBytes((QStringLiteral("Name,Address\n") + row).toUtf8());
    const Preview preview =
        makePreview(table, matchColumns(table.records), rosterEntries(h->module->connection), widths);
    QVERIFY(!preview.rows.empty());
    const PreviewRow &last = preview.rows.back();
    QCOMPARE(last.verdict, verdict);
    QCOMPARE(last.note, note);
    QCOMPARE(last.fileRow, int(table.records.size()));
    QCOMPARE(std::accumulate(preview.counts.begin(), preview.counts.end(), 0), int(preview.rows.size()));
}

void TestImport::importStoresMembersWithIdsAndJournalRows()
{
    h->addMember(QStringLiteral("Marie, Anne-Marie"), QStringLiteral("12 Elm St"), QStringLiteral("Troy, NY 12180"),
                 QStringLiteral("555-0100"), {}, 41);
    QVERIFY(h->start());
    const QString path = writeImportFile(QStringLiteral("Last Name,First Name,Address,City,State,ZIP,Phone,Notes\r\n"
                                                        "Baker,Tom,3 Oak Ave,Troy,NY,12180,555-0102,\"new, keen\"\r\n"
                                                        "Marie,Anne Marie,12 ELM ST,Troy,NY,12180,555-0100,\r\n"
                                                        ",,no name here,,,,,\r\n"
                                                        "Cole,Ada,,,,,,\r\n")
                                             .toUtf8());
    const QByteArray before = fileBytes(path);
    ImportDialog *dialog = openDialog(path);
    QVERIFY(dialog && dialog->isModal());
    QCOMPARE(dialog->txtFile->text(), QDir::toNativeSeparators(path));
    QCOMPARE(dialog->lblCounts->text(), previewCounts(dialog->preview()));
    QCOMPARE(dialog->preview().counts, (std::array<int, kVerdictCount>{2, 1, 0, 1}));
    // The operator leaves the notes out.
    auto *notes = qobject_cast<QComboBox *>(dialog->tblColumns->cellWidget(0, 7));
    QVERIFY(notes);
    QCOMPARE(notes->currentText(), messages::commentTarget());
    notes->setCurrentIndex(int(Target::LeftOut));
    press(dialog->cmdImport);

    QCOMPARE(members(), (QList<QStringList>{
                            {"Marie, Anne-Marie", "12 Elm St", "Troy, NY 12180", "555-0100", "", "41"},
                            {"Baker, Tom", "3 Oak Ave", "Troy, NY 12180", "555-0102", "", "42"},
                            {"Cole, Ada", "", "", "", "", "43"},
                        }));
    const QList<JournalRow> rows = journal();
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].person, QStringLiteral("Dorothy"));
    QCOMPARE(rows[0].transaction, QStringLiteral("Added : Baker, Tom: 3 Oak Ave: Troy, NY 12180: 555-0102: "));
    QCOMPARE(rows[1].transaction, QStringLiteral("Added : Cole, Ada: : : : "));
    QCOMPARE(rows[0].date, QDate::currentDate().toString(Qt::ISODate));
    QCOMPARE(column(members::Name), (QStringList{"Baker, Tom", "Cole, Ada", "Marie, Anne-Marie"}));

    QCOMPARE(h->dialogs.messages.size(), 1);
    QStringList expected = {messages::membersImported(2, 42, 43), messages::rowsLeftOut(1, 1)};
    if (m_backend == Backend::Sqlite) {
        const QStringList copies = QDir(QDir(h->folder.path()).filePath(QStringLiteral("Backups")))
                                       .entryList({QStringLiteral("Kelvory-*-*-*-*.db")}, QDir::Files);
        QCOMPARE(copies.size(), 1);
        expected << QString() << messages::backupBeforeImport(QDir::toNativeSeparators(
                                     QDir(h->folder.path()).filePath(QStringLiteral("Backups/") + copies[0])));
        // The copy is the roster before the import.
        database::Connection copy;
        copy.openEmbedded(QDir(h->folder.path()).filePath(QStringLiteral("Backups/") + copies[0]));
        QCOMPARE(allRows(copy, QStringLiteral("select count(*) from members")).value(0).value(0).toInt(), 1);
    }
    expected << QString() << QStringLiteral("Take the whole import back now? (The Transaction History window offers "
                                            "this later too.)");
    QCOMPARE(h->dialogs.messages[0].text, expected.join(QStringLiteral("\r\n")));
    QCOMPARE(h->dialogs.messages[0].style, int(MB_YESNO | MB_DEFBUTTON2));
    QCOMPARE(fileBytes(path), before);
    QVERIFY(!h->end.ended);
}

void TestImport::theExportImportsBackToTheSameMembers()
{
    const QList<QStringList> club = {
        {"Adams Jane", "12 Elm St", "Springfield IL 62701", "555-0101", "likes \"bingo\"", "1"},
        {"Łódź Émile", "3 Oak Ave; rear", "Troy NY 12180", "", "", "2"},
        {"O'Neil Pat", "", "", "555-0103", "new", "3"},
    };
    for (const QStringList &m : club)
        h->addMember(m[0], m[1], m[2], m[3], m[4], m[5].toLongLong());
    QVERIFY(h->start());
    const QString path = writeImportFile(output::exportBytes(roster::FlexGridSource(grid())));
    const QStringList order = column(members::Name);

    // Into the same roster: every member is there already.
    ImportDialog *again = openDialog(path);
    QVERIFY(again);
    QCOMPARE(again->preview().counts, (std::array<int, kVerdictCount>{0, 3, 0, 0}));
    again->reject();

    // Into an empty one: the same members.
    h->exec(QStringLiteral("delete from members"));
    press(form().Command8);
    ImportDialog *dialog = openDialog(path);
    QVERIFY(dialog);
    QVERIFY(dialog->preview().headingRow);
    QCOMPARE(dialog->preview().counts, (std::array<int, kVerdictCount>{3, 0, 0, 0}));
    press(dialog->cmdImport);
    // In the export's order, the roster's, which is the database's order of names.
    QList<QStringList> expected;
    for (const QString &name : order) {
        expected.append(*std::find_if(club.begin(), club.end(), [&](const QStringList &m) { return m[0] == name; }));
        expected.back()[5] = QString::number(expected.size());
    }
    QCOMPARE(members(), expected);
}

void TestImport::aFailureHalfwayStoresNothing()
{
    // The second member is refused by the database, after the first has been sent.
    if (m_backend == Backend::Sqlite) {
        h->exec(QStringLiteral("create trigger refuse before insert on members when new.name = 'Poison' "
                               "begin select raise(abort, 'refused'); end"));
    } else {
        h->exec(QStringLiteral("create or replace function refuse() returns trigger as $$ begin if new.name = "
                               "'Poison' then raise exception 'refused'; end if; return new; end $$ language plpgsql"));
        h->exec(QStringLiteral("create trigger refuse before insert on members for each row execute function refuse()"));
    }
    h->addMember(QStringLiteral("Adams"), QStringLiteral("12 Elm St"), {}, {}, {}, 1);
    QVERIFY(h->start());
    const QString path = writeImportFile("Name,Address\nBaker,3 Oak Ave\nPoison,1 Yew Ct\nCole,5 Ash Ct\n");
    ImportDialog *dialog = openDialog(path);
    QVERIFY(dialog);
    press(dialog->cmdImport);

    QCOMPARE(members(), (QList<QStringList>{{"Adams", "12 Elm St", "", "", "", "1"}}));
    QVERIFY(journal().isEmpty());
    QCOMPARE(h->dialogs.messages.size(), 1);
    QVERIFY2(h->dialogs.messages[0].text.startsWith(QStringLiteral("Nothing was imported: the database refused")),
             qPrintable(h->dialogs.messages[0].text));
    QVERIFY2(h->dialogs.messages[0].text.contains(QStringLiteral("refused")), qPrintable(h->dialogs.messages[0].text));
    QCOMPARE(h->dialogs.messages[0].style, int(MB_OK | MB_ICONERROR));
    QVERIFY(!h->end.ended);
    QVERIFY(dialog->isVisible());
    QCOMPARE(column(members::Name), QStringList{QStringLiteral("Adams")});
}

void TestImport::importChoicesAndRefusals_data()
{
    QTest::addColumn<bool>("addToo");
    QTest::addColumn<bool>("backupsIsAFile");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("message");

    const QString both = QStringLiteral("2 members were imported, with record ids 2 to 3.");
    QTest::newRow("already on the roster, left out") << false << false << QStringList{"Adams", "Baker"}
                                                    << QStringLiteral("1 member was imported, with record id 2.\r\n"
                                                                      "Left out: 1 already on the roster, 0 unusable.");
    QTest::newRow("added too") << true << false << QStringList{"Adams", "ADAMS", "Baker"} << both;
    if (m_backend == Backend::Sqlite)
        QTest::newRow("no copy, no import") << false << true << QStringList{"Adams"}
                                            << QStringLiteral("Nothing was imported: the copy of the database that is "
                                                              "made before an import could not be made in ");
}

void TestImport::importChoicesAndRefusals()
{
    QFETCH(bool, addToo);
    QFETCH(bool, backupsIsAFile);
    QFETCH(QStringList, names);
    QFETCH(QString, message);
    h->addMember(QStringLiteral("Adams"), QStringLiteral("12 Elm St"), {}, {}, {}, 1);
    QVERIFY(h->start());
    const QString backups = QDir(h->folder.path()).filePath(QStringLiteral("Backups"));
    if (backupsIsAFile) {
        QDir(backups).removeRecursively();
        writeFile(backups, "not a folder");
    }
    const QPointer<ImportDialog> dialog = openDialog(writeImportFile("Name,Address\nADAMS,12 elm st\nBaker,3 Oak Ave\n"));
    QVERIFY(dialog);
    dialog->chkAddToo->setChecked(addToo);
    press(dialog->cmdImport);

    QStringList stored;
    for (const QStringList &member : members())
        stored.append(member[0]);
    QCOMPARE(stored, names);
    QCOMPARE(h->dialogs.messages.size(), 1);
    QVERIFY2(h->dialogs.messages[0].text.startsWith(message), qPrintable(h->dialogs.messages[0].text));
    // A refused import leaves the dialog open.
    QCOMPARE(dialog && dialog->isVisible(), backupsIsAFile);
    if (!backupsIsAFile && m_backend == Backend::Sqlite)
        QCOMPARE(QDir(backups).entryList(QDir::Files).size(), 2); // the day's copy and the import's
}

void TestImport::anImportIsTakenBackInOneStep_data()
{
    QTest::addColumn<bool>("atOnce");        // Yes to the closing message's offer
    QTest::addColumn<QList<int>>("answers"); // to the history window's questions
    QTest::addColumn<int>("left");
    QTest::newRow("from the closing message") << true << QList<int>{} << 0;
    QTest::newRow("later, changed members kept") << false << QList<int>{IDYES, IDNO} << 3;
    QTest::newRow("later, changed members removed too") << false << QList<int>{IDYES, IDYES} << 1;
}

void TestImport::anImportIsTakenBackInOneStep()
{
    QFETCH(bool, atOnce);
    QFETCH(QList<int>, answers);
    QFETCH(int, left);
    h->addMember(QStringLiteral("Adams"), QStringLiteral("12 Elm St"), {}, {}, {}, 1);
    QVERIFY(h->start());
    QByteArray file = "Name,Address\n";
    for (int i = 1; i <= 1000; ++i)
        file += QStringLiteral("Member %1,%2 Oak Ave\n").arg(i, 4, 10, QLatin1Char('0')).arg(i).toUtf8();
    h->dialogs.answer(atOnce ? IDYES : IDNO);
    const QPointer<ImportDialog> dialog = openDialog(writeImportFile(file));
    QVERIFY(dialog);
    press(dialog->cmdImport);
    if (!atOnce) {
        QCOMPARE(members().size(), 1001);
        // Changed since the import: two of their addresses, and one name.
        h->exec(QStringLiteral("update members set address = 'moved' where recordid in (3, 4)"));
        h->exec(QStringLiteral("update members set name = 'Renamed' where recordid = 5"));
        press(form().Command7);
        history::History *window = historyWindow(*h->module);
        QVERIFY(window);
        int row = 1;
        while (row < window->Grid1->Rows() && !window->Grid1->TextMatrix(row, 2).startsWith(QLatin1String("Added : Member 0500")))
            ++row;
        QVERIFY(row < window->Grid1->Rows());
        window->Grid1->setCurrentIndex(window->Grid1->model()->index(row - 1, 0));
        for (int answer : answers)
            h->dialogs.answer(answer);
        window->mnuTakeBackImport->trigger();
        const QString question = h->dialogs.messages[1].text;
        QVERIFY2(question.contains(QStringLiteral("Member 0002 (record id 3)\r\n    Address: from \"2 Oak Ave\" to \"moved\"")),
                 qPrintable(question));
        QVERIFY(question.contains(QStringLiteral("1 record ids of the import are held by other members now")));
    }
    QList<QStringList> expected = {{"Adams", "12 Elm St", "", "", "", "1"}};
    if (left == 3) {
        expected << QStringList{"Member 0002", "moved", "", "", "", "3"} << QStringList{"Member 0003", "moved", "", "", "", "4"};
    }
    if (left > 0)
        expected << QStringList{"Renamed", "4 Oak Ave", "", "", "", "5"};
    QCOMPARE(members(), expected);
    QCOMPARE(column(members::Name).size(), expected.size());
    int deleted = 0;
    for (const JournalRow &row : journal())
        deleted += row.transaction.startsWith(QLatin1String("Deleted : Member ")) ? 1 : 0;
    QCOMPARE(deleted, 1000 - left);
    QVERIFY2(h->dialogs.messages.last().text.startsWith(
                 QStringLiteral("The import is taken back: %1 members were removed.").arg(1000 - left)),
             qPrintable(h->dialogs.messages.last().text));
}

KELVORY_BACKEND_TEST_MAIN(TestImport)

#include "tst_import.moc"
