#pragma once

#include <QPrinter>

#include <memory>

namespace kelvory::output {

// Where a print job goes. The real one is the system's default printer; a test's may
// be a PDF file.
class PrinterQueue
{
public:
    virtual ~PrinterQueue() = default;
    // A printer ready for a job, or nothing when there is no default printer.
    virtual std::unique_ptr<QPrinter> defaultPrinter() = 0;
};

class SystemPrinterQueue final : public PrinterQueue
{
public:
    std::unique_ptr<QPrinter> defaultPrinter() override;
};

} // namespace kelvory::output
