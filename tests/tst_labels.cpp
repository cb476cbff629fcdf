// Mailing labels: the layout on the sheets as sold (positions, the start label, page
// breaks, lines set smaller or cut to fit), the sheet the workstation's paper suggests,
// the printer adjustment, and the labels dialog of the real main window printing,
// previewing and saving real PDF files that poppler reads back, driven by its keys too.
#include "BackendTest.h"
#include "PdfText.h"
#include "output/LabelLayout.h"
#include "output/LabelPrinter.h"
#include "output/LabelsDialog.h"
#include "output/MailingLabels.h"
#include "output/OutputMessages.h"
#include "output/Printout.h"
#include "roster/RosterForm.h"
#include "grid/FlexGrid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

using namespace kelvory;
using namespace kelvory::test;
using namespace kelvory::output;

namespace {

// Half an em per character: a fixed measure to lay labels out by.
double halfEmPerCharacter(QStringView text, double pointSize)
{
    return 0.5 * pointSize * static_cast<double>(text.size());
}

std::vector<MailingAddress> numberedAddresses(int n)
{
    std::vector<MailingAddress> addresses;
    for (int i = 1; i <= n; ++i)
        addresses.push_back({QStringLiteral("Member %1").arg(i), QStringLiteral("%1 Elm St").arg(i),
                             QStringLiteral("Salem, OR 97301")});
    return addresses;
}

constexpr double kMillimetre = 72.0 / 25.4;

} // namespace

class TestLabels : public BackendTest
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    // The layout, from the addresses alone.
    void sheetsAreThoseSold_data();
    void sheetsAreThoseSold();
    void theStartLabelAndPageBreaks();
    void linesAreSetAsACentredBlock();
    void aLongLineIsSetSmallerThenCut();
    void membersWithoutAnAddressAreLeftOut();
    void theSheetFollowsThePaper_data();
    void theSheetFollowsThePaper();

    // The dialog on the real main window.
    void theGridsMenuAndCtrlLOpenTheDialog();
    void aSavedPdfReadsBackInLabelOrder();
    void onlyThePickedMemberIsPrinted();
    void nothingPickedOrNoPrinterIsSaidClearly();
    void previewShowsEverySheet();
    void aPdfThatCannotBeWrittenIsReported();
    void enterNeverPrintsBySurprise_data();
    void enterNeverPrintsBySurprise();
    void theAdjustmentMovesEveryLabel_data();
    void theAdjustmentMovesEveryLabel();
    void theAdjustmentIsKeptForTheWorkstation_data();
    void theAdjustmentIsKeptForTheWorkstation();

private:
    QString path(const QString &name) const { return QDir(h->folder.path()).filePath(name); }
    LabelsDialog *openWithCtrlL();
    // The text on each label of a PDF, by sheet and position, as poppler reads it.
    QMap<QPair<int, int>, QStringList> labelTexts(const QString &pdf, const LabelSheet &sheet);
};

void TestLabels::init()
{
    QVERIFY(havePoppler());
    BackendTest::init();
    h->printers.pdfPath = path(QStringLiteral("printed.pdf"));
    // The workstation's paper as the tests' own: Letter, whatever this machine's is.
    qputenv("PAPERSIZE", "letter");
}

void TestLabels::sheetsAreThoseSold_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QSizeF>("paper");
    QTest::addColumn<QSizeF>("label");
    QTest::addColumn<int>("across");
    QTest::addColumn<int>("down");
    QTest::addColumn<double>("topMargin");
    QTest::addColumn<double>("leftMargin");
    QTest::addColumn<double>("gapAcross");
    QTest::newRow("US Letter, 30") << int(SheetKind::UsLetter30) << QSizeF(612, 792) << QSizeF(189, 72) << 3 << 10
                                   << 36.0 << 13.5 << 9.0;
    QTest::newRow("A4, 21") << int(SheetKind::A4With21) << QSizeF(210 * kMillimetre, 297 * kMillimetre)
                            << QSizeF(63.5 * kMillimetre, 38.1 * kMillimetre) << 3 << 7 << 15.15 * kMillimetre
                            << 7.21 * kMillimetre << 2.54 * kMillimetre;
}

void TestLabels::sheetsAreThoseSold()
{
    QFETCH(int, kind);
    QFETCH(QSizeF, paper);
    QFETCH(QSizeF, label);
    QFETCH(int, across);
    QFETCH(int, down);
    QFETCH(double, topMargin);
    QFETCH(double, leftMargin);
    QFETCH(double, gapAcross);
    const LabelSheet &sheet = labelSheet(static_cast<SheetKind>(kind));
    QVERIFY(QPageSize(sheet.paper).size(QPageSize::Point).toSize() == paper.toSize());
    QCOMPARE(sheet.labelsPerSheet(), across * down);
    const double tolerance = 0.05 * kMillimetre;
    auto near = [&](double a, double b) { return std::abs(a - b) < tolerance; };
    for (int k = 0; k < sheet.labelsPerSheet(); ++k) {
        const QRectF box = sheet.labelBox(k);
        const int column = k % across;
        const int row = k / across;
        QVERIFY2(near(box.width(), label.width()) && near(box.height(), label.height()),
                 qPrintable(QString::number(k)));
        QVERIFY(near(box.left(), leftMargin + column * (label.width() + gapAcross)));
        // Rows touch: a sheet of address labels is cut without a gap from top to bottom.
        QVERIFY(near(box.top(), topMargin + row * label.height()));
    }
    // The block sits in the middle of the paper, as the sheets are cut.
    const QRectF last = sheet.labelBox(sheet.labelsPerSheet() - 1);
    QVERIFY(near(paper.width() - last.right(), leftMargin));
    QVERIFY(near(paper.height() - last.bottom(), topMargin));
}

void TestLabels::theStartLabelAndPageBreaks()
{
    const LabelSheet &letter = labelSheet(SheetKind::UsLetter30);
    auto placing = [&](int labels, int start) {
        QStringList where;
        const LabelLayout layout = layoutLabels(numberedAddresses(labels), letter, start, halfEmPerCharacter);
        for (const PlacedLabel &label : layout.labels) {
            const bool boxed = label.box == letter.labelBox(label.position);
            where.append(QStringLiteral("%1/%2%3").arg(label.sheet).arg(label.position).arg(boxed ? "" : " misplaced"));
        }
        return std::pair(layout.sheets, where);
    };
    // A fresh sheet, filled exactly, and one label more.
    QCOMPARE(placing(30, 1).first, 1);
    QCOMPARE(placing(30, 1).second.last(), QStringLiteral("0/29"));
    QCOMPARE(placing(31, 1).first, 2);
    QCOMPARE(placing(31, 1).second.last(), QStringLiteral("1/0"));
    // A used sheet: label 5 first (position 4), the sheet used up, then a fresh one from its top.
    const auto [sheets, where] = placing(30, 5);
    QCOMPARE(sheets, 2);
    QCOMPARE(where.first(), QStringLiteral("0/4"));
    QCOMPARE(where.at(25), QStringLiteral("0/29"));
    QCOMPARE(where.at(26), QStringLiteral("1/0"));
    QCOMPARE(where.last(), QStringLiteral("1/3"));
    // The last label alone; starts out of range are held to the sheet.
    QCOMPARE(placing(1, 30).second, QStringList{QStringLiteral("0/29")});
    QCOMPARE(placing(2, 99).second, QStringList({QStringLiteral("0/29"), QStringLiteral("1/0")}));
    QCOMPARE(placing(1, 0).second, QStringList{QStringLiteral("0/0")});
    QCOMPARE(placing(0, 5).first, 0);
    QCOMPARE(sheetsNeeded(22, labelSheet(SheetKind::A4With21), 1), 2);
    QCOMPARE(sheetsNeeded(21, labelSheet(SheetKind::A4With21), 1), 1);
    QCOMPARE(sheetsNeeded(1, labelSheet(SheetKind::A4With21), 21), 1);
}

void TestLabels::linesAreSetAsACentredBlock()
{
    const LabelSheet &letter = labelSheet(SheetKind::UsLetter30);
    const std::vector<MailingAddress> members = {
        {"Abbott, Helen", "12 Main St, Apt 4", "Calvessa, OR 97301"},
        {"Brown, Walter", "408 Orchard Lane", ""},
    };
    const LabelLayout layout = layoutLabels(members, letter, 2, halfEmPerCharacter);
    QCOMPARE(layout.labels.size(), std::size_t(2));

    const PlacedLabel &three = layout.labels[0];
    QCOMPARE(three.lines.size(), std::size_t(3));
    const double lineHeight = 10 * kLabelLineSpacing;
    const double blockTop = three.box.top() + (three.box.height() - 3 * lineHeight) / 2;
    for (int i = 0; i < 3; ++i) {
        const LabelLine &line = three.lines[static_cast<std::size_t>(i)];
        QCOMPARE(line.pointSize, 10.0);
        QCOMPARE(line.x, three.box.left() + kLabelInset);
        QVERIFY(qFuzzyCompare(line.baseline, blockTop + i * lineHeight + 10 * kLabelAscent));
    }
    QCOMPARE(three.lines[0].text, QStringLiteral("Abbott, Helen"));
    QCOMPARE(three.lines[2].text, QStringLiteral("Calvessa, OR 97301"));

    // Without a city the two lines are centred as a block of two.
    const PlacedLabel &two = layout.labels[1];
    QCOMPARE(two.lines.size(), std::size_t(2));
    QVERIFY(qFuzzyCompare(two.lines[0].baseline,
                          two.box.top() + (two.box.height() - 2 * lineHeight) / 2 + 10 * kLabelAscent));
    QCOMPARE(two.position, 2);
}

void TestLabels::aLongLineIsSetSmallerThenCut()
{
    const double room = 171; // 2 5/8 inch less 1/8 inch each side
    auto fit = [&](const QString &text) { return fitLine(text, room, 10, halfEmPerCharacter); };
    // At 10 points 34 characters fit; each half point smaller lets a few more in.
    QCOMPARE(fit(QString(34, u'a')).pointSize, 10.0);
    QCOMPARE(fit(QString(35, u'a')).pointSize, 9.5);
    QCOMPARE(fit(QString(40, u'a')).pointSize, 8.5);
    const FittedLine smallest = fit(QString(48, u'a'));
    QCOMPARE(smallest.pointSize, kSmallestLabelPointSize);
    QVERIFY(!smallest.cut);
    QCOMPARE(smallest.text.size(), 48);

    // Past the smallest size: cut, with the ellipsis, as long as still fits.
    const QString longAddress = QStringLiteral("1500 Northwest Old Cornelius Pass Road, Building C, Suite 210");
    const FittedLine cut = fit(longAddress);
    QVERIFY(cut.cut);
    QCOMPARE(cut.pointSize, kSmallestLabelPointSize);
    QVERIFY(cut.text.endsWith(QChar(0x2026)));
    QVERIFY(halfEmPerCharacter(cut.text, 7) <= room);
    QVERIFY(halfEmPerCharacter(longAddress.left(cut.text.size()) + QChar(0x2026), 7) > room);
    QCOMPARE(cut.text, longAddress.left(47).trimmed() + QChar(0x2026));

    // Never between a letter and its accent.
    const QString accented = QString::fromUtf8("e\u0301").repeated(40);
    const FittedLine cutAccents = fit(accented);
    QVERIFY(cutAccents.cut);
    const QString kept = cutAccents.text.chopped(1);
    QVERIFY(kept.endsWith(QChar(0x0301)));
    QCOMPARE(kept.size() % 2, 0);

    // In a layout the line keeps its size and place; the cut one is marked.
    const LabelLayout layout = layoutLabels(std::vector<MailingAddress>{{"Ann Lee", longAddress, "Salem"}},
                                            labelSheet(SheetKind::UsLetter30), 1, halfEmPerCharacter);
    QCOMPARE(layout.labels[0].lines[1].text, cut.text);
    QVERIFY(layout.labels[0].lines[1].cut);
    QCOMPARE(layout.labels[0].lines[0].pointSize, 10.0);
}

void TestLabels::membersWithoutAnAddressAreLeftOut()
{
    const TableSource grid({{"Name", "Address", "City, State, Zip", "Phone", "Comment", ""},
                            {"Abbott, Helen", "12 Main St", "Calvessa, OR 97301", "555", "", "1"},
                            {"Brown, Walter", "", "Salem, OR 97302", "555", "", "2"},
                            {"Carter, June", "   ", "Keizer", "", "", "3"},
                            {" Dale,\tAnn ", " 7 Oak\r\nAve ", "  Salem  ", "", "", "4"},
                            {"", "", "", "", "", ""}},
                           6);
    const AddressList list = addressesFromGrid(grid);
    QCOMPARE(list.withoutAddress, 2); // the empty last row is no member
    QCOMPARE(list.addresses.size(), std::size_t(2));
    QCOMPARE(list.addresses[0].name, QStringLiteral("Abbott, Helen"));
    // A label line is one line of tidy text.
    QCOMPARE(list.addresses[1].name, QStringLiteral("Dale, Ann"));
    QCOMPARE(list.addresses[1].address, QStringLiteral("7 Oak Ave"));
    QCOMPARE(list.addresses[1].city, QStringLiteral("Salem"));

    QCOMPARE(addressFromBoxes("", " ", "").addresses.size(), std::size_t(0));
    QCOMPARE(addressFromBoxes("", " ", "").withoutAddress, 0);
    QCOMPARE(addressFromBoxes("Brown", "", "Salem").withoutAddress, 1);
    QCOMPARE(addressFromBoxes("", "7 Oak Ave", "").addresses.size(), std::size_t(1));

    const LabelChoices choices = labelChoices(grid, "", "", "");
    QVERIFY(choices.nobodyPicked);
    const LabelSheet &letter = labelSheet(SheetKind::UsLetter30);
    QCOMPARE(labelSummary(choices, false, letter, 30),
             QStringLiteral("2 labels on 2 sheets, the first at label 30. 2 members without an address are left out."));
    QCOMPARE(labelSummary(choices, true, letter, 1), messages::noMemberPicked());
    QCOMPARE(labelSummary(labelChoices(grid, "Brown", "", "Salem"), true, letter, 1),
             messages::pickedMemberHasNoAddress());
}

LabelsDialog *TestLabels::openWithCtrlL()
{
    // A window's shortcut works while the window is the active one.
    form().activateWindow();
    if (!QTest::qWaitForWindowActive(&form()))
        return nullptr;
    QTest::keyClick(&form(), Qt::Key_L, Qt::ControlModifier);
    // One closed a moment ago may not be deleted yet.
    for (LabelsDialog *dialog : form().findChildren<LabelsDialog *>()) {
        if (dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

QMap<QPair<int, int>, QStringList> TestLabels::labelTexts(const QString &pdf, const LabelSheet &sheet)
{
    QMap<QPair<int, int>, QStringList> labels;
    for (const PdfWord &word : pdfWords(pdf)) {
        const QPointF centre((word.xMin + word.xMax) / 2, (word.yMin + word.yMax) / 2);
        int position = -1;
        for (int k = 0; k < sheet.labelsPerSheet() && position < 0; ++k) {
            if (sheet.labelBox(k).contains(centre))
                position = k;
        }
        // Every word within its label, clear of its edges.
        if (position < 0) {
            labels[{word.page, -1}].append(word.text);
            continue;
        }
        const QRectF box = sheet.labelBox(position);
        if (word.xMin < box.left() + kLabelInset - 0.5 || word.xMax > box.right() - kLabelInset + 0.5
            || word.yMin < box.top() || word.yMax > box.bottom())
            labels[{word.page, -2}].append(word.text);
        labels[{word.page, position}].append(word.text);
    }
    return labels;
}

void TestLabels::theGridsMenuAndCtrlLOpenTheDialog()
{
    h->addMember("Abbott, Helen", "12 Main St", "Calvessa, OR 97301", "555", "", 1);
    QVERIFY(h->start());
    grid::FlexGrid &grid = *form().Grid1;

    // A right click on the grid offers the item, with its shortcut.
    QString offered;
    QTimer::singleShot(0, this, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction *action : menu->actions())
            offered += action->text() + u'|' + action->shortcut().toString() + u';';
        menu->actions().first()->trigger();
        menu->close();
    });
    const QPoint inGrid = grid.visualRect(grid.model()->index(0, 1)).center();
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, inGrid, grid.viewport()->mapToGlobal(inGrid));
    QApplication::sendEvent(grid.viewport(), &rightClick);
    QCOMPARE(offered,
             QStringLiteral("Print Mailing Labels...|Ctrl+L;Import Members...|Ctrl+I;"
                            "Put a Backup Back...|Ctrl+Shift+R;Member Details...|Ctrl+D;Lists...|Ctrl+Shift+L;"));
    QTRY_VERIFY(form().findChild<LabelsDialog *>());
    LabelsDialog *fromMenu = form().findChild<LabelsDialog *>();
    QVERIFY(fromMenu->isVisible());
    QVERIFY(fromMenu->isModal());
    QCOMPARE(fromMenu->windowTitle(), QStringLiteral("Print Mailing Labels"));
    QCOMPARE(form().boxText(0), QString()); // the right click picked nobody
    QPointer<LabelsDialog> closing = fromMenu;
    fromMenu->cmdClose->click();
    QTRY_VERIFY(!closing); // deleted once closed

    // Ctrl+L anywhere in the main window, an edit box holding the focus.
    form().Text1[3]->setFocus();
    LabelsDialog *dialog = openWithCtrlL();
    QVERIFY(dialog);
    // US Letter where the workstation's paper is Letter, as the tests' is; the dialog says why.
    QCOMPARE(dialog->cboSheet->currentIndex(), 0);
    QCOMPARE(dialog->lblSheetChoice->text(),
             QStringLiteral("This computer's paper is Letter (set by PAPERSIZE), so the US Letter sheet is chosen."));
    QCOMPARE(dialog->spnStart->maximum(), 30);
    dialog->cboSheet->setCurrentIndex(1);
    QCOMPARE(dialog->spnStart->maximum(), 21);
    // A click on a label of the little sheet makes it the start label.
    const QPointF sixth = [&] {
        for (int y = 0; y < dialog->picSheet->height(); ++y)
            for (int x = 0; x < dialog->picSheet->width(); ++x)
                if (dialog->picSheet->positionAt(QPointF(x, y)) == 5)
                    return QPointF(x + 2, y + 2);
        return QPointF(-1, -1);
    }();
    QTest::mouseClick(dialog->picSheet, Qt::LeftButton, {}, sixth.toPoint());
    QCOMPARE(dialog->spnStart->value(), 6);
    QCOMPARE(dialog->lblSummary->text(),
             QStringLiteral("1 label on 1 sheet, the first at label 6. Every member has an address."));
    QVERIFY(h->dialogs.messages.isEmpty());
    dialog->reject();
}

void TestLabels::aSavedPdfReadsBackInLabelOrder()
{
    // 33 members with an address, on a sheet whose first three labels are used: a full
    // first sheet of 27 and 6 on the next. Two members have no address.
    const QString longName = QStringLiteral("Fairbanks-Whitmore, Eleanor Margaret Josephine");
    QStringList expected;
    for (int i = 1; i <= 35; ++i) {
        QString name = QStringLiteral("Member%1 Name").arg(i, 2, 10, QLatin1Char('0'));
        if (i == 7)
            name = QStringLiteral("Member07 Émond, Lucie");
        if (i == 20)
            name = QStringLiteral("Member20 ") + longName;
        const bool noAddress = i == 10 || i == 30;
        h->addMember(name, noAddress ? QString() : QStringLiteral("%1 Elm St").arg(i * 10),
                     QStringLiteral("Salem, OR 973%1").arg(i, 2, 10, QLatin1Char('0')), "555", "", i);
        if (!noAddress)
            expected.append(name.section(u' ', 0, 0));
    }
    QVERIFY(h->start());
    LabelsDialog *dialog = openWithCtrlL();
    QVERIFY(dialog);
    dialog->spnStart->setValue(4);
    QCOMPARE(dialog->lblSummary->text(),
             QStringLiteral("33 labels on 2 sheets, the first at label 4. 2 members without an address are left out."));
    QPointer<LabelsDialog> open = dialog;
    const QString pdf = path(QStringLiteral("labels"));
    h->dialogs.chooseFile(pdf);
    QTest::mouseClick(dialog->cmdSavePdf, Qt::LeftButton);

    QCOMPARE(h->dialogs.fileQuestions.size(), 1);
    QCOMPARE(h->dialogs.fileQuestions[0].title, QStringLiteral("Save Mailing Labels as PDF"));
    QCOMPARE(h->dialogs.fileQuestions[0].text, path(QStringLiteral("MailingLabels.pdf")));
    // ".pdf" is added to a name typed without it.
    QCOMPARE(h->dialogs.texts(), QStringList{messages::labelsSaved(33, QDir::toNativeSeparators(pdf + ".pdf"))});
    QCOMPARE(h->dialogs.messages[0].style, int(MB_OK));
    QTRY_VERIFY(!open); // done, so closed

    const LabelSheet &letter = labelSheet(SheetKind::UsLetter30);
    const QMap<QPair<int, int>, QStringList> labels = labelTexts(pdf + ".pdf", letter);
    QVERIFY2(!labels.contains({0, -1}) && !labels.contains({1, -1}), "text outside every label");
    QVERIFY2(!labels.contains({0, -2}) && !labels.contains({1, -2}), "text over a label's edge");
    QStringList order;
    for (auto it = labels.begin(); it != labels.end(); ++it)
        order.append(it.value().first());
    QCOMPARE(order, expected);
    QCOMPARE(labels.firstKey(), qMakePair(0, 3));
    QCOMPARE(labels.lastKey(), qMakePair(1, 5));
    // Members 1 to 9 from label 4 on, 11 to 28 after them, 29 on the next sheet.
    QCOMPARE(labels.value({0, 29}).first(), QStringLiteral("Member28"));
    QCOMPARE(labels.value({1, 0}).first(), QStringLiteral("Member29"));
    QCOMPARE(labels.value({0, 9}),
             QStringList({"Member07", "Émond,", "Lucie", "70", "Elm", "St", "Salem,", "OR", "97307"}));
    // The long name is set smaller, then cut with an ellipsis; its address is whole.
    const QStringList twenty = labels.value({0, 21});
    const QString cutName = twenty.mid(0, twenty.indexOf("200")).join(u' ');
    QVERIFY2(cutName.endsWith(QChar(0x2026)), qPrintable(cutName));
    QVERIFY2(cutName.startsWith(QStringLiteral("Member20 Fairbanks-Whitmore, Eleanor")), qPrintable(cutName));
    QVERIFY(twenty.join(u' ').endsWith(QStringLiteral("200 Elm St Salem, OR 97320")));

    // poppler's plain reading of the file, in its page order, says the same.
    const QList<QStringList> pages = pdfLayoutPages(pdf + ".pdf");
    QCOMPARE(pages.size(), 2);
    QVERIFY(pages[0].join(u'\n').contains(QStringLiteral("Member01 Name")));
    QVERIFY(pages[1].join(u'\n').contains(QStringLiteral("Member35 Name")));
    QVERIFY(!(pages[0] + pages[1]).join(u'\n').contains(QStringLiteral("Member10")));
}

void TestLabels::onlyThePickedMemberIsPrinted()
{
    h->addMember("Abbott, Helen", "12 Main St, Apt 4", "Calvessa, OR 97301", "555", "", 1);
    h->addMember("Nguyen, Van", "31 Cedar Ave", "Calvessa, OR 97301", "555", "", 2);
    QVERIFY(h->start());
    clickRow(2);
    // What the boxes show is what is printed, as typed.
    form().Text1[1]->setText(QStringLiteral("31 Cedar Avenue, Unit B"));
    LabelsDialog *dialog = openWithCtrlL();
    QVERIFY(dialog);
    QCOMPARE(dialog->optPicked->text(), QStringLiteral("&Only the member in the boxes: Nguyen, Van"));
    QVERIFY(dialog->optAll->isChecked());
    dialog->optPicked->click();
    dialog->spnStart->setValue(2);
    QCOMPARE(dialog->lblSummary->text(), QStringLiteral("1 label on 1 sheet, the first at label 2."));
    QTest::mouseClick(dialog->cmdPrint, Qt::LeftButton);

    QCOMPARE(h->printers.jobs, 1);
    QCOMPARE(h->dialogs.texts(), QStringList{QStringLiteral("1 mailing label is being sent to the printer.")});
    const QMap<QPair<int, int>, QStringList> labels =
        labelTexts(h->printers.pdfPath, labelSheet(SheetKind::UsLetter30));
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.firstKey(), qMakePair(0, 1));
    QCOMPARE(labels.first().join(u' '), QStringLiteral("Nguyen, Van 31 Cedar Avenue, Unit B Calvessa, OR 97301"));
}

void TestLabels::nothingPickedOrNoPrinterIsSaidClearly()
{
    h->addMember("Abbott, Helen", "12 Main St", "Calvessa, OR 97301", "555", "", 1);
    h->addMember("Brown, Walter", "", "Salem, OR 97302", "555", "", 2);
    QVERIFY(h->start());

    LabelsDialog *dialog = openWithCtrlL();
    QVERIFY(dialog);
    QCOMPARE(dialog->optPicked->text(), QStringLiteral("&Only the member in the boxes (none picked)"));
    dialog->optPicked->click();
    QCOMPARE(dialog->lblSummary->text(), messages::noMemberPicked());
    QTest::mouseClick(dialog->cmdPrint, Qt::LeftButton);
    QTest::mouseClick(dialog->cmdSavePdf, Qt::LeftButton);
    QCOMPARE(h->dialogs.texts(), QStringList(2, messages::noMemberPicked()));
    QVERIFY(h->dialogs.texts().first().contains(QStringLiteral("click a member's row")));
    QCOMPARE(h->printers.jobs, 0);
    QVERIFY(h->dialogs.fileQuestions.isEmpty());
    QVERIFY(dialog->isVisible());
    dialog->reject();

    // Brown, picked, has no address.
    h->dialogs.clear();
    clickRow(2);
    dialog = openWithCtrlL();
    QVERIFY(dialog);
    dialog->optPicked->click();
    QTest::mouseClick(dialog->cmdPrint, Qt::LeftButton);
    QCOMPARE(h->dialogs.texts(), QStringList{messages::pickedMemberHasNoAddress()});
    dialog->reject();

    // No printer: a message about the labels and this dialog's Print, and the dialog stays
    // for another try; the alignment test says the same.
    h->dialogs.clear();
    h->printers.available = false;
    dialog = openWithCtrlL();
    QVERIFY(dialog);
    QCOMPARE(dialog->lblSummary->text(),
             QStringLiteral("1 label on 1 sheet, the first at label 1. 1 member without an address is left out."));
    QTest::mouseClick(dialog->cmdPrint, Qt::LeftButton);
    QTest::mouseClick(dialog->cmdAlignment, Qt::LeftButton);
    QCOMPARE(h->dialogs.texts(), QStringList(2, messages::labelsNoDefaultPrinter()));
    QVERIFY(h->dialogs.texts()[0].contains(QStringLiteral("mailing labels were not printed")));
    QCOMPARE(h->dialogs.messages[0].style, int(MB_OK | MB_ICONERROR));
    QVERIFY(dialog->isVisible());
    h->printers.available = true;
    QTest::mouseClick(dialog->cmdPrint, Qt::LeftButton);
    QCOMPARE(h->dialogs.texts().last(), QStringLiteral("1 mailing label is being sent to the printer."));
    QVERIFY(QFile::exists(h->printers.pdfPath));
    QVERIFY(!h->end.ended);
}

void TestLabels::previewShowsEverySheet()
{
    addManyMembers(*h, 45);
    QVERIFY(h->start());
    LabelsDialog *dialog = openWithCtrlL();
    QVERIFY(dialog);
    dialog->cboSheet->setCurrentIndex(1); // A4, 21 to a sheet
    dialog->spnStart->setValue(20);       // 2 + 21 + 21 + 1
    int pages = -1;
    QString title;
    QTimer::singleShot(0, this, [&] {
        auto *preview = qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget());
        if (!preview)
            return;
        title = preview->windowTitle();
        if (auto *pagesWidget = preview->findChild<QPrintPreviewWidget *>())
            pages = pagesWidget->pageCount();
        preview->reject();
    });
    QTest::mouseClick(dialog->cmdPreview, Qt::LeftButton);
    QCOMPARE(pages, 4);
    QCOMPARE(title, QStringLiteral("Print Mailing Labels"));
    // Previewing prints nothing and leaves the dialog open.
    QCOMPARE(h->printers.jobs, 0);
    QVERIFY(dialog->isVisible());
    QVERIFY(h->dialogs.messages.isEmpty());
    dialog->reject();
}

void TestLabels::aPdfThatCannotBeWrittenIsReported()
{
    h->addMember("Abbott, Helen", "12 Main St", "Calvessa, OR 97301", "555", "", 1);
    QVERIFY(h->start());
    // A folder where the file belongs cannot be overwritten, not even by root.
    const QString blocked = path(QStringLiteral("Labels.pdf"));
    QVERIFY(QDir().mkdir(blocked));
    LabelsDialog *dialog = openWithCtrlL();
    QVERIFY(dialog);
    h->dialogs.chooseFile(blocked);
    QTest::mouseClick(dialog->cmdSavePdf, Qt::LeftButton);
    QCOMPARE(h->dialogs.messages.size(), 1);
    const QString message = h->dialogs.messages[0].text;
    QVERIFY2(message.startsWith(QStringLiteral("The mailing labels were not saved")), qPrintable(message));
    QVERIFY(message.contains(QDir::toNativeSeparators(blocked)));
    QCOMPARE(h->dialogs.messages[0].style, int(MB_OK | MB_ICONERROR));
    QVERIFY(QFileInfo(blocked).isDir());
    QVERIFY(dialog->isVisible());

    // Cancel at the file question does nothing at all.
    h->dialogs.clear();
    h->dialogs.chooseFile(std::nullopt);
    QTest::mouseClick(dialog->cmdSavePdf, Qt::LeftButton);
    QVERIFY(h->dialogs.messages.isEmpty());
    QVERIFY(dialog->isVisible());
    dialog->reject();
}

void TestLabels::theSheetFollowsThePaper_data()
{
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSizeF>("localeMm");
    QTest::addColumn<int>("territory");
    QTest::addColumn<QString>("why");
    QTest::newRow("PAPERSIZE first") << "letter"
                                     << "a4" << QSizeF(210, 297) << int(QLocale::Germany)
                                     << "Letter (set by PAPERSIZE), so the US Letter";
    QTest::newRow("then /etc/papersize") << ""
                                         << "legal" << QSizeF(210, 297) << int(QLocale::Germany)
                                         << "Legal (set in /etc/papersize), so the US Letter";
    QTest::newRow("then LC_PAPER") << ""
                                   << "" << QSizeF(210, 297) << int(QLocale::UnitedStates)
                                   << "A4 (the paper of the locale en_CA.UTF-8), so the A4";
    // English in Canada measures in metres, yet its paper is Letter.
    QTest::newRow("then the country") << ""
                                      << "" << QSizeF() << int(QLocale::Canada)
                                      << "Letter (usual in Canada), so the US Letter";
}

void TestLabels::theSheetFollowsThePaper()
{
    QFETCH(QString, variable);
    QFETCH(QString, file);
    QFETCH(QSizeF, localeMm);
    QFETCH(int, territory);
    QFETCH(QString, why);
    const SheetChoice choice = sheetForPaper({variable, file, QStringLiteral("/etc/papersize"), localeMm,
                                              QStringLiteral("en_CA.UTF-8"), QLocale::Territory(territory)});
    QCOMPARE(choice.why, QStringLiteral("This computer's paper is %1 sheet is chosen.").arg(why));
    QCOMPARE(choice.sheet, why.endsWith(QLatin1String("A4")) ? SheetKind::A4With21 : SheetKind::UsLetter30);
}

void TestLabels::enterNeverPrintsBySurprise_data()
{
    QTest::addColumn<QString>("focused");
    QTest::newRow("the start label") << "spnStart";
    QTest::newRow("the sheet list") << "cboSheet";
    QTest::newRow("an adjustment") << "spnRight";
    QTest::newRow("Print itself, deliberately") << "cmdPrint";
}

void TestLabels::enterNeverPrintsBySurprise()
{
    QFETCH(QString, focused);
    h->addMember("Abbott, Helen", "12 Main St", "Calvessa, OR 97301", "555", "", 1);
    QVERIFY(h->start());
    LabelsDialog *dialog = openWithCtrlL();
    QVERIFY(dialog);
    QWidget *target = QMap<QString, QWidget *>{{"spnStart", dialog->spnStart},
                                               {"cboSheet", dialog->cboSheet},
                                               {"spnRight", dialog->spnRight},
                                               {"cmdPrint", dialog->cmdPrint}}
                          .value(focused);
    bool previewed = false;
    QTimer::singleShot(0, this, [&] {
        if (auto *preview = qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget()))
            previewed = true, preview->reject();
    });
    QTest::keyClick(target, Qt::Key_Return);
    const bool prints = target == dialog->cmdPrint;
    QCOMPARE(h->printers.jobs, prints ? 1 : 0);
    QCOMPARE(previewed, !prints);

    // Tab goes through every control in reading order, Print included (the ticks for
    // members who resigned or passed away with the details table there).
    if (!prints) {
        QList<QWidget *> reached;
        for (dialog->cboSheet->setFocus(); reached.size() < 14;)
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab), reached.append(dialog->focusWidget());
        QCOMPARE(reached,
                 (QList<QWidget *>{dialog->spnStart, dialog->optAll, dialog->optPicked, dialog->chkResigned,
                                   dialog->chkPassedAway, dialog->spnRight, dialog->spnDown, dialog->spnScale,
                                   dialog->cmdAlignment, dialog->cmdPreview, dialog->cmdSavePdf, dialog->cmdPrint,
                                   dialog->cmdClose, dialog->cboSheet}));
        dialog->reject();
    }
}

void TestLabels::theAdjustmentMovesEveryLabel_data()
{
    QTest::addColumn<double>("right");
    QTest::addColumn<double>("down");
    QTest::addColumn<double>("scale");
    QTest::newRow("none") << 0.0 << 0.0 << 100.0;
    QTest::newRow("right and up") << 2.0 << -1.5 << 100.0;
    QTest::newRow("all three") << -3.0 << 4.0 << 98.0;
}

void TestLabels::theAdjustmentMovesEveryLabel()
{
    QFETCH(double, right);
    QFETCH(double, down);
    QFETCH(double, scale);
    h->addMember("Abbott, Helen", "12 Main St", "Calvessa, OR 97301", "555", "", 1);
    QVERIFY(h->start());
    LabelsDialog *dialog = openWithCtrlL();
    QVERIFY(dialog);
    dialog->spnRight->setValue(right);
    dialog->spnDown->setValue(down);
    dialog->spnScale->setValue(scale);
    const LabelSheet &letter = labelSheet(SheetKind::UsLetter30);
    auto landed = [&](QPointF p) { return p * (scale / 100) + QPointF(right, down) * kMillimetre; };
    auto near = [](QPointF a, QPointF b) { return (a - b).manhattanLength() < 1.5; };

    // The alignment test: each label's number in the middle of where its label lands.
    QTest::mouseClick(dialog->cmdAlignment, Qt::LeftButton);
    QCOMPARE(h->dialogs.texts(), QStringList{messages::alignmentTestSent()});
    QMap<QString, QPointF> numbers;
    for (const PdfWord &word : pdfWords(h->printers.pdfPath))
        numbers.insert(word.text, QPointF(word.xMin + word.xMax, word.yMin + word.yMax) / 2);
    QCOMPARE(numbers.size(), 30);
    for (const int k : {1, 3, 28, 30})
        QVERIFY2(near(numbers.value(QString::number(k)), landed(letter.labelBox(k - 1).center())),
                 qPrintable(QString::number(k)));

    // The labels move alike; saved to a file as printed.
    h->dialogs.chooseFile(path("adjusted.pdf"));
    QTest::mouseClick(dialog->cmdSavePdf, Qt::LeftButton);
    const QList<PdfWord> words = pdfWords(path("adjusted.pdf"));
    QVERIFY(!words.isEmpty());
    const double left = landed(QPointF(letter.labelBox(0).left() + kLabelInset, 0)).x();
    QVERIFY2(std::abs(words.first().xMin - left) < 1, qPrintable(QString::number(words.first().xMin)));
}

void TestLabels::theAdjustmentIsKeptForTheWorkstation_data()
{
    QTest::addColumn<QByteArray>("kept"); // "<folder>": a folder where the file belongs
    QTest::addColumn<QString>("read");
    QTest::newRow("none yet") << QByteArray() << "0 0 100";
    QTest::newRow("as kept") << QByteArray("[LabelPrinter]\nRightMm=1.5\nDownMm=-2.0\nScalePercent=101.5\n")
                             << "1.5 -2 101.5";
    QTest::newRow("not numbers, out of range")
        << QByteArray("[LabelPrinter]\nRightMm=x\nDownMm=25\nScalePercent=150\n") << "0 0 100";
    QTest::newRow("cannot be written") << QByteArray("<folder>") << "0 0 100";
}

void TestLabels::theAdjustmentIsKeptForTheWorkstation()
{
    QFETCH(QByteArray, kept);
    QFETCH(QString, read);
    const QString file = adjustmentFile(h->deployment.programFolder);
    if (kept == "<folder>")
        QVERIFY(QDir().mkdir(file));
    else if (!kept.isEmpty())
        writeFile(file, kept);
    h->addMember("Abbott, Helen", "12 Main St", "Calvessa, OR 97301", "555", "", 1);
    QVERIFY(h->start());
    LabelsDialog *dialog = openWithCtrlL();
    QVERIFY(dialog);
    const PrinterAdjustment shown = dialog->adjustment();
    QCOMPARE(QStringLiteral("%1 %2 %3").arg(shown.rightMm).arg(shown.downMm).arg(shown.scalePercent), read);
    dialog->spnRight->setValue(2.5);
    dialog->reject();
    if (kept == "<folder>") {
        QCOMPARE(h->dialogs.texts().size(), 1);
        QVERIFY(h->dialogs.texts()[0].startsWith(QStringLiteral("The printer adjustment could not be kept")));
    } else {
        QVERIFY(h->dialogs.messages.isEmpty());
        QCOMPARE(readAdjustment(file).rightMm, 2.5);
    }
}

KELVORY_TEST_MAIN(TestLabels)
#include "tst_labels.moc"
