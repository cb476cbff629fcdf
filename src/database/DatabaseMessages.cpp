#include "database/DatabaseMessages.h"

#include <QCoreApplication>

namespace kelvory::database::messages {

QString fileInUse(const QString &nativePath, int waitSeconds)
{
    return QStringLiteral("The club's database file %1 is in use by another program, which kept it locked for more "
                          "than %2 seconds. Nothing was changed. Close the other program, or wait until it has "
                          "finished, then start this program again.")
        .arg(nativePath)
        .arg(waitSeconds);
}

QString fileNotADatabase(const QString &nativePath)
{
    return QStringLiteral("The file %1 is not a Kelvory database, so the program cannot use it. Nothing was changed. "
                          "Ask whoever looks after this computer to put the club's database back in its place from a "
                          "copy.")
        .arg(nativePath);
}

QString fileDamaged(const QString &nativePath)
{
    return QStringLiteral("The club's database file %1 is damaged, so the program cannot use it. Nothing was "
                          "changed. Ask whoever looks after this computer to put the club's database back in its "
                          "place from a copy.")
        .arg(nativePath);
}

QString driverMissing(const QString &driver)
{
    return QStringLiteral("The %1 database driver of Qt is not installed.").arg(driver);
}

QString connectionNotOpen()
{
    return QStringLiteral("The connection to the database is not open.");
}

QString errorWithoutDescription()
{
    return QStringLiteral("The database reported an error without a description.");
}

QString nextRowUnreadable()
{
    return QStringLiteral("The next row could not be read.");
}

QString rowNotFetched()
{
    return QCoreApplication::translate("QSQLiteResult", "Unable to fetch row");
}

QString nullCharacter()
{
    return QStringLiteral("a null character");
}

QString noCharacter(char16_t code)
{
    return QStringLiteral("a code that is no character (U+%1)").arg(QString::number(code, 16).toUpper());
}

QString invisibleMarkAtStart()
{
    return QStringLiteral("an invisible character (U+FEFF) at its start");
}

QString brokenCharacter()
{
    return QStringLiteral("a broken character code");
}

QString backupNotMade(const QString &nativeFolder, const QString &reason)
{
    const QString crLf = QStringLiteral("\r\n");
    return QStringLiteral("Today's copy of the club's database could not be made in the folder") + crLf
        + nativeFolder + crLf + QStringLiteral("(%1).").arg(reason) + crLf + crLf
        + QStringLiteral("The program works as usual, and the earlier copies in that folder are kept. Free some "
                         "space on the disk, or let this program write in that folder, and the copy is made at "
                         "the next start.");
}

QString backupFolderCannotBeMade()
{
    return QStringLiteral("the folder cannot be made");
}

QString backupSourceNotSqlite()
{
    return QStringLiteral("the database is not an SQLite file");
}

QString backupCannotBeNamed()
{
    return QStringLiteral("the finished copy could not be given its name");
}

QString backupCannotBeClosed()
{
    return QStringLiteral("the copy could not be closed");
}

} // namespace kelvory::database::messages
