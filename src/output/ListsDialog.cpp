#include "output/ListsDialog.h"

#include "changes/RecordIds.h"
#include "output/LabelsDialog.h"
#include "output/ListOutput.h"
#include "output/OutputMessages.h"
#include "output/YearMessages.h"
#include "startup/Module1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <set>

namespace kelvory::output {

namespace {

QString plain(QString caption)
{
    return caption.remove(QLatin1Char('&')).chopped(1);
}

} // namespace

ListsDialog::ListsDialog(Module1 &module, std::vector<ListMember> members, QWidget *parent)
    : QDialog(parent), m_module(module), m_members(std::move(members))
{
    setObjectName(QStringLiteral("ListsDialog"));
    setWindowTitle(messages::listsTitle());
    const QDate today = m_module.today();

    cboKind = new QComboBox(this);
    cboKind->addItem(messages::birthdaysKind(), static_cast<int>(ListKind::Birthdays));
    cboKind->addItem(messages::anniversariesKind(), static_cast<int>(ListKind::Anniversaries));
    cboKind->addItem(messages::duesKind(), static_cast<int>(ListKind::DuesNotPaid));
    cboKind->addItem(messages::emergencyKind(), static_cast<int>(ListKind::EmergencySheet));
    // The coming month, and dues for the year.
    txtFrom = new QLineEdit(changes::dayText(today), this);
    txtTo = new QLineEdit(changes::dayText(today.addMonths(1)), this);
    txtPaidThrough = new QLineEdit(changes::dayText(QDate(today.year(), 12, 31)), this);
    chkResigned = new QCheckBox(messages::includeResigned(), this);
    chkPassedAway = new QCheckBox(messages::includePassedAway(), this);
    cmdShow = new QPushButton(messages::showButton(), this);
    cmdShow->setDefault(true);

    auto *form = new QFormLayout;
    auto row = [&](const QString &caption, QWidget *field) {
        auto *label = new QLabel(caption, this);
        label->setBuddy(field);
        field->setAccessibleName(plain(caption));
        form->addRow(label, field);
    };
    row(messages::listKindCaption(), cboKind);
    auto *range = new QHBoxLayout;
    auto *toLabel = new QLabel(messages::toCaption(), this);
    toLabel->setBuddy(txtTo);
    txtTo->setAccessibleName(plain(messages::toCaption()));
    auto *fromLabel = new QLabel(messages::fromCaption(), this);
    fromLabel->setBuddy(txtFrom);
    txtFrom->setAccessibleName(plain(messages::fromCaption()));
    range->addWidget(fromLabel);
    range->addWidget(txtFrom);
    range->addWidget(toLabel);
    range->addWidget(txtTo);
    auto *paidLabel = new QLabel(messages::paidThroughCaption(), this);
    paidLabel->setBuddy(txtPaidThrough);
    txtPaidThrough->setAccessibleName(plain(messages::paidThroughCaption()));
    range->addWidget(paidLabel);
    range->addWidget(txtPaidThrough);
    range->addStretch();
    range->addWidget(cmdShow);
    form->addRow(range);
    auto *ticks = new QHBoxLayout;
    ticks->addWidget(chkResigned);
    ticks->addWidget(chkPassedAway);
    ticks->addStretch();
    form->addRow(ticks);

    tblList = new QTableWidget(this);
    tblList->setObjectName(QStringLiteral("tblList"));
    tblList->setAccessibleName(messages::listTableName());
    tblList->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Shift and Ctrl with clicks or arrow keys pick many, Ctrl+A all.
    tblList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tblList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblList->verticalHeader()->hide();
    tblList->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tblList->horizontalHeader()->setStretchLastSection(true);
    tblList->setTabKeyNavigation(false);
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblListSummary"));
    lblSummary->setWordWrap(true);

    cmdPreview = new QPushButton(messages::previewButton(), this);
    cmdSavePdf = new QPushButton(messages::savePdfButton(), this);
    cmdPrint = new QPushButton(messages::printButton(), this);
    cmdLabels = new QPushButton(messages::listLabelsButton(), this);
    cmdRecordDues = new QPushButton(messages::recordDuesButton(), this);
    cmdClose = new QPushButton(messages::closeButton(), this);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {cmdPreview, cmdSavePdf, cmdPrint, cmdLabels, cmdRecordDues})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(cmdClose);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(tblList, 1);
    layout->addWidget(lblSummary);
    layout->addLayout(buttons);
    resize(760, 520);

    QWidget *const chain[] = {cboKind, txtFrom,    txtTo,      txtPaidThrough, cmdShow,   chkResigned,   chkPassedAway,
                              tblList, cmdPreview, cmdSavePdf, cmdPrint,       cmdLabels, cmdRecordDues, cmdClose};
    for (std::size_t i = 1; i < std::size(chain); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);

    connect(cboKind, &QComboBox::currentIndexChanged, this, &ListsDialog::cmdShow_Click);
    connect(chkResigned, &QCheckBox::toggled, this, &ListsDialog::cmdShow_Click);
    connect(chkPassedAway, &QCheckBox::toggled, this, &ListsDialog::cmdShow_Click);
    connect(cmdShow, &QPushButton::clicked, this, &ListsDialog::cmdShow_Click);
    connect(cmdPreview, &QPushButton::clicked, this, &ListsDialog::cmdPreview_Click);
    connect(cmdPrint, &QPushButton::clicked, this, &ListsDialog::cmdPrint_Click);
    connect(cmdSavePdf, &QPushButton::clicked, this, &ListsDialog::cmdSavePdf_Click);
    connect(cmdLabels, &QPushButton::clicked, this, &ListsDialog::cmdLabels_Click);
    connect(cmdRecordDues, &QPushButton::clicked, this, &ListsDialog::cmdRecordDues_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    cmdShow_Click();
}

void ListsDialog::showKind()
{
    const ListKind kind = m_request.kind;
    const bool range = kind == ListKind::Birthdays || kind == ListKind::Anniversaries;
    // Disabled rather than hidden, so that the dialog keeps its shape as the kind changes.
    txtFrom->setEnabled(range);
    txtTo->setEnabled(range);
    txtPaidThrough->setEnabled(kind == ListKind::DuesNotPaid);
    cmdRecordDues->setEnabled(kind == ListKind::DuesNotPaid);
}

void ListsDialog::cmdShow_Click()
{
    m_request.kind = static_cast<ListKind>(cboKind->currentData().toInt());
    m_request.inclusion = {chkResigned->isChecked(), chkPassedAway->isChecked()};
    showKind();
    m_problem.clear();
    const QString example = changes::dayText(m_module.today());
    auto day = [&](QLineEdit *box, QDate &into) {
        if (!box->isEnabled() || !m_problem.isEmpty())
            return;
        const std::optional<QDate> read = changes::dayFrom(box->text());
        if (read)
            into = *read;
        else
            m_problem = messages::listDayNotADay(box->accessibleName(), example);
    };
    day(txtFrom, m_request.from);
    day(txtTo, m_request.to);
    day(txtPaidThrough, m_request.paidThrough);
    if (m_problem.isEmpty() && txtFrom->isEnabled() && m_request.to < m_request.from)
        m_problem = messages::listRangeBackwards();
    m_list = m_problem.isEmpty() ? buildList(m_members, m_request) : MemberList{};

    const ListDocument shown = listDocument(m_members, m_request, m_list);
    tblList->clear();
    tblList->setColumnCount(static_cast<int>(shown.headings.size()));
    tblList->setHorizontalHeaderLabels(shown.headings);
    tblList->setRowCount(static_cast<int>(shown.rows.size()));
    for (int r = 0; r < tblList->rowCount(); ++r) {
        const QStringList &cells = shown.rows[static_cast<std::size_t>(r)];
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (shown.marked[static_cast<std::size_t>(r)]) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            tblList->setItem(r, c, item);
        }
    }
    if (!m_problem.isEmpty()) {
        lblSummary->setText(m_problem);
        return;
    }
    const int lines = static_cast<int>(m_list.lines.size());
    QStringList summary = {lines == 0 ? messages::nobodyInList()
                                      : (lines == 1 ? messages::oneLine() : messages::manyLines(lines))};
    summary << shown.notes;
    lblSummary->setText(summary.join(QLatin1Char('\n')));
}

std::vector<int> ListsDialog::pickedLines() const
{
    std::set<int> rows;
    for (const QModelIndex &index : tblList->selectionModel()->selectedRows())
        rows.insert(index.row());
    return {rows.begin(), rows.end()};
}

MemberList ListsDialog::listToPrint() const
{
    const std::vector<int> picked = pickedLines();
    if (m_request.kind != ListKind::EmergencySheet || picked.empty())
        return m_list;
    return onlyLines(m_list, picked);
}

ListDocument ListsDialog::document() const
{
    ListDocument document = listDocument(m_members, m_request, listToPrint());
    if (m_request.kind == ListKind::EmergencySheet && !pickedLines().empty())
        document.notes << messages::pickedLinesOnly();
    return document;
}

bool ListsDialog::haveList()
{
    if (!m_problem.isEmpty()) {
        m_module.MsgBox(m_problem);
        return false;
    }
    if (m_list.lines.empty()) {
        m_module.MsgBox(messages::nobodyInList());
        return false;
    }
    return true;
}

void ListsDialog::cmdPreview_Click()
{
    if (haveList())
        m_module.guarded([&] { previewList(m_module, document(), this); });
}

void ListsDialog::cmdPrint_Click()
{
    if (haveList())
        m_module.guarded([&] { printListOnDefaultPrinter(m_module, document()); });
}

void ListsDialog::cmdSavePdf_Click()
{
    if (haveList())
        m_module.guarded([&] { saveListAsPdf(m_module, document()); });
}

void ListsDialog::cmdLabels_Click()
{
    if (haveList())
        m_module.guarded(
            [&] { openListLabels(m_module, listAddresses(m_members, listToPrint()), document().title, this); });
}

void ListsDialog::cmdRecordDues_Click()
{
    if (!haveList())
        return;
    std::vector<changes::DuesMember> paid;
    for (const int line : pickedLines()) {
        const ListMember &member =
            m_members[static_cast<std::size_t>(m_list.lines[static_cast<std::size_t>(line)].member)];
        if (const std::optional<qint64> id = changes::recordIdFrom(member.recordId))
            paid.push_back({*id, member.name});
    }
    if (paid.empty()) {
        m_module.MsgBox(messages::pickMembersWhoPaid());
        return;
    }
    const QString who = paid.size() == 1 ? messages::oneMember() : messages::manyMembers(qint64(paid.size()));
    const QString through = changes::dayText(m_request.paidThrough);
    if (m_module.MsgBox(messages::recordDuesQuestion(who, through), MB_YESNO) != IDYES)
        return;
    m_module.guarded([&] {
        changes::ChangeStore store{m_module.connection, m_module.OperatorFirstName, m_module.today()};
        const changes::DuesResult result = changes::recordDues(store, paid, m_request.paidThrough);
        if (result.kind == changes::DuesResult::Kind::Busy) {
            m_module.MsgBox(messages::duesBusy());
            return;
        }
        const changes::DetailsBook book = changes::readAllDetails(m_module.connection);
        for (ListMember &member : m_members) {
            if (const std::optional<qint64> id = changes::recordIdFrom(member.recordId))
                member.details = book.value(*id);
        }
        cmdShow_Click();
        m_module.MsgBox(messages::duesRecorded(who, through));
    });
}

void openLists(Module1 &module, const CellSource &grid, QWidget *parent)
{
    if (!changes::detailsTableExists(module.connection)) {
        module.MsgBox(messages::listsNeedTable());
        return;
    }
    auto *dialog = new ListsDialog(module, listMembers(grid, changes::readAllDetails(module.connection)), parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

} // namespace kelvory::output
