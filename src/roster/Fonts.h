#pragma once

namespace kelvory::roster {

// The design's faces are Windows fonts; elsewhere their metric-compatible stand-ins are used.
void installFontSubstitutes();

} // namespace kelvory::roster
