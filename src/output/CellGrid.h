#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace kelvory::roster {
class FlexGrid;
}

namespace kelvory::output {

// What the printout and the export read from a grid: its size, taken once, and the text
// of each cell. They never touch the window, so they run the same on the roster grid,
// on a test's table and inside a fuzzer or a benchmark.
class CellGrid
{
public:
    virtual ~CellGrid() = default;
    virtual int rows() const = 0;
    virtual int cols() const = 0;
    // The view stays valid as long as the grid is not changed.
    virtual QStringView cell(int row, int col) const = 0;
};

// The roster grid as it is at the moment the view is made. Rows and Cols are read
// once, as the printout and the export have always done.
class FlexGridCells final : public CellGrid
{
public:
    explicit FlexGridCells(const roster::FlexGrid &grid);

    int rows() const override { return m_rows; }
    int cols() const override { return m_cols; }
    QStringView cell(int row, int col) const override;

private:
    const roster::FlexGrid &m_grid;
    int m_rows;
    int m_cols;
    // The heading row lives apart from the data rows in the grid; a copy keeps its views valid.
    QStringList m_headings;
};

// A plain table of rows, for callers that have no window.
class TableCells final : public CellGrid
{
public:
    TableCells() = default;
    explicit TableCells(std::vector<QStringList> rows, int cols = -1);

    int rows() const override { return static_cast<int>(m_rows.size()); }
    int cols() const override { return m_cols; }
    // A cell beyond the end of its row reads as empty text, as a never-written grid cell does.
    QStringView cell(int row, int col) const override;

    void appendRow(QStringList row);

private:
    std::vector<QStringList> m_rows;
    int m_cols = 0;
};

} // namespace kelvory::output
