#pragma once

#include <QSqlError>
#include <QString>

#include <exception>

namespace kelvory::database {

// A failure that no handler catches: it travels to the one place that shows the
// standard error report (number and description) and ends the process.
class Failure : public std::exception
{
public:
    Failure(QString number, QString description)
        : m_number(std::move(number)), m_description(std::move(description)), m_what(m_description.toUtf8())
    {
    }

    static Failure fromSqlError(const QSqlError &error);

    const QString &number() const { return m_number; }
    const QString &description() const { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    QString m_number;
    QString m_description;
    QByteArray m_what;
};

} // namespace kelvory::database
