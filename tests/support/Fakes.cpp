#include "Fakes.h"

namespace kelvory::test {

int ScriptedDialogs::messageBox(const QString &text, int style, const QString &title)
{
    messages.append({text, style, title});
    if (onShow)
        onShow(messages.last());
    if (!m_answers.empty()) {
        const int reply = m_answers.front();
        m_answers.pop_front();
        return reply;
    }
    switch (messageButtons(style)) {
    case MB_OK: return IDOK;
    case MB_YESNO: ++unscripted; return IDNO;
    default: ++unscripted; return IDCANCEL;
    }
}

std::optional<QString> ScriptedDialogs::inputBox(const QString &prompt, const QString &title)
{
    inputPrompts.append({prompt, 0, title});
    if (onShow)
        onShow(inputPrompts.last());
    if (m_inputs.empty()) {
        ++unscripted;
        return std::nullopt;
    }
    const bool cancelled = !m_inputs.front().has_value();
    const QString text = m_inputs.front().value_or(QString());
    m_inputs.pop_front();
    if (cancelled)
        return std::nullopt;
    return text;
}

std::optional<QString> ScriptedDialogs::openFileName(const QString &title, const QString &folder, const QString &filter)
{
    return saveFileName(title, folder, filter);
}

std::optional<QString> ScriptedDialogs::saveFileName(const QString &title, const QString &suggestedPath,
                                                     const QString &)
{
    fileQuestions.append({suggestedPath, 0, title});
    if (m_fileNames.empty()) {
        ++unscripted;
        return std::nullopt;
    }
    std::optional<QString> chosen = std::move(m_fileNames.front());
    m_fileNames.pop_front();
    return chosen;
}

QStringList ScriptedDialogs::texts() const
{
    QStringList all;
    for (const Message &message : messages)
        all.append(message.text);
    return all;
}

std::unique_ptr<QPrinter> PdfPrinterQueue::defaultPrinter()
{
    if (!available)
        return nullptr;
    ++jobs;
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(pdfPath);
    return printer;
}

} // namespace kelvory::test
