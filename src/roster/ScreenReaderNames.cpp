#include "roster/ScreenReaderNames.h"

#include "database/MemberFields.h"
#include "roster/RosterLayout.h"
#include "roster/RosterForm.h"
#include "roster/RosterMessages.h"
#include "grid/FlexGrid.h"

namespace kelvory::roster {

using namespace grid;
using namespace members;

void nameForScreenReaders(RosterForm &form)
{
    // The captions stand beside the boxes as plain labels, which a screen reader does not
    // tie to a box of its own accord.
    for (int k = 0; k < kRosterColumnCount; ++k)
        form.Text1[k]->setAccessibleName(members::caption(k));
    form.Grid1->setAccessibleName(messages::rosterGridName());
    form.Grid1->setAccessibleDescription(messages::rosterGridDescription());
    form.NameCnt->setAccessibleName(messages::nameCounterName());
    form.NameCnt->setAccessibleDescription(messages::counterDescription(columnLayout(Name).counterLimit));
    form.Addcnt->setAccessibleName(messages::addressCounterName());
    form.Addcnt->setAccessibleDescription(messages::counterDescription(columnLayout(Address).counterLimit));
}

} // namespace kelvory::roster
