// kelvory_screenshot <main.png> [<history.png> [<labels-dialog.png> <labels.pdf> [<import-dialog.png>
//                    [<details-dialog.png> <lists-dialog.png>]]]]
// Renders the main window (and the history window, and the mailing labels dialog) of the
// real program code, filled from an embedded database with a few sample members, to PNG
// files, and saves that dialog's labels as a PDF file. The README's pictures come from
// here (make screenshot), and the import dialog's, its preview filled from a small file.
//
// The windows are shown as an operator would leave them: two changes made through the
// window's own buttons (so the history has rows to list), then a member picked by a
// click on its row, with its fields in the edit boxes.
#include "Harness.h"
#include "history/History.h"
#include "import/ImportDialog.h"
#include "output/LabelsDialog.h"
#include "output/ListsDialog.h"
#include "roster/DetailsDialog.h"
#include "roster/RosterForm.h"
#include "grid/CommandButton.h"
#include "grid/FlexGrid.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSpinBox>
#include <QLineEdit>
#include <QPixmap>
#include <QTest>

#include <cstdio>

namespace {

bool save(QWidget &window, const QString &path)
{
    QApplication::processEvents();
    if (!window.grab().save(path, "PNG")) {
        std::fprintf(stderr, "kelvory_screenshot: %s cannot be written\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

void typeInto(QLineEdit *box, const QString &text)
{
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
}

// Clicks the middle of the member row (1 = the first under the headings), as the operator does.
void clickMemberRow(kelvory::grid::FlexGrid &grid, int row)
{
    const QModelIndex index = grid.model()->index(row - 1, 0);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(index).center());
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    kelvory::test::prepareApplication();
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty() || arguments.size() == 3 || arguments.size() == 6 || arguments.size() > 7) {
        std::fprintf(stderr,
                     "usage: kelvory_screenshot <main.png> [<history.png> [<labels-dialog.png> <labels.pdf> "
                     "[<import-dialog.png> [<details-dialog.png> <lists-dialog.png>]]]]\n");
        return 2;
    }

    using namespace kelvory;
    test::Harness h(test::Backend::Sqlite);
    h.prepareDatabase();
    const char *const members[][5] = {
        {"Adams, Ruth", "12 Main St Apt 4", "Calvessa, OR 97301", "503-555-0142", "Treasurer"},
        {"Baker, Thomas", "408 Orchard Lane", "Calvessa, OR 97301", "503-555-0187", ""},
        {"Castillo, Inés", "77 Riverside Dr", "Salem, OR 97302", "503-555-0119", "Bridge club"},
        {"Delgado, Frank", "1500 Mission St SE", "Salem, OR 97302", "503-555-0166", "Drives on Tuesdays"},
        {"Eriksen, Margaret", "9 Willow Ct", "Calvessa, OR 97301", "503-555-0101", ""},
        {"Fairbanks-Whitmore, Eleanor", "2210 Old Mill Road West", "Keizer, OR 97303", "503-555-0193",
         "Name prints on two lines"},
    };
    qint64 id = 1;
    for (const auto &m : members)
        h.addMember(QString::fromUtf8(m[0]), QString::fromUtf8(m[1]), QString::fromUtf8(m[2]), QString::fromUtf8(m[3]),
                    QString::fromUtf8(m[4]), id++);
    h.writeUserFile(QStringLiteral("Dorothy"));
    if (!h.start()) {
        std::fprintf(stderr, "kelvory_screenshot: the program did not start\n");
        return 1;
    }

    roster::RosterForm &form = h.form();
    // A new member, typed and added.
    const char *const newcomer[5] = {"Nguyen, Van", "31 Cedar Ave", "Calvessa, OR 97301", "503-555-0128", "New member"};
    for (int k = 0; k < 5; ++k)
        typeInto(form.Text1[k], QString::fromUtf8(newcomer[k]));
    h.dialogs.answer(IDOK);
    QTest::mouseClick(form.Command3, Qt::LeftButton);
    // Baker has moved: picked, the address typed over, updated.
    clickMemberRow(*form.Grid1, 2);
    typeInto(form.Text1[1], QStringLiteral("1500 Mission St SE"));
    h.dialogs.answer(IDOK);
    QTest::mouseClick(form.Command2, Qt::LeftButton);
    if (h.dialogs.texts() != QStringList{QStringLiteral("Record Added"), QStringLiteral("Record Updated")}) {
        std::fprintf(stderr, "kelvory_screenshot: unexpected messages: %s\n",
                     qPrintable(h.dialogs.texts().join(QStringLiteral(" | "))));
        return 1;
    }
    // Then the operator picks the next member to look at.
    clickMemberRow(*form.Grid1, 3);
    if (!save(form, arguments.at(0)))
        return 1;

    if (arguments.size() > 1) {
        QTest::mouseClick(form.Command7, Qt::LeftButton);
        history::History *history = test::historyWindow(*h.module);
        if (!history) {
            std::fprintf(stderr, "kelvory_screenshot: the history window did not open\n");
            return 1;
        }
        if (!save(*history, arguments.at(1)))
            return 1;
    }

    if (arguments.size() > 2) {
        // Ctrl+L's dialog, on a sheet whose first three labels were used before, on a
        // workstation whose paper is Letter.
        qputenv("PAPERSIZE", "letter");
        form.mnuMailingLabels_Click();
        output::LabelsDialog *dialog = form.findChild<output::LabelsDialog *>();
        if (!dialog) {
            std::fprintf(stderr, "kelvory_screenshot: the labels dialog did not open\n");
            return 1;
        }
        dialog->spnStart->setValue(4);
        if (!save(*dialog, arguments.at(2)))
            return 1;
        const std::optional<QByteArray> pdf = output::labelsPdf(dialog->job(), h.deployment.title);
        QFile file(arguments.at(3));
        if (!pdf || !file.open(QIODevice::WriteOnly) || file.write(*pdf) != pdf->size()) {
            std::fprintf(stderr, "kelvory_screenshot: %s cannot be written\n", qPrintable(arguments.at(3)));
            return 1;
        }
        std::printf("%s\n", qPrintable(arguments.at(3)));
        dialog->close();
    }

    if (arguments.size() > 4) {
        // Ctrl+I's dialog with a club's old list: new members, one already on the roster,
        // one possibly, one without a name.
        const QString file = QDir(h.folder.path()).filePath(QStringLiteral("Club list.csv"));
        test::writeFile(
            file,
            QStringLiteral("Last Name,First Name,Street,City,State,ZIP,Telephone,E-mail,Notes\r\n"
                           "Adams,Ruth,12 Main St Apt 4,Calvessa,OR,97301,503-555-0142,ruth@example.org,\r\n"
                           "Castillo,Inés,18 Ferry St,Salem,OR,97302,503-555-0119,,\r\n"
                           "Gallagher,Rose,5 Birch Way,Calvessa,OR,97301,503-555-0177,,\"Joined May, 2024\"\r\n"
                           "Hoffmann,Dieter,44 Elm St,Keizer,OR,97303,503-555-0131,,Choir\r\n"
                           ",,3 Oak Ave,Calvessa,OR,97301,503-555-0150,,\r\n"
                           "Ibarra,Luis,620 State St,Salem,OR,97301,503-555-0184,luis@example.org,Drives\r\n")
                .toUtf8());
        form.mnuImportMembers_Click();
        auto *import = form.findChild<import::ImportDialog *>();
        if (!import) {
            std::fprintf(stderr, "kelvory_screenshot: the import dialog did not open\n");
            return 1;
        }
        import->loadFile(file);
        if (!save(*import, arguments.at(4)))
            return 1;
        import->close();
    }

    if (arguments.size() > 5) {
        // A club's year: birthdays, one member who passed away, Delgado's details open.
        h.clock.day = QDate(2026, 12, 1);
        h.exec(QStringLiteral("insert into memberDetails (recordid, birthYear, birthMonth, birthDay, joined, "
                              "status, statusChanged) values (1, 1946, 12, 22, '2001-12-10', 'active', null), "
                              "(2, 0, 12, 27, null, 'active', null), (3, 1936, 1, 4, '2016-12-28', 'active', null), "
                              "(5, 1940, 12, 30, '1999-03-01', 'passed away', '2026-11-30')"));
        clickMemberRow(*form.Grid1, 4);
        form.mnuMemberDetails_Click();
        auto *details = form.findChild<roster::DetailsDialog *>();
        if (!details) {
            std::fprintf(stderr, "kelvory_screenshot: the details dialog did not open\n");
            return 1;
        }
        details->txtBorn->setText(QStringLiteral("7/14/1941"));
        details->txtJoined->setText(QStringLiteral("3/5/2009"));
        details->txtDues->setText(QStringLiteral("12/31/2026"));
        const char *const contacts[2][3] = {{"Delgado, Maria", "daughter", "503-555-0311"},
                                            {"Okafor, Grace", "neighbour", "503-555-0148"}};
        for (int k = 0; k < 2; ++k) {
            details->txtContactName[k]->setText(QString::fromUtf8(contacts[k][0]));
            details->txtContactRelationship[k]->setText(QString::fromUtf8(contacts[k][1]));
            details->txtContactPhone[k]->setText(QString::fromUtf8(contacts[k][2]));
        }
        if (!save(*details, arguments.at(5)))
            return 1;
        details->reject();
        form.mnuLists_Click();
        auto *lists = form.findChild<output::ListsDialog *>();
        if (!lists) {
            std::fprintf(stderr, "kelvory_screenshot: the lists dialog did not open\n");
            return 1;
        }
        lists->txtFrom->setText(QStringLiteral("12/20/2026"));
        lists->txtTo->setText(QStringLiteral("1/10/2027"));
        lists->cmdShow_Click();
        if (!save(*lists, arguments.at(6)))
            return 1;
    }
    return 0;
}
