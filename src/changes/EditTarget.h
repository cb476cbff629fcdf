#pragma once

#include <QString>

namespace kelvory::changes {

// The edit boxes and the roster refill, as the change commands see the main window;
// box k holds roster column k.
class EditTarget
{
public:
    virtual ~EditTarget() = default;
    virtual QString boxText(int index) const = 0;
    virtual void setBoxText(int index, const QString &text) = 0;
    virtual void FillRoster() = 0;
};

} // namespace kelvory::changes
