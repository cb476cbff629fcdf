#pragma once

#include <QString>

// What a subsystem tells the operator is listed once, in its Messages.def, as
//     KELVORY_MESSAGE(name, "text, with %1, %2 ... where values go")
// so that one read holds every text. Each entry becomes a function: name() gives the
// text, name(value, ...) the text with the values in their places, put in all at once so
// that a value holding "%1" stays as it is.
namespace kelvory::message {

inline QString valueText(const QString &value)
{
    return value;
}

inline QString valueText(qint64 value)
{
    return QString::number(value);
}

template <class... Values> QString filledIn(const QString &text, const Values &...values)
{
    if constexpr (sizeof...(Values) == 0)
        return text;
    else
        return text.arg(valueText(values)...);
}

} // namespace kelvory::message

#define KELVORY_MESSAGE(name, text)                                                                                    \
    template <class... Values> QString name(const Values &...values)                                                   \
    {                                                                                                                  \
        return ::kelvory::message::filledIn(QStringLiteral(text), values...);                                          \
    }
