#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringView>
#include <QTimer>

#include <chrono>
#include <string>
#include <string_view>

class QLabel;

namespace kelvory::grid {
class FlexGrid;
class PackedRows;
} // namespace kelvory::grid
namespace kelvory::roster {

using grid::FlexGrid;
using grid::PackedRows;

// A text as the search compares it: letters without their accents (canonical
// decomposition, marks dropped, a few letters with a stroke or a ligature spelled out) and
// case folded. "Émile" and "emile" fold alike, as do "Łódź" and "lodz".
std::u32string foldedForSearch(QStringView text);

// Whether the text, folded, begins with `foldedPrefix`. Folds only as far as it must, so
// that most names are turned down at their first letter.
bool startsWithFolded(QStringView text, std::u32string_view foldedPrefix);

// The same, for a name whose leading blanks and punctuation the grid hides from the
// operator ("  Spacey Lead", "\"Quoted\" Name"): the prefix may begin at its first letter.
bool nameStartsWithFolded(QStringView name, std::u32string_view foldedPrefix);

// The first data row (0-based) whose name in `column` begins with the folded prefix, or -1.
int firstRowStartingWith(const PackedRows &cells, int column, std::u32string_view foldedPrefix);

// Find by typing in a grid: with the grid focused, typed letters highlight the first row
// whose name begins with what was typed so far; a pause longer than kSearchPause starts a
// new search, and a search without a match leaves the highlight where it was. Backspace
// takes back the last letter, Escape ends the search. While a search is on, a tip over
// the grid's foot shows what was typed. The found row is only highlighted and scrolled
// into view, not picked: Enter picks the highlighted row, as a click on it does.
class FindByTyping final : public QObject
{
    Q_OBJECT
public:
    // Qt's keyboard input interval (0.4 s on X11) suits a quick typist; an older volunteer
    // who looks for the next key must not find her search begun anew.
    static constexpr std::chrono::milliseconds kSearchPause{1500};

    FindByTyping(FlexGrid &grid, int column, QObject *parent = nullptr);

    // What the current search has gathered so far.
    QString typed() const { return m_typed; }
    // The tip that shows it; hidden while no search is on.
    const QLabel &tip() const { return *m_tip; }
    // Tests shorten the pause so as not to wait for it.
    void setPause(std::chrono::milliseconds pause) { m_pause = pause; }

Q_SIGNALS:
    // Enter on a highlighted row, after that row has become the grid's current cell.
    void Picked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool searching() const;
    void type(const QString &text);
    void takeBackLetter();
    void highlightFirstMatch();
    void endSearch();
    void showTip();
    bool pickHighlighted();

    FlexGrid &m_grid;
    int m_column;
    QString m_typed;
    QElapsedTimer m_sinceLastKey;
    std::chrono::milliseconds m_pause = kSearchPause;
    QTimer m_tipTimer;
    QLabel *m_tip;
};

} // namespace kelvory::roster
