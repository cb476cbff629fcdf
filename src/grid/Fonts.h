#pragma once

#include <QFont>

namespace kelvory::grid {

// The windows' face, at a point size of the design.
QFont timesNewRoman(double points, bool bold = false, bool italic = false);

// The design's faces are Windows fonts; elsewhere their metric-compatible stand-ins are used.
void installFontSubstitutes();

} // namespace kelvory::grid
