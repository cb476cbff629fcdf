#include "roster/FindByTyping.h"

#include "roster/RosterMessages.h"
#include "grid/FlexGrid.h"
#include "grid/PackedRows.h"

#include <QKeyEvent>
#include <QLabel>
#include <QVarLengthArray>

namespace kelvory::roster {

using namespace grid;

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

template <class Sink> void appendFolded(char32_t c, Sink &out)
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
    case QChar::Mark_Enclosing: return;
    default: break;
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

bool nameStartsWithFolded(QStringView name, std::u32string_view foldedPrefix)
{
    if (startsWithFolded(name, foldedPrefix))
        return true;
    qsizetype first = 0;
    while (first < name.size()) {
        qsizetype next = first;
        if (QChar::isLetterOrNumber(nextCodePoint(name, next)))
            break;
        first = next;
    }
    return first > 0 && startsWithFolded(name.mid(first), foldedPrefix);
}

int firstRowStartingWith(const PackedRows &cells, int column, std::u32string_view foldedPrefix)
{
    const int rows = cells.rows();
    for (int r = 0; r < rows; ++r) {
        if (nameStartsWithFolded(cells.cell(r, column), foldedPrefix))
            return r;
    }
    return -1;
}

FindByTyping::FindByTyping(FlexGrid &grid, int column, QObject *parent)
    : QObject(parent), m_grid(grid), m_column(column), m_tip(new QLabel(&grid))
{
    m_tip->setObjectName(QStringLiteral("findTip"));
    m_tip->setAccessibleName(messages::findTipName());
    m_tip->setForegroundRole(QPalette::ToolTipText);
    m_tip->setBackgroundRole(QPalette::ToolTipBase);
    m_tip->setAutoFillBackground(true);
    m_tip->setFrameShape(QFrame::Box);
    m_tip->setMargin(3);
    QFont bold = grid.font();
    bold.setBold(true);
    m_tip->setFont(bold);
    m_tip->hide();
    m_tipTimer.setSingleShot(true);
    connect(&m_tipTimer, &QTimer::timeout, this, &FindByTyping::endSearch);
    grid.installEventFilter(this);
}

bool FindByTyping::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != &m_grid)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::FocusOut) {
        endSearch();
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<const QKeyEvent *>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: endSearch(); return pickHighlighted();
    case Qt::Key_Backspace:
        if (!searching())
            return false;
        takeBackLetter();
        return true;
    case Qt::Key_Escape:
        if (!searching())
            return false;
        endSearch();
        return true;
    default: break;
    }
    // Looked at by code point: a letter beyond the Basic Multilingual Plane comes as two
    // surrogates, neither of which is printable on its own.
    const QString text = key->text();
    if (text.isEmpty())
        return false;
    for (qsizetype i = 0; i < text.size();) {
        if (!QChar::isPrint(nextCodePoint(text, i)))
            return false;
    }
    type(text);
    return true;
}

bool FindByTyping::searching() const
{
    return !m_typed.isEmpty() && m_sinceLastKey.isValid() && m_sinceLastKey.elapsed() <= m_pause.count();
}

void FindByTyping::type(const QString &text)
{
    if (!searching())
        m_typed.clear();
    // A blank begins no name; within a search it is part of what is sought ("Nguyen, V").
    if (m_typed.isEmpty() && text.trimmed().isEmpty())
        return;
    m_sinceLastKey.restart();
    m_typed += text;
    showTip();
    highlightFirstMatch();
}

void FindByTyping::takeBackLetter()
{
    const qsizetype size = m_typed.size();
    const bool pair = size >= 2 && m_typed.at(size - 1).isLowSurrogate() && m_typed.at(size - 2).isHighSurrogate();
    m_typed.chop(pair ? 2 : 1);
    if (m_typed.isEmpty()) {
        endSearch();
        return;
    }
    m_sinceLastKey.restart();
    showTip();
    highlightFirstMatch();
}

void FindByTyping::endSearch()
{
    m_typed.clear();
    m_tipTimer.stop();
    m_tip->hide();
}

void FindByTyping::showTip()
{
    m_tip->setText(messages::findingTyped(m_typed));
    m_tip->adjustSize();
    // At the foot of the rows, where it hides the fewest names and never the heading.
    const QRect rows = m_grid.viewport()->geometry();
    m_tip->move(rows.left() + 4, rows.bottom() - m_tip->height() - 3);
    m_tip->raise();
    m_tip->show();
    m_tipTimer.start(m_pause);
}

void FindByTyping::highlightFirstMatch()
{
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
