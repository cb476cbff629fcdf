#include "history/History.h"

#include "database/DateText.h"
#include "database/Statements.h"
#include "history/HistoryMessages.h"
#include "grid/CommandButton.h"
#include "grid/FlexGrid.h"
#include "grid/Fonts.h"
#include "grid/GridFill.h"
#include "grid/Units.h"
#include "startup/Module1.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>

namespace kelvory::history {

using namespace grid;

using grid::placeInTwips;

namespace {

// The journal's columns in the grid: the date, the operator, the transaction text.
struct JournalColumn
{
    const char *heading;
    int width; // twips
};
constexpr int kJournalColumnCount = 3;
constexpr JournalColumn kJournalColumns[kJournalColumnCount] = {{"Date", 1200}, {"Person", 1200}, {"Transaction", 10000}};

} // namespace

History *History::of(const Module1 &module)
{
    return qobject_cast<History *>(module.historyWindow());
}

History::History(Module1 &module) : QWidget(nullptr), m_module(module)
{
    setObjectName(QStringLiteral("History"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Transaction History"));
    setWindowIcon(QIcon(grid::picture(QStringLiteral("kelvory"), 32)));

    Grid1 = new grid::FlexGrid(kJournalColumnCount, 2, this);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    Grid1->setAccessibleName(messages::journalGridName());
    Grid1->setAccessibleDescription(messages::journalGridDescription());
    Grid1->setFont(grid::timesNewRoman(12));
    Grid1->verticalHeader()->setDefaultSectionSize(Grid1->fontMetrics().height() + 4);
    placeInTwips(Grid1, {90, 840, 12855, 5865});

    Command4 = new grid::CommandButton(QStringLiteral("EXIT"), Qt::white, this);
    Command4->setObjectName(QStringLiteral("Command4"));
    Command4->setPicture(QStringLiteral("exit"), 32);
    placeInTwips(Command4, {0, 0, 885, 765});
    connect(Command4, &QToolButton::clicked, this, &History::Command4_Click);

    Label2 = new QLabel(QStringLiteral(" Transaction History"), this);
    Label2->setFont(grid::timesNewRoman(18, true, true));
    QPalette black = Label2->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    Label2->setPalette(black);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placeInTwips(Label2, {4530, 210, 3705, 435});

    QWidget::setTabOrder(Grid1, Command4);
    Grid1->setFocus(Qt::OtherFocusReason);

    setFixedSize(grid::twipsRect(0, 0, 13155, 6825, logicalDpiX()).size());
    if (const QScreen *screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

History::~History() = default;

void History::Form_Load()
{
    for (int c = 0; c < kJournalColumnCount; ++c)
        Grid1->setColWidth(c, kJournalColumns[c].width);
    for (int c = 0; c < kJournalColumnCount; ++c)
        Grid1->setTextMatrix(0, c, QString::fromLatin1(kJournalColumns[c].heading));
    FillHistory();
}

void History::FillHistory()
{
    grid::GridFillOptions options;
    options.alignedColumns = kJournalColumnCount;
    options.cellText = {database::displayDateText};
    // A journal shown in part would pass for the whole of it.
    options.raiseReadFailures = true;
    grid::fillGridFromQuery(m_module.connection, database::sql::kSelectJournal, *Grid1, options);
}

void History::Command4_Click()
{
    close();
}

} // namespace kelvory::history
