#pragma once

#include <QString>
#include <QStringList>

class QAbstractButton;

namespace kelvory::grid {
class FlexGrid;
}
namespace kelvory::roster {
class RosterForm;
} // namespace kelvory::roster

// The main window driven as the operator drives it, and read as the operator reads it:
// texts put into the edit boxes, clicks on the grid and on buttons, the boxes and the
// grid's columns as texts.
namespace kelvory::test {

// A mouse click on any button, option buttons included.
void press(QAbstractButton *button);
// Puts the five member texts into Text1(0) .. Text1(4), as pasted: every character,
// control characters included, reaches the box.
void pasteMember(roster::RosterForm &form, const QStringList &fields);
// Types the text into the box key by key, after emptying it.
void typeInto(roster::RosterForm &form, int box, const QString &text);
// The texts of the six edit boxes, Text1(0) .. Text1(5).
QStringList boxes(const roster::RosterForm &form);

// Clicks a cell of a data row (rows count from 1, as in TextMatrix) as the operator
// does: scrolled into view, one mouse click.
void clickGridCell(grid::FlexGrid &grid, int row, int col = 0);
// Clicks the member's row in the grid; false when the grid lists no such record id.
bool pickMember(roster::RosterForm &form, qint64 recordId);
// The texts of one column of a grid's data rows, top to bottom.
QStringList gridColumn(const grid::FlexGrid &grid, int col);
// The grid row whose hidden record id column holds id; -1 when none does.
int gridRowOfRecord(const grid::FlexGrid &grid, qint64 id);

} // namespace kelvory::test
