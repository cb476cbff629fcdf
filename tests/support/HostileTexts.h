#pragma once

#include <QList>
#include <QString>

namespace kelvory::test {

struct HostileText
{
    const char *name;
    QString text;
    // For a text the program refuses: how its message names what is wrong.
    QString problem;
};

// Texts that must be stored exactly as typed: quotes of both kinds, backslashes,
// semicolons, SQL comments and statements, control characters, right-to-left and
// combining text, emoji, and 100,000 characters.
QList<HostileText> storableHostileTexts();
// Texts that no backend can store exactly (a null character, broken surrogates): the
// program refuses them.
QList<HostileText> unstorableHostileTexts();

} // namespace kelvory::test
