#include "roster/RestoreDialog.h"

#include "changes/PutBack.h"
#include "common/BusyCursor.h"
#include "common/Messages.h"
#include "database/DateText.h"
#include "grid/FlexGrid.h"
#include "roster/RosterForm.h"
#include "startup/DailyBackup.h"
#include "startup/Module1.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelvory::roster {

namespace messages {
#include "roster/RestoreMessages.def"
} // namespace messages

namespace {

QString dayText(const QDateTime &made)
{
    const QString day = database::shortDateText(made.date());
    return made.time() == QTime(0, 0) ? day : day + QLatin1Char(' ') + made.time().toString(QStringLiteral("HH:mm:ss"));
}

QString differenceText(const std::optional<database::CopyDifference> &difference)
{
    if (!difference)
        return messages::rosterUnreadable();
    if (difference->comeBack.empty() && difference->go.empty() && difference->change.empty())
        return messages::nothingChanges();
    QStringList lines{messages::changesSummary(qint64(difference->comeBack.size()), qint64(difference->go.size()),
                                               qint64(difference->change.size()))};
    auto list = [&](const QString &heading, const std::vector<database::StoredMember> &members) {
        if (members.empty())
            return;
        lines << heading;
        for (const database::StoredMember &member : members)
            lines << messages::memberLine(member[members::Name], member[members::RecordId]);
    };
    list(messages::comeBackHeading(), difference->comeBack);
    list(messages::goHeading(), difference->go);
    std::vector<database::StoredMember> changed;
    for (const auto &change : difference->change)
        changed.push_back(change.second);
    list(messages::changeHeading(), changed);
    return lines.join(QLatin1Char('\n'));
}

} // namespace

RestoreDialog::RestoreDialog(Module1 &module, std::function<void()> refillRoster, QWidget *parent)
    : QDialog(parent), m_module(module), m_refillRoster(std::move(refillRoster)),
      m_copies(database::goodCopies(backup::backupsFolder(module)))
{
    setObjectName(QStringLiteral("RestoreDialog"));
    setWindowTitle(messages::restoreTitle());
    resize(640, 480);

    lstCopies = new QListWidget(this);
    lstCopies->setObjectName(QStringLiteral("lstCopies"));
    lstCopies->setAccessibleName(messages::copiesName());
    for (const database::GoodCopy &copy : m_copies)
        lstCopies->addItem(messages::copyLine(dayText(copy.made), copy.members));
    auto *copiesCaption = new QLabel(messages::copiesCaption(), this);
    copiesCaption->setBuddy(lstCopies);

    txtChanges = new QPlainTextEdit(this);
    txtChanges->setObjectName(QStringLiteral("txtChanges"));
    txtChanges->setReadOnly(true);
    txtChanges->setAccessibleName(messages::changesName());
    auto *changesCaption = new QLabel(messages::changesCaption(), this);
    changesCaption->setBuddy(txtChanges);

    auto *buttons = new QDialogButtonBox(this);
    cmdPutBack = buttons->addButton(messages::putBackButton(), QDialogButtonBox::ActionRole);
    cmdClose = buttons->addButton(messages::closeButton(), QDialogButtonBox::RejectRole);
    connect(cmdPutBack, &QPushButton::clicked, this, &RestoreDialog::cmdPutBack_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(lstCopies, &QListWidget::currentRowChanged, this, &RestoreDialog::lstCopies_Change);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(copiesCaption);
    layout->addWidget(lstCopies, 1);
    layout->addWidget(changesCaption);
    layout->addWidget(txtChanges, 2);
    layout->addWidget(buttons);

    lstCopies->setFocus(Qt::OtherFocusReason);
    if (!m_copies.empty())
        lstCopies->setCurrentRow(0);
    cmdPutBack->setEnabled(!m_copies.empty());
}

void RestoreDialog::lstCopies_Change()
{
    const int row = lstCopies->currentRow();
    if (row < 0 || row >= int(m_copies.size()))
        return txtChanges->clear();
    m_module.guarded([&] {
        BusyCursor busy;
        txtChanges->setPlainText(
            differenceText(database::differenceTo(m_module.connection, m_copies[std::size_t(row)].file)));
    });
}

void RestoreDialog::cmdPutBack_Click()
{
    const int row = lstCopies->currentRow();
    if (row < 0 || row >= int(m_copies.size()))
        return;
    const database::GoodCopy &copy = m_copies[std::size_t(row)];
    if (m_module.MsgBox(messages::putBackQuestion(dayText(copy.made)), MB_YESNO | MB_DEFBUTTON2,
                        messages::restoreTitle())
        != IDYES)
        return;
    bool done = false;
    m_module.guarded([&] {
        changes::PutBackResult result;
        {
            BusyCursor busy;
            changes::ChangeStore store{m_module.connection, m_module.OperatorFirstName, m_module.today()};
            result = changes::putBack(store, copy.file, backup::backupsFolder(m_module));
        }
        using Kind = database::RestoreOutcome::Kind;
        const QString file = QDir::toNativeSeparators(copy.file);
        switch (result.outcome.kind) {
        case Kind::Done: break;
        case Kind::NotEmbedded: return void(m_module.MsgBox(messages::onlyEmbedded()));
        case Kind::FileNotKept:
            return void(m_module.MsgBox(messages::putBackFailed(messages::fileNotKept(), result.outcome.reason),
                                        MB_OK | MB_ICONERROR));
        case Kind::CopyNotRead:
            return void(m_module.MsgBox(
                messages::putBackFailed(file, messages::copyNotRead() + QStringLiteral(": ") + result.outcome.reason),
                MB_OK | MB_ICONERROR));
        case Kind::Failed:
            return void(
                m_module.MsgBox(messages::putBackFailed(
                                    file, messages::copyNotPutBack() + QStringLiteral(": ") + result.outcome.reason),
                                MB_OK | MB_ICONERROR));
        }
        m_refillRoster();
        const database::CopyDifference difference = result.difference.value_or(database::CopyDifference{});
        m_module.MsgBox(messages::putBackDone(dayText(copy.made), qint64(difference.comeBack.size()),
                                              qint64(difference.go.size()), qint64(difference.change.size()),
                                              QDir::toNativeSeparators(result.outcome.keptFile)));
        done = true;
    });
    if (done)
        accept();
}

void openPutBack(Module1 &module, RosterForm &form)
{
    module.guarded([&] {
        if (module.connection.backend() != database::Backend::Embedded)
            return void(module.MsgBox(messages::onlyEmbedded()));
        auto *dialog = new RestoreDialog(
            module, [&form] { form.FillRoster(); }, &form);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        if (dialog->lstCopies->count() == 0) {
            delete dialog;
            return void(module.MsgBox(messages::noGoodCopy(QDir::toNativeSeparators(backup::backupsFolder(module)))));
        }
        dialog->open();
    });
}

void addPutBackCommand(RosterForm &form, Module1 &module)
{
    auto *mnuPutBack = new QAction(messages::putBackCommand(), &form);
    mnuPutBack->setObjectName(QStringLiteral("mnuPutBack"));
    mnuPutBack->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    mnuPutBack->setShortcutContext(Qt::WindowShortcut);
    form.Grid1->addAction(mnuPutBack);
    QObject::connect(mnuPutBack, &QAction::triggered, &form, [&form, &module] { openPutBack(module, form); });
}

} // namespace kelvory::roster
