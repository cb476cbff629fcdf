#pragma once

#include <QString>
#include <QStringList>

#include <optional>

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

    // The member the boxes were filled from, its six fields as the grid showed them when
    // its row was clicked (or as this window last stored them); nothing once the boxes
    // were cleared. Update and DELETE compare it with what is stored, so that a change
    // made at another workstation since then is never overwritten unseen.
    virtual std::optional<QStringList> pickedMember() const = 0;
    virtual void setPickedMember(std::optional<QStringList> fields) = 0;
};

} // namespace kelvory::changes
