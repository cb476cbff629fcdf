#include "ProgramWindows.h"
#include "deployment.h"
#include "output/PrinterQueue.h"
#include "grid/Fonts.h"
#include "startup/DataFolder.h"
#include "startup/InstanceGuard.h"
#include "startup/Module1.h"
#include "version.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    using namespace kelvory;
    const QString title = QString::fromUtf8(built::kTitle);
    QApplication::setApplicationName(title);
    grid::installFontSubstitutes();

    Deployment deployment;
    deployment.title = title;
    deployment.server = {QString::fromUtf8(built::kServer), QString::fromUtf8(built::kDatabase),
                         QString::fromUtf8(built::kUid), QString::fromUtf8(built::kPwd),
                         QString::fromUtf8(built::kOdbcDriver)};
    deployment.updatePage = QString::fromUtf8(built::kUpdatePage);
    // Every file of the program is found from this one folder.
    constexpr DataFolderKind kind = built::kFilesInUserFolder ? DataFolderKind::User : DataFolderKind::Program;
    deployment.programFolder = dataFolder(kind, QCoreApplication::applicationDirPath());
    deployment.lockFilePath = userLockFilePath(title, deployment.programFolder);
    deployment.versionMajor = kVersionMajor;
    deployment.versionMinor = kVersionMinor;
    deployment.versionRevision = kVersionRevision;

    QtDialogs dialogs;
    if (const auto unusable = prepareDataFolder(kind, deployment.programFolder)) {
        dialogs.messageBox(*unusable, MB_OK | MB_ICONERROR, title);
        return 1;
    }
    DesktopShell shell;
    output::SystemPrinterQueue printers;
    ImmediateEnd processEnd;
    ProgramWindows windows;
    Module1 module(deployment, {&dialogs, &shell, &printers, &processEnd, nullptr, &windows});
    if (!module.Main())
        return 1;
    return QApplication::exec();
}
