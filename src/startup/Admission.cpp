#include "startup/Admission.h"

#include "database/Connection.h"
#include "database/Statements.h"
#include "database/StorableText.h"
#include "startup/Module1.h"
#include "startup/NumberText.h"
#include "startup/StartupMessages.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace kelvory::admission {

namespace messages = startup::messages;

std::optional<QString> firstItem(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    if (i == text.size())
        return std::nullopt;
    if (text[i] == QLatin1Char('"')) {
        const qsizetype start = i + 1;
        qsizetype end = start;
        while (end < text.size() && text[end] != QLatin1Char('"') && text[end] != QLatin1Char('\r')
               && text[end] != QLatin1Char('\n'))
            ++end;
        return text.mid(start, end - start).toString();
    }
    qsizetype end = i;
    while (end < text.size() && text[end] != QLatin1Char(',') && text[end] != QLatin1Char('\r')
           && text[end] != QLatin1Char('\n'))
        ++end;
    return text.mid(i, end - i).toString();
}

QByteArray userFileContent(const QString &firstName)
{
    QStringEncoder encode(QStringConverter::System);
    return encode(QLatin1Char('"') + firstName + QLatin1Char('"') + QLatin1String("\r\n"));
}

namespace {

// Bytes beyond ASCII that read as UTF-8 are almost never text in a one-byte code page,
// where a letter beyond ASCII would have to be followed by just the right symbols.
bool isUtf8BeyondAscii(const QByteArray &content)
{
    if (std::all_of(content.cbegin(), content.cend(), [](char c) { return static_cast<uchar>(c) < 0x80; }))
        return false;
    QStringDecoder decode(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString decoded = decode(content); // decoding is what finds an error
    return !decoded.isNull() && !decode.hasError();
}

} // namespace

UserFileName readUserFileName(const QByteArray &content, QStringConverter::Encoding system)
{
    // An editor may have saved the file again in another encoding, with a byte order mark,
    // or in UTF-8 without one, as Notepad does.
    QStringConverter::Encoding encoding = QStringConverter::encodingForData(content).value_or(system);
    if (!QStringConverter::encodingForData(content) && isUtf8BeyondAscii(content))
        encoding = QStringConverter::Utf8;
    // Stateless, so that a sequence cut off at the end of the file counts as broken too;
    // Qt 6.4 lets a last odd byte of UTF-16 pass silently, so that one is counted here.
    QStringDecoder decode(encoding, QStringConverter::Flag::Stateless);
    const QString text = decode(content);
    const bool utf16 = encoding == QStringConverter::Utf16LE || encoding == QStringConverter::Utf16BE;
    const bool utf32 = encoding == QStringConverter::Utf32LE || encoding == QStringConverter::Utf32BE;
    const bool cutOff = (utf16 && content.size() % 2 != 0) || (utf32 && content.size() % 4 != 0);
    UserFileName result;
    // Bytes that are not text in that encoding would put a mangled name on every journal row.
    if (decode.hasError() || cutOff) {
        result.problem = UserFileName::Problem::NotText;
        return result;
    }
    const std::optional<QString> name = firstItem(text);
    // An empty first item is no name to journal under, whatever wrote it.
    if (!name || name->isEmpty()) {
        result.problem = UserFileName::Problem::NoName;
        return result;
    }
    result.character = database::unstorableCharacter(*name);
    result.problem = result.character.isEmpty() ? UserFileName::Problem::None : UserFileName::Problem::Unstorable;
    result.name = *name;
    return result;
}

std::optional<QString> firstNameFromContent(const QByteArray &content)
{
    UserFileName read = readUserFileName(content);
    if (read.problem != UserFileName::Problem::None)
        return std::nullopt;
    return read.name;
}

bool statusBars(const QVariant &status)
{
    if (status.isNull())
        return false;
    switch (status.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Bool: return status.toDouble() == 0.0;
    default: {
        // A status text that is not a number does not bar: only an administrator's 0 does.
        const std::optional<double> value = readWholeNumber(status.toString());
        return value && *value == 0.0;
    }
    }
}

namespace {

QString whyUnusable(const UserFileName &read)
{
    switch (read.problem) {
    case UserFileName::Problem::NotText: return messages::userFileNotText();
    case UserFileName::Problem::Unstorable: return messages::userFileNameUnstorable(read.character);
    case UserFileName::Problem::NoName:
    case UserFileName::Problem::None: break;
    }
    return messages::userFileEmptyOrUnreadable();
}

void writeUserFile(const QString &path, const QString &firstName)
{
    // Written whole or not at all, so that a failed write cannot leave an empty file.
    // Unbuffered, because a buffered QSaveFile (Qt 6.4) commits even when its last flush fails.
    const QByteArray content = userFileContent(firstName);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(content) != content.size()
        || !file.commit())
        throw Failure(QStringLiteral("75"),
                      messages::userFileNotWritten(QDir::toNativeSeparators(path), file.errorString()));
}

} // namespace

KnownOperator checkKnownOperator(Module1 &module)
{
    KnownOperator known;
    const QString path = module.userFilePath();
    if (!QFileInfo::exists(path))
        return known;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {KnownOperator::Kind::UserFileUnusable, {}, messages::userFileEmptyOrUnreadable()};
    const UserFileName read = readUserFileName(file.readAll());
    if (read.problem != UserFileName::Problem::None)
        return {KnownOperator::Kind::UserFileUnusable, {}, whyUnusable(read)};
    file.close();
    known.name = read.name;
    database::ResultSet status = module.connection.query(database::sql::kSelectStatus, {known.name});
    known.kind =
        !status.eof() && statusBars(status.field(0)) ? KnownOperator::Kind::Barred : KnownOperator::Kind::Admitted;
    return known;
}

FirstNameCheck checkFirstName(const QString &answer)
{
    if (answer.isEmpty())
        return {FirstNameCheck::Kind::Empty, {}};
    const QString problem = database::unstorableCharacter(answer);
    if (!problem.isEmpty())
        return {FirstNameCheck::Kind::Unstorable, problem};
    // What the next start will read is what the journal names: anything else would put
    // another operator's name (who may be barred) on every row.
    if (readUserFileName(userFileContent(answer)).name != answer)
        return {FirstNameCheck::Kind::NotReadBack, {}};
    return {};
}

void registerOperator(Module1 &module, const QString &firstName)
{
    writeUserFile(module.userFilePath(), firstName);
    module.connection.executeWithDate(database::sql::kInsertStatus, {firstName, QStringLiteral("1"), QVariant()},
                                      database::sql::kStatusTable, database::sql::kStatusDateColumn, module.today());
}

} // namespace kelvory::admission
