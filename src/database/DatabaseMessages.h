#pragma once

#include "common/Messages.h"

#include <QCoreApplication>

namespace kelvory::database::messages {

#include "database/DatabaseMessages.def"

// What Qt's SQLite driver says of a row it cannot read, in its own words (and its
// translation), for the rows read past it.
inline QString rowNotFetched()
{
    return QCoreApplication::translate("QSQLiteResult", "Unable to fetch row");
}

} // namespace kelvory::database::messages
