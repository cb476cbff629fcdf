#include "roster/DetailsDialog.h"

#include "changes/RecordIds.h"
#include "database/DateText.h"
#include "roster/DetailsMessages.h"
#include "startup/Module1.h"
#include "startup/Platform.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelvory::roster {

using namespace changes;

namespace {

QString fieldCaption(const QString &field)
{
    if (field == QLatin1String("born"))
        return detailCaption(DetailField::Born);
    if (field == QLatin1String("joined"))
        return detailCaption(DetailField::Joined);
    return detailCaption(field == QLatin1String("contact 1") ? DetailField::FirstContact : DetailField::SecondContact);
}

// A box's caption as a sentence names it: "Bo&rn:" is "Born".
QString plain(const QString &caption)
{
    return QString(caption).remove(QLatin1Char('&')).chopped(1);
}

} // namespace

QString detailCaption(DetailField field)
{
    switch (field) {
    case DetailField::Born: return plain(messages::bornCaption());
    case DetailField::Joined: return plain(messages::joinedCaption());
    case DetailField::Status: return plain(messages::statusCaption());
    case DetailField::StatusSince:
        return plain(messages::statusCaption()) + QLatin1Char(' ') + plain(messages::statusSinceCaption());
    case DetailField::DuesPaidThrough: return plain(messages::duesCaption());
    case DetailField::FirstContact: return messages::contactCaption(messages::firstWord());
    case DetailField::SecondContact: return messages::contactCaption(messages::secondWord());
    }
    return {};
}

QString detailLines(const std::vector<DetailDifference> &differences)
{
    QStringList lines;
    for (const DetailDifference &difference : differences)
        lines << messages::changedDetail(detailCaption(difference.field), difference.kept, difference.stored);
    return lines.join(kCrLf);
}

DetailsDialog::DetailsDialog(Module1 &module, QString recordId, QString name, std::optional<MemberDetails> stored,
                             QWidget *parent)
    : QDialog(parent), m_module(module), m_recordId(std::move(recordId)), m_name(std::move(name)),
      m_asRead(std::move(stored))
{
    setObjectName(QStringLiteral("DetailsDialog"));
    setWindowTitle(messages::detailsTitle(m_name));
    const QString dayForm = database::shortDateFormat();

    auto box = [this](const QString &placeholder) {
        auto *edit = new QLineEdit(this);
        edit->setPlaceholderText(placeholder);
        return edit;
    };
    txtBorn = box(dayForm);
    txtJoined = box(dayForm);
    cboStatus = new QComboBox(this);
    for (const MemberStatus status : kStatuses)
        cboStatus->addItem(statusText(status), static_cast<int>(status));
    txtStatusSince = box(dayForm);
    txtDues = box(dayForm);

    auto *form = new QFormLayout;
    auto row = [&](const QString &caption, QWidget *field, const QString &hint = QString()) {
        auto *label = new QLabel(caption, this);
        label->setBuddy(field);
        field->setAccessibleName(QString(caption).remove(QLatin1Char('&')).chopped(1));
        if (!hint.isEmpty())
            field->setAccessibleDescription(hint);
        form->addRow(label, field);
        if (!hint.isEmpty()) {
            auto *help = new QLabel(hint, this);
            help->setEnabled(false);
            form->addRow(QString(), help);
        }
    };
    row(messages::bornCaption(), txtBorn, messages::bornHint(dayForm, monthDayFormat()));
    row(messages::joinedCaption(), txtJoined, messages::dayHint(dayForm));
    auto *statusRow = new QHBoxLayout;
    auto *sinceLabel = new QLabel(messages::statusSinceCaption(), this);
    sinceLabel->setBuddy(txtStatusSince);
    txtStatusSince->setAccessibleName(messages::statusSinceCaption().remove(QLatin1Char('&')).chopped(1));
    statusRow->addWidget(cboStatus);
    statusRow->addWidget(sinceLabel);
    statusRow->addWidget(txtStatusSince, 1);
    auto *statusLabel = new QLabel(messages::statusCaption(), this);
    statusLabel->setBuddy(cboStatus);
    cboStatus->setAccessibleName(messages::statusCaption().remove(QLatin1Char('&')).chopped(1));
    form->addRow(statusLabel, statusRow);
    row(messages::duesCaption(), txtDues, messages::dayHint(dayForm));

    auto *contacts = new QGroupBox(messages::contactsTitle(), this);
    auto *grid = new QGridLayout(contacts);
    const QString headings[] = {messages::contactNameHeading(), messages::contactRelationshipHeading(),
                                messages::contactPhoneHeading()};
    for (int c = 0; c < 3; ++c)
        grid->addWidget(new QLabel(headings[c], contacts), 0, c + 1);
    for (int k = 0; k < 2; ++k) {
        const QString which = k == 0 ? messages::firstWord() : messages::secondWord();
        grid->addWidget(new QLabel(QString::number(k + 1), contacts), k + 1, 0);
        txtContactName[k] = new QLineEdit(contacts);
        txtContactName[k]->setAccessibleName(messages::contactNameName(which));
        txtContactRelationship[k] = new QLineEdit(contacts);
        txtContactRelationship[k]->setAccessibleName(messages::contactRelationshipName(which));
        txtContactPhone[k] = new QLineEdit(contacts);
        txtContactPhone[k]->setAccessibleName(messages::contactPhoneName(which));
        grid->addWidget(txtContactName[k], k + 1, 1);
        grid->addWidget(txtContactRelationship[k], k + 1, 2);
        grid->addWidget(txtContactPhone[k], k + 1, 3);
    }
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(2, 2);
    grid->setColumnStretch(3, 2);

    lblGentler = new QLabel(messages::gentlerThanDelete(), this);
    lblGentler->setObjectName(QStringLiteral("lblGentler"));
    lblGentler->setWordWrap(true);

    cmdSave = new QPushButton(messages::saveButton(), this);
    cmdCancel = new QPushButton(messages::cancelButton(), this);
    cmdSave->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(contacts);
    layout->addWidget(lblGentler);
    layout->addLayout(buttons);
    setMinimumWidth(560);

    QWidget *const chain[] = {txtBorn,
                              txtJoined,
                              cboStatus,
                              txtStatusSince,
                              txtDues,
                              txtContactName[0],
                              txtContactRelationship[0],
                              txtContactPhone[0],
                              txtContactName[1],
                              txtContactRelationship[1],
                              txtContactPhone[1],
                              cmdSave,
                              cmdCancel};
    for (std::size_t i = 1; i < std::size(chain); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);

    show(m_asRead.value_or(MemberDetails{}));
    connect(cmdSave, &QPushButton::clicked, this, &DetailsDialog::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cboStatus, &QComboBox::currentIndexChanged, this, &DetailsDialog::cboStatus_Change);
    txtBorn->setFocus();
}

void DetailsDialog::show(const MemberDetails &details)
{
    const QSignalBlocker quiet(cboStatus);
    txtBorn->setText(birthText(details.birth));
    txtJoined->setText(dayText(details.joined));
    cboStatus->setCurrentIndex(cboStatus->findData(static_cast<int>(details.status)));
    txtStatusSince->setText(dayText(details.statusChanged));
    txtDues->setText(dayText(details.duesPaidThrough));
    for (int k = 0; k < 2; ++k) {
        txtContactName[k]->setText(details.contacts[k].name);
        txtContactRelationship[k]->setText(details.contacts[k].relationship);
        txtContactPhone[k]->setText(details.contacts[k].phone);
    }
}

void DetailsDialog::cboStatus_Change()
{
    // A status changes on a day; today is the likeliest, and the box can be corrected.
    txtStatusSince->setText(dayText(m_module.today()));
}

std::optional<MemberDetails> DetailsDialog::fromBoxes()
{
    MemberDetails details;
    const QString example = dayText(m_module.today());
    auto notADay = [&](QLineEdit *box, const QString &caption) {
        m_module.MsgBox(messages::notADay(QString(caption).remove(QLatin1Char('&')).chopped(1), example));
        box->setFocus();
        box->selectAll();
    };
    const std::optional<BirthDay> birth = birthFrom(txtBorn->text());
    if (!birth) {
        notADay(txtBorn, messages::bornCaption());
        return std::nullopt;
    }
    details.birth = *birth;
    const std::pair<QLineEdit *, QString> days[] = {{txtJoined, messages::joinedCaption()},
                                                    {txtStatusSince, messages::statusSinceCaption()},
                                                    {txtDues, messages::duesCaption()}};
    QDate *targets[] = {&details.joined, &details.statusChanged, &details.duesPaidThrough};
    for (std::size_t i = 0; i < std::size(days); ++i) {
        const auto &[box, caption] = days[i];
        if (box->text().trimmed().isEmpty())
            continue;
        const std::optional<QDate> day = dayFrom(box->text());
        if (!day) {
            notADay(box, caption);
            return std::nullopt;
        }
        *targets[i] = *day;
    }
    details.status = static_cast<MemberStatus>(cboStatus->currentData().toInt());
    for (int k = 0; k < 2; ++k)
        details.contacts[k] = {txtContactName[k]->text().trimmed(), txtContactRelationship[k]->text().trimmed(),
                               txtContactPhone[k]->text().trimmed()};
    return details;
}

void DetailsDialog::cmdSave_Click()
{
    m_module.guarded([&] {
        const std::optional<MemberDetails> wanted = fromBoxes();
        if (!wanted)
            return;
        ChangeStore store{m_module.connection, m_module.OperatorFirstName, m_module.today()};
        const DetailsResult result = saveDetails(store, m_recordId, m_name, m_asRead, *wanted);
        using Kind = DetailsResult::Kind;
        switch (result.kind) {
        case Kind::Done:
        case Kind::NothingChanged: accept(); return;
        case Kind::NoTable: m_module.MsgBox(messages::noDetailsTable()); return;
        case Kind::NoMemberPicked: m_module.MsgBox(messages::noMemberPickedForDetails()); return;
        case Kind::RecordIdNotWhole: m_module.MsgBox(messages::detailsIdNotWhole(m_recordId)); return;
        case Kind::Invalid:
            m_module.MsgBox(messages::detailsNotSaved(fieldCaption(result.field), result.problem));
            return;
        case Kind::ChangedElsewhere:
            m_asRead = result.stored;
            show(m_asRead.value_or(MemberDetails{}));
            m_module.MsgBox(messages::detailsChangedElsewhere(m_name));
            return;
        case Kind::Busy: m_module.MsgBox(messages::detailsBusy()); return;
        }
    });
}

void openMemberDetails(Module1 &module, const QString &recordId, const QString &name, QWidget *parent)
{
    if (recordId.isEmpty()) {
        module.MsgBox(messages::noMemberPickedForDetails());
        return;
    }
    const std::optional<qint64> id = recordIdFrom(recordId);
    if (!id) {
        module.MsgBox(messages::detailsIdNotWhole(recordId));
        return;
    }
    if (!detailsTableExists(module.connection)) {
        module.MsgBox(messages::noDetailsTable());
        return;
    }
    auto *dialog = new DetailsDialog(module, recordId, name, readDetails(module.connection, *id), parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

} // namespace kelvory::roster
