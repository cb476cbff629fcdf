#include "BackendTest.h"
#include "PdfText.h"
#include "output/OutputMessages.h"
#include "output/Printout.h"
#include "roster/FlexGridSource.h"
#include "roster/RosterForm.h"
#include "grid/CommandButton.h"
#include "grid/FlexGrid.h"

#include <QDir>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QtTest>

using namespace kelvory;
using namespace kelvory::test;
using output::PrintLayout;
using output::TableSource;

namespace {

const QStringList kHeadings = {"Name", "Address", "City, State, Zip", "Phone", "Comment", ""};
const QString kRule = QStringLiteral("1:") + QString(100, u'_');
const QString kMemberLine = QStringLiteral("1:") + QString(170, u'-');
const QString kHeadingLine = QStringLiteral("1:Name|28:Address|62:City, State, Zip|93:Phone|110:Comment");

double oneColumnPerCharacter(QStringView text)
{
    return static_cast<double>(text.size());
}

// Each line as "column:text|column:text", so that a failure shows the whole printout.
QStringList describe(const PrintLayout &layout)
{
    QStringList lines;
    for (std::size_t i = 0; i < layout.lineCount(); ++i) {
        QStringList items;
        for (const output::PrintItem &item : layout.line(i))
            items.append(QString::number(item.column) + u':' + item.text.toString());
        lines.append(items.join(u'|'));
    }
    return lines;
}

// On a fixed grid of one column per character no piece may start inside another.
bool piecesOverlap(const PrintLayout &layout)
{
    for (std::size_t i = 0; i < layout.lineCount(); ++i) {
        int end = 1;
        for (const output::PrintItem &item : layout.line(i)) {
            if (item.column < end)
                return true;
            end = item.column + static_cast<int>(item.text.size());
        }
    }
    return false;
}

QStringList layOut(const std::vector<QStringList> &members, bool withLines)
{
    std::vector<QStringList> rows{kHeadings};
    rows.insert(rows.end(), members.begin(), members.end());
    const TableSource grid(rows, 6);
    const PrintLayout layout = output::layoutRoster(grid, withLines, oneColumnPerCharacter);
    if (piecesOverlap(layout))
        return QStringList{QStringLiteral("pieces overlap:")} + describe(layout);
    return describe(layout);
}

int count(const QStringList &lines, const QString &line)
{
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

} // namespace

class TestPrintout : public BackendTest
{
    Q_OBJECT
public:
    TestPrintout() : BackendTest(Backend::Sqlite, QStringLiteral("Bob")) {}

private Q_SLOTS:
    void init();

    // The lines, from the grid alone.
    void membersWithoutLines();
    void aLineOfHyphensFollowsEveryMemberWithLines();
    void aFieldReachingPastTheNextColumnMovesTheRestToTheNextLine();
    void blanksAreRemovedFromBothEndsOnly();
    void theDesignTimeEmptyRowPrintsAsAnEmptyLine();

    // On paper, pressing PRINT.
    void printedFieldsStartAtTheirColumns();
    void switchingTheOptionBetweenTwoPrintsChangesOnlyTheHyphenLines();
    void aLongRosterGoesOnToMorePagesWithoutItsHeading();
    void noDefaultPrinterSaysSoAndPrintsNothing();
    void aJobThePrinterCannotStartIsReported();

private:
    QString pdfPath() const { return QDir(h->folder.path()).filePath(QStringLiteral("roster.pdf")); }
    // The left edge of the printable area of the test's PDF printer, in points.
    double leftEdge();
};

void TestPrintout::init()
{
    QVERIFY(havePoppler());
    BackendTest::init();
    h->printers.pdfPath = pdfPath();
}

void TestPrintout::membersWithoutLines()
{
    const QStringList lines = layOut({{"Adams Ann", "12 Main St", "Salem, OR 97301", "555-0101", "Treasurer", "41"},
                                      {"Baker Bob", "7 Oak Ave", "Keizer, OR 97303", "555-0102", "", "42"}},
                                     false);
    QCOMPARE(lines,
             QStringList({kHeadingLine, kRule, "1:Adams Ann|28:12 Main St|62:Salem, OR 97301|93:555-0101|110:Treasurer",
                          "1:Baker Bob|28:7 Oak Ave|62:Keizer, OR 97303|93:555-0102", ""}));
}

void TestPrintout::aLineOfHyphensFollowsEveryMemberWithLines()
{
    const std::vector<QStringList> members = {{"Adams Ann", "12 Main St", "Salem", "555-0101", "", "41"},
                                              {"Baker Bob", "7 Oak Ave", "Keizer", "555-0102", "Board", "42"}};
    const QStringList lines = layOut(members, true);
    QCOMPARE(lines,
             QStringList({kHeadingLine, kRule, "1:Adams Ann|28:12 Main St|62:Salem|93:555-0101", kMemberLine,
                          "1:Baker Bob|28:7 Oak Ave|62:Keizer|93:555-0102|110:Board", kMemberLine, ""}));
    // The record id, 41 or 42, is in no line.
    QVERIFY(!lines.join(u'\n').contains(QLatin1String("41")));
    QVERIFY(!lines.join(u'\n').contains(QLatin1String("42")));
}

void TestPrintout::aFieldReachingPastTheNextColumnMovesTheRestToTheNextLine()
{
    const QString name27 = QStringLiteral("Bartholomew Worthington III"); // columns 1 to 27
    const QString name28 = QStringLiteral("Bartholomew Worthington-Lyle");
    const QString address34 = QStringLiteral("123 Northwest Old Cornelius Pass R"); // 28 to 61
    QCOMPARE(name27.size(), 27);
    QCOMPARE(name28.size(), 28);
    QCOMPARE(address34.size(), 34);
    const QString address35 = address34 + u'd';
    const QString nameToCity = QString(70, u'N');

    const QStringList lines = layOut({{name27, address34, "Salem", "555-0101", "A", "1"},
                                      {name28, "7 Oak Ave", "Keizer", "555-0102", "B", "2"},
                                      {"Clark Cy", address35, "Albany", "555-0103", "C", "3"},
                                      {nameToCity, "9 Elm St", "Eugene", "", "", "4"},
                                      {name28, "", "", "", "", "5"}},
                                     true);
    QCOMPARE(lines,
             QStringList({kHeadingLine, kRule,
                          // Text that ends just before the next column leaves it on the line.
                          "1:" + name27 + "|28:" + address34 + "|62:Salem|93:555-0101|110:A", kMemberLine,
                          "1:" + name28, "28:7 Oak Ave|62:Keizer|93:555-0102|110:B", kMemberLine,
                          "1:Clark Cy|28:" + address35, "62:Albany|93:555-0103|110:C", kMemberLine,
                          // The rest goes to the next line even past several columns.
                          "1:" + nameToCity, "28:9 Elm St|62:Eugene", kMemberLine,
                          // A member with nothing after the long name still takes its second line.
                          "1:" + name28, "", kMemberLine, ""}));
}

void TestPrintout::blanksAreRemovedFromBothEndsOnly()
{
    const QStringList lines = layOut(
        {{"  Adams  Ann  ", "   ", " Salem ", "\t555 ", "     ", "9"}, {"", "", "", "", "Comment only", "10"}}, false);
    QCOMPARE(lines,
             QStringList({kHeadingLine, kRule,
                          // Inner blanks and a tab are the member's own text.
                          "1:Adams  Ann|62:Salem|93:\t555", "110:Comment only", ""}));
}

void TestPrintout::theDesignTimeEmptyRowPrintsAsAnEmptyLine()
{
    QVERIFY(h->start()); // no member: the grid keeps its heading row and one empty row
    QCOMPARE(form().Grid1->Rows(), 2);
    const roster::FlexGridSource grid(*form().Grid1);
    QCOMPARE(describe(output::layoutRoster(grid, true, oneColumnPerCharacter)),
             QStringList({kHeadingLine, kRule, "", kMemberLine, ""}));
    QCOMPARE(describe(output::layoutRoster(grid, false, oneColumnPerCharacter)),
             QStringList({kHeadingLine, kRule, "", ""}));
}

double TestPrintout::leftEdge()
{
    PdfPrinterQueue scratch;
    scratch.pdfPath = QDir(h->folder.path()).filePath(QStringLiteral("measure.pdf"));
    return scratch.defaultPrinter()->pageLayout().paintRect(QPageLayout::Point).left();
}

void TestPrintout::printedFieldsStartAtTheirColumns()
{
    h->addMember("Abbott Ann", "Elmwood 12", "Salem OR 97301", "555-0101", "Treasurer", 424242);
    h->addMember("Brown Bea", "Fircrest 7", "Keizer OR 97303", "555-0102", "Greeter", 434343);
    QVERIFY(h->start());
    // The printout is what the grid shows, not what the database holds by now.
    h->exec(QStringLiteral("delete from members"));

    press(form().Command5);

    QCOMPARE(h->dialogs.messages.size(), 1);
    QCOMPARE(h->dialogs.messages[0].text, QStringLiteral("Data is being sent to printer."));
    QCOMPARE(h->dialogs.messages[0].style, int(MB_OK));
    QCOMPARE(h->dialogs.messages[0].title, QStringLiteral("Kelvory"));
    QVERIFY(QFile::exists(pdfPath()));

    const QList<QStringList> pages = pdfLayoutPages(pdfPath());
    QCOMPARE(pages.size(), 1);
    QStringList lines = pages[0];
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    QCOMPARE(lines.size(), 6); // heading, rule, and each member with its line of hyphens
    QVERIFY(lines[0].trimmed().startsWith(QLatin1String("Name")));
    QCOMPARE(lines[1].trimmed(), QString(100, u'_'));
    QVERIFY(lines[2].trimmed().startsWith(QLatin1String("Abbott Ann")));
    QCOMPARE(lines[3].trimmed(), QString(170, u'-'));
    QVERIFY(lines[4].trimmed().startsWith(QLatin1String("Brown Bea")));
    QCOMPARE(lines[5].trimmed(), QString(170, u'-'));
    const QString all = lines.join(u'\n');
    QVERIFY(!all.contains(QLatin1String("424242")));
    QVERIFY(!all.contains(QLatin1String("434343")));
    // Each field lines up under its heading.
    const QStringList headings = {"Name", "Address", "City,", "Phone", "Comment"};
    const QStringList abbott = {"Abbott", "Elmwood", "Salem", "555-0101", "Treasurer"};
    const QStringList brown = {"Brown", "Fircrest", "Keizer", "555-0102", "Greeter"};
    for (int f = 0; f < 5; ++f) {
        const qsizetype at = lines[0].indexOf(headings[f]);
        QVERIFY(at >= 0);
        QCOMPARE(lines[2].indexOf(abbott[f]), at);
        QCOMPARE(lines[4].indexOf(brown[f]), at);
    }

    // And on the page: column k starts k - 1 average characters of 10-point Arial (or
    // Liberation Sans, which has its widths) from the printable area's edge.
    const QString family = QFontInfo(output::printerFont()).family();
    QVERIFY2(family == QLatin1String("Arial") || family == QLatin1String("Liberation Sans"), qPrintable(family));
    const double column = 10.0 * 904.46 / 2048; // the average as Windows reports it for Arial
    const double left = leftEdge();
    const QList<PdfWord> words = pdfWords(pdfPath());
    auto xOf = [&](const QString &text) {
        for (const PdfWord &word : words) {
            if (word.text == text)
                return word.xMin;
        }
        return -1000.0;
    };
    const int columns[5] = {1, 28, 62, 93, 110};
    QVERIFY(qAbs(xOf(headings[0]) - left) < 0.05);
    for (int f = 0; f < 5; ++f) {
        const double x = xOf(headings[f]);
        QVERIFY2(qAbs(xOf(abbott[f]) - x) < 0.05 && qAbs(xOf(brown[f]) - x) < 0.05, qPrintable(headings[f]));
        if (f == 0)
            continue;
        // One width for every column (the printer's pixel grid rounds it by a fraction of a per cent).
        const double width = (x - left) / (columns[f] - 1);
        QVERIFY2(qAbs(width - column) < 0.03,
                 qPrintable(QStringLiteral("%1 starts at %2 pt: columns of %3 pt, not %4 pt")
                                .arg(headings[f])
                                .arg(x)
                                .arg(width)
                                .arg(column)));
    }
}

void TestPrintout::switchingTheOptionBetweenTwoPrintsChangesOnlyTheHyphenLines()
{
    h->addMember("Abbott Ann", "Elmwood 12", "Salem OR 97301", "555-0101", "", 1);
    h->addMember("Brown Bea", "Fircrest 7", "Keizer OR 97303", "555-0102", "", 2);
    h->addMember("Cole Cy", "Grove 3", "Albany OR 97321", "555-0103", "", 3);
    QVERIFY(h->start());
    QVERIFY(form().Option1->isChecked());

    // Each printed line as its fields: poppler spaces the columns by what else is on the page.
    auto printedLines = [&] {
        press(form().Command5);
        QStringList lines;
        for (const QString &line : pdfLayoutPages(pdfPath()).value(0))
            lines.append(line.trimmed().split(QRegularExpression(QStringLiteral("\\s{2,}"))).join(u'|'));
        while (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    };
    const QString hyphens(170, u'-');

    press(form().Option2);
    QVERIFY(!form().Option1->isChecked());
    const QStringList noLines = printedLines();
    press(form().Option1);
    QVERIFY(form().Option1->isChecked());
    const QStringList withLines = printedLines();

    QCOMPARE(noLines.size(), 5);
    QCOMPARE(count(noLines, hyphens), 0);
    QCOMPARE(withLines.size(), 8);
    QStringList withoutHyphens;
    for (const QString &line : withLines) {
        if (line != hyphens)
            withoutHyphens.append(line);
    }
    QCOMPARE(withoutHyphens, noLines);
    // A line of hyphens after each member, none after the heading or the rule.
    QCOMPARE(noLines[0], QStringLiteral("Name|Address|City, State, Zip|Phone|Comment"));
    QCOMPARE(noLines[2], QStringLiteral("Abbott Ann|Elmwood 12|Salem OR 97301|555-0101"));
    for (int i : {3, 5, 7})
        QCOMPARE(withLines[i], hyphens);
    QCOMPARE(h->dialogs.texts(), QStringList(2, QStringLiteral("Data is being sent to printer.")));
}

void TestPrintout::aLongRosterGoesOnToMorePagesWithoutItsHeading()
{
    // Sized around the second page's end: the last line of hyphens lands just before,
    // on, and just after the page's last line.
    PdfPrinterQueue scratch;
    scratch.pdfPath = QDir(h->folder.path()).filePath(QStringLiteral("measure.pdf"));
    std::unique_ptr<QPrinter> probe = scratch.defaultPrinter();
    const int linesPerPage = int(probe->height() / QFontMetricsF(output::printerFont(), probe.get()).lineSpacing());
    QVERIFY(linesPerPage > 10);

    for (int members : {linesPerPage - 2, linesPerPage - 1, linesPerPage}) {
        TableSource grid({kHeadings}, 6);
        for (int m = 1; m <= members; ++m)
            grid.appendRow({QStringLiteral("Member%1").arg(m, 4, 10, QLatin1Char('0')), "1 Elm St", "Salem", "555", "",
                            QString::number(m)});
        PdfPrinterQueue queue;
        queue.pdfPath = pdfPath();
        std::unique_ptr<QPrinter> printer = queue.defaultPrinter();
        QVERIFY(!output::printRoster(*printer, grid, true).has_value());
        printer.reset();

        const QList<QStringList> pages = pdfLayoutPages(pdfPath());
        // Heading, rule and two lines per member; the closing empty line never needs a page.
        const int printedLines = 2 + 2 * members;
        QCOMPARE(pages.size(), (printedLines + linesPerPage - 1) / linesPerPage);
        QStringList names;
        int headings = 0;
        for (const QStringList &page : pages) {
            QVERIFY2(!page.join(QString()).trimmed().isEmpty(), "a blank page");
            for (const QString &line : page) {
                if (line.trimmed().startsWith(QLatin1String("Member")))
                    names.append(line.trimmed().section(u' ', 0, 0));
                if (line.trimmed().startsWith(QLatin1String("Name ")))
                    ++headings;
            }
        }
        QCOMPARE(headings, 1);
        QVERIFY(pages[0].first().trimmed().startsWith(QLatin1String("Name ")));
        QCOMPARE(names.size(), members);
        QCOMPARE(names.first(), QStringLiteral("Member0001"));
        QCOMPARE(names.last(), QStringLiteral("Member%1").arg(members, 4, 10, QLatin1Char('0')));
    }
}

void TestPrintout::noDefaultPrinterSaysSoAndPrintsNothing()
{
    h->addMember("Abbott Ann", "Elmwood 12", "Salem OR 97301", "555-0101", "", 1);
    QVERIFY(h->start());
    h->printers.available = false;

    press(form().Command5);

    QCOMPARE(h->dialogs.messages.size(), 1);
    QCOMPARE(h->dialogs.messages[0].text, output::messages::noDefaultPrinter());
    QVERIFY(h->dialogs.messages[0].text.contains(QLatin1String("no default printer")));
    QCOMPARE(h->dialogs.messages[0].style, int(MB_OK | MB_ICONERROR));
    QVERIFY(!QFile::exists(pdfPath()));
    QVERIFY(!h->end.ended);

    // The program goes on: with a printer back, PRINT prints.
    h->printers.available = true;
    press(form().Command5);
    QCOMPARE(h->dialogs.texts().last(), QStringLiteral("Data is being sent to printer."));
    QVERIFY(QFile::exists(pdfPath()));
}

void TestPrintout::aJobThePrinterCannotStartIsReported()
{
    h->addMember("Abbott Ann", "Elmwood 12", "Salem OR 97301", "555-0101", "", 1);
    QVERIFY(h->start());
    const QString unreachable = QDir(h->folder.path()).filePath(QStringLiteral("no such folder/roster.pdf"));
    h->printers.pdfPath = unreachable;

    press(form().Command5);

    QCOMPARE(h->dialogs.messages.size(), 1);
    const Message &message = h->dialogs.messages[0];
    QVERIFY2(message.text.contains(QDir::toNativeSeparators(unreachable)), qPrintable(message.text));
    QVERIFY(message.text.contains(QLatin1String("could not start the print job")));
    QVERIFY(!message.text.contains(QLatin1String("Data is being sent")));
    QCOMPARE(message.style, int(MB_OK | MB_ICONERROR));
    QVERIFY(!QFile::exists(unreachable));
    QVERIFY(!h->end.ended);
    QVERIFY(form().isVisible());
}

KELVORY_TEST_MAIN(TestPrintout)
#include "tst_printout.moc"
