// Finding a member by typing in the roster grid: a typed key in the full roster, against
// Qt's own type-ahead search over the same grid model.
#include "Benches.h"

#include "roster/FindByTyping.h"
#include "roster/RosterForm.h"
#include "grid/FlexGrid.h"
#include "grid/PackedRows.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTableView>

#include <cstdio>

namespace kelvory::bench {

namespace {

// One key as the keyboard delivers it to the focused grid.
void typeKey(grid::FlexGrid &grid, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(&grid, &press);
}

// Qt's type-ahead from a fresh start: no current row, no text gathered.
void qtSearch(QTableView &view, const QString &text)
{
    view.selectionModel()->clearCurrentIndex();
    view.keyboardSearch(QString());
    view.keyboardSearch(text);
}

int highlightedRow(const grid::FlexGrid &grid)
{
    const QModelIndex current = grid.currentIndex();
    return current.isValid() && grid.selectionModel()->isRowSelected(current.row(), {}) ? current.row() + 1 : 0;
}

} // namespace

int benchFind(const Options &options)
{
    const int members = options.members;
    printHeader(QStringLiteral("Find by typing in a %1-member roster grid, sqlite").arg(withThousands(members)));
    WorkFolder folder(options, QStringLiteral("find"));
    seedDatabase(Backend::Sqlite, folder.path(), members, 0);
    Program program(Backend::Sqlite, folder.path());
    grid::FlexGrid &grid = *program.form().Grid1;
    grid.setFocus();
    settle();
    if (grid.Rows() != members + 1) {
        std::fprintf(stderr, "the grid holds %d rows, expected %d\n", grid.Rows() - 1, members);
        return 4;
    }
    // Every key begins a search of its own, as after a pause.
    QApplication::setKeyboardInputInterval(-1);

    // Qt's view of the same model, as large and in the same face, shown, so that both repaint alike.
    QTableView qtView;
    qtView.setModel(grid.model());
    qtView.setSelectionBehavior(QAbstractItemView::SelectRows);
    qtView.setFont(grid.font());
    qtView.verticalHeader()->setDefaultSectionSize(grid.verticalHeader()->defaultSectionSize());
    qtView.resize(grid.size());
    qtView.show();
    settle();

    // The last member's name, so that every name before it is looked at.
    const QString lastName = grid.TextMatrix(members, 0);
    const QString nearTheEnd = lastName.left(12);
    typeKey(grid, nearTheEnd);
    const int found = highlightedRow(grid);
    qtSearch(qtView, nearTheEnd);
    const int qtFound = qtView.currentIndex().row() + 1;
    std::printf("    typed \"%s\": found row %d of %d (Qt's search: row %d)\n", qPrintable(nearTheEnd), found, members,
                qtFound);
    if (found < 1 || !grid.TextMatrix(found, 0).startsWith(nearTheEnd) || found != qtFound) {
        std::fprintf(stderr, "the search found row %d, Qt's %d\n", found, qtFound);
        return 4;
    }

    const std::vector<Stats> noMatch = measureInterleaved(options.reps,
                                                          {
                                                              [&] { typeKey(grid, QStringLiteral("z")); },
                                                              [&] { qtSearch(qtView, QStringLiteral("z")); },
                                                          });
    printFigure(QStringLiteral("find.no-match"),
                QStringLiteral("a typed key that matches no name in the grid, so that every name is looked at"),
                noMatch[0],
                QStringLiteral("Qt's own type-ahead (QAbstractItemView::keyboardSearch, case only, no accents) over "
                               "the same grid model"),
                noMatch[1]);

    const std::vector<Stats> lastRows = measureInterleaved(options.reps,
                                                           {
                                                               [&] {
                                                                   grid.selectionModel()->clearSelection();
                                                                   typeKey(grid, nearTheEnd);
                                                                   grid.viewport()->repaint();
                                                               },
                                                               [&] {
                                                                   qtSearch(qtView, nearTheEnd);
                                                                   qtView.viewport()->repaint();
                                                               },
                                                           });
    printFigure(QStringLiteral("find.last-rows"),
                QStringLiteral("typing the beginning of the last member's name: the row found, highlighted and "
                               "repainted"),
                lastRows[0],
                QStringLiteral("Qt's own type-ahead finding the same row over the same grid model, in a view of the "
                               "same size, repainted"),
                lastRows[1]);

    // Accents cost a decomposition where a name has one: the worst is a roster in which
    // every name begins with an accented letter.
    grid::PackedRows accented(1);
    grid::PackedRows plain(1);
    accented.reserve(members);
    plain.reserve(members);
    for (int r = 1; r <= members; ++r) {
        const QString name = grid.TextMatrix(r, 0);
        const QString withAccent = QStringLiteral("\u00C9") + name;
        accented.appendRow(&withAccent, 1, 0);
        plain.appendRow(&name, 1, 0);
    }
    const std::u32string z = roster::foldedForSearch(QStringLiteral("z"));
    int sink = 0;
    const std::vector<Stats> accents =
        measureInterleaved(options.reps,
                           {
                               [&] { sink += roster::firstRowStartingWith(accented, 0, z); },
                               [&] { sink += roster::firstRowStartingWith(plain, 0, z); },
                           });
    printFigure(QStringLiteral("find.accented"),
                QStringLiteral("the search alone over %1 names that each begin with an accented letter (É), no match")
                    .arg(withThousands(members)),
                accents[0], QStringLiteral("the same search over the same names without the accent"), accents[1],
                std::nullopt, QStringLiteral("what folding an accent costs"));
    if (sink != -2 * (options.reps + 1))
        std::printf("    note: unexpected matches (%d)\n", sink);
    return 0;
}

} // namespace kelvory::bench
