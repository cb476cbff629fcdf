#include "roster/RosterForm.h"

#include "changes/MemberChanges.h"
#include "common/BusyCursor.h"
#include "database/MemberFields.h"
#include "roster/RosterLayout.h"
#include "database/Statements.h"
#include "import/ImportDialog.h"
#include "import/ImportMessages.h"
#include "output/Export.h"
#include "output/LabelsDialog.h"
#include "output/ListsDialog.h"
#include "output/YearMessages.h"
#include "output/OutputMessages.h"
#include "output/Printout.h"
#include "roster/FindByTyping.h"
#include "roster/FlexGridSource.h"
#include "roster/RestoreDialog.h"
#include "roster/ChangeMessages.h"
#include "roster/ChangeReport.h"
#include "roster/DetailsDialog.h"
#include "roster/DetailsMessages.h"
#include "roster/ScreenReaderNames.h"
#include "grid/CommandButton.h"
#include "grid/FlexGrid.h"
#include "grid/Fonts.h"
#include "grid/GridFill.h"
#include "grid/Units.h"
#include "startup/Admission.h"
#include "startup/DailyBackup.h"
#include "startup/Module1.h"
#include "startup/StartupMessages.h"
#include "startup/VersionCheck.h"

#include <QAction>
#include <QDir>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QScreen>
#include <QTextBoundaryFinder>

#include <limits>

namespace kelvory::roster {

using namespace grid;
using namespace members;

namespace {

constexpr std::uint32_t kDarkGreen = 0x00008000;
constexpr std::uint32_t kWhite = 0x00FFFFFF;
constexpr std::uint32_t kLightGreen = 0x00C0FFC0;
constexpr std::uint32_t kLightRed = 0x008080FF;
constexpr std::uint32_t kGrey = 0x00C0C0C0;
constexpr std::uint32_t kRed = 0x000000FF;

constexpr int kClientWidth = 12915;
constexpr int kClientHeight = 9900;

QFont msSansSerif()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8.25);
    return font;
}

void setTextColor(QWidget *widget, QColor color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

// Counted as the operator sees them: a letter with its accents, or an emoji, is one.
int visibleCharacters(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

struct LabelPlacing
{
    const char *text = nullptr;
    Placing place;
};

} // namespace

RosterForm *RosterForm::of(const Module1 &module)
{
    return qobject_cast<RosterForm *>(module.rosterWindow());
}

RosterForm::RosterForm(Module1 &module) : QWidget(nullptr), m_module(module)
{
    setObjectName(QStringLiteral("RosterForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Calvessa Senior Citizens Cluub Members"));
    setWindowIcon(QIcon(picture(QStringLiteral("kelvory"), 32)));
    setFont(timesNewRoman(9.75));
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Window, bgrColor(kDarkGreen));
    palette.setColor(QPalette::WindowText, bgrColor(kWhite));
    setPalette(palette);
    setAutoFillBackground(true);

    buildControls();
    setTabOrderByIndex();
    addGridCommands();
    nameForScreenReaders(*this);
    // Labels hold their text at their top edge, so that a face taller than its label
    // (18 point in 345 twips) loses nothing above and as little as possible below.
    for (QLabel *label : findChildren<QLabel *>())
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    const QSize client = twipsRect(0, 0, kClientWidth, kClientHeight, logicalDpiX()).size();
    setFixedSize(client);
    if (const QScreen *screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

RosterForm::~RosterForm() = default;

void RosterForm::buildControls()
{
    const QPalette standard = QApplication::palette();

    Command4 = new CommandButton(QStringLiteral("EXIT"), bgrColor(kWhite), this);
    Command4->setFont(msSansSerif());
    Command4->setPicture(QStringLiteral("exit"), 32);
    placeInTwips(Command4, {150, 120, 885, 765});

    Label8 = new QLabel(QStringLiteral("Calvessa Senior Citizens Club "), this);
    Label8->setFont(timesNewRoman(21.75, true, true));
    placeInTwips(Label8, {1530, 60, 6945, 525});

    Label2 = new QLabel(QLatin1Char(' ') + m_module.deployment().title, this);
    Label2->setFont(timesNewRoman(18, true, true));
    placeInTwips(Label2, {2940, 570, 3705, 345});

    auto optionButton = [&](const QString &text, int top) {
        auto *option = new QRadioButton(text, this);
        QPalette palette = standard;
        palette.setColor(QPalette::Window, bgrColor(kWhite));
        palette.setColor(QPalette::WindowText, Qt::black);
        option->setPalette(palette);
        // A button fills with its Button colour unless told to use its Window colour.
        option->setBackgroundRole(QPalette::Window);
        option->setAutoFillBackground(true);
        placeInTwips(option, {8400, top, 1245, 315});
        return option;
    };
    Option1 = optionButton(QStringLiteral("With Lines"), 660);
    Option2 = optionButton(QStringLiteral("No Lines"), 960);
    Option1->setChecked(true);

    Command5 = new CommandButton(QStringLiteral("PRINT"), bgrColor(kWhite), this);
    Command5->setPicture(QStringLiteral("print"), 56);
    placeInTwips(Command5, {9690, 60, 1515, 1245});

    // "Xcel" is the button's own spelling.
    Command12 = new CommandButton(QStringLiteral("Xcel Export"), bgrColor(kWhite), this);
    Command12->setFont(timesNewRoman(12, true));
    Command12->setPicture(QStringLiteral("export"), 67);
    placeInTwips(Command12, {11220, 60, 1455, 1245});

    Grid1 = new FlexGrid(6, 2, this);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    Grid1->setPalette(standard);
    Grid1->setFont(timesNewRoman(12));
    Grid1->verticalHeader()->setDefaultSectionSize(Grid1->fontMetrics().height() + 4);
    placeInTwips(Grid1, {420, 1350, 12285, 5865});

    Command8 = new CommandButton(QStringLiteral("Refresh"), bgrColor(kWhite), this);
    placeInTwips(Command8, {11340, 7230, 1035, 285});

    // Label1 holds the captions of the edit boxes, which come with their columns, and three hints.
    LabelPlacing labels[9] = {
        {},
        {},
        {},
        {},
        {},
        {"Click on a row to update", {1380, 9120, 2985, 315}},
        {},
        {"Kelvory \xC2\xB7 made for the club by its volunteers", {8430, 9600, 3795, 315}},
        // "priint" is the window's own spelling, kept as the club's volunteers know it.
        {"If the number of characters turns red it will force 2 lines on priint out", {1350, 9600, 5625, 255}},
    };
    QString captions[9];
    for (int k = 0; k < kRosterColumnCount; ++k) {
        labels[columnLayout(k).captionLabel].place = columnLayout(k).captionPlace;
        captions[columnLayout(k).captionLabel] = members::caption(k);
    }
    for (int i = 0; i < 9; ++i) {
        Label1[i] = new QLabel(labels[i].text ? QString::fromUtf8(labels[i].text) : captions[i], this);
        Label1[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        Label1[i]->setFont(timesNewRoman(14.25));
        setTextColor(Label1[i], inactiveBorderColor());
        placeInTwips(Label1[i], labels[i].place);
    }
    Label1[7]->setFont(timesNewRoman(9));
    Label1[8]->setFont(font());
    QPalette hint = Label1[8]->palette();
    hint.setColor(QPalette::WindowText, bgrColor(kRed));
    hint.setColor(QPalette::Window, bgrColor(kLightGreen));
    Label1[8]->setPalette(hint);
    Label1[8]->setAutoFillBackground(true);

    auto counter = [&](members::Field column) {
        auto *label = new QLabel(this);
        label->setFont(timesNewRoman(14.25, true));
        placeInTwips(label, columnLayout(column).counterPlace);
        return label;
    };
    NameCnt = counter(Name);
    NameCnt->setObjectName(QStringLiteral("NameCnt"));
    Addcnt = counter(Address);
    Addcnt->setObjectName(QStringLiteral("Addcnt"));

    for (int k = 0; k < kRosterColumnCount; ++k) {
        Text1[k] = new QLineEdit(this);
        Text1[k]->setObjectName(QStringLiteral("Text1_%1").arg(k));
        Text1[k]->setPalette(standard);
        // No length limit: a longer text stored by the web site must survive a pick and an Update.
        Text1[k]->setMaxLength(std::numeric_limits<int>::max());
        placeInTwips(Text1[k], columnLayout(k).box);
        connect(Text1[k], &QLineEdit::textChanged, this, [this, k] { Text1_Change(k); });
    }
    // The record id comes from the grid or from Add New, never from the keyboard.
    Text1[RecordId]->setReadOnly(true);
    QPalette grey = standard;
    grey.setColor(QPalette::Base, bgrColor(kGrey));
    Text1[RecordId]->setPalette(grey);

    Command1 = new CommandButton(QStringLiteral("CLEAR"), bgrColor(kWhite), this);
    Command1->setFont(msSansSerif());
    Command1->setPicture(QStringLiteral("clear"), 60);
    placeInTwips(Command1, {11550, 8010, 1095, 1035});

    Command3 = new CommandButton(QStringLiteral("Add New"), bgrColor(kLightGreen), this);
    Command3->setFont(timesNewRoman(14.25));
    placeInTwips(Command3, {240, 8430, 1395, 525});

    Command2 = new CommandButton(QStringLiteral("Update"), bgrColor(kLightGreen), this);
    Command2->setFont(timesNewRoman(14.25));
    placeInTwips(Command2, {2160, 8430, 1245, 525});

    Command6 = new CommandButton(QStringLiteral("DELETE"), bgrColor(kLightRed), this);
    Command6->setFont(timesNewRoman(14.25));
    placeInTwips(Command6, {4800, 8430, 1485, 525});

    Command7 = new CommandButton(QStringLiteral("Transaction History"), bgrColor(kWhite), this);
    placeInTwips(Command7, {10590, 9180, 2025, 375});

    Label3 = new QLabel(QStringLiteral("Label3"), this);
    placeInTwips(Label3, {120, 9600, 1275, 255});

    const std::pair<CommandButton *, const char *> names[] = {
        {Command1, "Command1"}, {Command2, "Command2"}, {Command3, "Command3"},
        {Command4, "Command4"}, {Command5, "Command5"}, {Command6, "Command6"},
        {Command7, "Command7"}, {Command8, "Command8"}, {Command12, "Command12"},
    };
    for (const auto &[button, name] : names)
        button->setObjectName(QString::fromLatin1(name));

    connect(Grid1, &FlexGrid::Click, this, &RosterForm::Grid1_Click);
    connect(Command1, &QToolButton::clicked, this, &RosterForm::Command1_Click);
    connect(Command2, &QToolButton::clicked, this, &RosterForm::Command2_Click);
    connect(Command3, &QToolButton::clicked, this, &RosterForm::Command3_Click);
    connect(Command4, &QToolButton::clicked, this, &RosterForm::Command4_Click);
    connect(Command5, &QToolButton::clicked, this, &RosterForm::Command5_Click);
    connect(Command6, &QToolButton::clicked, this, &RosterForm::Command6_Click);
    connect(Command7, &QToolButton::clicked, this, &RosterForm::Command7_Click);
    connect(Command8, &QToolButton::clicked, this, &RosterForm::Command8_Click);
    connect(Command12, &QToolButton::clicked, this, &RosterForm::Command12_Click);
}

void RosterForm::setTabOrderByIndex()
{
    // In tab index order; labels and lines take no focus.
    QWidget *const chain[] = {Command4, Command12, Grid1,    Command1, Command2, Command3,
                              Text1[0], Text1[1],  Text1[2], Text1[3], Text1[4], Text1[5],
                              Command5, Command6,  Option1,  Option2,  Command7, Command8};
    for (std::size_t i = 1; i < std::size(chain); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    Command4->setFocus(Qt::OtherFocusReason);
}

void RosterForm::addGridCommands()
{
    auto *find = new FindByTyping(*Grid1, Name, this);
    connect(find, &FindByTyping::Picked, this, &RosterForm::Grid1_Click);

    auto *mnuMailingLabels = new QAction(output::messages::printMailingLabelsCommand(), this);
    mnuMailingLabels->setObjectName(QStringLiteral("mnuMailingLabels"));
    mnuMailingLabels->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    mnuMailingLabels->setShortcutContext(Qt::WindowShortcut);
    Grid1->addAction(mnuMailingLabels);
    Grid1->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(mnuMailingLabels, &QAction::triggered, this, &RosterForm::mnuMailingLabels_Click);

    auto *mnuImportMembers = new QAction(import::messages::importMembersCommand(), this);
    mnuImportMembers->setObjectName(QStringLiteral("mnuImportMembers"));
    mnuImportMembers->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    mnuImportMembers->setShortcutContext(Qt::WindowShortcut);
    Grid1->addAction(mnuImportMembers);
    connect(mnuImportMembers, &QAction::triggered, this, &RosterForm::mnuImportMembers_Click);
    addPutBackCommand(*this, m_module);

    auto *mnuMemberDetails = new QAction(messages::memberDetailsCommand(), this);
    mnuMemberDetails->setObjectName(QStringLiteral("mnuMemberDetails"));
    mnuMemberDetails->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    mnuMemberDetails->setShortcutContext(Qt::WindowShortcut);
    Grid1->addAction(mnuMemberDetails);
    connect(mnuMemberDetails, &QAction::triggered, this, &RosterForm::mnuMemberDetails_Click);
    auto *mnuLists = new QAction(output::messages::listsCommand(), this);
    mnuLists->setObjectName(QStringLiteral("mnuLists"));
    mnuLists->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    mnuLists->setShortcutContext(Qt::WindowShortcut);
    Grid1->addAction(mnuLists);
    connect(mnuLists, &QAction::triggered, this, &RosterForm::mnuLists_Click);
    // The first click of the two has picked the row.
    connect(Grid1, &QAbstractItemView::doubleClicked, this, &RosterForm::mnuMemberDetails_Click);
}

void RosterForm::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QPen(bgrColor(kLightGreen), 4));
    const int dpi = logicalDpiX();
    painter.drawLine(twipsToPixels(210, dpi), twipsToPixels(8250, dpi), twipsToPixels(11250, dpi),
                     twipsToPixels(8250, dpi)); // Line1
    painter.drawLine(twipsToPixels(210, dpi), twipsToPixels(9120, dpi), twipsToPixels(12540, dpi),
                     twipsToPixels(9120, dpi)); // Line2
}

void RosterForm::Form_Load()
{
    BusyCursor busy;
    AdmitOperator();

    const Deployment &d = m_module.deployment();
    Label3->setText(QStringLiteral("Version %1.%2.%3").arg(d.versionMajor).arg(d.versionMinor).arg(d.versionRevision));

    for (int c = 0; c < kRosterColumnCount; ++c)
        Grid1->setColWidth(c, columnLayout(c).width);
    for (int c = 0; c < kRosterColumnCount; ++c) {
        if (const char *heading = columnLayout(c).heading)
            Grid1->setTextMatrix(0, c, QString::fromLatin1(heading));
    }

    version::versionCheck(m_module, d.versionMajor, [this] { FillRoster(); });
}

void RosterForm::AdmitOperator()
{
    namespace said = startup::messages;
    using Known = admission::KnownOperator::Kind;
    const admission::KnownOperator known = admission::checkKnownOperator(m_module);
    switch (known.kind) {
    case Known::Admitted: m_module.OperatorFirstName = known.name; return;
    case Known::Barred:
        m_module.OperatorFirstName = known.name;
        m_module.MsgBox(said::notAuthorized(), MB_OK | MB_ICONERROR);
        m_module.End(0);
    case Known::UserFileUnusable:
        m_module.MsgBox(said::userFileUnusable(QDir::toNativeSeparators(m_module.userFilePath()), known.why),
                        MB_OK | MB_ICONERROR);
        m_module.End(1);
    case Known::FirstRun: break;
    }

    for (;;) {
        const QString answer = m_module.InputBox(said::firstRunPrompt()).value_or(QString());
        const admission::FirstNameCheck check = admission::checkFirstName(answer);
        switch (check.kind) {
        case admission::FirstNameCheck::Kind::Usable:
            m_module.OperatorFirstName = answer;
            admission::registerOperator(m_module, answer);
            return;
        case admission::FirstNameCheck::Kind::Empty:
            m_module.MsgBox(said::noFirstName(), MB_OK | MB_ICONERROR);
            m_module.End(0);
        case admission::FirstNameCheck::Kind::Unstorable:
            m_module.MsgBox(said::firstNameUnstorable(check.character), MB_OK | MB_ICONERROR);
            m_module.End(0);
        case admission::FirstNameCheck::Kind::NotReadBack:
            // Nothing is written yet: the operator types the name again.
            m_module.MsgBox(said::firstNameUnreadable(), MB_OK | MB_ICONERROR);
            break;
        }
    }
}

void RosterForm::FillRoster()
{
    GridFillOptions options;
    options.alignedColumns = kMemberFieldCount; // the hidden record id column is never aligned
    const GridFillResult filled =
        fillGridFromQuery(m_module.connection, database::sql::kSelectMembers, *Grid1, options);
    // A roster shown in part would pass for the whole of it, and print, export and labels with it.
    if (filled.unreadRow) {
        const bool embedded = m_module.connection.backend() == database::Backend::Embedded;
        m_module.MsgBox(partialRosterMessage(filled.rows, *filled.unreadRow,
                                             embedded ? m_module.databaseFilePath() : QString(),
                                             backup::backupsFolder(m_module)),
                        MB_OK | MB_ICONERROR);
    }
}

QString RosterForm::boxText(int index) const
{
    return Text1.at(index)->text();
}

void RosterForm::setBoxText(int index, const QString &text)
{
    Text1.at(index)->setText(text);
}

changes::MemberEdit RosterForm::edit() const
{
    changes::MemberEdit edit;
    for (int k = 0; k < kRosterColumnCount; ++k)
        edit.boxes[k] = Text1[k]->text();
    edit.picked = m_picked;
    return edit;
}

changes::ChangeStore RosterForm::changeStore() const
{
    return {m_module.connection, m_module.OperatorFirstName, m_module.today()};
}

void RosterForm::sayRefusal(const changes::ChangeResult &result, const QString &command)
{
    using Kind = changes::ChangeResult::Kind;
    switch (result.kind) {
    case Kind::ChangedElsewhere:
        // The operator now sees the other change: a second Update stores the boxes over it.
        m_picked = result.stored;
        FillRoster();
        break;
    case Kind::OtherMember:
    case Kind::Gone:
        // The picked member stays as it was, so that no second press acts on another member.
        FillRoster();
        break;
    default: break;
    }
    m_module.MsgBox(refusalText(result, command));
}

void RosterForm::Grid1_Click()
{
    m_module.guarded([&] {
        changes::MemberRow picked;
        for (int k = 0; k < kRosterColumnCount; ++k) {
            Grid1->setCol(k);
            Text1[k]->setText(Grid1->TextMatrix(Grid1->Row(), Grid1->Col()));
            picked[k] = Text1[k]->text();
        }
        m_picked = picked;
    });
}

void RosterForm::Text1_Change(int Index)
{
    QLabel *counterLabel = Index == Name ? NameCnt : (Index == Address ? Addcnt : nullptr);
    if (!counterLabel)
        return;
    const int limit = columnLayout(Index).counterLimit;
    const int count = visibleCharacters(Text1[Index]->text());
    counterLabel->setText(QString::number(count));
    setTextColor(counterLabel, bgrColor(count > limit ? kRed : kWhite));
}

void RosterForm::Command1_Click()
{
    for (QLineEdit *box : Text1)
        box->setText(QString());
    m_picked.reset();
}

void RosterForm::whileBusy(const std::function<void()> &work)
{
    m_module.guarded([&] {
        BusyCursor busy;
        work();
    });
}

void RosterForm::Command2_Click()
{
    whileBusy([&] {
        changes::ChangeStore store = changeStore();
        const changes::ChangeResult result = changes::update(store, edit());
        if (!result.done())
            return sayRefusal(result, QStringLiteral("Update"));
        if (result.stored)
            m_picked = result.stored;
        FillRoster();
        m_module.MsgBox(messages::recordUpdated());
    });
}

void RosterForm::Command3_Click()
{
    whileBusy([&] {
        changes::ChangeStore store = changeStore();
        const changes::ChangeResult result = changes::add(store, edit());
        if (!result.done())
            return sayRefusal(result, QStringLiteral("Add New"));
        Text1[RecordId]->setText(result.id);
        // An Update right after it starts from the new member as stored.
        m_picked = result.stored;
        FillRoster();
        m_module.MsgBox(messages::recordAdded());
    });
}

void RosterForm::Command4_Click()
{
    close();
}

void RosterForm::Command5_Click()
{
    m_module.guarded([&] {
        const output::PrintOutcome printed = output::PrintRoster(
            m_module.services().printers, m_module.deployment().title, FlexGridSource(*Grid1), Option1->isChecked());
        switch (printed.kind) {
        case output::PrintOutcome::Kind::Sent: m_module.MsgBox(output::messages::dataSentToPrinter(), MB_OK); break;
        case output::PrintOutcome::Kind::NoDefaultPrinter:
            m_module.MsgBox(output::messages::noDefaultPrinter(), MB_OK | MB_ICONERROR);
            break;
        case output::PrintOutcome::Kind::NotPrinted: m_module.MsgBox(printed.problem, MB_OK | MB_ICONERROR); break;
        }
    });
}

void RosterForm::Command6_Click()
{
    whileBusy([&] {
        const changes::ChangeResult ready = changes::checkRemove(edit());
        if (!ready.done())
            return sayRefusal(ready, QStringLiteral("DELETE"));
        if (m_module.MsgBox(messages::deleteQuestion(Text1[Name]->text()), MB_YESNO, messages::deleteQuestionTitle())
            != IDYES)
            return;
        changes::ChangeStore store = changeStore();
        for (;;) {
            const changes::ChangeResult result = changes::remove(store, edit());
            if (result.kind == changes::ChangeResult::Kind::ChangedElsewhere) {
                // Asked again, naming the other change; a Yes deletes the member as now stored.
                m_picked = result.stored;
                FillRoster();
                if (m_module.MsgBox(messages::deleteChangedQuestion(changeLines(result.changes)), MB_YESNO,
                                    messages::deleteQuestionTitle())
                    != IDYES)
                    return;
                continue;
            }
            if (!result.done())
                return sayRefusal(result, QStringLiteral("DELETE"));
            FillRoster();
            m_module.MsgBox(messages::recordDeleted());
            return;
        }
    });
}

void RosterForm::Command7_Click()
{
    whileBusy([&] { m_module.showHistory(); });
}

void RosterForm::Command8_Click()
{
    whileBusy([&] { FillRoster(); });
}

void RosterForm::Command12_Click()
{
    m_module.guarded([&] {
        const QString path = m_module.exportFilePath();
        const QString shownPath = QDir::toNativeSeparators(path);
        const output::ExportOutcome written = output::exportRoster(path, FlexGridSource(*Grid1));
        if (written.kind == output::ExportOutcome::Kind::NotWritten) {
            m_module.MsgBox(output::messages::rosterNotExported(shownPath, written.problem), MB_OK | MB_ICONERROR);
            return;
        }
        if (m_module.MsgBox(output::messages::dataIsReady(shownPath), MB_OKCANCEL) == IDCANCEL)
            return;
        // Without a program for the file the request comes back refused: the operator is
        // told where the file is rather than left waiting for a spreadsheet.
        if (!m_module.services().shell->openFile(path))
            m_module.MsgBox(output::messages::exportNotOpened(shownPath), MB_OK);
    });
}

void RosterForm::mnuMailingLabels_Click()
{
    m_module.guarded([&] {
        output::openMailingLabels(m_module, FlexGridSource(*Grid1), Text1[Name]->text(), Text1[Address]->text(),
                                  Text1[City]->text(), this);
    });
}

void RosterForm::mnuMemberDetails_Click()
{
    whileBusy([&] {
        openMemberDetails(m_module, m_picked ? (*m_picked)[RecordId] : QString(),
                          m_picked ? (*m_picked)[Name] : QString(), this);
    });
}

void RosterForm::mnuLists_Click()
{
    whileBusy([&] { output::openLists(m_module, FlexGridSource(*Grid1), this); });
}

void RosterForm::mnuImportMembers_Click()
{
    m_module.guarded(
        [&] { import::openImportMembers(m_module, [this] { FillRoster();
        },
        this);
});
}

} // namespace kelvory::roster
