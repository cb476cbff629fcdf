#include "OperatorDriver.h"

#include "FaultTools.h"
#include "roster/CommandButton.h"
#include "roster/FlexGrid.h"
#include "roster/RosterForm.h"

#include <QLineEdit>
#include <QtTest>

namespace kelvory::test {

void pasteMember(roster::RosterForm &form, const QStringList &fields)
{
    for (int k = 0; k < 5; ++k)
        form.Text1[k]->setText(fields.value(k));
}

void typeInto(roster::RosterForm &form, int box, const QString &text)
{
    QLineEdit *edit = form.Text1[box];
    edit->setFocus(Qt::MouseFocusReason);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

bool pickMember(roster::RosterForm &form, qint64 recordId)
{
    const int row = gridRowOfRecord(*form.Grid1, recordId);
    if (row < 0)
        return false;
    clickGridCell(*form.Grid1, row, 0);
    return true;
}

void press(roster::CommandButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace kelvory::test
