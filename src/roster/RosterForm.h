#pragma once

#include "changes/EditTarget.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QWidget>

#include <array>
#include <functional>

namespace kelvory {
class Module1;
}

namespace kelvory::roster {

class CommandButton;
class FlexGrid;

// The main window. Its handlers carry the names of their control and event and hand
// the work to the subsystem it belongs to.
class RosterForm : public QWidget, public changes::EditTarget
{
    Q_OBJECT
public:
    explicit RosterForm(Module1 &module);
    ~RosterForm() override;

    // Runs once, before the window is first shown.
    void Form_Load();

    // The roster fill: every member, in name order, record id in the hidden column.
    void FillRoster() override;

    QString boxText(int index) const override;
    void setBoxText(int index, const QString &text) override;
    std::optional<QStringList> pickedMember() const override { return m_picked; }
    void setPickedMember(std::optional<QStringList> fields) override { m_picked = std::move(fields); }

    // Controls, with the names the design gave them.
    CommandButton *Command1; // CLEAR
    CommandButton *Command2; // Update
    CommandButton *Command3; // Add New
    CommandButton *Command4; // EXIT
    CommandButton *Command5; // PRINT
    CommandButton *Command6; // DELETE
    CommandButton *Command7; // Transaction History
    CommandButton *Command8; // Refresh
    CommandButton *Command12; // Xcel Export
    FlexGrid *Grid1;
    std::array<QLineEdit *, 6> Text1;
    std::array<QLabel *, 9> Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label8;
    QLabel *NameCnt;
    QLabel *Addcnt;
    QRadioButton *Option1; // With Lines
    QRadioButton *Option2; // No Lines

public Q_SLOTS:
    void Grid1_Click();
    void Text1_Change(int Index);
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Command8_Click();
    void Command12_Click();
    // The grid's menu item "Print Mailing Labels..." (also Ctrl+L).
    void mnuMailingLabels_Click();
    // The grid's menu item "Import Members..." (also Ctrl+I).
    void mnuImportMembers_Click();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The load sequence's first step: admits the operator by first name (asking for it at
    // the first run), or ends the process. Sets OperatorFirstName.
    void AdmitOperator();
    void buildControls();
    // A command that runs statements: the busy cursor while it runs, under the standard error report.
    void whileBusy(const std::function<void()> &work);
    void setTabOrderByIndex();
    // Finding a member by typing in the grid, and the grid's menu.
    void addGridCommands();

    Module1 &m_module;
    std::optional<QStringList> m_picked;
};

} // namespace kelvory::roster
