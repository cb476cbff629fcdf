#include "Harness.h"
#include "common/Failure.h"
#include "grid/FlexGrid.h"
#include "grid/PackedRows.h"

#include <QHeaderView>
#include <QtTest>

using namespace kelvory;
using grid::FlexGrid;
using grid::PackedRows;

class TestFlexGrid : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void designTimeGridHasHeadingAndOneEmptyRow();
    void rowsGrowAndShrinkFromTheBottom();
    void cellsKeepTheirNeighboursWhenRewritten();
    void rowsOfEveryLengthKeepTheirCellsAcrossBlocks();
    void headingRowIsTheViewsHeader();
    void columnWidthsInTwips();
    void alignment();
    void bulkLoadReplacesEveryDataRow();
    void outOfRangeIsAFailure();
};

void TestFlexGrid::designTimeGridHasHeadingAndOneEmptyRow()
{
    FlexGrid grid(6, 2);
    QCOMPARE(grid.Rows(), 2);
    QCOMPARE(grid.Cols(), 6);
    QCOMPARE(grid.model()->rowCount(), 1);
    for (int c = 0; c < 6; ++c) {
        QCOMPARE(grid.TextMatrix(0, c), QString());
        QCOMPARE(grid.TextMatrix(1, c), QString());
    }
}

void TestFlexGrid::rowsGrowAndShrinkFromTheBottom()
{
    FlexGrid grid(3, 2);
    grid.setRows(4);
    grid.setTextMatrix(1, 0, QStringLiteral("first"));
    grid.setTextMatrix(2, 1, QStringLiteral("second"));
    grid.setTextMatrix(3, 2, QStringLiteral("third"));
    grid.setRows(3);
    QCOMPARE(grid.Rows(), 3);
    QCOMPARE(grid.TextMatrix(1, 0), QStringLiteral("first"));
    QCOMPARE(grid.TextMatrix(2, 1), QStringLiteral("second"));
    grid.setRows(5);
    QCOMPARE(grid.model()->rowCount(), 4);
    QCOMPARE(grid.TextMatrix(3, 2), QString()); // the dropped row does not come back
    QCOMPARE(grid.TextMatrix(4, 0), QString());
}

void TestFlexGrid::cellsKeepTheirNeighboursWhenRewritten()
{
    PackedRows cells(4);
    const QString row[4] = {QStringLiteral("Adams"), QStringLiteral("1 Elm"), QString(), QStringLiteral("555")};
    cells.appendRow(row, 4, 0);
    cells.setCell(0, 1, u"12 Main St, Apt 4");
    cells.setCell(0, 2, u"Springfield");
    cells.setCell(0, 0, u"");
    QCOMPARE(cells.cell(0, 0), u"");
    QCOMPARE(cells.cell(0, 1), u"12 Main St, Apt 4");
    QCOMPARE(cells.cell(0, 2), u"Springfield");
    QCOMPARE(cells.cell(0, 3), u"555");
    cells.setCell(0, 1, u"x");
    QCOMPARE(cells.cell(0, 2), u"Springfield");
    QCOMPARE(cells.cell(0, 3), u"555");

    // A short row leaves its trailing cells empty; extra cells are not kept.
    const QString longRow[6] = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                                QStringLiteral("d"), QStringLiteral("e"), QStringLiteral("f")};
    cells.appendRow(longRow, 1, 0);
    cells.appendRow(longRow, 6, 0);
    QCOMPARE(cells.cell(1, 0), u"a");
    QCOMPARE(cells.cell(1, 3), u"");
    QCOMPARE(cells.cell(2, 3), u"d");
}

void TestFlexGrid::rowsOfEveryLengthKeepTheirCellsAcrossBlocks()
{
    // Enough text for many blocks, rows longer than a block, empty rows grown by resize(),
    // and more columns than one word of alignments holds.
    constexpr int kCols = 40;
    auto text = [](int row, int col) {
        const int length = row % 97 == 0 && col == 3 ? 20000 + row : (row * 7 + col) % 13;
        return QString(length, QChar(u'a' + (row + col) % 26));
    };
    PackedRows cells(kCols);
    std::vector<QString> row(kCols);
    for (int r = 0; r < 3000; ++r) {
        for (int c = 0; c < kCols; ++c)
            row[c] = text(r, c);
        cells.appendRow(row.data(), r % 5 == 0 ? kCols / 2 : kCols, r % 3 == 0 ? 0x5U : 0U);
    }
    cells.resize(3002);
    cells.setLeftAligned(3001, 33, true);
    cells.setCell(1500, 39, u"rewritten");
    PackedRows moved = std::move(cells);
    moved.squeeze();
    for (int r = 0; r < 3000; ++r) {
        for (int c = 0; c < kCols; ++c) {
            const QString expected = r == 1500 && c == 39 ? QStringLiteral("rewritten")
                : r % 5 == 0 && c >= kCols / 2            ? QString()
                                                          : text(r, c);
            QCOMPARE(moved.cell(r, c), expected);
        }
        QCOMPARE(moved.leftAligned(r, 2), r % 3 == 0);
        QCOMPARE(moved.leftAligned(r, 1), false);
    }
    QCOMPARE(moved.cell(3000, 39), u"");
    QVERIFY(moved.cell(3000, 0).isNull());
    QCOMPARE(moved.leftAligned(3001, 33), true);
    QCOMPARE(moved.leftAligned(3001, 1), false);
    QCOMPARE(moved.cell(3001, 33), u"");
}

void TestFlexGrid::headingRowIsTheViewsHeader()
{
    FlexGrid grid(2, 2);
    grid.setTextMatrix(0, 0, QStringLiteral("Name"));
    QCOMPARE(grid.model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Name"));
    QCOMPARE(grid.model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString());
    grid.setTextMatrix(1, 1, QStringLiteral("cell"));
    QCOMPARE(grid.model()->data(grid.model()->index(0, 1)).toString(), QStringLiteral("cell"));
}

void TestFlexGrid::columnWidthsInTwips()
{
    FlexGrid grid(6, 2);
    grid.setColWidth(0, 2000);
    grid.setColWidth(5, 4);
    QCOMPARE(grid.ColWidth(0), 2000);
    QCOMPARE(grid.ColWidth(5), 4);
    // In pixels at 96 dpi, where 15 twips make one pixel.
    QCOMPARE(grid.logicalDpiX(), 96);
    QCOMPARE(grid.horizontalHeader()->sectionSize(0), 133);
    // 4 twips is less than half a pixel: present, but not seen.
    QCOMPARE(grid.horizontalHeader()->sectionSize(5), 0);
}

void TestFlexGrid::alignment()
{
    FlexGrid grid(2, 2);
    grid.setTextMatrix(1, 0, QStringLiteral("17"));
    grid.setTextMatrix(1, 1, QStringLiteral("17"));
    grid.setRow(1);
    grid.setCol(0);
    grid.setCellAlignment(grid::flexAlignLeftCenter);
    auto alignment = [&](int col) {
        return grid.model()->data(grid.model()->index(0, col), Qt::TextAlignmentRole).value<Qt::Alignment>();
    };
    QCOMPARE(alignment(0), Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(alignment(1), Qt::AlignRight | Qt::AlignVCenter); // a number in the general alignment
}

void TestFlexGrid::bulkLoadReplacesEveryDataRow()
{
    FlexGrid grid(2, 2);
    grid.setRows(6);
    grid.setTextMatrix(5, 1, QStringLiteral("stale"));
    QSignalSpy resets(grid.model(), &QAbstractItemModel::modelReset);
    QSignalSpy changes(grid.model(), &QAbstractItemModel::dataChanged);

    PackedRows rows(2);
    const QString a[2] = {QStringLiteral("A"), QStringLiteral("1")};
    const QString b[2] = {QStringLiteral("B"), QStringLiteral("2")};
    rows.appendRow(a, 2, 1);
    rows.appendRow(b, 2, 1);
    grid.replaceDataRows(std::move(rows));
    QCOMPARE(resets.count(), 1);
    QCOMPARE(changes.count(), 0);
    QCOMPARE(grid.Rows(), 3);
    QCOMPARE(grid.TextMatrix(2, 0), QStringLiteral("B"));
    QCOMPARE(grid.TextMatrix(2, 1), QStringLiteral("2"));

    grid.replaceDataRows(PackedRows(2));
    QCOMPARE(grid.Rows(), 2);
    QCOMPARE(grid.TextMatrix(1, 0), QString());
}

void TestFlexGrid::outOfRangeIsAFailure()
{
    FlexGrid grid(2, 2);
    QVERIFY_THROWS_EXCEPTION(Failure, grid.TextMatrix(2, 0));
    QVERIFY_THROWS_EXCEPTION(Failure, grid.setTextMatrix(0, 2, QString()));
    QVERIFY_THROWS_EXCEPTION(Failure, grid.setRows(0));
    QVERIFY_THROWS_EXCEPTION(Failure, grid.setRow(-1));
    QVERIFY_THROWS_EXCEPTION(Failure, grid.setColWidth(3, 10));
}

KELVORY_TEST_MAIN(TestFlexGrid)
#include "tst_flexgrid.moc"
