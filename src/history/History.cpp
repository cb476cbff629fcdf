#include "history/History.h"

#include "changes/MemberHistory.h"
#include "changes/Undo.h"
#include "import/TakeBackImport.h"
#include "roster/ChangeReport.h"
#include "roster/DetailsDialog.h"
#include "roster/RosterForm.h"
#include "database/DateText.h"
#include "database/Statements.h"
#include "history/HistoryMessages.h"
#include "grid/CommandButton.h"
#include "grid/FlexGrid.h"
#include "grid/Fonts.h"
#include "grid/GridFill.h"
#include "grid/Units.h"
#include "startup/Module1.h"

#include <QAction>
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
constexpr JournalColumn kJournalColumns[kJournalColumnCount] = {
    {"Date", 1200}, {"Person", 1200}, {"Transaction", 10000}};

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

    auto gridCommand = [this](const QString &text, const QKeySequence &keys, const char *name) {
        auto *action = new QAction(text, this);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        Grid1->addAction(action);
        return action;
    };
    mnuUndo = gridCommand(messages::undoCommand(), QKeySequence(Qt::CTRL | Qt::Key_Z), "mnuUndo");
    mnuTakeBackImport = gridCommand(messages::takeBackImportCommand(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                                    "mnuTakeBackImport");
    Grid1->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(mnuUndo, &QAction::triggered, this, &History::mnuUndo_Click);
    connect(mnuTakeBackImport, &QAction::triggered, this, &History::mnuTakeBackImport_Click);

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

std::optional<changes::JournalEntry> History::currentEntry() const
{
    const QModelIndex current = Grid1->currentIndex();
    const int row = current.isValid() ? current.row() + 1 : Grid1->Row();
    if (row < 1 || row >= Grid1->Rows())
        return std::nullopt;
    changes::JournalEntry entry{Grid1->TextMatrix(row, 0), Grid1->TextMatrix(row, 1), Grid1->TextMatrix(row, 2), 0};
    if (entry.date.isEmpty() && entry.person.isEmpty() && entry.transaction.isEmpty())
        return std::nullopt;
    for (int above = 1; above < row; ++above) {
        if (Grid1->TextMatrix(above, 0) == entry.date && Grid1->TextMatrix(above, 1) == entry.person
            && Grid1->TextMatrix(above, 2) == entry.transaction)
            ++entry.occurrence;
    }
    return entry;
}

void History::refillBoth()
{
    FillHistory();
    if (roster::RosterForm *form = roster::RosterForm::of(m_module))
        form->FillRoster();
}

namespace {

QString doneText(const changes::UndoResult &result)
{
    const QString &name = result.fields[members::Name];
    if (result.action == changes::kAdded) {
        return result.newId ? messages::undoneDeleteNewId(name, result.id, result.formerId)
                            : messages::undoneDelete(name, result.id);
    }
    return result.action == changes::kChanged ? messages::undoneUpdate(name) : messages::undoneAdd(name);
}

QString refusal(const changes::UndoResult &result)
{
    using Kind = changes::UndoResult::Kind;
    switch (result.kind) {
    case Kind::NoTable: return messages::noKeptValuesTable();
    case Kind::NoKeptValues: return messages::noKeptValues();
    case Kind::AlreadyTakenBack: return messages::alreadyTakenBack();
    case Kind::OtherMember:
        return messages::undoOtherMember(result.kept[members::Name],
                                         result.stored ? (*result.stored)[members::Name] : QString(), result.id);
    case Kind::Gone: return messages::undoGone(result.id);
    case Kind::NewIdTaken: return messages::undoNewIdTaken(result.id);
    case Kind::Busy: return messages::databaseBusy();
    case Kind::ChangedSince:
    case Kind::Done: break;
    }
    return QString();
}

QString refusal(const changes::DetailsUndoResult &result)
{
    using Kind = changes::DetailsUndoResult::Kind;
    switch (result.kind) {
    case Kind::NoTable: return messages::noKeptDetailsTable();
    case Kind::NoKeptValues: return messages::noKeptValues();
    case Kind::AlreadyTakenBack: return messages::alreadyTakenBack();
    case Kind::AlreadyAsBefore: return messages::detailsAlreadyAsBefore(result.name);
    case Kind::OtherMember: return messages::undoOtherMember(result.name, result.storedName, result.id);
    case Kind::Gone: return messages::undoGone(result.id);
    case Kind::Busy: return messages::databaseBusy();
    case Kind::ChangedSince:
    case Kind::Done: break;
    }
    return QString();
}

QString doneText(const changes::DetailsUndoResult &result)
{
    return messages::undoneDetails(result.name);
}

QString changedQuestion(const changes::UndoResult &result)
{
    return messages::undoChangedQuestion(roster::changeLines(result.changes));
}

QString changedQuestion(const changes::DetailsUndoResult &result)
{
    return messages::undoDetailsChangedQuestion(roster::detailLines(result.differences));
}

// Takes a change back. When what the undo would overwrite changed since, the operator is
// shown how and decides, and is asked again whenever it changes once more while they read.
// Nothing when the operator said No.
template <typename Accepted, typename Undo>
auto undoAsking(Module1 &module, Undo undo) -> std::optional<decltype(undo(std::optional<Accepted>()))>
{
    std::optional<Accepted> accepted;
    for (;;) {
        auto result = undo(accepted);
        if (result.kind != decltype(result)::Kind::ChangedSince)
            return result;
        if (module.MsgBox(changedQuestion(result), MB_YESNO, messages::undoTitle()) != IDYES)
            return std::nullopt;
        accepted = result.stored;
    }
}

} // namespace

void History::mnuUndo_Click()
{
    m_module.guarded([&] {
        const std::optional<changes::JournalEntry> entry = currentEntry();
        if (!entry)
            return void(m_module.MsgBox(messages::pickARow()));
        if (m_module.MsgBox(messages::undoQuestion(entry->transaction), MB_YESNO, messages::undoTitle()) != IDYES)
            return;
        changes::ChangeStore store{m_module.connection, m_module.OperatorFirstName, m_module.today()};
        const auto say = [&](const auto &result, auto refill) {
            if (!result)
                return;
            if (!result->done())
                return void(m_module.MsgBox(refusal(*result)));
            refill();
            m_module.MsgBox(doneText(*result));
        };
        // The roster shows no details: after theirs only the journal is read again.
        if (changes::isDetailsJournalText(entry->transaction)) {
            say(undoAsking<changes::MemberDetails>(
                    m_module, [&](const auto &accepted) { return changes::undoDetails(store, *entry, accepted); }),
                [&] { FillHistory(); });
        } else {
            say(undoAsking<changes::MemberRow>(
                    m_module, [&](const auto &accepted) { return changes::undo(store, *entry, accepted); }),
                [&] { refillBoth(); });
        }
    });
}

void History::mnuTakeBackImport_Click()
{
    m_module.guarded([&] {
        const std::optional<changes::JournalEntry> entry = currentEntry();
        if (!entry)
            return void(m_module.MsgBox(messages::pickARow()));
        if (!changes::keepsValues(m_module.connection))
            return void(m_module.MsgBox(messages::noKeptValuesTable()));
        const std::optional<changes::KeptRow> kept = changes::keptRowOf(m_module.connection, *entry);
        if (!kept)
            return void(m_module.MsgBox(messages::noKeptValues()));
        import::takeBackImportAsked(m_module, kept->importMark, [this] { refillBoth();
    });
});
}

} // namespace kelvory::history
