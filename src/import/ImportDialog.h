#pragma once

#include "import/ImportPreview.h"
#include "import/ImportStore.h"

#include <QAbstractTableModel>
#include <QDialog>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableView;

namespace kelvory {
class Module1;
}

namespace kelvory::import {

// The preview's rows: the file's row, what happens to it, the member it gives and why.
class PreviewModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setPreview(const Preview *preview);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const Preview *m_preview = nullptr;
};

// Choose a file, see what each of its rows will become, change a column's match, import.
class ImportDialog final : public QDialog
{
    Q_OBJECT
public:
    ImportDialog(Module1 &module, std::function<void()> refillRoster, QWidget *parent = nullptr);

    // Reads the file (of a workbook, the sheet given) and shows its preview; says why when
    // it cannot be read.
    void loadFile(const QString &path, int sheet = 0);
    const Preview &preview() const { return m_preview; }

    QLineEdit *txtFile;
    QPushButton *cmdBrowse;
    QComboBox *cboSheet; // a workbook's sheets, shown when it has several
    QLabel *lblFile;
    QListWidget *lstColumns; // the file's columns, each with where it goes
    QComboBox *cboTarget;    // where the current column goes
    QLabel *lblCounts;
    QTableView *tblPreview;
    QCheckBox *chkAddToo;
    QPushButton *cmdImport;
    QPushButton *cmdClose;

public Q_SLOTS:
    void cmdBrowse_Click();
    void txtFile_Return();
    void cboSheet_Change(int sheet);
    void lstColumns_Change(int column);
    void cboTarget_Change(int targetIndex);
    void cboColumn_Change(int column, int targetIndex);
    void cmdImport_Click();

private:
    void showSheets();
    void showColumns();
    void showColumn(int column);
    void refresh();

    Module1 &m_module;
    // The roster is refilled once members are stored.
    std::function<void()> m_refillRoster;
    std::optional<ImportTable> m_table;
    QLabel *m_sheetCaption = nullptr;
    QString m_path;
    ColumnMatch m_match;
    std::vector<RosterEntry> m_rosterEntries;
    FieldWidths m_widths = {};
    Preview m_preview;
    PreviewModel m_model;
};

// Opens the import dialog over the main window. It is modal and deletes itself when closed.
// What the dialog says of an import, and with which icon.
QString importReport(const ImportResult &result);
int importReportStyle(const ImportResult &result);

ImportDialog *openImportMembers(Module1 &module, std::function<void()> refillRoster, QWidget *parent);

} // namespace kelvory::import
