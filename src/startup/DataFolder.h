#pragma once

#include <QString>

#include <optional>

namespace kelvory {

// Where a copy of the program keeps User.txt, Kelvory.db, ExcelExport.csv and Backups/,
// chosen when the program is built.
enum class DataFolderKind {
    // Beside the executable: a copy run where it was built, or a portable copy.
    Program,
    // The user's own data folder (Qt's AppLocalDataLocation: ~/.local/share/<application name>
    // on Linux, %LOCALAPPDATA%\<application name> on Windows, which never roams): an installed copy, whose
    // executable's folder belongs to the system and is shared by every user.
    User,
};

QString dataFolder(DataFolderKind kind, const QString &executableFolder);

// Makes the user's data folder at the first start, open to that user alone: it holds the
// members' addresses and phone numbers. A folder that is already there keeps its files,
// but what others could reach is closed to them: the folder and Backups/ 0700, the
// database, its journals and its copies 0600. What the program makes later is its
// user's alone as well.
// Returns the message for the operator when the folder cannot be made or written to. The
// program's folder is taken as it is, as it always was: a copy may run from a folder it
// can only read, until it has to write there.
std::optional<QString> prepareDataFolder(DataFolderKind kind, const QString &folder);

} // namespace kelvory
