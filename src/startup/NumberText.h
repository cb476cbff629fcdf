#pragma once

#include <QStringView>

#include <optional>

namespace kelvory {

// Reads the number at the start of a text the way the club's version number has always
// been read: blanks, tabs and line feeds anywhere are ignored; digits with at most one
// "." as the decimal point whatever the locale, and an optional exponent (E followed by
// digits, no sign) make the number; "&H" or "&O" makes the rest a hexadecimal or octal
// whole number. Reading stops at the first character that cannot continue the number;
// a text that does not begin with a number (a sign included: "-2" and "+2") reads 0.
double readLeadingNumber(QStringView text);

// The value of a text that is a number as a whole, blanks around it allowed: the number
// above, which may here carry a sign ("0", " 0", "-0", "1.5e3", "&H10"); nothing for any
// other text ("abc", "1 5", "0x", "1e+3").
std::optional<double> readWholeNumber(QStringView text);

} // namespace kelvory
