#pragma once

#include <QWidget>

#include <optional>

class QAction;
class QLabel;

namespace kelvory::changes {
struct ChangeStore;
struct JournalEntry;
} // namespace kelvory::changes

namespace kelvory {
class Module1;
}
namespace kelvory::grid {
class FlexGrid;
class CommandButton;
} // namespace kelvory::grid
namespace kelvory::roster {
using grid::CommandButton;
using grid::FlexGrid;
} // namespace kelvory::roster

namespace kelvory::history {

// The transaction history window: the change journal, newest first, as it stood when
// the window was loaded. Modeless and without an owner, so it outlives the main window.
class History : public QWidget
{
    Q_OBJECT
public:
    explicit History(Module1 &module);
    // The history window the module has loaded, if any.
    static History *of(const Module1 &module);
    ~History() override;

    void Form_Load();
    void FillHistory();

    grid::CommandButton *Command4; // EXIT
    grid::FlexGrid *Grid1;
    QLabel *Label2;
    // The grid's menu: "Undo This Change" (Ctrl+Z) and "Take Back This Import" (Ctrl+Shift+Z).
    QAction *mnuUndo;
    QAction *mnuTakeBackImport;

public Q_SLOTS:
    void Command4_Click();
    void mnuUndo_Click();
    void mnuTakeBackImport_Click();

private:
    // The journal row the grid's current row shows; nothing on the empty row.
    std::optional<changes::JournalEntry> currentEntry() const;
    // The journal and the roster again, after a change from here.
    void refillBoth();

    Module1 &m_module;
};

} // namespace kelvory::history
