#include "output/PrinterQueue.h"

#include <QPrinterInfo>

namespace kelvory::output {

std::unique_ptr<QPrinter> SystemPrinterQueue::defaultPrinter()
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return nullptr;
    return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

} // namespace kelvory::output
