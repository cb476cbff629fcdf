#pragma once

#include <QString>

// Everything the database layer tells the operator, each named for what it says: why the
// embedded file cannot be used, what a driver left unsaid, what keeps a text from being
// stored, and why the day's backup could not be made.
namespace kelvory::database::messages {

// The embedded file, named with its path; the driver's own words follow in parentheses.
QString fileInUse(const QString &nativePath, int waitSeconds);
QString fileNotADatabase(const QString &nativePath);
QString fileDamaged(const QString &nativePath);

QString driverMissing(const QString &driver);
QString connectionNotOpen();
QString errorWithoutDescription();
QString nextRowUnreadable();
// What Qt's SQLite driver says of a row it cannot read, for the rows read past it.
QString rowNotFetched();

// What a text holds that keeps it from being stored, as a box's message names it.
QString nullCharacter();
QString noCharacter(char16_t code);
QString invisibleMarkAtStart();
QString brokenCharacter();

// The day's backup, and the reasons the message may give.
QString backupNotMade(const QString &nativeFolder, const QString &reason);
QString backupFolderCannotBeMade();
QString backupSourceNotSqlite();
QString backupCannotBeNamed();
QString backupCannotBeClosed();

} // namespace kelvory::database::messages
