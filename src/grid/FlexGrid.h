#pragma once

#include "grid/PackedRows.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QTableView>

#include <vector>

namespace kelvory::grid {

inline constexpr int flexAlignLeftCenter = 1;

class FlexGrid;

// How the program's grids look and answer the operator, whatever holds their cells: whole
// rows selected, nothing edited in place, no wrapping or eliding, fixed rows and columns.
void setUpGridView(QTableView &view);

// Serves the view only the cells it asks for; row 0 of the grid (the fixed heading
// row) is the view's horizontal header.
class FlexGridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit FlexGridModel(FlexGrid &grid) : m_grid(grid) {}

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    using QAbstractTableModel::beginInsertRows;
    using QAbstractTableModel::beginRemoveRows;
    using QAbstractTableModel::beginResetModel;
    using QAbstractTableModel::endInsertRows;
    using QAbstractTableModel::endRemoveRows;
    using QAbstractTableModel::endResetModel;

private:
    FlexGrid &m_grid;
};

// The grid control: a table of text cells addressed by 0-based row and column, row 0
// being the fixed heading row. The operations are those of the flex grid the program
// was designed around (Rows, Cols, Row, Col, CellAlignment, ColWidth, TextMatrix);
// replaceDataRows() loads a whole result at once, with one model reset.
class FlexGrid : public QTableView
{
    Q_OBJECT
public:
    FlexGrid(int cols, int rows, QWidget *parent = nullptr);

    int Rows() const { return m_cells.rows() + 1; }
    void setRows(int rows);
    int Cols() const { return m_cells.cols(); }

    int Row() const { return m_row; }
    void setRow(int row);
    int Col() const { return m_col; }
    void setCol(int col);

    // Aligns the current cell; flexAlignLeftCenter, or anything else for the general
    // alignment (text left, numbers right).
    void setCellAlignment(int alignment);

    int ColWidth(int col) const;
    void setColWidth(int col, int twips);

    QString TextMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString &text);

    // Replaces every data row at once. With no rows the grid keeps one empty data
    // row, as it has before its first fill.
    void replaceDataRows(PackedRows rows);
    const PackedRows &dataRows() const { return m_cells; }

Q_SIGNALS:
    // A click on a cell, after the cell has become the current one.
    void Click();

protected:
    void changeEvent(QEvent *event) override;

private:
    friend class FlexGridModel;
    void checkCell(int row, int col) const;
    void onViewClicked(const QModelIndex &index);

    FlexGridModel m_model;
    PackedRows m_cells;
    QStringList m_headings;
    std::vector<int> m_widths;
    int m_row = 1;
    int m_col = 0;
};

} // namespace kelvory::grid
