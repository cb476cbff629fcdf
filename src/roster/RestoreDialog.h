#pragma once

#include "database/Restore.h"

#include <QDialog>

#include <functional>
#include <vector>

class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace kelvory {
class Module1;
}
namespace kelvory::roster {

class RosterForm;

// Lists the good copies in the Backups folder, with their day and member count, shows
// what putting the chosen one back would change, and puts it back.
class RestoreDialog : public QDialog
{
    Q_OBJECT
public:
    RestoreDialog(Module1 &module, std::function<void()> refillRoster, QWidget *parent);

    QListWidget *lstCopies;
    QPlainTextEdit *txtChanges;
    QPushButton *cmdPutBack;
    QPushButton *cmdClose;

public Q_SLOTS:
    void lstCopies_Change();
    void cmdPutBack_Click();

private:
    Module1 &m_module;
    std::function<void()> m_refillRoster;
    std::vector<database::GoodCopy> m_copies;
};

// The grid's menu item "Put a Backup Back..." (also Ctrl+Shift+R) on the main window.
void addPutBackCommand(RosterForm &form, Module1 &module);
// Opens the dialog; on a server, or without a good copy, says why instead.
void openPutBack(Module1 &module, RosterForm &form);

} // namespace kelvory::roster
