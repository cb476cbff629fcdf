#pragma once

#include "startup/Platform.h"

#include <QPrinter>

namespace kelvory::output {

class SystemPrinterQueue final : public PrinterQueue
{
public:
    std::unique_ptr<QPrinter> defaultPrinter() override;
};

} // namespace kelvory::output
