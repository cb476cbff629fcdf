#pragma once

#include <QString>

namespace kelvory::changes {

// The edit boxes and the roster refill, as the change commands see the main window:
// box 0 name, 1 address, 2 city-state-ZIP, 3 phone, 4 comment, 5 record id.
class EditTarget
{
public:
    virtual ~EditTarget() = default;
    virtual QString boxText(int index) const = 0;
    virtual void setBoxText(int index, const QString &text) = 0;
    virtual void FillRoster() = 0;
};

} // namespace kelvory::changes
