#pragma once

#include <QString>
#include <QStringList>

namespace kelvory::roster {
class CommandButton;
class RosterForm;
} // namespace kelvory::roster

// The main window driven as the operator drives it: texts put into the edit boxes, a
// click on a member's row, a click on a button.
namespace kelvory::test {

// Puts the five member texts into Text1(0) .. Text1(4), as pasted: every character,
// control characters included, reaches the box.
void pasteMember(roster::RosterForm &form, const QStringList &fields);
// Types the text into the box key by key, after emptying it.
void typeInto(roster::RosterForm &form, int box, const QString &text);
// Clicks the member's row in the grid; false when the grid lists no such record id.
bool pickMember(roster::RosterForm &form, qint64 recordId);
void press(roster::CommandButton *button);

} // namespace kelvory::test
