#include "startup/Platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>

namespace kelvory {

QString screenText(const QString &text)
{
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

namespace {

// A Windows Yes/No box has no answer for Escape and no close button: the operator has to
// pick Yes or No. Left to itself, QMessageBox would take No for both.
class AnswerRequired final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Cancel))
            return true;
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int QtDialogs::messageBox(const QString &text, int style, const QString &title)
{
    QMessageBox box(messageIcon(style) == MB_ICONERROR ? QMessageBox::Critical : QMessageBox::NoIcon, title,
                    screenText(text));
    box.setTextFormat(Qt::PlainText);
    QList<QPair<QAbstractButton *, int>> answers;
    auto add = [&](QMessageBox::StandardButton button, int answer) { answers.append({box.addButton(button), answer}); };
    switch (messageButtons(style)) {
    case MB_OKCANCEL:
        add(QMessageBox::Ok, IDOK);
        add(QMessageBox::Cancel, IDCANCEL);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case MB_YESNO:
        add(QMessageBox::Yes, IDYES);
        add(QMessageBox::No, IDNO);
        box.setWindowFlags((box.windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
                           & ~Qt::WindowCloseButtonHint);
        box.installEventFilter(new AnswerRequired(&box));
        break;
    default:
        add(QMessageBox::Ok, IDOK);
        box.setEscapeButton(QMessageBox::Ok);
        break;
    }
    const int defaultIndex = (style & MB_DEFBUTTON2) ? 1 : 0;
    if (defaultIndex < answers.size())
        box.setDefaultButton(qobject_cast<QPushButton *>(answers[defaultIndex].first));
    box.exec();
    for (const auto &[button, answer] : answers) {
        if (box.clickedButton() == button)
            return answer;
    }
    return messageButtons(style) == MB_YESNO ? IDNO : (messageButtons(style) == MB_OKCANCEL ? IDCANCEL : IDOK);
}

std::optional<QString> QtDialogs::inputBox(const QString &prompt, const QString &title)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(nullptr, title, screenText(prompt), QLineEdit::Normal, QString(), &ok);
    if (!ok)
        return std::nullopt;
    return answer;
}

std::optional<QString> QtDialogs::saveFileName(const QString &title, const QString &suggestedPath,
                                               const QString &filter)
{
    const QString chosen = QFileDialog::getSaveFileName(nullptr, title, suggestedPath, filter);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

std::optional<QString> QtDialogs::openFileName(const QString &title, const QString &folder, const QString &filter)
{
    const QString chosen = QFileDialog::getOpenFileName(nullptr, title, folder, filter);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

bool DesktopShell::openUrl(const QUrl &address)
{
    return QDesktopServices::openUrl(address);
}

bool DesktopShell::openFile(const QString &path)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // Qt hands the file to xdg-open and looks no further; xdg-open ends at once with a
    // failure when no program is set for the file's type, so its end is waited for a
    // moment. A program it starts itself may keep it running: that counts as opened.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return false;
    auto *process = new QProcess(qApp);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    // As Qt hands it on: a file: address, encoded.
    process->start(opener, {QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded())});
    if (!process->waitForStarted()) {
        process->deleteLater();
        return false;
    }
    if (process->waitForFinished(3000))
        return process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    return true;
#else
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
#endif
}

void ImmediateEnd::end(int exitCode)
{
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

} // namespace kelvory
