#pragma once

#include "startup/Module1.h"

namespace kelvory {

// The main window and the history window, as the program and its tests make them.
class ProgramWindows final : public Windows
{
public:
    QWidget *makeRosterForm(Module1 &module) override;
    QWidget *makeHistory(Module1 &module) override;
    void load(QWidget &window) override;
};

} // namespace kelvory
