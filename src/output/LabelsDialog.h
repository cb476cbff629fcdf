#pragma once

#include "output/CellSource.h"
#include "output/LabelLayout.h"
#include "output/MailingLabels.h"
#include "output/StatusFilter.h"

#include <QDialog>
#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace kelvory {
class Module1;
}
namespace kelvory::output {

// What the labels dialog offers: every member of the roster grid, or the member in the
// edit boxes as they show it.
struct LabelChoices
{
    AddressList everyone;
    AddressList picked;
    QString pickedName;
    bool nobodyPicked = true; // the name, address and city boxes are all blank
    // With members' statuses known: every member of the grid as it stood when the dialog
    // opened, with the status, from which `everyone` and `leftOut` are taken for the
    // operator's choice of whom to tick in.
    bool statusesKnown = false;
    struct Member
    {
        MailingAddress address; // its address empty when it has none
        changes::MemberStatus status;
    };
    std::vector<Member> members;
    StatusLeftOut leftOut;
    // The labels of a list's members: its title.
    QString listTitle;
};

// Without statuses (no details table), nobody is left out for a status.
LabelChoices labelChoices(const CellSource &grid, const QString &name, const QString &address, const QString &city,
                          const changes::StatusBook *statuses = nullptr);
void includeInLabels(LabelChoices &choices, Inclusion inclusion);

// The line under the choices: what they come to, or why there is nothing to print.
QString labelSummary(const LabelChoices &choices, bool pickedOnly, const LabelSheet &sheet, int startLabel);

// The first sheet in miniature: labels before the start label greyed as used, the ones
// this job fills marked with lines of text. A click on a label makes it the start label.
class SheetPicture final : public QWidget
{
    Q_OBJECT
public:
    explicit SheetPicture(QWidget *parent = nullptr);
    void setLabels(const LabelSheet &sheet, int startLabel, int labels);
    // The label (0-based) under a point of the picture, or -1.
    int positionAt(QPointF point) const;

Q_SIGNALS:
    void labelClicked(int position);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QRectF paper() const;
    double scale() const;

    const LabelSheet *m_sheet = nullptr;
    int m_startLabel = 1;
    int m_labels = 0;
};

class LabelsDialog final : public QDialog
{
    Q_OBJECT
public:
    LabelsDialog(Module1 &module, LabelChoices choices, QWidget *parent = nullptr);

    // The labels as the dialog's choices stand.
    LabelJob job() const;
    PrinterAdjustment adjustment() const;

    QComboBox *cboSheet;
    QLabel *lblSheetChoice;
    QSpinBox *spnStart;
    QLabel *lblStartHint;
    SheetPicture *picSheet;
    QRadioButton *optAll;
    QRadioButton *optPicked;
    QCheckBox *chkResigned;
    QCheckBox *chkPassedAway;
    QLabel *lblSummary;
    QDoubleSpinBox *spnRight;
    QDoubleSpinBox *spnDown;
    QDoubleSpinBox *spnScale;
    QPushButton *cmdAlignment;
    QPushButton *cmdPreview;
    QPushButton *cmdPrint;
    QPushButton *cmdSavePdf;
    QPushButton *cmdClose;

public Q_SLOTS:
    void cmdPreview_Click();
    void cmdPrint_Click();
    void cmdSavePdf_Click();
    void cmdAlignment_Click();

    // Keeps a changed printer adjustment for the workstation as the dialog closes.
    void done(int result) override;

private:
    const AddressList &chosen() const;
    const LabelSheet &sheet() const;
    // Says why when there is nothing to print.
    bool haveLabels();
    // Prints or saves the labels, and closes the dialog once they are out.
    void finishWith(const std::function<bool()> &output);
    void refresh();

    Module1 &m_module;
    LabelChoices m_choices;
    QString m_adjustmentFile;
    PrinterAdjustment m_keptAdjustment;
};

// Opens the labels dialog over the main window, for the roster grid and the member in the
// boxes. It is modal and deletes itself when closed.
LabelsDialog *openMailingLabels(Module1 &module, const CellSource &grid, const QString &name, const QString &address,
                                const QString &city, QWidget *parent);
// The same for exactly the members of a list, as it left them in or out.
LabelsDialog *openListLabels(Module1 &module, AddressList members, const QString &listTitle, QWidget *parent);

} // namespace kelvory::output
