#include "PdfText.h"

#include <QProcess>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QtTest>

namespace kelvory::test {

namespace {

QByteArray runPdftotext(const QStringList &arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), arguments);
    if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        qWarning("pdftotext %s failed: %s", qPrintable(arguments.join(u' ')),
                 qPrintable(QString::fromLocal8Bit(tool.readAllStandardError())));
        return {};
    }
    return tool.readAllStandardOutput();
}

} // namespace

bool havePoppler()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

QList<QStringList> pdfLayoutPages(const QString &pdfPath)
{
    const QString text = QString::fromUtf8(runPdftotext(
        {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdfPath, QStringLiteral("-")}));
    QList<QStringList> pages;
    const QStringList pageTexts = text.split(u'\f');
    for (const QString &page : pageTexts) {
        QStringList lines = page.split(u'\n');
        // The text after the last form feed is no page.
        if (&page == &pageTexts.last() && page.trimmed().isEmpty())
            break;
        pages.append(lines);
    }
    return pages;
}

QList<PdfWord> pdfWords(const QString &pdfPath)
{
    const QByteArray xhtml = runPdftotext(
        {QStringLiteral("-bbox"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdfPath, QStringLiteral("-")});
    QList<PdfWord> words;
    QXmlStreamReader reader(xhtml);
    int page = -1;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.name() == QLatin1String("page")) {
            ++page;
        } else if (reader.name() == QLatin1String("word")) {
            const QXmlStreamAttributes a = reader.attributes();
            PdfWord word;
            word.page = page;
            word.xMin = a.value(QLatin1String("xMin")).toDouble();
            word.yMin = a.value(QLatin1String("yMin")).toDouble();
            word.xMax = a.value(QLatin1String("xMax")).toDouble();
            word.yMax = a.value(QLatin1String("yMax")).toDouble();
            word.text = reader.readElementText();
            words.append(word);
        }
    }
    if (reader.hasError())
        qWarning("pdftotext -bbox gave no readable XHTML: %s", qPrintable(reader.errorString()));
    return words;
}

} // namespace kelvory::test
