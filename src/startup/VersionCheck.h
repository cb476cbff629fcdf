#pragma once

#include <QString>
#include <QVariant>

#include <functional>

namespace kelvory {

class Module1;

namespace version {

// The version the database asks for, read as a number; a NULL reads like an empty text.
double requiredVersion(const QVariant &ver);

// Compares the program's major version with the database's; offers the update page, or
// fills the roster through fillRoster.
void versionCheck(Module1 &module, int programMajor, const std::function<void()> &fillRoster);

} // namespace version
} // namespace kelvory
