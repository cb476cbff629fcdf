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
#include <QAccessible>
#include <QListWidget>
#include <QtTest>

#include <zip.h>

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

// A zip of the parts, as a spreadsheet program writes a workbook.
QByteArray zipOf(const QString &folder, const std::vector<std::pair<const char *, QByteArray>> &parts)
{
    const QString path = QDir(folder).filePath(QStringLiteral("parts.zip"));
    int error = 0;
    zip_t *zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    for (const auto &[name, bytes] : parts)
        zip_file_add(zip, name, zip_source_buffer(zip, bytes.constData(), zip_uint64_t(bytes.size()), 0), 0);
    zip_close(zip);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray xlsxBytes(const QString &folder)
{
    const QByteArray main = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
    return zipOf(
        folder,
        {
            {"[Content_Types].xml", "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>"},
            {"xl/workbook.xml",
             "<workbook " + main
                 + " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                   "relationships\"><sheets><sheet name=\"Notes\" sheetId=\"1\" r:id=\"rId1\"/>"
                   "<sheet name=\"Members\" sheetId=\"2\" r:id=\"rId2\"/></sheets></workbook>"},
            {"xl/_rels/workbook.xml.rels",
             "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
             "<Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\"/>"
             "<Relationship Id=\"rId2\" Target=\"/xl/worksheets/sheet2.xml\"/></Relationships>"},
            {"xl/sharedStrings.xml",
             "<sst " + main
                 + "><si><t>Name</t></si><si><r><t>Adams, </t></r><r><t>Jane</t></r>"
                   "<rPh><t>X</t></rPh></si><si><t>Address</t></si><si><t xml:space=\"preserve\">"
                   "12 Elm St\nApt 4</t></si><si><t>ZIP Code</t></si><si><t>Phone</t></si>"
                   "<si><t>Joined</t></si></sst>"},
            {"xl/styles.xml",
             "<styleSheet " + main
                 + "><numFmts><numFmt numFmtId=\"164\" formatCode=\"00000\"/>"
                   "<numFmt numFmtId=\"165\" formatCode=\"[&lt;=9999999]###-####;(###) ###-####\"/></numFmts>"
                   "<cellStyleXfs><xf numFmtId=\"14\"/></cellStyleXfs><cellXfs><xf numFmtId=\"0\"/>"
                   "<xf numFmtId=\"164\"/><xf numFmtId=\"165\"/><xf numFmtId=\"14\"/></cellXfs></styleSheet>"},
            {"xl/worksheets/sheet1.xml",
             "<worksheet " + main
                 + "><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\">"
                   "<is><t>Notes</t></is></c></row></sheetData></worksheet>"},
            {"xl/worksheets/sheet2.xml",
             "<worksheet " + main
                 + "><sheetData>"
                   "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>2</v></c><c r=\"C1\" "
                   "t=\"s\"><v>4</v></c>"
                   "<c r=\"D1\" t=\"s\"><v>5</v></c><c r=\"E1\" t=\"s\"><v>6</v></c></row>"
                   "<row r=\"3\"><c r=\"A3\" t=\"s\"><v>1</v></c><c r=\"B3\" t=\"s\"><v>3</v></c><c r=\"C3\" "
                   "s=\"1\"><v>1234</v></c>"
                   "<c r=\"D3\" s=\"2\"><v>5035550142</v></c><c r=\"E3\" s=\"3\"><v>45000</v></c></row>"
                   "<row r=\"4\"><c r=\"A4\" t=\"inlineStr\"><is><t>Baker</t></is></c><c r=\"C4\" "
                   "s=\"1\"><v>97301</v></c>"
                   "<c r=\"D4\" s=\"2\"><v>5550101</v></c><c r=\"E4\" t=\"str\"><f>A4</f><v>x</v></c></row>"
                   "</sheetData></worksheet>"},
        });
}

QByteArray odsBytes(const QString &folder)
{
    const QByteArray cell = "<table:table-cell><text:p>";
    const QByteArray end = "</text:p></table:table-cell>";
    return zipOf(
        folder,
        {
            {"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
            {"content.xml",
             "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
             "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
             "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:spreadsheet>"
             "<table:table table:name=\"Members\"><table:table-row>"
                 + cell + "Members 2026" + end
                 + "</table:table-row>"
                   "<table:table-row><table:table-cell table:number-columns-repeated=\"3\"/></table:table-row>"
                   "<table:table-row>"
                 + cell + "Last Name" + end + cell + "First Name" + end + cell + "Postcode" + end + cell + "Comment"
                 + end
                 + "</table:table-row>"
                   "<table:table-row table:number-rows-repeated=\"2\"><table:table-cell "
                   "table:number-columns-repeated=\"1024\"/>"
                   "</table:table-row><table:table-row>"
                 + cell + "O<text:s text:c=\"2\"/>Neil" + end + cell + "Pat" + end
                 + "<table:table-cell office:value-type=\"float\" office:value=\"1234\"><text:p>01234" + end + cell
                 + "line one</text:p><text:p>line two" + end
                 + "</table:table-row>"
                   "<table:table-row table:number-rows-repeated=\"1048000\"><table:table-cell "
                   "table:number-columns-repeated=\"1024\"/></table:table-row></table:table>"
                   "<table:table table:name=\"Old\"/></office:spreadsheet></office:body></office:document-content>"},
        });
}

// A preview row as the test reads it: "row verdict: name | address | city | phone | comment (why)".
QString shownRow(const PreviewRow &row)
{
    const QString fields = QStringList(row.member.begin(), row.member.end()).join(QStringLiteral(" | "));
    return QStringLiteral("%1 %2: %3").arg(row.fileRow).arg(verdictCaption(row.verdict), fields)
        + (row.note.isEmpty() ? QString() : QStringLiteral(" (") + row.note + u')');
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
    void aFileThatIsNoListIsRefused_data();
    void aFileThatIsNoListIsRefused();
    void numbersShowAsTheSpreadsheetShowsThem_data();
    void numbersShowAsTheSpreadsheetShowsThem();
    void eachFileReadsAsTheSpreadsheetShowsIt_data();
    void eachFileReadsAsTheSpreadsheetShowsIt();
    void aMemberAddedElsewhereMeanwhileIsLeftOut();
    void everyControlIsReachedByTabAndNamed();

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
        {QStringLiteral("Müller, Jürgen"), QStringLiteral("Line one\nline two"), QString()},
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
    QTest::newRow("1252 quotes and euro")
        << QByteArray("Name\r\n\x93"
                      "Bud\x94 \x80\x85\r\n")
        << messages::windows1252() << ',' << Records{{QStringLiteral("Name")}, {QStringLiteral("“Bud” €…")}};
    QTest::newRow("blank lines and no last line end")
        << QByteArray("Name,Phone\n\n\nAdams, 555\n") << messages::utf8() << ','
        << Records{{QStringLiteral("Name"), QStringLiteral("Phone")},
                   {},
                   {},
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
    QTest::newRow("the export's own") << QStringLiteral(
        "Name,Address,City State Zip,Phone,Comment,,\r\n"
        "\"Adams, Jane\",12 Elm St,\"Springfield, IL 62701\",555-0101,new,7,\r\n")
                                      << true << adams;
    QTest::newRow("parts apart") << QStringLiteral("Last Name;First Name;Street;City;State;ZIP;Telephone;Notes\n"
                                                   "Adams;Jane;12 Elm St;Springfield;IL;62701;555-0101;new\n")
                                 << true << adams;
    QTest::newRow("case, blanks, punctuation, order")
        << QStringLiteral("e-mail,TELEPHONE,city / state / zip,NOTES,first_name,LAST-NAME,ADDRESS\n"
                          "jane@example.org,555-0101,\"Springfield, IL 62701\",new,Jane,Adams,12 Elm St\n")
        << true << adams;
    QTest::newRow("a second phone left out")
        << QStringLiteral("Name\tPhone\tTelephone\nAdams\t555-0101\t555-9999\n") << true
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
    QTest::newRow("same name, other address")
        << QStringLiteral("\"Marie, Anne-Marie\",40 Birch Ln") << Verdict::PossiblyOnRoster
        << QStringLiteral("the same name as \"Marie, Anne-Marie\", 12 Elm St");
    QTest::newRow("same address, name turned round")
        << QStringLiteral("Anne-Marie Marie,12 Elm St") << Verdict::PossiblyOnRoster
        << QStringLiteral("the same address as \"Marie, Anne-Marie\", 12 Elm St");
    QTest::newRow("same address, another name")
        << QStringLiteral("\"Marie, Paul\",12 Elm St") << Verdict::Added << QString();
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
    // The operator leaves the notes out, by keys: the eighth column, then "(left out)".
    dialog->lstColumns->setFocus();
    QTest::keyClick(dialog->lstColumns, Qt::Key_End);
    QCOMPARE(dialog->lstColumns->currentItem()->text(), QStringLiteral("Column 8: Notes \u2192 Comment"));
    QCOMPARE(dialog->cboTarget->currentText(), messages::commentTarget());
    QTest::keyClick(dialog->cboTarget, Qt::Key_Home);
    QCOMPARE(dialog->lstColumns->currentItem()->text(), QStringLiteral("Column 8: Notes \u2192 (left out)"));
    press(dialog->cmdImport);

    QCOMPARE(members(),
             (QList<QStringList>{
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
        expected << QString()
                 << messages::backupBeforeImport(QDir::toNativeSeparators(
                        QDir(h->folder.path()).filePath(QStringLiteral("Backups/") + copies[0])));
        // The copy is the roster before the import.
        database::Connection copy;
        copy.openEmbedded(QDir(h->folder.path()).filePath(QStringLiteral("Backups/") + copies[0]));
        QCOMPARE(allRows(copy, QStringLiteral("select count(*) from members")).value(0).value(0).toInt(), 1);
    }
    expected << QString()
             << QStringLiteral("Take the whole import back now? (The Transaction History window offers "
                               "this later too.)");
    QCOMPARE(h->dialogs.messages[0].text, expected.join(QStringLiteral("\r\n")));
    QCOMPARE(h->dialogs.messages[0].style, int(MB_YESNO | MB_DEFBUTTON2));
    QCOMPARE(fileBytes(path), before);
    QVERIFY(!h->end.ended);
}

void TestImport::theExportImportsBackToTheSameMembers()
{
    // Each member as stored, then as the export writes it: commas gone, line breaks blanks,
    // quotes as they are.
    const QList<QPair<QStringList, QStringList>> club = {
        {{"\"Bud\" Baker, Jr.", "\"The Elms\",\n12 Elm St", "Salem, OR\r\n97301", "+1 (503) 555-0100",
          "=SUM(1,2)\n\"x\"", "1"},
         {"\"Bud\" Baker Jr.", "\"The Elms\" 12 Elm St", "Salem OR 97301", "+1 (503) 555-0100", "=SUM(12) \"x\"", "1"}},
        {{"Adams, Jane", "12 Elm St", "Springfield, IL 62701", "555-0101", "likes \"bingo", "2"},
         {"Adams Jane", "12 Elm St", "Springfield IL 62701", "555-0101", "likes \"bingo", "2"}},
        {{"Łódź, Émile", "3 Oak Ave; \"rear\"", "Troy NY 12180", "", "", "3"},
         {"Łódź Émile", "3 Oak Ave; \"rear\"", "Troy NY 12180", "", "", "3"}},
        {{"O'Neil Pat", "", "", "-", "new\r\n", "4"}, {"O'Neil Pat", "", "", "-", "new ", "4"}},
    };
    for (const auto &[stored, exported] : club)
        h->addMember(stored[0], stored[1], stored[2], stored[3], stored[4], stored[5].toLongLong());
    QVERIFY(h->start());
    const QString path = writeImportFile(output::exportBytes(roster::FlexGridSource(grid())));
    const QStringList order = column(members::Name);

    // Into the same roster: every member is there already.
    ImportDialog *again = openDialog(path);
    QVERIFY(again);
    QCOMPARE(again->preview().counts, (std::array<int, kVerdictCount>{0, 4, 0, 0}));
    again->reject();

    // Into an empty one: the same members, as the export wrote them.
    h->exec(QStringLiteral("delete from members"));
    press(form().Command8);
    ImportDialog *dialog = openDialog(path);
    QVERIFY(dialog);
    QVERIFY(dialog->preview().headingRow);
    QCOMPARE(dialog->preview().counts, (std::array<int, kVerdictCount>{4, 0, 0, 0}));
    press(dialog->cmdImport);
    // In the export's order, the roster's, which is the database's order of names.
    QList<QStringList> expected;
    for (const QString &name : order) {
        expected.append(
            std::find_if(club.begin(), club.end(), [&](const auto &m) { return m.first[0] == name; })->second);
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
        h->exec(
            QStringLiteral("create trigger refuse before insert on members for each row execute function refuse()"));
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
    QTest::newRow("already on the roster, left out")
        << false << false << QStringList{"Adams", "Baker"}
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
    const QPointer<ImportDialog> dialog =
        openDialog(writeImportFile("Name,Address\nADAMS,12 elm st\nBaker,3 Oak Ave\n"));
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

void TestImport::aFileThatIsNoListIsRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("size"); // of a file of that name made here; -1 for a folder
    QTest::addColumn<QString>("why");

    QTest::newRow("a device") << "/dev/zero" << qint64(-1) << messages::isADevice();
    QTest::newRow("a folder") << "list.csv" << qint64(-1) << messages::isAFolder();
    QTest::newRow("larger than a list") << "huge.csv" << kLargestImportFile + 1 << messages::isTooLarge(65, 64);
}

void TestImport::aFileThatIsNoListIsRefused()
{
    QFETCH(QString, name);
    QFETCH(qint64, size);
    QFETCH(QString, why);
    QVERIFY(h->start());
    const QString path = QDir(h->folder.path()).filePath(name);
    if (size >= 0) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size)); // sparse: nothing is written
    } else if (!QFileInfo(name).isAbsolute()) {
        QVERIFY(QDir().mkpath(path));
    }
    ImportDialog *dialog = openDialog(path);
    QVERIFY(dialog);

    QCOMPARE(dialog->lblFile->text(), messages::fileNotRead(QDir::toNativeSeparators(path), why));
    QVERIFY(!dialog->cmdImport->isEnabled());
    QVERIFY(h->dialogs.messages.isEmpty());
    QVERIFY(!h->end.ended);
}

void TestImport::numbersShowAsTheSpreadsheetShowsThem_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("date1904");
    QTest::addColumn<QString>("shown");

    QTest::newRow("ZIP") << 1234.0 << "00000" << false << "01234";
    QTest::newRow("ZIP+4") << 12345678.0 << "00000-0000" << false << "01234-5678";
    const QString phone = QStringLiteral("[<=9999999]###-####;(###) ###-####");
    QTest::newRow("phone, local") << 5550101.0 << phone << false << "555-0101";
    QTest::newRow("phone, with area") << 5035550142.0 << phone << false << "(503) 555-0142";
    QTest::newRow("general whole") << 97301.0 << "General" << false << "97301";
    QTest::newRow("general fraction") << 1.5 << "General" << false << "1.5";
    QTest::newRow("thousands") << 1234567.891 << "#,##0.00" << false << "1,234,567.89";
    QTest::newRow("negative in brackets") << -5.0 << "0;(0)" << false << "(5)";
    QTest::newRow("percent") << 0.25 << "0%" << false << "25%";
    QTest::newRow("date") << 45000.0 << "m/d/yyyy" << false << "3/15/2023";
    QTest::newRow("date and time") << 45000.75 << "m/d/yyyy h:mm" << false << "3/15/2023 18:00";
    QTest::newRow("month name") << 45000.0 << "d-mmm-yy" << false << "15-Mar-23";
    QTest::newRow("twelve hours") << 0.5 << "h:mm AM/PM" << false << "12:00 PM";
    QTest::newRow("literal text") << 45000.0 << "\"Joined \"yyyy" << false << "Joined 2023";
    QTest::newRow("1904 days") << 1.0 << "mm/dd/yyyy" << true << "01/02/1904";
}

void TestImport::numbersShowAsTheSpreadsheetShowsThem()
{
    QFETCH(double, value);
    QFETCH(QString, format);
    QFETCH(bool, date1904);
    QFETCH(QString, shown);
    QCOMPARE(formatSpreadsheetNumber(value, format, date1904), shown);
}

void TestImport::eachFileReadsAsTheSpreadsheetShowsIt_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("sheet");
    QTest::addColumn<QStringList>("shown"); // the sheets first, for a workbook; or why the file is refused

    const QTemporaryDir scratch;
    const QString folder = scratch.path();
    QTest::newRow("xlsx, its second sheet")
        << "list.xlsx" << xlsxBytes(folder) << 1
        << QStringList{"sheets: Notes, Members",
                       "3 added: Adams, Jane | 12 Elm St, Apt 4 | 01234 | (503) 555-0142 |  "
                       "(" + messages::lineBreakStored(QStringLiteral("Address"))
                           + ")",
                       "4 added: Baker |  | 97301 | 555-0101 | "};
    QTest::newRow("ods, title line and blank rows")
        << "list.ods" << odsBytes(folder) << 0
        << QStringList{"sheets: Members, Old",
                       "6 added: O  Neil, Pat |  | 01234 |  | line one, line two "
                       "(" + messages::lineBreakStored(QStringLiteral("Comment"))
                           + ")"};
    QFile xls(QFINDTESTDATA("fixtures/members.xls"));
    QVERIFY(xls.open(QIODevice::ReadOnly));
    QTest::newRow("xls") << "list.xls" << xls.readAll() << 0
                         << QStringList{"sheets: Members, Old",
                                        "4 added: Abbott, Helen | 12 Main St | Calvessa, OR 01234 | 503-555-0142 | ",
                                        "5 added: Lefèvre, Zoë | 3 Oak Ave | Salem, OR 97302 | 5035550171 | "};

    const auto refused = [](const QString &why) { return QStringList{"refused: " + why}; };
    QTest::newRow("a picture") << "list.csv" << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10", 20) << 0
                               << refused(messages::notAList(messages::seemsPicture()));
    QTest::newRow("a pdf") << "list.csv" << QByteArray("%PDF-1.4\n%\xE2\xE3\n1 0 obj\n") << 0
                           << refused(messages::notAList(messages::seemsPdf()));
    QTest::newRow("a zip") << "list.xlsx" << zipOf(folder, {{"readme.txt", "hello"}}) << 0
                           << refused(messages::notAList(messages::seemsZip()));
    QTest::newRow("empty") << "list.csv" << QByteArray() << 0 << refused(messages::isEmpty());
    QTest::newRow("blank lines only") << "list.csv" << QByteArray("\r\n  \r\n,,\r\n") << 0
                                      << refused(messages::isEmpty());

    QTest::newRow("title line") << "list.csv" << QByteArray("Members 2026\r\n\r\nName,Address\r\nAdams,1 Elm St\r\n")
                                << 0 << QStringList{"4 added: Adams | 1 Elm St |  |  | "};
    QTest::newRow("rows counted as the spreadsheet counts")
        << "list.csv" << QByteArray("Name\nAdams\n\n\nBaker\n\nCole\n\n\nDunn") << 0
        << QStringList{"2 added: Adams |  |  |  | ", "5 added: Baker |  |  |  | ", "7 added: Cole |  |  |  | ",
                       "10 added: Dunn |  |  |  | "};
    QTest::newRow("a stray byte in UTF-8")
        << "list.csv"
        << QByteArray("Name,Comment\nRen\xC3\xA9"
                      "e,ok\nBad\xE9,x\n")
        << 0
        << QStringList{"2 added: Renée |  |  |  | ok",
                       "3 unusable: Bad\uFFFD |  |  |  | x (" + messages::strayByte() + ")"};
    QTest::newRow("UTF-16 without a mark")
        << "list.csv" << QByteArray(QStringEncoder(QStringConverter::Utf16LE)(u"Name,Phone\r\nRenée,555\r\n")) << 0
        << QStringList{"2 added: Renée |  |  | 555 | "};
    QTest::newRow("UTF-16 big-endian without a mark")
        << "list.csv" << QByteArray(QStringEncoder(QStringConverter::Utf16BE)(u"Name\r\nZoë\r\n")) << 0
        << QStringList{"2 added: Zoë |  |  |  | "};
    QTest::newRow("a quote that never closes")
        << "list.csv"
        << QByteArray("Name,Address,Phone\n\"Bud Baker,1 Elm St,555\nCarter,2 Oak Ave,556\nDunn,3 Ash Ct,557\n") << 0
        << QStringList{"2 unusable: Bud Baker,1 Elm St,555, Carter,2 Oak Ave,556, Dunn,3 Ash Ct,557 |  |  |  |  ("
                       + messages::quoteRunsOn(3) + ")"};
    QTest::newRow("a two-line cell") << "list.csv"
                                     << QByteArray("Name,Address\r\nAdams,\"12 Elm St\r\nApt 4\"\r\nBaker,\r\n") << 0
                                     << QStringList{"2 added: Adams | 12 Elm St, Apt 4 |  |  |  ("
                                                        + messages::lineBreakStored(QStringLiteral("Address")) + ")",
                                                    "3 added: Baker |  |  |  | "};
    QTest::newRow("Post Code and the like") << "list.csv" << QByteArray("Name;Post Code;Zip/Postal\nAdams;97301;x\n")
                                            << 0 << QStringList{"2 added: Adams |  | 97301 |  | "};
    QTest::newRow("ZIP+4") << "list.csv" << QByteArray("Name,City,ZIP+4\nAdams,Salem,97301-1234\n") << 0
                           << QStringList{"2 added: Adams |  | Salem, 97301-1234 |  | "};
    QTest::newRow("the program's own export")
        << "ExcelExport.csv"
        << QByteArray("Name,Address,City State Zip,Phone,Comment,,\r\n\"Bud\" Baker,12 Elm St,Salem OR 97301,"
                      "'+1-555-0100,says \"hi,7,\r\nCarter,,,,'=1 \"x\",8,\r\n")
        << 0
        << QStringList{"2 added: \"Bud\" Baker | 12 Elm St | Salem OR 97301 | +1-555-0100 | says \"hi",
                       "3 added: Carter |  |  |  | =1 \"x\""};
}

void TestImport::eachFileReadsAsTheSpreadsheetShowsIt()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(int, sheet);
    QFETCH(QStringList, shown);
    const QString path = QDir(h->folder.path()).filePath(name);
    writeFile(path, bytes);

    const ReadResult read = readImportFile(path, sheet);
    QStringList seen;
    if (!read.table) {
        seen << "refused: " + read.problem;
    } else {
        if (!read.table->sheets.isEmpty())
            seen << "sheets: " + read.table->sheets.join(QStringLiteral(", "));
        const Preview preview = makePreview(*read.table, matchColumns(read.table->records), {}, {});
        for (const PreviewRow &row : preview.rows)
            seen << shownRow(row);
    }
    QCOMPARE(seen, shown);
}

void TestImport::aMemberAddedElsewhereMeanwhileIsLeftOut()
{
    h->addMember(QStringLiteral("Adams"), QStringLiteral("1 Elm St"), {}, {}, {}, 1);
    QVERIFY(h->start());
    ImportDialog *dialog = openDialog(writeImportFile("Name,Address\nBaker,3 Oak Ave\nCole,5 Ash Ct\n"));
    QVERIFY(dialog);
    QCOMPARE(dialog->preview().counts, (std::array<int, kVerdictCount>{2, 0, 0, 0}));
    // Another workstation adds Baker between the preview and Import.
    h->exec(QStringLiteral("insert into members values ('BAKER', '3 oak ave', '', '', '', 2)"));
    press(dialog->cmdImport);

    QCOMPARE(members(),
             (QList<QStringList>{{"Adams", "1 Elm St", "", "", "", "1"},
                                 {"BAKER", "3 oak ave", "", "", "", "2"},
                                 {"Cole", "5 Ash Ct", "", "", "", "3"}}));
    QCOMPARE(journal().size(), 1);
    QCOMPARE(h->dialogs.messages.size(), 1);
    const QString expected = messages::oneMemberImported(3) + kCrLf + messages::rowsLeftOutMeanwhile(1, 1, 0);
    QVERIFY2(h->dialogs.messages[0].text.startsWith(expected), qPrintable(h->dialogs.messages[0].text));
}

void TestImport::everyControlIsReachedByTabAndNamed()
{
    QVERIFY(h->start());
    ImportDialog *dialog = openDialog(writeImportFile("Name,Phone\nAdams,555\n"));
    QVERIFY(dialog);
    QApplication::setActiveWindow(dialog);
    QTRY_VERIFY(dialog->isActiveWindow());
    dialog->txtFile->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), dialog->txtFile);
    QList<QWidget *> reached = {QApplication::focusWidget()};
    for (int k = 0; k < 12 && (reached.size() == 1 || reached.back() != reached.front()); ++k) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached.append(QApplication::focusWidget());
    }
    const QList<QWidget *> inReadingOrder = {dialog->txtFile,   dialog->cmdBrowse,  dialog->lstColumns,
                                             dialog->cboTarget, dialog->tblPreview, dialog->chkAddToo,
                                             dialog->cmdImport, dialog->cmdClose,   dialog->txtFile};
    QStringList names;
    for (QWidget *w : reached)
        names << (w ? w->metaObject()->className() + QStringLiteral(" ") + w->objectName() : QStringLiteral("none"));
    QVERIFY2(reached == inReadingOrder, qPrintable(names.join(QStringLiteral(", "))));
    for (QWidget *control : inReadingOrder) {
        QAccessibleInterface *heard = QAccessible::queryAccessibleInterface(control);
        QVERIFY2(heard && !heard->text(QAccessible::Name).isEmpty(), control->metaObject()->className());
    }
    // The current column's match, heard through the list and changed by keys.
    QCOMPARE(QAccessible::queryAccessibleInterface(dialog->lstColumns)->child(1)->text(QAccessible::Name),
             QStringLiteral("Column 2: Phone \u2192 Phone"));
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
        while (row < window->Grid1->Rows()
               && !window->Grid1->TextMatrix(row, 2).startsWith(QLatin1String("Added : Member 0500")))
            ++row;
        QVERIFY(row < window->Grid1->Rows());
        window->Grid1->setCurrentIndex(window->Grid1->model()->index(row - 1, 0));
        for (int answer : answers)
            h->dialogs.answer(answer);
        window->mnuTakeBackImport->trigger();
        const QString question = h->dialogs.messages[1].text;
        QVERIFY2(question.contains(
                     QStringLiteral("Member 0002 (record id 3)\r\n    Address: from \"2 Oak Ave\" to \"moved\"")),
                 qPrintable(question));
        QVERIFY(question.contains(QStringLiteral("1 record ids of the import are held by other members now")));
    }
    QList<QStringList> expected = {{"Adams", "12 Elm St", "", "", "", "1"}};
    if (left == 3) {
        expected << QStringList{"Member 0002", "moved", "", "", "", "3"}
                 << QStringList{"Member 0003", "moved", "", "", "", "4"};
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
