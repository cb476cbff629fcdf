#include "roster/FindByTyping.h"

#include "roster/grid/FlexGrid.h"
#include "roster/grid/GridCells.h"

#include <QApplication>
#include <QKeyEvent>
#include <QVarLengthArray>

#include <algorithm>

namespace kelvory::roster {

namespace {

char32_t asciiLower(char32_t c)
{
    return c >= U'A' && c <= U'Z' ? c + (U'a' - U'A') : c;
}

// Letters that no decomposition takes apart, spelled as a reader of a name expects to
// type them; the key is the case-folded letter.
const char *spelledOut(char32_t folded)
{
    switch (folded) {
    case U'\u00E6': return "ae"; // æ
    case U'\u0153': return "oe"; // œ
    case U'\u00DF': return "ss"; // ß
    case U'\u00FE': return "th"; // þ
    case U'\u00F8': return "o";  // ø
    case U'\u0142': return "l";  // ł
    case U'\u0111': return "d";  // đ
    case U'\u0127': return "h";  // ħ
    case U'\u0167': return "t";  // ŧ
    case U'\u0131': return "i";  // dotless ı
    default: return nullptr;
    }
}

template <class Sink>
void appendFolded(char32_t c, Sink &out)
{
    if (c < 0x80) {
        out.push_back(asciiLower(c));
        return;
    }
    if (QChar::decompositionTag(c) == QChar::Canonical) {
        const QString parts = QChar::decomposition(c);
        for (const char32_t part : parts.toUcs4())
            appendFolded(part, out);
        return;
    }
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return;
    default:
        break;
    }
    const char32_t folded = QChar::toCaseFolded(c);
    if (const char *spelled = spelledOut(folded)) {
        for (; *spelled; ++spelled)
            out.push_back(static_cast<char32_t>(*spelled));
        return;
    }
    out.push_back(folded);
}

char32_t nextCodePoint(QStringView text, qsizetype &i)
{
    const char16_t unit = text[i].unicode();
    ++i;
    if (QChar::isHighSurrogate(unit) && i < text.size() && text[i].isLowSurrogate())
        return QChar::surrogateToUcs4(unit, text[i++].unicode());
    return unit;
}

} // namespace

std::u32string foldedForSearch(QStringView text)
{
    std::u32string folded;
    folded.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size();)
        appendFolded(nextCodePoint(text, i), folded);
    return folded;
}

bool startsWithFolded(QStringView text, std::u32string_view foldedPrefix)
{
    std::size_t matched = 0;
    qsizetype i = 0;
    QVarLengthArray<char32_t, 8> folded;
    while (matched < foldedPrefix.size()) {
        if (i >= text.size())
            return false;
        const char32_t c = nextCodePoint(text, i);
        if (c < 0x80) {
            if (asciiLower(c) != foldedPrefix[matched])
                return false;
            ++matched;
            continue;
        }
        folded.clear();
        appendFolded(c, folded);
        for (const char32_t f : folded) {
            if (matched == foldedPrefix.size())
                break;
            if (f != foldedPrefix[matched])
                return false;
            ++matched;
        }
    }
    return true;
}

int firstRowStartingWith(const GridCells &cells, int column, std::u32string_view foldedPrefix)
{
    const int rows = cells.rows();
    for (int r = 0; r < rows; ++r) {
        if (startsWithFolded(cells.cell(r, column), foldedPrefix))
            return r;
    }
    return -1;
}

FindByTyping::FindByTyping(FlexGrid &grid, int column, QObject *parent)
    : QObject(parent), m_grid(grid), m_column(column)
{
    grid.installEventFilter(this);
}

bool FindByTyping::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != &m_grid || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<const QKeyEvent *>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        m_typed.clear();
        return pickHighlighted();
    }
    const QString text = key->text();
    if (text.isEmpty() || !std::all_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); }))
        return false;
    type(text);
    return true;
}

void FindByTyping::type(const QString &text)
{
    if (!m_sinceLastKey.isValid() || m_sinceLastKey.elapsed() > QApplication::keyboardInputInterval())
        m_typed.clear();
    m_sinceLastKey.restart();
    // A blank begins no name; within a search it is part of what is sought ("Nguyen, V").
    if (m_typed.isEmpty() && text.trimmed().isEmpty())
        return;
    m_typed += text;

    const int row = firstRowStartingWith(m_grid.dataRows(), m_column, foldedForSearch(m_typed));
    if (row < 0)
        return;
    const QModelIndex index = m_grid.model()->index(row, m_column);
    m_grid.selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    // A row already in sight stays where it is; one brought into sight comes to the top,
    // with the names that follow it below.
    if (!m_grid.viewport()->rect().contains(m_grid.visualRect(index)))
        m_grid.scrollTo(index, QAbstractItemView::PositionAtTop);
}

bool FindByTyping::pickHighlighted()
{
    const QModelIndex current = m_grid.currentIndex();
    if (!current.isValid() || !m_grid.selectionModel()->isRowSelected(current.row(), current.parent()))
        return false;
    m_grid.setRow(current.row() + 1);
    m_grid.setCol(current.column());
    emit Picked();
    return true;
}

} // namespace kelvory::roster
