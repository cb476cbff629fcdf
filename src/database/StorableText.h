#pragma once

#include <QString>
#include <QStringView>

namespace kelvory::database {

// What keeps a text from being stored exactly on every backend the club may use: a null
// character (PostgreSQL refuses it, SQL Server's varchar cuts the text there) or a
// broken UTF-16 surrogate (no encoding on the way to the server can carry it), U+FFFE or
// U+FFFF, or U+FEFF at the start (the drivers do not give these back as stored). Returns
// an empty text when the text can be stored, else a description for the operator.
QString unstorableCharacter(QStringView text);

} // namespace kelvory::database
