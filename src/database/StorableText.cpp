#include "database/StorableText.h"

#include "database/DatabaseMessages.h"

namespace kelvory::database {

QString unstorableCharacter(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() == 0)
            return messages::nullCharacter();
        // SQLite gives U+FFFE and U+FFFF back as U+FFFD, and both database drivers take
        // a text that begins with U+FEFF or U+FFFE for a byte order mark: they drop it,
        // or read the whole text with its bytes swapped.
        if (c.unicode() == 0xFFFE || c.unicode() == 0xFFFF)
            return messages::noCharacter(QString::number(c.unicode(), 16).toUpper());
        if (i == 0 && c.unicode() == 0xFEFF)
            return messages::invisibleMarkAtStart();
        if (c.isHighSurrogate()) {
            if (i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                ++i;
                continue;
            }
            return messages::brokenCharacter();
        }
        if (c.isLowSurrogate())
            return messages::brokenCharacter();
    }
    return QString();
}

} // namespace kelvory::database
