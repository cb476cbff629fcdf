#pragma once

#include "changes/MemberChanges.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QWidget>

#include <array>
#include <functional>

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

// The main window. Its handlers carry the names of their control and event and hand
// the work to the subsystem it belongs to.
class RosterForm : public QWidget
{
    Q_OBJECT
public:
    explicit RosterForm(Module1 &module);
    // The main window the module has made, if any.
    static RosterForm *of(const Module1 &module);
    ~RosterForm() override;

    // Runs once, before the window is first shown.
    void Form_Load();

    // The roster fill: every member, in name order, record id in the hidden column.
    void FillRoster();

    QString boxText(int index) const;
    void setBoxText(int index, const QString &text);
    // The six boxes as typed, and the member they were filled from.
    changes::MemberEdit edit() const;
    // The member the boxes were filled from: as the grid showed it when its row was
    // clicked, or as this window last stored it; nothing once the boxes are cleared.
    const std::optional<changes::MemberRow> &picked() const { return m_picked; }
    void setPicked(std::optional<changes::MemberRow> member) { m_picked = std::move(member); }

    // Controls, with the names the design gave them.
    CommandButton *Command1;  // CLEAR
    CommandButton *Command2;  // Update
    CommandButton *Command3;  // Add New
    CommandButton *Command4;  // EXIT
    CommandButton *Command5;  // PRINT
    CommandButton *Command6;  // DELETE
    CommandButton *Command7;  // Transaction History
    CommandButton *Command8;  // Refresh
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
    // The grid's menu item "Member Details..." (also Ctrl+D, and a double click on a row).
    void mnuMemberDetails_Click();
    // The grid's menu item "Lists..." (also Ctrl+Shift+L): birthdays, dues and the like.
    void mnuLists_Click();

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

    // Who changes the roster, on which connection, today.
    changes::ChangeStore changeStore() const;
    // Says a change's result that is not plain success, refilling first where the list
    // should show what is stored now.
    void sayRefusal(const changes::ChangeResult &result, const QString &command);

    Module1 &m_module;
    std::optional<changes::MemberRow> m_picked;
};

} // namespace kelvory::roster
