#include "roster/Fonts.h"

#include <QFont>
#include <QString>

namespace kelvory::roster {

void installFontSubstitutes()
{
    QFont::insertSubstitution(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"));
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
}

} // namespace kelvory::roster
