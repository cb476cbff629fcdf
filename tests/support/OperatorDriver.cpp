#include "OperatorDriver.h"

#include "database/MemberFields.h"
#include "roster/RosterForm.h"
#include "grid/FlexGrid.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QtTest>

namespace kelvory::test {

void press(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

void pasteMember(roster::RosterForm &form, const QStringList &fields)
{
    for (int k = 0; k < members::kMemberFieldCount; ++k)
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

QStringList boxes(const roster::RosterForm &form)
{
    QStringList texts;
    for (int k = 0; k < members::kRosterColumnCount; ++k)
        texts.append(form.Text1[k]->text());
    return texts;
}

void clickGridCell(grid::FlexGrid &grid, int row, int col)
{
    const QModelIndex index = grid.model()->index(row - 1, col);
    grid.scrollTo(index);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, grid.visualRect(index).center());
}

bool pickMember(roster::RosterForm &form, qint64 recordId)
{
    const int row = gridRowOfRecord(*form.Grid1, recordId);
    if (row < 0)
        return false;
    clickGridCell(*form.Grid1, row);
    return true;
}

QStringList gridColumn(const grid::FlexGrid &grid, int col)
{
    QStringList texts;
    for (int r = 1; r < grid.Rows(); ++r)
        texts.append(grid.TextMatrix(r, col));
    return texts;
}

int gridRowOfRecord(const grid::FlexGrid &grid, qint64 id)
{
    const qsizetype at = gridColumn(grid, members::RecordId).indexOf(QString::number(id));
    return at < 0 ? -1 : int(at) + 1;
}

} // namespace kelvory::test
