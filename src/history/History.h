#pragma once

#include <QWidget>

class QLabel;

namespace kelvory {
class Module1;
}
namespace kelvory::roster {
class CommandButton;
class FlexGrid;
} // namespace kelvory::roster

namespace kelvory::history {

// The transaction history window: the change journal, newest first, as it stood when
// the window was loaded. Modeless and without an owner, so it outlives the main window.
class History : public QWidget
{
    Q_OBJECT
public:
    explicit History(Module1 &module);
    ~History() override;

    void Form_Load();
    void FillHistory();

    roster::CommandButton *Command4; // EXIT
    roster::FlexGrid *Grid1;
    QLabel *Label2;

public Q_SLOTS:
    void Command4_Click();

private:
    Module1 &m_module;
};

} // namespace kelvory::history
