#pragma once

#include "output/MemberLists.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace kelvory {
class Module1;
}
namespace kelvory::output {

// The club's lists in one dialog: birthdays, anniversaries of joining, dues not paid and
// the emergency sheet, shown, previewed, printed or saved as PDF as the labels are; the
// members of a list go on to mailing labels, and dues are recorded for the members picked.
class ListsDialog final : public QDialog
{
    Q_OBJECT
public:
    ListsDialog(Module1 &module, std::vector<ListMember> members, QWidget *parent = nullptr);

    ListRequest request() const { return m_request; }
    const MemberList &list() const { return m_list; }
    // What Preview, Print and Save as PDF put on paper.
    ListDocument document() const;

    QComboBox *cboKind;
    QLineEdit *txtFrom;
    QLineEdit *txtTo;
    QLineEdit *txtPaidThrough;
    QCheckBox *chkResigned;
    QCheckBox *chkPassedAway;
    QPushButton *cmdShow;
    QTableWidget *tblList;
    QLabel *lblSummary;
    QPushButton *cmdPreview;
    QPushButton *cmdPrint;
    QPushButton *cmdSavePdf;
    QPushButton *cmdLabels;
    QPushButton *cmdRecordDues;
    QPushButton *cmdClose;

public Q_SLOTS:
    void cmdShow_Click();
    void cmdPreview_Click();
    void cmdPrint_Click();
    void cmdSavePdf_Click();
    void cmdLabels_Click();
    void cmdRecordDues_Click();

private:
    // The lines picked in the list, in the list's order.
    std::vector<int> pickedLines() const;
    // The list as it goes on paper: on the emergency sheet, only the members picked, if any.
    MemberList listToPrint() const;
    bool haveList();
    void showKind();

    Module1 &m_module;
    std::vector<ListMember> m_members;
    ListRequest m_request;
    MemberList m_list;
    QString m_problem; // why there is no list, when a day cannot be read
};

// Opens the lists over the main window for the members of the roster grid; without the
// details table, says that the administrator must create it first.
void openLists(Module1 &module, const CellSource &grid, QWidget *parent);

} // namespace kelvory::output
