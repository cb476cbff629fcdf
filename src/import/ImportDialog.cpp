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
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kelvory::import {

namespace {

// Row, what happens, the five fields, why.
constexpr int kPreviewColumns = 8;

QString separatorName(char separator)
{
    return separator == ';' ? messages::semicolon() : (separator == '\t' ? messages::tab() : messages::comma());
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
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(fileCaption);
    fileRow->addWidget(txtFile, 1);
    fileRow->addWidget(cmdBrowse);

    lblFile = new QLabel(messages::noFileChosen(), this);
    lblFile->setObjectName(QStringLiteral("lblFile"));
    lblFile->setWordWrap(true);
    tblColumns = new QTableWidget(this);
    tblColumns->setObjectName(QStringLiteral("tblColumns"));
    tblColumns->verticalHeader()->hide();
    tblColumns->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    tblColumns->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lblCounts = new QLabel(this);
    lblCounts->setObjectName(QStringLiteral("lblCounts"));
    lblCounts->setWordWrap(true);
    tblPreview = new QTableView(this);
    tblPreview->setObjectName(QStringLiteral("tblPreview"));
    tblPreview->setModel(&m_model);
    tblPreview->verticalHeader()->hide();
    tblPreview->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblPreview->setWordWrap(false);
    tblPreview->horizontalHeader()->setStretchLastSection(true);
    tblPreview->verticalHeader()->setDefaultSectionSize(tblPreview->fontMetrics().height() + 6);
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

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fileRow);
    layout->addWidget(lblFile);
    layout->addWidget(tblColumns);
    layout->addWidget(lblCounts);
    layout->addWidget(tblPreview, 1);
    layout->addWidget(chkAddToo);
    layout->addWidget(buttons);
}

void ImportDialog::cmdBrowse_Click()
{
    const QString folder = txtFile->text().isEmpty() ? m_module.deployment().programFolder
                                                     : QFileInfo(txtFile->text()).absolutePath();
    const std::optional<QString> chosen =
        m_module.services().dialogs->openFileName(messages::openFileTitle(), folder, messages::fileFilter());
    if (chosen && !chosen->isEmpty())
        loadFile(*chosen);
}

void ImportDialog::txtFile_Return()
{
    loadFile(txtFile->text());
}

void ImportDialog::loadFile(const QString &path)
{
    txtFile->setText(QDir::toNativeSeparators(path));
    m_module.guarded([&] {
        ReadResult read = readImportFile(path);
        m_table = std::move(read.table);
        if (!m_table) {
            m_match = {};
            lblFile->setText(messages::fileNotRead(QDir::toNativeSeparators(path), read.problem));
        } else {
            m_match = matchColumns(m_table->records);
            m_rosterEntries = rosterEntries(m_module.connection);
            m_widths = fieldWidths(m_module.connection);
        }
        showColumns();
        refresh();
    });
}

void ImportDialog::showColumns()
{
    const int columns = int(m_match.targets.size());
    tblColumns->clear();
    tblColumns->setColumnCount(columns);
    tblColumns->setRowCount(columns > 0 ? 1 : 0);
    if (!m_table)
        return;
    const QStringList first = m_table->records.empty() ? QStringList() : m_table->records.front();
    for (int c = 0; c < columns; ++c) {
        const QString shown = c < first.size() ? first[c].simplified() : QString();
        tblColumns->setHorizontalHeaderItem(c, new QTableWidgetItem(messages::fileColumn(qint64(c + 1), shown)));
        auto *choice = new QComboBox(tblColumns);
        for (int t = 0; t < kTargetCount; ++t)
            choice->addItem(targetCaption(Target(t)));
        choice->setCurrentIndex(int(m_match.targets[std::size_t(c)]));
        connect(choice, &QComboBox::currentIndexChanged, this, [this, c](int index) { cboColumn_Change(c, index); });
        tblColumns->setCellWidget(0, c, choice);
    }
    tblColumns->resizeColumnsToContents();
    // The heading, the one row of choices and the scroll bar, whatever the columns.
    tblColumns->resizeRowsToContents();
    tblColumns->setFixedHeight(tblColumns->horizontalHeader()->sizeHint().height() + tblColumns->rowHeight(0)
                               + tblColumns->horizontalScrollBar()->sizeHint().height() + 2 * tblColumns->frameWidth());
}

void ImportDialog::cboColumn_Change(int column, int targetIndex)
{
    if (column < 0 || std::size_t(column) >= m_match.targets.size())
        return;
    m_match.targets[std::size_t(column)] = Target(targetIndex);
    m_module.guarded([&] { refresh(); });
}

void ImportDialog::refresh()
{
    m_model.setPreview(nullptr);
    m_preview = {};
    if (m_table) {
        QStringList notes = {messages::fileRead(m_table->encodingName, separatorName(m_table->separator)),
                             m_match.headingRow ? messages::headingsMatched() : messages::matchedByPosition()};
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
    QString text = outcome.stored == 1 ? messages::oneMemberImported(outcome.firstId)
                                       : messages::membersImported(qint64(outcome.stored), outcome.firstId, outcome.lastId);
    if (result.onRoster + result.unusable > 0)
        text += kCrLf + messages::rowsLeftOut(result.onRoster, result.unusable);
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
