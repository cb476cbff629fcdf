#include "grid/FlexGrid.h"

#include "common/Failure.h"
#include "grid/Units.h"

#include <QEvent>
#include <QHeaderView>

namespace kelvory::grid {

namespace {

[[noreturn]] void subscriptOutOfRange()
{
    throw Failure(QStringLiteral("381"), QStringLiteral("Subscript out of range"));
}

bool looksNumeric(QStringView text)
{
    bool ok = false;
    (void)text.trimmed().toDouble(&ok);
    return ok;
}

} // namespace

int FlexGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_grid.m_cells.rows();
}

int FlexGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_grid.m_cells.cols();
}

QVariant FlexGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const QStringView text = m_grid.m_cells.cell(index.row(), index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        if (role == Qt::ToolTipRole && text.isEmpty())
            return {};
        return text.toString();
    case Qt::TextAlignmentRole:
        if (m_grid.m_cells.leftAligned(index.row(), index.column()) || !looksNumeric(text))
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    default: return {};
    }
}

QVariant FlexGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_grid.m_headings.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_grid.m_headings.at(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

void setUpGridView(QTableView &view)
{
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setSelectionMode(QAbstractItemView::SingleSelection);
    view.setWordWrap(false);
    view.setTextElideMode(Qt::ElideNone);
    // Tab and Shift+Tab go on to the window's next control, as from the design's grid; the
    // arrow keys move between cells.
    view.setTabKeyNavigation(false);
    // The current cell set by code must not scroll the view away from where the operator looks.
    view.setAutoScroll(false);
    view.verticalHeader()->hide();
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView &headings = *view.horizontalHeader();
    headings.setSectionResizeMode(QHeaderView::Fixed);
    headings.setMinimumSectionSize(0);
    headings.setStretchLastSection(false);
    headings.setHighlightSections(false);
    headings.setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

FlexGrid::FlexGrid(int cols, int rows, QWidget *parent)
    : QTableView(parent), m_model(*this), m_cells(cols), m_headings(cols), m_widths(cols, 0)
{
    m_cells.resize(qMax(rows - 1, 1));
    setModel(&m_model);
    setUpGridView(*this);
    connect(this, &QAbstractItemView::clicked, this, &FlexGrid::onViewClicked);
}

void FlexGrid::checkCell(int row, int col) const
{
    if (row < 0 || row >= Rows() || col < 0 || col >= Cols())
        subscriptOutOfRange();
}

void FlexGrid::setRows(int rows)
{
    if (rows < 1)
        subscriptOutOfRange();
    const int dataRows = rows - 1;
    const int current = m_cells.rows();
    if (dataRows > current) {
        m_model.beginInsertRows({}, current, dataRows - 1);
        m_cells.resize(dataRows);
        m_model.endInsertRows();
    } else if (dataRows < current) {
        m_model.beginRemoveRows({}, dataRows, current - 1);
        m_cells.resize(dataRows);
        m_model.endRemoveRows();
    }
    m_row = qMin(m_row, Rows() - 1);
}

void FlexGrid::setRow(int row)
{
    checkCell(row, 0);
    m_row = row;
}

void FlexGrid::setCol(int col)
{
    checkCell(0, col);
    m_col = col;
}

void FlexGrid::setCellAlignment(int alignment)
{
    if (m_row == 0)
        return;
    checkCell(m_row, m_col);
    m_cells.setLeftAligned(m_row - 1, m_col, alignment == flexAlignLeftCenter);
    const QModelIndex index = m_model.index(m_row - 1, m_col);
    emit m_model.dataChanged(index, index, {Qt::TextAlignmentRole});
}

int FlexGrid::ColWidth(int col) const
{
    checkCell(0, col);
    return m_widths[col];
}

void FlexGrid::setColWidth(int col, int twips)
{
    checkCell(0, col);
    m_widths[col] = twips;
    horizontalHeader()->resizeSection(col, twipsToPixels(twips, logicalDpiX()));
}

QString FlexGrid::TextMatrix(int row, int col) const
{
    checkCell(row, col);
    if (row == 0)
        return m_headings.at(col);
    return m_cells.cell(row - 1, col).toString();
}

void FlexGrid::setTextMatrix(int row, int col, const QString &text)
{
    checkCell(row, col);
    if (row == 0) {
        m_headings[col] = text;
        emit m_model.headerDataChanged(Qt::Horizontal, col, col);
        return;
    }
    m_cells.setCell(row - 1, col, text);
    const QModelIndex index = m_model.index(row - 1, col);
    emit m_model.dataChanged(index, index, {Qt::DisplayRole, Qt::TextAlignmentRole});
}

void FlexGrid::replaceDataRows(PackedRows rows)
{
    if (rows.rows() == 0)
        rows.resize(1);
    rows.squeeze();
    m_model.beginResetModel();
    m_cells = std::move(rows);
    m_model.endResetModel();
    // A reset forgets the section sizes the view held.
    for (int c = 0; c < Cols(); ++c)
        horizontalHeader()->resizeSection(c, twipsToPixels(m_widths[c], logicalDpiX()));
    m_row = qMin(m_row, Rows() - 1);
}

void FlexGrid::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    // The heading row is drawn in the grid's own font, as its data rows are.
    if (event->type() == QEvent::FontChange)
        horizontalHeader()->setFont(font());
}

void FlexGrid::onViewClicked(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    m_row = index.row() + 1;
    m_col = index.column();
    emit Click();
}

} // namespace kelvory::grid
