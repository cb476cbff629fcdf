#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace kelvory::output {

// What the printout and the export read from a grid: its size, taken once, and the text
// of each cell. They never touch the window, so they run the same on the roster grid,
// on a test's table and inside a fuzzer or a benchmark.
class CellSource
{
public:
    virtual ~CellSource() = default;
    virtual int rows() const = 0;
    virtual int cols() const = 0;
    // The view stays valid as long as the grid is not changed.
    virtual QStringView cell(int row, int col) const = 0;
};

// A plain table of rows, for callers that have no window.
class TableSource final : public CellSource
{
public:
    TableSource() = default;
    explicit TableSource(std::vector<QStringList> rows, int cols = -1);

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
