#pragma once

#include "output/PrinterQueue.h"
#include "startup/Platform.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <deque>
#include <functional>
#include <optional>

namespace kelvory::test {

struct Message
{
    QString text;
    int style = 0;
    QString title;
};

// Answers message boxes and the input box from a script and records every one, so no
// modal dialog ever runs in a test.
class ScriptedDialogs final : public OperatorDialogs
{
public:
    int messageBox(const QString &text, int style, const QString &title) override;
    std::optional<QString> inputBox(const QString &prompt, const QString &title) override;
    std::optional<QString> saveFileName(const QString &title, const QString &suggestedPath,
                                        const QString &filter) override;
    std::optional<QString> openFileName(const QString &title, const QString &folder, const QString &filter) override;

    // The next answers, in order; a box without a scripted answer gets OK (for an OK
    // box) or Cancel/No, and is counted as unscripted.
    void answer(int reply) { m_answers.push_back(reply); }
    void type(std::optional<QString> text) { m_inputs.push_back(std::move(text)); }
    // The next file names chosen; nothing is Cancel, as is a question without one.
    void chooseFile(std::optional<QString> path) { m_fileNames.push_back(std::move(path)); }

    QList<Message> messages;
    QList<Message> inputPrompts;
    // Each file question, its suggested path as the text.
    QList<Message> fileQuestions;
    int unscripted = 0;
    // Called as each box appears, before it is answered.
    std::function<void(const Message &)> onShow;

    QStringList texts() const;
    void clear()
    {
        messages.clear();
        inputPrompts.clear();
    }

private:
    std::deque<int> m_answers;
    std::deque<std::optional<QString>> m_inputs;
    std::deque<std::optional<QString>> m_fileNames;
};

class RecordingShell final : public Shell
{
public:
    bool openUrl(const QUrl &address) override
    {
        urls.append(address);
        return succeed;
    }
    bool openFile(const QString &path) override
    {
        files.append(path);
        return succeed;
    }
    QList<QUrl> urls;
    QStringList files;
    bool succeed = true;
};

// Records the end instead of ending the test process, and unwinds the handler.
class RecordingEnd final : public ProcessEnd
{
public:
    [[noreturn]] void end(int exitCode) override
    {
        ended = true;
        code = exitCode;
        throw ProcessEnded{exitCode};
    }
    bool ended = false;
    int code = -1;
};

// The system's day, or the day a test sets.
class SettableClock final : public Clock
{
public:
    QDate today() const override { return day.isValid() ? day : QDate::currentDate(); }
    QDate day;
};

// Prints to a PDF file, or has no printer at all.
class PdfPrinterQueue final : public PrinterQueue
{
public:
    std::unique_ptr<QPrinter> defaultPrinter() override;
    QString pdfPath;
    bool available = true;
    int jobs = 0;
};

} // namespace kelvory::test
