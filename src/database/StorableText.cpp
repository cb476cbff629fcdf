#include "database/StorableText.h"

namespace kelvory::database {

QString unstorableCharacter(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() == 0)
            return QStringLiteral("a null character");
        // SQLite gives U+FFFE and U+FFFF back as U+FFFD, and both database drivers take
        // a text that begins with U+FEFF or U+FFFE for a byte order mark: they drop it,
        // or read the whole text with its bytes swapped.
        if (c.unicode() == 0xFFFE || c.unicode() == 0xFFFF)
            return QStringLiteral("a code that is no character (U+%1)").arg(QString::number(c.unicode(), 16).toUpper());
        if (i == 0 && c.unicode() == 0xFEFF)
            return QStringLiteral("an invisible character (U+FEFF) at its start");
        if (c.isHighSurrogate()) {
            if (i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                ++i;
                continue;
            }
            return QStringLiteral("a broken character code");
        }
        if (c.isLowSurrogate())
            return QStringLiteral("a broken character code");
    }
    return QString();
}

} // namespace kelvory::database
