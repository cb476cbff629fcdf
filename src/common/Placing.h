#pragma once

namespace kelvory {

// A place on a window: left, top, width and height in twips (1/1440 inch).
struct Placing
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

} // namespace kelvory
