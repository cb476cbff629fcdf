#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringView>

#include <string>
#include <string_view>

namespace kelvory::roster {

class FlexGrid;
class GridCells;

// A text as the search compares it: letters without their accents (canonical
// decomposition, marks dropped, a few letters with a stroke or a ligature spelled out) and
// case folded. "Émile" and "emile" fold alike, as do "Łódź" and "lodz".
std::u32string foldedForSearch(QStringView text);

// Whether the text, folded, begins with `foldedPrefix`. Folds only as far as it must, so
// that most names are turned down at their first letter.
bool startsWithFolded(QStringView text, std::u32string_view foldedPrefix);

// The first data row (0-based) whose cell in `column` begins with the folded prefix, or -1.
int firstRowStartingWith(const GridCells &cells, int column, std::u32string_view foldedPrefix);

// Find by typing in a grid: with the grid focused, typed letters highlight the first row
// whose name begins with what was typed so far; a pause longer than the platform's
// keyboard input interval starts a new search, and a search without a match leaves the
// highlight where it was. The found row is only highlighted and scrolled into view, not
// picked: Enter picks the highlighted row, as a click on it does.
class FindByTyping final : public QObject
{
    Q_OBJECT
public:
    FindByTyping(FlexGrid &grid, int column, QObject *parent = nullptr);

    // What the current search has gathered so far.
    QString typed() const { return m_typed; }

Q_SIGNALS:
    // Enter on a highlighted row, after that row has become the grid's current cell.
    void Picked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void type(const QString &text);
    bool pickHighlighted();

    FlexGrid &m_grid;
    int m_column;
    QString m_typed;
    QElapsedTimer m_sinceLastKey;
};

} // namespace kelvory::roster
