#include "output/LabelPrinter.h"

#include "output/OutputMessages.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <clocale>
#include <cmath>
#if defined(__GLIBC__)
#include <langinfo.h>
#endif

namespace kelvory::output {

namespace {

const char *const kPapersizeFile = "/etc/papersize";

// Paper a sheet of Letter-sized labels fits: Letter and Legal are both 8 1/2 inches wide.
bool letterWide(const QString &paperName)
{
    const QString name = paperName.trimmed().toLower();
    return name == QLatin1String("letter") || name == QLatin1String("legal");
}

bool letterWide(QSizeF mm)
{
    return std::abs(std::min(mm.width(), mm.height()) - 216) < 1;
}

QString shownPaperName(const QString &name)
{
    const QString tidy = name.trimmed();
    return tidy.left(1).toUpper() + tidy.mid(1);
}

QString shownPaperName(QSizeF mm)
{
    if (letterWide(mm))
        return std::max(mm.width(), mm.height()) > 300 ? QStringLiteral("Legal") : QStringLiteral("Letter");
    if (std::abs(mm.width() - 210) < 1 && std::abs(mm.height() - 297) < 1)
        return QStringLiteral("A4");
    return messages::paperInMillimetres(QString::number(mm.width()), QString::number(mm.height()));
}

bool usesLetter(QLocale::Territory territory)
{
    switch (territory) {
    case QLocale::UnitedStates:
    case QLocale::Canada:
    case QLocale::Mexico:
    case QLocale::Philippines:
    case QLocale::Chile:
    case QLocale::Colombia:
    case QLocale::Venezuela:
    case QLocale::CostaRica:
    case QLocale::Guatemala:
    case QLocale::Panama:
    case QLocale::PuertoRico:
    case QLocale::DominicanRepublic:
    case QLocale::ElSalvador:
    case QLocale::Nicaragua: return true;
    default: return false;
    }
}

SheetChoice chosen(bool letter, const QString &paper, const QString &where)
{
    const SheetKind sheet = letter ? SheetKind::UsLetter30 : SheetKind::A4With21;
    return {sheet,
            messages::sheetChosenFor(paper, where, letter ? messages::letterSheetShort() : messages::a4SheetShort())};
}

// A value of the adjustment file, or the default when it is missing, not a number or out of range.
double storedValue(const QSettings &settings, const char *key, double smallest, double largest, double fallback)
{
    bool ok = false;
    const double value = settings.value(QLatin1String(key)).toString().toDouble(&ok);
    return ok && std::isfinite(value) && value >= smallest && value <= largest ? value : fallback;
}

} // namespace

PaperFacts workstationPaperFacts()
{
    PaperFacts facts;
    facts.papersizeVariable = qEnvironmentVariable("PAPERSIZE").trimmed();
    facts.papersizeFileName = QString::fromLatin1(kPapersizeFile);
    QFile file(facts.papersizeFileName);
    if (file.open(QIODevice::ReadOnly)) {
        // libpaper's form: the paper's name on the first line that is not a comment.
        for (const QByteArray &line : file.read(4096).split('\n')) {
            const QByteArray name = line.trimmed();
            if (!name.isEmpty() && !name.startsWith('#')) {
                facts.papersizeFile = QString::fromUtf8(name);
                break;
            }
        }
    }
#if defined(__GLIBC__)
    if (const char *locale = std::setlocale(LC_PAPER, nullptr)) {
        const QString name = QString::fromLocal8Bit(locale);
        // The C locale's paper is glibc's default, nobody's choice.
        if (name != QLatin1String("C") && name != QLatin1String("POSIX") && !name.startsWith(QLatin1String("C."))) {
            const auto height = static_cast<int>(reinterpret_cast<std::intptr_t>(nl_langinfo(_NL_PAPER_HEIGHT)));
            const auto width = static_cast<int>(reinterpret_cast<std::intptr_t>(nl_langinfo(_NL_PAPER_WIDTH)));
            if (height > 0 && width > 0) {
                facts.localePaperMm = QSizeF(width, height);
                facts.localeName = name;
            }
        }
    }
#endif
    facts.territory = QLocale().territory();
    return facts;
}

SheetChoice sheetForPaper(const PaperFacts &facts)
{
    if (!facts.papersizeVariable.isEmpty())
        return chosen(letterWide(facts.papersizeVariable), shownPaperName(facts.papersizeVariable),
                      messages::paperSetBy(QStringLiteral("PAPERSIZE")));
    if (!facts.papersizeFile.isEmpty())
        return chosen(letterWide(facts.papersizeFile), shownPaperName(facts.papersizeFile),
                      messages::paperSetIn(facts.papersizeFileName));
    if (!facts.localePaperMm.isEmpty())
        return chosen(letterWide(facts.localePaperMm), shownPaperName(facts.localePaperMm),
                      messages::paperOfLocale(facts.localeName));
    if (facts.territory == QLocale::AnyTerritory)
        return {SheetKind::A4With21, messages::noPaperSet()};
    const bool letter = usesLetter(facts.territory);
    return chosen(letter, letter ? QStringLiteral("Letter") : QStringLiteral("A4"),
                  messages::paperOfCountry(QLocale::territoryToString(facts.territory)));
}

QString adjustmentFile(const QString &programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("LabelPrinter.ini"));
}

PrinterAdjustment readAdjustment(const QString &file)
{
    PrinterAdjustment adjustment;
    if (!QFile::exists(file))
        return adjustment;
    const QSettings settings(file, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return adjustment;
    constexpr double shift = PrinterAdjustment::kLargestShiftMm;
    adjustment.rightMm = storedValue(settings, "LabelPrinter/RightMm", -shift, shift, 0);
    adjustment.downMm = storedValue(settings, "LabelPrinter/DownMm", -shift, shift, 0);
    adjustment.scalePercent = storedValue(settings, "LabelPrinter/ScalePercent", PrinterAdjustment::kSmallestScale,
                                          PrinterAdjustment::kLargestScale, 100);
    return adjustment;
}

std::optional<QString> writeAdjustment(const QString &file, const PrinterAdjustment &adjustment)
{
    QSettings settings(file, QSettings::IniFormat);
    settings.setValue(QStringLiteral("LabelPrinter/RightMm"), QString::number(adjustment.rightMm, 'f', 1));
    settings.setValue(QStringLiteral("LabelPrinter/DownMm"), QString::number(adjustment.downMm, 'f', 1));
    settings.setValue(QStringLiteral("LabelPrinter/ScalePercent"), QString::number(adjustment.scalePercent, 'f', 1));
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return std::nullopt;
    return settings.status() == QSettings::AccessError ? messages::adjustmentFileNotWritable()
                                                       : messages::adjustmentFileBroken();
}

} // namespace kelvory::output
