#include "grid/Fonts.h"

#include <QFont>
#include <QString>

namespace kelvory::grid {

void installFontSubstitutes()
{
    QFont::insertSubstitution(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"));
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
}

QFont timesNewRoman(double points, bool bold, bool italic)
{
    QFont font(QStringLiteral("Times New Roman"));
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

} // namespace kelvory::grid
