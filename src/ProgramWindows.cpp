#include "ProgramWindows.h"

#include "history/History.h"
#include "roster/RosterForm.h"

namespace kelvory {

QWidget *ProgramWindows::makeRosterForm(Module1 &module)
{
    return new roster::RosterForm(module);
}

QWidget *ProgramWindows::makeHistory(Module1 &module)
{
    return new history::History(module);
}

void ProgramWindows::load(QWidget &window)
{
    if (auto *form = qobject_cast<roster::RosterForm *>(&window))
        form->Form_Load();
    else if (auto *history = qobject_cast<history::History *>(&window))
        history->Form_Load();
}

} // namespace kelvory
