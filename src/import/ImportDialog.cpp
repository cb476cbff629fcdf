#include "import/ImportDialog.h"
#include "import/TakeBackImport.h"

#include "database/MemberFields.h"
#include "import/ImportMessages.h"
#include "import/ImportStore.h"
#include "startup/Module1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScrollBar>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QListWidget>
#include <QSignalBlocker>
#include <QTableView>
#include <QVBoxLayout>

namespace kelvory::import {

namespace {

// Row, what happens, the five fields, why.
constexpr int kPreviewColumns = 8;

QString separatorName(char separator)
{
    return separator == ';' ? messages::semicolon() : (separator == '\t' ? messages::tab() : messages::comma());
}

QString workbookKindName(FileKind kind)
{
    return kind == FileKind::Ods ? QStringLiteral(".ods")
        : kind == FileKind::Xls  ? QStringLiteral(".xls")
                                 : QStringLiteral(".xlsx");
}

QColor verdictColour(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Added: return QColor(255, 255, 255);
    case Verdict::OnRoster: return QColor(225, 225, 225);
    case Verdict::PossiblyOnRoster: return QColor(255, 243, 190);
    case Verdict::Unusable: return QColor(255, 210, 205);
    }
    return {};
}

} // namespace

void PreviewModel::setPreview(const Preview *preview)
{
    beginResetModel();
    m_preview = preview;
    endResetModel();
}

int PreviewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_preview ? 0 : int(m_preview->rows.size());
}

int PreviewModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kPreviewColumns;
}

QVariant PreviewModel::data(const QModelIndex &index, int role) const
{
    if (!m_preview || !index.isValid())
        return {};
    const PreviewRow &row = m_preview->rows[std::size_t(index.row())];
    if (role == Qt::BackgroundRole)
        return verdictColour(row.verdict);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const int column = index.column();
    if (column == 0)
        return row.fileRow;
    if (column == 1)
        return verdictCaption(row.verdict);
    if (column == kPreviewColumns - 1)
        return row.note;
    return row.member[std::size_t(column - 2)];
}

QVariant PreviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section == 0)
        return messages::rowHeading();
    if (section == 1)
        return messages::verdictHeading();
    if (section == kPreviewColumns - 1)
        return messages::noteHeading();
    return members::caption(section - 2);
}

ImportDialog::ImportDialog(Module1 &module, std::function<void()> refillRoster, QWidget *parent)
    : QDialog(parent), m_module(module), m_refillRoster(std::move(refillRoster)), m_model(this)
{
    setObjectName(QStringLiteral("ImportDialog"));
    setWindowTitle(messages::dialogTitle());
    resize(980, 580);

    txtFile = new QLineEdit(this);
    txtFile->setObjectName(QStringLiteral("txtFile"));
    cmdBrowse = new QPushButton(messages::browseButton(), this);
    auto *fileCaption = new QLabel(messages::fileCaption(), this);
    fileCaption->setBuddy(txtFile);
    cboSheet = new QComboBox(this);
    cboSheet->setObjectName(QStringLiteral("cboSheet"));
    cboSheet->setAccessibleName(messages::sheetName());
    auto *sheetCaption = new QLabel(messages::sheetCaption(), this);
    sheetCaption->setBuddy(cboSheet);
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(fileCaption);
    fileRow->addWidget(txtFile, 1);
    fileRow->addWidget(cmdBrowse);
    fileRow->addWidget(sheetCaption);
    fileRow->addWidget(cboSheet);
    // Shown with a workbook of several sheets only.
    m_sheetCaption = sheetCaption;

    lblFile = new QLabel(messages::noFileChosen(), this);
    lblFile->setObjectName(QStringLiteral("lblFile"));
    lblFile->setWordWrap(true);

    // The columns as a list a screen reader reads item by item, and one choice for the
    // column that is current: every match is heard and changed by keys.
    lstColumns = new QListWidget(this);
    lstColumns->setObjectName(QStringLiteral("lstColumns"));
    lstColumns->setAccessibleName(messages::columnsName());
    lstColumns->setFlow(QListView::LeftToRight);
    lstColumns->setWrapping(false);
    lstColumns->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    lstColumns->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lstColumns->setSpacing(2);
    lstColumns->setFixedHeight(lstColumns->fontMetrics().height() * 2 + 2 * lstColumns->frameWidth()
                               + lstColumns->horizontalScrollBar()->sizeHint().height());
    auto *columnsCaption = new QLabel(messages::columnsCaption(), this);
    columnsCaption->setBuddy(lstColumns);
    cboTarget = new QComboBox(this);
    cboTarget->setObjectName(QStringLiteral("cboTarget"));
    // Its own name, or a screen reader names it by the match it holds.
    cboTarget->setAccessibleName(messages::targetName());
    for (int t = 0; t < kTargetCount; ++t)
        cboTarget->addItem(targetCaption(Target(t)));
    cboTarget->setEnabled(false);
    auto *targetCaptionLabel = new QLabel(messages::targetCaptionLabel(), this);
    targetCaptionLabel->setBuddy(cboTarget);
    auto *columnsRow = new QHBoxLayout;
    columnsRow->addWidget(lstColumns, 1);
    columnsRow->addWidget(targetCaptionLabel);
    columnsRow->addWidget(cboTarget);

    lblCounts = new QLabel(this);
    lblCounts->setObjectName(QStringLiteral("lblCounts"));
    lblCounts->setWordWrap(true);
    tblPreview = new QTableView(this);
    tblPreview->setObjectName(QStringLiteral("tblPreview"));
    tblPreview->setAccessibleName(messages::previewName());
    tblPreview->setModel(&m_model);
    tblPreview->verticalHeader()->hide();
    tblPreview->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblPreview->setWordWrap(false);
    // Tab leaves the table for the next control; the arrows move within it.
    tblPreview->setTabKeyNavigation(false);
    tblPreview->horizontalHeader()->setStretchLastSection(true);
    tblPreview->verticalHeader()->setDefaultSectionSize(tblPreview->fontMetrics().height() + 6);
    auto *previewCaption = new QLabel(messages::previewCaption(), this);
    previewCaption->setBuddy(tblPreview);
    chkAddToo = new QCheckBox(messages::addTooChoice(), this);

    auto *buttons = new QDialogButtonBox(this);
    // Not the accepting button: the button box would make that the default one, and Return
    // in the file box (which reads the file) would then press it as well.
    cmdImport = buttons->addButton(messages::importButton(), QDialogButtonBox::ActionRole);
    cmdClose = buttons->addButton(messages::closeButton(), QDialogButtonBox::RejectRole);
    cmdImport->setEnabled(false);
    for (QPushButton *button : {cmdBrowse, cmdImport, cmdClose}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    txtFile->setFocus(Qt::OtherFocusReason);
    // Import closes the dialog itself, once the members are stored.
    connect(cmdImport, &QPushButton::clicked, this, &ImportDialog::cmdImport_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdBrowse, &QPushButton::clicked, this, &ImportDialog::cmdBrowse_Click);
    connect(txtFile, &QLineEdit::returnPressed, this, &ImportDialog::txtFile_Return);
    connect(cboSheet, &QComboBox::activated, this, &ImportDialog::cboSheet_Change);
    connect(lstColumns, &QListWidget::currentRowChanged, this, &ImportDialog::lstColumns_Change);
    connect(cboTarget, &QComboBox::activated, this, &ImportDialog::cboTarget_Change);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fileRow);
    layout->addWidget(lblFile);
    layout->addWidget(columnsCaption);
    layout->addLayout(columnsRow);
    layout->addWidget(lblCounts);
    layout->addWidget(previewCaption);
    layout->addWidget(tblPreview, 1);
    layout->addWidget(chkAddToo);
    layout->addWidget(buttons);

    // Reading order: what is above and to the left comes first.
    QWidget *order[] = {txtFile,    cmdBrowse, cboSheet,  lstColumns, cboTarget,
                        tblPreview, chkAddToo, cmdImport, cmdClose};
    for (std::size_t k = 1; k < std::size(order); ++k)
        setTabOrder(order[k - 1], order[k]);
    showSheets();
}

void ImportDialog::cmdBrowse_Click()
{
    const QString folder =
        txtFile->text().isEmpty() ? m_module.deployment().programFolder : QFileInfo(txtFile->text()).absolutePath();
    const std::optional<QString> chosen =
        m_module.services().dialogs->openFileName(messages::openFileTitle(), folder, messages::fileFilter());
    if (chosen && !chosen->isEmpty())
        loadFile(*chosen);
}

void ImportDialog::txtFile_Return()
{
    loadFile(txtFile->text());
}

void ImportDialog::cboSheet_Change(int sheet)
{
    if (m_table && sheet != m_table->sheet)
        loadFile(m_path, sheet);
}

void ImportDialog::loadFile(const QString &path, int sheet)
{
    m_path = path;
    txtFile->setText(QDir::toNativeSeparators(path));
    m_module.guarded([&] {
        ReadResult read = readImportFile(path, sheet);
        m_table = std::move(read.table);
        if (!m_table) {
            m_match = {};
            lblFile->setText(messages::fileNotRead(QDir::toNativeSeparators(path), read.problem));
        } else {
            m_match = matchColumns(m_table->records);
            m_rosterEntries = rosterEntries(m_module.connection);
            m_widths = fieldWidths(m_module.connection);
        }
        showSheets();
        showColumns();
        refresh();
    });
}

void ImportDialog::showSheets()
{
    const QSignalBlocker quiet(cboSheet);
    cboSheet->clear();
    if (m_table)
        cboSheet->addItems(m_table->sheets);
    if (m_table && !m_table->sheets.isEmpty())
        cboSheet->setCurrentIndex(m_table->sheet);
    const bool several = m_table && m_table->sheets.size() > 1;
    cboSheet->setVisible(several);
    m_sheetCaption->setVisible(several);
}

void ImportDialog::showColumns()
{
    const QSignalBlocker quiet(lstColumns);
    lstColumns->clear();
    if (m_table) {
        for (std::size_t c = 0; c < m_match.targets.size(); ++c)
            lstColumns->addItem(QString());
        for (int c = 0; c < lstColumns->count(); ++c)
            showColumn(c);
    }
    cboTarget->setEnabled(lstColumns->count() > 0);
    if (lstColumns->count() > 0)
        lstColumns->setCurrentRow(0);
    lstColumns_Change(lstColumns->currentRow());
}

void ImportDialog::showColumn(int column)
{
    QListWidgetItem *item = lstColumns->item(column);
    if (!item || !m_table)
        return;
    // The heading, or what the first row holds when there is none.
    std::size_t shownRecord = m_match.headingRecord;
    if (!m_match.headingRow) {
        while (shownRecord < m_table->records.size() && m_table->records[shownRecord].isEmpty())
            ++shownRecord;
    }
    const QStringList shownRow = shownRecord < m_table->records.size() ? m_table->records[shownRecord] : QStringList();
    const QString shown = column < shownRow.size() ? shownRow[column].simplified() : QString();
    item->setText(messages::columnGoesTo(messages::fileColumn(qint64(column + 1), shown),
                                         targetCaption(m_match.targets[std::size_t(column)])));
}

void ImportDialog::lstColumns_Change(int column)
{
    if (column < 0 || std::size_t(column) >= m_match.targets.size())
        return;
    const QSignalBlocker quiet(cboTarget);
    cboTarget->setCurrentIndex(int(m_match.targets[std::size_t(column)]));
}

void ImportDialog::cboTarget_Change(int targetIndex)
{
    cboColumn_Change(lstColumns->currentRow(), targetIndex);
}

void ImportDialog::cboColumn_Change(int column, int targetIndex)
{
    if (column < 0 || std::size_t(column) >= m_match.targets.size())
        return;
    m_match.targets[std::size_t(column)] = Target(targetIndex);
    showColumn(column);
    if (column == lstColumns->currentRow())
        lstColumns_Change(column);
    m_module.guarded([&] { refresh(); });
}

void ImportDialog::refresh()
{
    m_model.setPreview(nullptr);
    m_preview = {};
    if (m_table) {
        QStringList notes;
        if (m_table->kind != FileKind::Text)
            notes.append(
                messages::workbookRead(m_table->sheets.value(m_table->sheet), workbookKindName(m_table->kind)));
        else if (m_table->ownExport)
            notes.append(messages::ownExportRead(m_table->encodingName));
        else
            notes.append(messages::fileRead(m_table->encodingName, separatorName(m_table->separator)));
        if (!m_match.headingRow)
            notes.append(messages::matchedByPosition());
        else if (m_match.headingRecord > 0)
            notes.append(messages::headingsInRow(qint64(m_match.headingRecord + 1)));
        else
            notes.append(messages::headingsMatched());
        if (!hasNameColumn(m_match))
            notes.append(messages::noNameColumn());
        lblFile->setText(notes.join(QLatin1Char(' ')));
        if (hasNameColumn(m_match))
            m_preview = makePreview(*m_table, m_match, m_rosterEntries, m_widths);
    }
    m_model.setPreview(&m_preview);
    lblCounts->setText(m_table && hasNameColumn(m_match) ? previewCounts(m_preview) : QString());
    tblPreview->resizeColumnsToContents();
    cmdImport->setEnabled(!membersToStore(m_preview, true).empty());
}

void ImportDialog::cmdImport_Click()
{
    bool stored = false;
    m_module.guarded([&] {
        const ImportResult result = importMembers(m_module, m_preview, chkAddToo->isChecked());
        stored = result.kind == ImportResult::Kind::Imported;
        if (stored) {
            m_refillRoster();
            sayImportDone(m_module, result, importReport(result), m_refillRoster);
        } else {
            m_module.MsgBox(importReport(result), importReportStyle(result));
        }
    });
    // A refused import leaves the dialog open, its preview as it was.
    if (stored)
        accept();
}

QString importReport(const ImportResult &result)
{
    switch (result.kind) {
    case ImportResult::Kind::NothingToImport: return messages::nothingToImport();
    case ImportResult::Kind::BackupNotMade:
        return messages::backupNotMade(QDir::toNativeSeparators(result.backupFile), result.reason);
    case ImportResult::Kind::IdTaken: return messages::recordIdTaken(*result.outcome.idTaken);
    case ImportResult::Kind::Failed: return messages::importFailed(result.errorNumber, result.reason);
    case ImportResult::Kind::Imported: break;
    }
    const StoreOutcome &outcome = result.outcome;
    QString text = outcome.stored == 0 ? messages::nothingToImport()
        : outcome.stored == 1          ? messages::oneMemberImported(outcome.firstId)
                              : messages::membersImported(qint64(outcome.stored), outcome.firstId, outcome.lastId);
    const qint64 meanwhile = outcome.addedMeanwhile;
    const qint64 onRoster = result.onRoster + meanwhile;
    if (meanwhile > 0)
        text += kCrLf + messages::rowsLeftOutMeanwhile(onRoster, meanwhile, result.unusable);
    else if (onRoster + result.unusable > 0)
        text += kCrLf + messages::rowsLeftOut(onRoster, result.unusable);
    if (!result.backupFile.isEmpty())
        text += kCrLf + kCrLf + messages::backupBeforeImport(QDir::toNativeSeparators(result.backupFile));
    return text;
}

int importReportStyle(const ImportResult &result)
{
    return result.kind == ImportResult::Kind::NothingToImport ? MB_OK : MB_OK | MB_ICONERROR;
}

ImportDialog *openImportMembers(Module1 &module, std::function<void()> refillRoster, QWidget *parent)
{
    auto *dialog = new ImportDialog(module, std::move(refillRoster), parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
    return dialog;
}

} // namespace kelvory::import
