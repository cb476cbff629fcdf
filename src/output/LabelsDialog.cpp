#include "output/LabelsDialog.h"

#include "output/OutputMessages.h"
#include "output/YearMessages.h"
#include "startup/Module1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace kelvory::output {

namespace {

constexpr int kShownNameLength = 40;

QString shownName(const QString &name)
{
    const QString tidy = name.simplified();
    return tidy.size() <= kShownNameLength ? tidy : tidy.left(kShownNameLength).trimmed() + QChar(0x2026);
}

} // namespace

LabelChoices labelChoices(const CellSource &grid, const QString &name, const QString &address, const QString &city,
                          const changes::StatusBook *statuses)
{
    LabelChoices choices;
    choices.statusesKnown = statuses != nullptr;
    if (statuses) {
        const int rows = grid.cols() < 3 ? 0 : grid.rows();
        choices.members.reserve(static_cast<std::size_t>(std::max(rows - 1, 0)));
        for (int r = 1; r < rows; ++r) {
            if (std::optional<MailingAddress> member = memberOfRow(grid, r))
                choices.members.push_back({std::move(*member), statusOfRow(grid, r, *statuses)});
        }
        includeInLabels(choices, Inclusion{});
    } else {
        choices.everyone = addressesFromGrid(grid);
    }
    choices.picked = addressFromBoxes(name, address, city);
    choices.nobodyPicked = choices.picked.addresses.empty() && choices.picked.withoutAddress == 0;
    choices.pickedName = choices.nobodyPicked ? QString() : name.simplified();
    return choices;
}

void includeInLabels(LabelChoices &choices, Inclusion inclusion)
{
    choices.everyone = {};
    choices.leftOut = {};
    choices.everyone.addresses.reserve(choices.members.size());
    for (const LabelChoices::Member &member : choices.members) {
        if (!kept(member.status, inclusion))
            ++(member.status == changes::MemberStatus::Resigned ? choices.leftOut.resigned
                                                                : choices.leftOut.passedAway);
        else if (member.address.address.isEmpty())
            ++choices.everyone.withoutAddress;
        else
            choices.everyone.addresses.push_back(member.address);
    }
}

QString labelSummary(const LabelChoices &choices, bool pickedOnly, const LabelSheet &sheet, int startLabel)
{
    const AddressList &list = pickedOnly ? choices.picked : choices.everyone;
    const QString forStatus = pickedOnly ? QString() : leftOutText(choices.leftOut);
    if (list.addresses.empty()) {
        const QString nothing = messages::nothingToPrint(pickedOnly, choices.nobodyPicked);
        return forStatus.isEmpty() ? nothing : nothing + QLatin1Char(' ') + forStatus;
    }
    const int labels = static_cast<int>(list.addresses.size());
    const QString fill = messages::labelsOnSheets(labels, sheetsNeeded(labels, sheet, startLabel), startLabel);
    if (pickedOnly)
        return fill;
    const QString summary = fill + QLatin1Char(' ') + messages::membersLeftOut(list.withoutAddress);
    return forStatus.isEmpty() ? summary : summary + QLatin1Char(' ') + forStatus;
}

SheetPicture::SheetPicture(QWidget *parent) : QWidget(parent)
{
    setFixedSize(170, 220);
    setCursor(Qt::PointingHandCursor);
}

void SheetPicture::setLabels(const LabelSheet &sheet, int startLabel, int labels)
{
    m_sheet = &sheet;
    m_startLabel = startLabel;
    m_labels = labels;
    update();
}

double SheetPicture::scale() const
{
    if (!m_sheet)
        return 1;
    const QSizeF page = QPageSize(m_sheet->paper).size(QPageSize::Point);
    return std::min((width() - 4) / page.width(), (height() - 4) / page.height());
}

QRectF SheetPicture::paper() const
{
    const QSizeF page = QPageSize(m_sheet->paper).size(QPageSize::Point) * scale();
    return QRectF((width() - page.width()) / 2, (height() - page.height()) / 2, page.width(), page.height());
}

int SheetPicture::positionAt(QPointF point) const
{
    if (!m_sheet)
        return -1;
    const QPointF onPaper = (point - paper().topLeft()) / scale();
    for (int k = 0; k < m_sheet->labelsPerSheet(); ++k) {
        if (m_sheet->labelBox(k).contains(onPaper))
            return k;
    }
    return -1;
}

void SheetPicture::paintEvent(QPaintEvent *)
{
    if (!m_sheet)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF sheetRect = paper();
    painter.fillRect(sheetRect, Qt::white);
    painter.setPen(QPen(Qt::darkGray, 1));
    painter.drawRect(sheetRect);
    const double s = scale();
    const int first = m_startLabel - 1;
    for (int k = 0; k < m_sheet->labelsPerSheet(); ++k) {
        const QRectF box = m_sheet->labelBox(k);
        const QRectF shown(sheetRect.left() + box.left() * s, sheetRect.top() + box.top() * s, box.width() * s,
                           box.height() * s);
        const bool used = k < first;
        const bool filled = k >= first && k < first + m_labels;
        painter.setPen(QPen(k == first ? QColor(0, 90, 0) : QColor(150, 150, 150), k == first ? 2 : 1));
        painter.setBrush(used ? QColor(205, 205, 205) : QColor(Qt::white));
        painter.drawRoundedRect(shown.adjusted(1, 1, -1, -1), 2, 2);
        if (filled) {
            painter.setPen(QPen(QColor(60, 60, 60), 1));
            const double step = shown.height() / 5;
            for (int line = 1; line <= 3; ++line) {
                const double y = shown.top() + step * (line + 0.5);
                const double length = shown.width() * (line == 1 ? 0.55 : (line == 2 ? 0.7 : 0.45));
                painter.drawLine(QPointF(shown.left() + 5, y), QPointF(shown.left() + 5 + length, y));
            }
        }
    }
}

void SheetPicture::mousePressEvent(QMouseEvent *event)
{
    const int position = positionAt(event->position());
    if (position >= 0)
        emit labelClicked(position);
}

LabelsDialog::LabelsDialog(Module1 &module, LabelChoices choices, QWidget *parent)
    : QDialog(parent), m_module(module), m_choices(std::move(choices))
{
    setObjectName(QStringLiteral("LabelsDialog"));
    setWindowTitle(messages::dialogTitle());

    const SheetChoice usual = sheetForPaper(workstationPaperFacts());
    cboSheet = new QComboBox(this);
    cboSheet->addItem(messages::usLetterSheet(), static_cast<int>(SheetKind::UsLetter30));
    cboSheet->addItem(messages::a4Sheet(), static_cast<int>(SheetKind::A4With21));
    cboSheet->setCurrentIndex(usual.sheet == SheetKind::A4With21 ? 1 : 0);
    cboSheet->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    lblSheetChoice = new QLabel(usual.why, this);
    lblSheetChoice->setObjectName(QStringLiteral("lblSheetChoice"));
    lblSheetChoice->setWordWrap(true);
    spnStart = new QSpinBox(this);
    spnStart->setMinimum(1);
    lblStartHint = new QLabel(this);
    lblStartHint->setWordWrap(true);
    picSheet = new SheetPicture(this);
    picSheet->setAccessibleName(messages::sheetPictureName());

    auto *sheetCaption = new QLabel(messages::sheetCaption(), this);
    sheetCaption->setBuddy(cboSheet);
    auto *startCaption = new QLabel(messages::startLabelCaption(), this);
    startCaption->setBuddy(spnStart);
    auto *form = new QFormLayout;
    form->addRow(sheetCaption, cboSheet);
    form->addRow(QString(), lblSheetChoice);
    form->addRow(startCaption, spnStart);
    form->addRow(QString(), lblStartHint);

    optAll = new QRadioButton(m_choices.listTitle.isEmpty() ? messages::allMembersChoice()
                                                            : messages::listMembersChoice(m_choices.listTitle),
                              this);
    optPicked = new QRadioButton(m_choices.nobodyPicked ? messages::noMemberPickedChoice()
                                                        : messages::pickedMemberChoice(shownName(m_choices.pickedName)),
                                 this);
    optAll->setChecked(true);
    chkResigned = new QCheckBox(messages::includeResigned(), this);
    chkPassedAway = new QCheckBox(messages::includePassedAway(), this);
    // Without the details table nobody has a status: the dialog is as it always was.
    chkResigned->setVisible(m_choices.statusesKnown);
    chkPassedAway->setVisible(m_choices.statusesKnown);
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);

    auto *choicesColumn = new QVBoxLayout;
    choicesColumn->addLayout(form);
    choicesColumn->addSpacing(6);
    choicesColumn->addWidget(optAll);
    choicesColumn->addWidget(optPicked);
    choicesColumn->addWidget(chkResigned);
    choicesColumn->addWidget(chkPassedAway);
    choicesColumn->addSpacing(6);
    choicesColumn->addWidget(lblSummary);
    choicesColumn->addStretch();
    auto *top = new QHBoxLayout;
    top->addLayout(choicesColumn, 1);
    top->addWidget(picSheet, 0, Qt::AlignTop);

    m_adjustmentFile = adjustmentFile(m_module.deployment().programFolder);
    m_keptAdjustment = readAdjustment(m_adjustmentFile);
    auto shiftBox = [this](double value) {
        auto *box = new QDoubleSpinBox(this);
        box->setDecimals(1);
        box->setSingleStep(0.5);
        box->setRange(-PrinterAdjustment::kLargestShiftMm, PrinterAdjustment::kLargestShiftMm);
        box->setValue(value);
        return box;
    };
    spnRight = shiftBox(m_keptAdjustment.rightMm);
    spnDown = shiftBox(m_keptAdjustment.downMm);
    spnScale = new QDoubleSpinBox(this);
    spnScale->setDecimals(1);
    spnScale->setSingleStep(0.1);
    spnScale->setRange(PrinterAdjustment::kSmallestScale, PrinterAdjustment::kLargestScale);
    spnScale->setValue(m_keptAdjustment.scalePercent);
    cmdAlignment = new QPushButton(messages::alignmentTestButton(), this);
    auto *adjustHint = new QLabel(messages::adjustmentHint(), this);
    adjustHint->setWordWrap(true);
    auto *adjustForm = new QFormLayout;
    const std::pair<QString, QWidget *> adjustRows[] = {{messages::rightShiftCaption(), spnRight},
                                                        {messages::downShiftCaption(), spnDown},
                                                        {messages::scaleCaption(), spnScale}};
    for (const auto &[caption, field] : adjustRows) {
        auto *label = new QLabel(caption, this);
        label->setBuddy(field);
        adjustForm->addRow(label, field);
    }
    auto *adjustGroup = new QGroupBox(messages::adjustmentTitle(), this);
    auto *adjustLayout = new QHBoxLayout(adjustGroup);
    adjustLayout->addLayout(adjustForm);
    auto *adjustSide = new QVBoxLayout;
    adjustSide->addWidget(adjustHint);
    adjustSide->addWidget(cmdAlignment, 0, Qt::AlignLeft);
    adjustLayout->addLayout(adjustSide, 1);

    cmdPreview = new QPushButton(messages::previewButton(), this);
    cmdSavePdf = new QPushButton(messages::savePdfButton(), this);
    cmdPrint = new QPushButton(messages::printButton(), this);
    cmdClose = new QPushButton(messages::closeButton(), this);
    // Enter in a box previews: only a deliberate Print sends a whole run to the printer.
    cmdPreview->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdPreview);
    buttons->addWidget(cmdSavePdf);
    buttons->addStretch();
    buttons->addWidget(cmdPrint);
    buttons->addWidget(cmdClose);
    // Each button closes the dialog itself, and only once its work is done.
    connect(cmdPreview, &QPushButton::clicked, this, &LabelsDialog::cmdPreview_Click);
    connect(cmdPrint, &QPushButton::clicked, this, &LabelsDialog::cmdPrint_Click);
    connect(cmdSavePdf, &QPushButton::clicked, this, &LabelsDialog::cmdSavePdf_Click);
    connect(cmdAlignment, &QPushButton::clicked, this, &LabelsDialog::cmdAlignment_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(adjustGroup);
    layout->addLayout(buttons);

    // The order in which the dialog reads, from the top left.
    QWidget *const chain[] = {cboSheet, spnStart, optAll,       optPicked,  chkResigned, chkPassedAway, spnRight,
                              spnDown,  spnScale, cmdAlignment, cmdPreview, cmdSavePdf,  cmdPrint,      cmdClose};
    for (std::size_t i = 1; i < std::size(chain); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);

    connect(cboSheet, &QComboBox::currentIndexChanged, this, &LabelsDialog::refresh);
    connect(spnStart, &QSpinBox::valueChanged, this, &LabelsDialog::refresh);
    connect(optAll, &QRadioButton::toggled, this, &LabelsDialog::refresh);
    for (QCheckBox *box : {chkResigned, chkPassedAway}) {
        connect(box, &QCheckBox::toggled, this, [this] {
            includeInLabels(m_choices, {chkResigned->isChecked(), chkPassedAway->isChecked()});
            refresh();
        });
    }
    connect(picSheet, &SheetPicture::labelClicked, this, [this](int position) { spnStart->setValue(position + 1); });
    refresh();
}

const LabelSheet &LabelsDialog::sheet() const
{
    return labelSheet(static_cast<SheetKind>(cboSheet->currentData().toInt()));
}

const AddressList &LabelsDialog::chosen() const
{
    return optPicked->isChecked() ? m_choices.picked : m_choices.everyone;
}

LabelJob LabelsDialog::job() const
{
    return {static_cast<SheetKind>(cboSheet->currentData().toInt()), spnStart->value(), chosen().addresses,
            adjustment()};
}

PrinterAdjustment LabelsDialog::adjustment() const
{
    return {spnRight->value(), spnDown->value(), spnScale->value()};
}

void LabelsDialog::refresh()
{
    const LabelSheet &current = sheet();
    spnStart->setMaximum(current.labelsPerSheet());
    lblStartHint->setText(messages::startLabelHint(current.columns));
    lblSummary->setText(labelSummary(m_choices, optPicked->isChecked(), current, spnStart->value()));
    picSheet->setLabels(current, spnStart->value(), static_cast<int>(chosen().addresses.size()));
}

bool LabelsDialog::haveLabels()
{
    if (!chosen().addresses.empty())
        return true;
    m_module.MsgBox(messages::nothingToPrint(optPicked->isChecked(), m_choices.nobodyPicked), MB_OK);
    return false;
}

void LabelsDialog::cmdPreview_Click()
{
    if (haveLabels())
        m_module.guarded([&] { previewLabels(m_module, job(), this); });
}

void LabelsDialog::cmdPrint_Click()
{
    finishWith([&] { return printLabelsOnDefaultPrinter(m_module, job()); });
}

void LabelsDialog::cmdSavePdf_Click()
{
    finishWith([&] { return saveLabelsAsPdf(m_module, job()); });
}

void LabelsDialog::cmdAlignment_Click()
{
    m_module.guarded([&] { printAlignmentTestOnDefaultPrinter(m_module, job().sheet, adjustment()); });
}

void LabelsDialog::done(int result)
{
    const PrinterAdjustment now = adjustment();
    if (now != m_keptAdjustment) {
        if (const std::optional<QString> problem = writeAdjustment(m_adjustmentFile, now))
            m_module.MsgBox(messages::adjustmentNotKept(QDir::toNativeSeparators(m_adjustmentFile), *problem),
                            MB_OK | MB_ICONERROR);
        else
            m_keptAdjustment = now;
    }
    QDialog::done(result);
}

void LabelsDialog::finishWith(const std::function<bool()> &output)
{
    if (!haveLabels())
        return;
    bool done = false;
    m_module.guarded([&] { done = output(); });
    if (done)
        accept();
}

LabelsDialog *openMailingLabels(Module1 &module, const CellSource &grid, const QString &name, const QString &address,
                                const QString &city, QWidget *parent)
{
    const std::optional<changes::StatusBook> statuses = changes::readStatuses(module.connection);
    auto *dialog =
        new LabelsDialog(module, labelChoices(grid, name, address, city, statuses ? &*statuses : nullptr), parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
    return dialog;
}

LabelsDialog *openListLabels(Module1 &module, AddressList members, const QString &listTitle, QWidget *parent)
{
    LabelChoices choices;
    choices.everyone = std::move(members);
    choices.listTitle = listTitle;
    auto *dialog = new LabelsDialog(module, std::move(choices), parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
    return dialog;
}

} // namespace kelvory::output
