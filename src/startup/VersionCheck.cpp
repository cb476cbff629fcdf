#include "startup/VersionCheck.h"

#include "database/Connection.h"
#include "database/DateText.h"
#include "database/Statements.h"
#include "startup/Module1.h"
#include "startup/NumberText.h"
#include "startup/StartupMessages.h"

namespace kelvory::version {

double requiredVersion(const QVariant &ver)
{
    // A NULL here would otherwise stop every operator at start until the web site's
    // table is mended; it reads as an empty text does, as 0.
    return readLeadingNumber(database::displayText(ver));
}

void versionCheck(Module1 &module, int programMajor, const std::function<void()> &fillRoster)
{
    database::ResultSet result = module.connection.query(database::sql::kSelectVersion);
    if (result.eof())
        return;
    if (static_cast<double>(programMajor) >= requiredVersion(result.field(0))) {
        fillRoster();
        return;
    }
    if (module.MsgBox(startup::messages::updateQuestion(), MB_YESNO, startup::messages::updateQuestionTitle())
        == IDNO) {
        fillRoster();
        return;
    }
    const QString page = module.deployment().updatePage;
    if (!module.services().shell->openUrl(QUrl(page))) {
        module.MsgBox(startup::messages::browserNotStarted(page));
    }
}

} // namespace kelvory::version
