// Paging through the roster grid: what the view asks of the model, and how long a page
// step takes in a large roster against a small one.
#include "Benches.h"

#include "roster/RosterForm.h"
#include "grid/FlexGrid.h"

#include <QIdentityProxyModel>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>
#include <set>

namespace kelvory::bench {

namespace {

// Sits between the grid's model and its view and notes every row whose text the view asks for.
class CountingProxy final : public QIdentityProxyModel
{
public:
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::DisplayRole)
            asked.push_back(index.row());
        return QIdentityProxyModel::data(index, role);
    }
    mutable std::vector<int> asked;
};

struct Paging
{
    Stats steps;
    int pages = 0;
    int rowsOnScreen = 0; // a partly shown last row included
};

int rowsOnScreen(const grid::FlexGrid &grid)
{
    const int first = grid.rowAt(0);
    int last = grid.rowAt(grid.viewport()->height() - 1);
    if (last < 0)
        last = grid.model()->rowCount() - 1;
    return last - first + 1;
}

void toTop(grid::FlexGrid &grid)
{
    grid.verticalScrollBar()->setValue(0);
    grid.viewport()->repaint();
    settle();
}

bool atBottom(const grid::FlexGrid &grid)
{
    return grid.verticalScrollBar()->value() >= grid.verticalScrollBar()->maximum();
}

// One Page Down and its repaint; returns the milliseconds it took.
double pageDown(grid::FlexGrid &grid)
{
    QElapsedTimer timer;
    timer.start();
    grid.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    grid.viewport()->repaint();
    return elapsedMs(timer);
}

// Scrolls from the top to the bottom one page at a time, each step painted before the
// next; `atTop` sees the view on its first page, `afterStep` after each step. The other
// grid takes a step after each one of this grid's, from its top again when at its
// bottom, so that both are timed under the same load.
template <class AtTop, class AfterStep>
std::pair<Paging, Paging> pageThrough(grid::FlexGrid &grid, grid::FlexGrid *other, AtTop atTop, AfterStep afterStep)
{
    Paging paging;
    Paging otherPaging;
    toTop(grid);
    if (other)
        toTop(*other);
    atTop();
    paging.rowsOnScreen = rowsOnScreen(grid);
    while (!atBottom(grid)) {
        paging.steps.samples.push_back(pageDown(grid));
        ++paging.pages;
        afterStep();
        if (other) {
            if (atBottom(*other))
                toTop(*other);
            otherPaging.steps.samples.push_back(pageDown(*other));
            ++otherPaging.pages;
        }
    }
    return {paging, otherPaging};
}

struct Asked
{
    qint64 total = 0;      // rows asked for, over all steps
    qint64 outside = 0;    // rows asked for that were not on screen at that step
    int mostInOneStep = 0; // distinct rows asked for in the busiest step
    std::size_t distinct = 0;
    int duringFill = 0; // distinct rows asked for by one FillRoster and its repaint
};

Asked countAsked(roster::RosterForm &form)
{
    grid::FlexGrid &grid = *form.Grid1;
    CountingProxy proxy;
    proxy.setSourceModel(grid.model());
    grid.setModel(&proxy);
    // A new model forgets the column widths the view held.
    for (int c = 0; c < grid.Cols(); ++c)
        grid.setColWidth(c, grid.ColWidth(c));
    settle();

    Asked asked;
    proxy.asked.clear();
    form.FillRoster();
    settle();
    asked.duringFill = static_cast<int>(std::set<int>(proxy.asked.begin(), proxy.asked.end()).size());

    std::set<int> all;
    pageThrough(
        grid, nullptr,
        [&] {
            all.insert(proxy.asked.begin(), proxy.asked.end());
            proxy.asked.clear();
        },
        [&] {
            int first = grid.rowAt(0);
            int last = grid.rowAt(grid.viewport()->height() - 1);
            if (last < 0)
                last = grid.model()->rowCount() - 1;
            const std::set<int> step(proxy.asked.begin(), proxy.asked.end());
            asked.total += static_cast<qint64>(step.size());
            asked.mostInOneStep = std::max(asked.mostInOneStep, static_cast<int>(step.size()));
            for (int row : step) {
                if (row < first || row > last)
                    ++asked.outside;
                all.insert(row);
            }
            proxy.asked.clear();
        });
    asked.distinct = all.size();
    grid.setModel(proxy.sourceModel());
    return asked;
}

} // namespace

int benchScroll(const Options &options)
{
    const int big = options.members;
    const int small = options.scrollBaselineMembers;
    printHeader(QStringLiteral("Paging through the roster grid, %1 members against %2, sqlite")
                    .arg(withThousands(big), withThousands(small)));

    WorkFolder smallFolder(options, QStringLiteral("scroll-small"));
    seedDatabase(Backend::Sqlite, smallFolder.path(), small, 0);
    WorkFolder bigFolder(options, QStringLiteral("scroll-big"));
    seedDatabase(Backend::Sqlite, bigFolder.path(), big, 0);

    Program smallProgram(Backend::Sqlite, smallFolder.path());
    Program program(Backend::Sqlite, bigFolder.path());
    roster::RosterForm &form = program.form();
    pageThrough(
        *form.Grid1, smallProgram.form().Grid1, [] {}, [] {}); // warm-up
    const auto [bigPaging, smallPaging] = pageThrough(
        *form.Grid1, smallProgram.form().Grid1, [] {}, [] {});
    const Asked asked = countAsked(form);

    std::printf("    %d rows on screen; %d page steps through %s members; the %s-member grid paged from its top "
                "again each time it reached its bottom\n",
                bigPaging.rowsOnScreen, bigPaging.pages, qPrintable(withThousands(big)),
                qPrintable(withThousands(small)));
    printFigure(
        QStringLiteral("scroll.page-step"),
        QStringLiteral("one page step (Page Down and its repaint) in the %1-member grid").arg(withThousands(big)),
        bigPaging.steps, QStringLiteral("one page step in a %1-member grid").arg(withThousands(small)),
        smallPaging.steps, std::nullopt, QStringLiteral("near 1: a page costs the same whatever the roster's size"));
    printValueFigure(QStringLiteral("scroll.rows-asked"),
                     QStringLiteral("rows the view asked the model for, per page step, on average (most in one "
                                    "step: %1; asked for while not on screen: %2)")
                         .arg(asked.mostInOneStep)
                         .arg(asked.outside),
                     bigPaging.pages ? static_cast<double>(asked.total) / bigPaging.pages : 0, QStringLiteral("rows"),
                     QStringLiteral("rows on screen, a partly shown one included"), bigPaging.rowsOnScreen);
    printValueFigure(QStringLiteral("scroll.rows-asked-by-fill"),
                     QStringLiteral("rows the view asked for during one FillRoster of %1 members and its repaint")
                         .arg(withThousands(big)),
                     asked.duringFill, QStringLiteral("rows"),
                     QStringLiteral("rows on screen, a partly shown one included"), bigPaging.rowsOnScreen);
    std::printf("    over the whole scroll the view asked for %s distinct rows of %s, each when it came on screen\n",
                qPrintable(withThousands(static_cast<qint64>(asked.distinct))), qPrintable(withThousands(big)));
    if (asked.outside != 0) {
        std::fprintf(stderr, "the view asked for %lld rows that were not on screen\n",
                     static_cast<long long>(asked.outside));
        return 4;
    }
    return 0;
}

} // namespace kelvory::bench
