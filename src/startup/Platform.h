#pragma once

#include <QDate>
#include <QString>
#include <QUrl>

#include <exception>
#include <memory>
#include <optional>

class QPrinter;

// What the program asks of the world outside it that a test cannot drive for real:
// the operator's answers, the shell and the end of the process. Everything else
// (database, files, windows) is real in tests too.
namespace kelvory {

// Message box styles and answers, with the values of the platform they come from:
// style = buttons + icon + default button.
enum MessageStyle : int {
    MB_OK = 0,
    MB_OKCANCEL = 1,
    MB_YESNO = 4,
    MB_ICONERROR = 16,
    MB_DEFBUTTON2 = 256,
};
enum MessageAnswer : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

inline constexpr int messageButtons(int style)
{
    return style & 0xF;
}
inline constexpr int messageIcon(int style)
{
    return style & 0xF0;
}

inline const QString kCrLf = QStringLiteral("\r\n");

class OperatorDialogs
{
public:
    virtual ~OperatorDialogs() = default;
    // A modal message box; returns the answer (IDOK, IDCANCEL, IDYES, IDNO).
    virtual int messageBox(const QString &text, int style, const QString &title) = 0;
    // A modal input box with OK and Cancel; Cancel answers nothing.
    virtual std::optional<QString> inputBox(const QString &prompt, const QString &title) = 0;
    // A modal question for the name of a file to write, offering `suggestedPath`; the
    // filter names the kind of file ("PDF files (*.pdf)"). Cancel answers nothing.
    virtual std::optional<QString> saveFileName(const QString &title, const QString &suggestedPath,
                                                const QString &filter) = 0;
    // The same for a file to read, offering the files of `folder`. One that does not ask
    // answers Cancel.
    virtual std::optional<QString> openFileName(const QString &title, const QString &folder, const QString &filter)
    {
        (void)title, (void)folder, (void)filter;
        return std::nullopt;
    }
};

class Shell
{
public:
    virtual ~Shell() = default;
    // Each returns whether the request was handed on.
    virtual bool openUrl(const QUrl &address) = 0;
    virtual bool openFile(const QString &path) = 0;
};

class ProcessEnd
{
public:
    virtual ~ProcessEnd() = default;
    // Ends the process at once: no window is asked, nothing more of the program runs.
    [[noreturn]] virtual void end(int exitCode) = 0;
};

// The day as the workstation's clock gives it; a test sets its own.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
};

// A ProcessEnd that cannot end the process (a test's) unwinds with this instead;
// the handler boundary catches it.
struct ProcessEnded
{
    int exitCode;
};

// The real ones.
// Where a print job goes. The real one is the system's default printer; a test's may
// be a PDF file.
class PrinterQueue
{
public:
    virtual ~PrinterQueue() = default;
    // A printer ready for a job, or nothing when there is no default printer.
    virtual std::unique_ptr<QPrinter> defaultPrinter() = 0;
};

class QtDialogs final : public OperatorDialogs
{
public:
    int messageBox(const QString &text, int style, const QString &title) override;
    std::optional<QString> inputBox(const QString &prompt, const QString &title) override;
    std::optional<QString> saveFileName(const QString &title, const QString &suggestedPath,
                                        const QString &filter) override;
    std::optional<QString> openFileName(const QString &title, const QString &folder, const QString &filter) override;
};

class DesktopShell final : public Shell
{
public:
    bool openUrl(const QUrl &address) override;
    bool openFile(const QString &path) override;
};

class ImmediateEnd final : public ProcessEnd
{
public:
    [[noreturn]] void end(int exitCode) override;
};

// Line breaks in the system's texts are CR LF or a lone CR; on screen both are one break.
QString screenText(const QString &text);

} // namespace kelvory
