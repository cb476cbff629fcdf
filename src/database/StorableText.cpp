#include "database/StorableText.h"

namespace kelvory::database {

QString unstorableCharacter(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() == 0)
            return QStringLiteral("a null character");
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
