// kelvory_screenshot <main.png> [<history.png>]
// Renders the main window (and the history window) of the real program code, filled
// from an embedded database with a few sample members, to PNG files. The README's
// picture comes from here.
#include "Harness.h"
#include "changes/MemberChanges.h"
#include "history/History.h"
#include "roster/FlexGrid.h"
#include "roster/RosterForm.h"

#include <QApplication>
#include <QPixmap>
#include <QTest>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    kelvory::test::prepareApplication();
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty()) {
        std::fprintf(stderr, "usage: kelvory_screenshot <main.png> [<history.png>]\n");
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
        {"Fairbanks-Whitmore, Eleanor", "2210 Old Mill Road West", "Keizer, OR 97303", "503-555-0193", "Name prints on two lines"},
        {"Nguyen, Van", "31 Cedar Ave", "Calvessa, OR 97301", "503-555-0128", "New member"},
    };
    qint64 id = 1;
    for (const auto &m : members)
        h.addMember(QString::fromUtf8(m[0]), QString::fromUtf8(m[1]), QString::fromUtf8(m[2]),
                    QString::fromUtf8(m[3]), QString::fromUtf8(m[4]), id++);
    h.writeUserFile(QStringLiteral("Dorothy"));
    if (!h.start())
        return 1;

    roster::RosterForm &form = h.form();
    form.Grid1->selectRow(1);
    QTest::mouseClick(form.Grid1->viewport(), Qt::LeftButton, {},
                      form.Grid1->visualRect(form.Grid1->model()->index(1, 0)).center());
    h.dialogs.answer(IDOK);
    form.Command2_Click(); // one journal row to show
    QApplication::processEvents();
    if (!form.grab().save(arguments.at(0)))
        return 1;
    std::printf("%s\n", qPrintable(arguments.at(0)));

    if (arguments.size() > 1) {
        form.Command7_Click();
        history::History *history = h.module->historyWindow();
        if (!history)
            return 1;
        QApplication::processEvents();
        if (!history->grab().save(arguments.at(1)))
            return 1;
        std::printf("%s\n", qPrintable(arguments.at(1)));
    }
    return 0;
}
