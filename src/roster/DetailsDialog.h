#pragma once

#include "changes/DetailsHistory.h"
#include "changes/MemberDetails.h"

#include <QDialog>

#include <array>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kelvory {
class Module1;
}
namespace kelvory::roster {

// One member's details: birthday, joining, status, dues and emergency contacts. Save
// stores them with their journal row; the dialog closes once they are stored.
class DetailsDialog final : public QDialog
{
    Q_OBJECT
public:
    DetailsDialog(Module1 &module, QString recordId, QString name, std::optional<changes::MemberDetails> stored,
                  QWidget *parent = nullptr);

    QLineEdit *txtBorn;
    QLineEdit *txtJoined;
    QComboBox *cboStatus;
    QLineEdit *txtStatusSince;
    QLineEdit *txtDues;
    std::array<QLineEdit *, 2> txtContactName;
    std::array<QLineEdit *, 2> txtContactRelationship;
    std::array<QLineEdit *, 2> txtContactPhone;
    QLabel *lblGentler;
    QPushButton *cmdSave;
    QPushButton *cmdCancel;

public Q_SLOTS:
    void cmdSave_Click();
    void cboStatus_Change();

private:
    void show(const changes::MemberDetails &details);
    // The details as the boxes hold them; a box that holds no day is said, and nothing comes back.
    std::optional<changes::MemberDetails> fromBoxes();

    Module1 &m_module;
    QString m_recordId;
    QString m_name;
    std::optional<changes::MemberDetails> m_asRead;
};

// A detail's name as the dialog captions it ("Born", "Status since", "First emergency contact").
QString detailCaption(changes::DetailField field);
// One line per detail changed since, from what to what.
QString detailLines(const std::vector<changes::DetailDifference> &differences);

// Opens the details of the member the boxes were filled from, or says why it cannot.
void openMemberDetails(Module1 &module, const QString &recordId, const QString &name, QWidget *parent);

} // namespace kelvory::roster
