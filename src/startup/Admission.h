#pragma once

#include <QByteArray>
#include <QString>
#include <QStringConverter>
#include <QStringView>
#include <QVariant>

#include <optional>

namespace kelvory {

class Module1;

namespace admission {

inline const QString kFileName = QStringLiteral("User.txt");

// The first item of User.txt: after leading blanks, a quoted text up to the next double
// quote, or else the text up to the first comma or the end of the line. Nothing when
// the file holds no such item.
std::optional<QString> firstItem(QStringView text);

// User.txt as the first run writes it: the name between double quotes, then CR LF, in
// the system's encoding for text files.
QByteArray userFileContent(const QString &firstName);

// What User.txt yields: the first name, or why it yields none that can be used.
struct UserFileName
{
    enum class Problem { None, NoName, NotText, Unstorable };
    QString name;
    Problem problem = Problem::None;
    // For Unstorable: the character that cannot be stored, as the operator is told it.
    QString character;
};
// Reads the first name from User.txt's bytes: in the encoding that a byte order mark
// names (UTF-8, UTF-16 little or big endian); as UTF-8 when the bytes are UTF-8 with
// letters beyond ASCII (what Notepad writes without a mark); else in the system's
// encoding (`system`, which a test may choose).
UserFileName readUserFileName(const QByteArray &content, QStringConverter::Encoding system = QStringConverter::System);
// The first name that User.txt holds, when it holds one that can be used.
std::optional<QString> firstNameFromContent(const QByteArray &content);

// Only a status that is the number 0 (a numeric 0, or a text that reads as 0) bars.
bool statusBars(const QVariant &status);

// What User.txt and the operator's status row say at a start.
struct KnownOperator
{
    enum class Kind { FirstRun, Admitted, Barred, UserFileUnusable };
    Kind kind = Kind::FirstRun;
    QString name; // Admitted, Barred: the first name read from User.txt
    QString why;  // UserFileUnusable: why, as the operator is told it
};
// Reads User.txt, when there is one, and looks its name up in memberstatus.
KnownOperator checkKnownOperator(Module1 &module);

// Whether a first run's answer can be the operator's first name.
struct FirstNameCheck
{
    // NotReadBack: User.txt could not give the name back as typed (a double quote or a
    // line break in it), so the next start would journal under another name.
    enum class Kind { Usable, Empty, Unstorable, NotReadBack };
    Kind kind = Kind::Usable;
    QString character; // Unstorable: what cannot be stored, as the operator is told it
};
FirstNameCheck checkFirstName(const QString &answer);

// The first run's registration: User.txt written, then the operator's status row.
void registerOperator(Module1 &module, const QString &firstName);

} // namespace admission
} // namespace kelvory
