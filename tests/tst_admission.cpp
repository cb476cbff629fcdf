#include "BackendTest.h"
#include "roster/RosterForm.h"
#include "grid/FlexGrid.h"
#include "startup/Admission.h"

#include <QDate>
#include <QFile>
#include <QtTest>

using namespace kelvory;
using namespace kelvory::test;

namespace {
// The bytes of a literal, NULs included, without the terminating one.
template <std::size_t N> QByteArray bytes(const char (&literal)[N])
{
    return QByteArray(literal, N - 1);
}

const QString kPrompt =
    QStringLiteral("Before running the program for the first time, \r\nWe need to know your First name?");
const QString kNotAuthorized = QStringLiteral("You are not authorized to use this software.\r\nIf you believe you "
                                              "received this message in error contact your administrator.");
} // namespace

class TestAdmission : public BackendTest
{
    Q_OBJECT
public:
    // No User.txt: each case writes its own, or is a first run.
    explicit TestAdmission(Backend backend) : BackendTest(backend, QString()) {}

private Q_SLOTS:
    void init();
    void firstRunRegistersTheTypedName_data();
    void firstRunRegistersTheTypedName();
    void firstRunWithoutANameEndsAndWritesNothing_data();
    void firstRunWithoutANameEndsAndWritesNothing();
    void laterRunAdmitsOrBars_data();
    void laterRunAdmitsOrBars();
    void numericStatus_data();
    void numericStatus();
    void statusRowIsFoundWithoutRegardToCase();
    void aNameTheFileCannotGiveBackIsAskedForAgain_data();
    void aNameTheFileCannotGiveBackIsAskedForAgain();
    void userFileReading_data();
    void userFileReading();
    void userFileWithoutAMarkUnderALatin1System_data();
    void userFileWithoutAMarkUnderALatin1System();
    void unusableUserFileEndsWithAClearMessage_data();
    void unusableUserFileEndsWithAClearMessage();
    void userFileSavedWithAByteOrderMark_data();
    void userFileSavedWithAByteOrderMark();

private:
    QByteArray userFile() const { return fileBytes(h->userFilePath()); }
    // Every dialog must appear while the main window is still hidden.
    void watchWindowDuringDialogs()
    {
        h->dialogs.onShow = [this](const Message &) {
            roster::RosterForm *form = h->module ? rosterForm(*h->module) : nullptr;
            if (form && form->isVisible())
                ++m_dialogsOverVisibleWindow;
        };
    }

    int m_dialogsOverVisibleWindow = 0;
};

void TestAdmission::init()
{
    BackendTest::init();
    m_dialogsOverVisibleWindow = 0;
    watchWindowDuringDialogs();
}

void TestAdmission::firstRunRegistersTheTypedName_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "Bob";
    QTest::newRow("blanks only") << "   ";
    QTest::newRow("single quote") << "O'Brien";
    QTest::newRow("accents") << QString::fromUtf8("Inés");
    QTest::newRow("statement text") << "x'); delete from memberstatus; --";
}

void TestAdmission::firstRunRegistersTheTypedName()
{
    QFETCH(QString, name);
    h->dialogs.type(name);
    QVERIFY(h->start());
    QCOMPARE(h->dialogs.inputPrompts.size(), 1);
    QCOMPARE(h->dialogs.inputPrompts.first().text, kPrompt);
    QCOMPARE(h->dialogs.inputPrompts.first().title, QStringLiteral("Kelvory"));
    QVERIFY(h->dialogs.messages.isEmpty());
    QCOMPARE(m_dialogsOverVisibleWindow, 0);
    QCOMPARE(h->module->OperatorFirstName, name);
    QCOMPARE(userFile(), QByteArray("\"") + name.toUtf8() + QByteArray("\"\r\n"));

    const QList<QVariantList> rows = h->rows(QStringLiteral("select member, status, created from memberstatus"));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().at(0).toString(), name);
    QCOMPARE(rows.first().at(1).toString(), QStringLiteral("1"));
    const QVariant created = rows.first().at(2);
    const QDate day =
        created.typeId() == QMetaType::QDate ? created.toDate() : QDate::fromString(created.toString(), Qt::ISODate);
    QCOMPARE(day, QDate::currentDate());

    // The next start reads the name back and asks nothing.
    h->restart();
    h->dialogs.clear();
    QVERIFY(h->start());
    QVERIFY(h->dialogs.inputPrompts.isEmpty());
    QCOMPARE(h->module->OperatorFirstName, name);
    QCOMPARE(h->rows(QStringLiteral("select member from memberstatus")).size(), 1);
}

void TestAdmission::firstRunWithoutANameEndsAndWritesNothing_data()
{
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::addColumn<QString>("message");
    const QString noName = QStringLiteral("You must enter your first name");
    QTest::newRow("cancel") << std::optional<QString>() << noName;
    QTest::newRow("empty answer") << std::optional<QString>(QString()) << noName;
}

void TestAdmission::firstRunWithoutANameEndsAndWritesNothing()
{
    QFETCH(std::optional<QString>, answer);
    QFETCH(QString, message);
    h->dialogs.type(answer);
    QVERIFY(!h->start());
    QVERIFY(h->end.ended);
    QCOMPARE(h->end.code, 0);
    QCOMPARE(h->dialogs.messages.size(), 1);
    QCOMPARE(h->dialogs.messages.first().text, message);
    QCOMPARE(h->dialogs.messages.first().style, MB_OK | MB_ICONERROR);
    QCOMPARE(h->dialogs.messages.first().title, QStringLiteral("Kelvory"));
    QVERIFY(!QFile::exists(h->userFilePath()));
    QVERIFY(h->rows(QStringLiteral("select * from memberstatus")).isEmpty());
    QVERIFY(!rosterForm(*h->module)->isVisible());
    QCOMPARE(m_dialogsOverVisibleWindow, 0);
}

void TestAdmission::laterRunAdmitsOrBars_data()
{
    QTest::addColumn<QVariant>("status"); // an invalid QVariant means: no row at all
    QTest::addColumn<bool>("admitted");
    QTest::newRow("text 1") << QVariant(QStringLiteral("1")) << true;
    QTest::newRow("text 2") << QVariant(QStringLiteral("2")) << true;
    QTest::newRow("NULL") << QVariant(QMetaType::fromType<QString>()) << true;
    QTest::newRow("no row") << QVariant() << true;
    QTest::newRow("word") << QVariant(QStringLiteral("abc")) << true;
    QTest::newRow("empty text") << QVariant(QStringLiteral("")) << true;
    QTest::newRow("text 0") << QVariant(QStringLiteral("0")) << false;
    QTest::newRow("text blank 0") << QVariant(QStringLiteral(" 0")) << false;
    QTest::newRow("text 0.0") << QVariant(QStringLiteral("0.0")) << false;
    // The status is compared with the number 0, and -0 is that number, written with a sign.
    QTest::newRow("text -0") << QVariant(QStringLiteral("-0")) << false;
}

void TestAdmission::laterRunAdmitsOrBars()
{
    QFETCH(QVariant, status);
    QFETCH(bool, admitted);
    h->writeUserFile(QStringLiteral("Bob"));
    if (status.isValid() && status.isNull()) {
        h->exec(QStringLiteral("insert into memberstatus values ('Bob', NULL, ?)"), {QDate(2026, 1, 5)});
        QVERIFY(h->rows(QStringLiteral("select status from memberstatus")).first().first().isNull());
    } else if (status.isValid()) {
        h->exec(QStringLiteral("insert into memberstatus values (?, ?, ?)"),
                {QStringLiteral("Bob"), status, QDate(2026, 1, 5)});
    }
    // Another operator's bar does not touch Bob.
    h->exec(QStringLiteral("insert into memberstatus values ('Alice', '0', ?)"), {QDate(2026, 1, 5)});

    QCOMPARE(h->start(), admitted);
    QCOMPARE(m_dialogsOverVisibleWindow, 0);
    QVERIFY(h->dialogs.inputPrompts.isEmpty());
    if (admitted) {
        QVERIFY(h->dialogs.messages.isEmpty());
        QCOMPARE(h->module->OperatorFirstName, QStringLiteral("Bob"));
        QVERIFY(h->form().isVisible());
    } else {
        QCOMPARE(h->dialogs.messages.size(), 1);
        QCOMPARE(h->dialogs.messages.first().text, kNotAuthorized);
        QCOMPARE(h->dialogs.messages.first().style, MB_OK | MB_ICONERROR);
        QVERIFY(h->end.ended);
        QCOMPARE(h->end.code, 0);
        QVERIFY(!rosterForm(*h->module)->isVisible());
    }
    // A later start never writes the operator table or the file.
    QCOMPARE(h->rows(QStringLiteral("select * from memberstatus")).size(), status.isValid() ? 2 : 1);
    QCOMPARE(userFile(), QByteArray("\"Bob\"\r\n"));
}

void TestAdmission::statusRowIsFoundWithoutRegardToCase()
{
    h->writeUserFile(QStringLiteral("Bob"));
    h->exec(QStringLiteral("insert into memberstatus values ('BOB', '0', ?)"), {QDate(2026, 1, 5)});
    QVERIFY(!h->start());
    QCOMPARE(h->dialogs.texts(), QStringList{kNotAuthorized});
}

void TestAdmission::numericStatus_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("admitted");
    QTest::newRow("0") << 0 << false;
    QTest::newRow("1") << 1 << true;
    QTest::newRow("2") << 2 << true;
}

void TestAdmission::numericStatus()
{
    QFETCH(int, status);
    QFETCH(bool, admitted);
    // Some club databases keep the status as a number.
    h->exec(QStringLiteral("drop table memberstatus"));
    h->exec(QStringLiteral("create table memberstatus (member varchar(50), status integer, created date)"));
    h->exec(QStringLiteral("insert into memberstatus values ('Bob', ?, ?)"), {status, QDate(2026, 2, 1)});
    h->writeUserFile(QStringLiteral("Bob"));
    QCOMPARE(h->start(), admitted);
    QCOMPARE(h->end.ended, !admitted);
}

void TestAdmission::aNameTheFileCannotGiveBackIsAskedForAgain_data()
{
    QTest::addColumn<QString>("refused");
    QTest::addColumn<std::optional<QString>>("second");
    QTest::newRow("double quote inside") << "Bob\"x" << std::optional<QString>(QStringLiteral("Bob"));
    QTest::newRow("double quote first") << "\"Bob" << std::optional<QString>(QStringLiteral("Bob"));
    QTest::newRow("double quote last") << "Bob\"" << std::optional<QString>(QStringLiteral("Bob"));
    QTest::newRow("line break") << "Bob\nSmith" << std::optional<QString>(QStringLiteral("Bob Smith"));
    QTest::newRow("carriage return") << "Bob\r" << std::optional<QString>(QStringLiteral("Bob"));
    QTest::newRow("then cancel") << "Bob\"x" << std::optional<QString>();
}

void TestAdmission::aNameTheFileCannotGiveBackIsAskedForAgain()
{
    QFETCH(QString, refused);
    QFETCH(std::optional<QString>, second);
    h->dialogs.type(refused);
    h->dialogs.type(second);
    QCOMPARE(h->start(), second.has_value());
    QCOMPARE(h->dialogs.inputPrompts.size(), 2);
    QStringList told = {QStringLiteral("Your first name cannot hold a double quote or a line break: the program "
                                       "could not read it back as you typed it. Type your first name again.")};
    if (!second)
        told << QStringLiteral("You must enter your first name");
    QCOMPARE(h->dialogs.texts(), told);
    QCOMPARE(m_dialogsOverVisibleWindow, 0);
    if (!second) {
        QVERIFY(h->end.ended);
        QVERIFY(!QFile::exists(h->userFilePath()));
        QVERIFY(h->rows(QStringLiteral("select * from memberstatus")).isEmpty());
        return;
    }
    QCOMPARE(h->module->OperatorFirstName, *second);
    QCOMPARE(h->rows(QStringLiteral("select member from memberstatus")), (QList<QVariantList>{{QVariant(*second)}}));
    // The next start reads back the name that was registered.
    h->restart();
    QVERIFY(h->start());
    QCOMPARE(h->module->OperatorFirstName, *second);
}

void TestAdmission::userFileReading_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("name");
    QTest::newRow("quoted") << QByteArray("\"Bob\"\r\n") << "Bob";
    QTest::newRow("quoted with comma inside") << QByteArray("\"Bob, Jr.\"\r\n") << "Bob, Jr.";
    QTest::newRow("leading blanks skipped") << QByteArray("   \"Bob\"\r\n") << "Bob";
    QTest::newRow("unquoted up to comma") << QByteArray("Bob,Smith\r\n") << "Bob";
    QTest::newRow("unquoted to end of line") << QByteArray("  Bob Smith\r\nAlice\r\n") << "Bob Smith";
    QTest::newRow("no line end") << QByteArray("\"Bob\"") << "Bob";
    QTest::newRow("unclosed quote ends at line end") << QByteArray("\"Bob\r\nx\"") << "Bob";
    QTest::newRow("only the first line counts") << QByteArray("\"Bob\"\r\n\"Alice\"\r\n") << "Bob";
    QTest::newRow("utf-8") << QByteArray("\"In\xC3\xA9s\"\r\n") << QString::fromUtf8("Inés");
    // The byte order mark is no part of the text; leading blanks after it are skipped.
    QTest::newRow("utf-8 with bom") << QByteArray("\xEF\xBB\xBF \"Zo\xC3\xAB\"\r\n") << QString::fromUtf8("Zoë");
    QTest::newRow("utf-16 le with bom") << bytes("\xFF\xFE\"\0Z\0o\0\xEB\0\"\0\r\0\n\0") << QString::fromUtf8("Zoë");
    QTest::newRow("utf-16 be with bom") << bytes("\xFE\xFF\0Z\0o\0\xEB\0,\0X\0\r\0\n") << QString::fromUtf8("Zoë");
}

void TestAdmission::userFileReading()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, name);
    const std::optional<QString> read = admission::firstNameFromContent(content);
    QVERIFY(read.has_value());
    QCOMPARE(*read, name);
}

void TestAdmission::userFileWithoutAMarkUnderALatin1System_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("name");
    QTest::newRow("utf-8, as Notepad writes it") << QByteArray("\"In\xC3\xA9s\"\r\n") << QString::fromUtf8("Inés");
    QTest::newRow("latin-1") << QByteArray("\"Bj\xF6rn \xC3\xA9\"\r\n") << QString::fromUtf8("Björn Ã©");
}

void TestAdmission::userFileWithoutAMarkUnderALatin1System()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, name);
    const admission::UserFileName read = admission::readUserFileName(content, QStringConverter::Latin1);
    QCOMPARE(int(read.problem), int(admission::UserFileName::Problem::None));
    QCOMPARE(read.name, name);
}

void TestAdmission::unusableUserFileEndsWithAClearMessage_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("why");
    const QString empty = QStringLiteral("It is empty or cannot be read.");
    const QString encoding = QStringLiteral("It was saved in an encoding that the program cannot read.");
    QTest::newRow("empty file") << QByteArray() << empty;
    QTest::newRow("blank lines") << QByteArray("\r\n\r\n") << empty;
    QTest::newRow("empty quotes") << QByteArray("\"\"\r\n") << empty;
    QTest::newRow("comma first") << QByteArray(",Bob\r\n") << empty;
    QTest::newRow("bom only") << QByteArray("\xFF\xFE") << empty;
    // Bytes that are not text in the encoding the file is read in.
    QTest::newRow("latin-1 byte") << QByteArray("\"Zo\xEB\"\r\n") << encoding;
    QTest::newRow("byte that never begins utf-8") << QByteArray("\"Bob\xFF\"\r\n") << encoding;
    QTest::newRow("utf-8 cut off at the end") << QByteArray("Zo\xC3") << encoding;
    QTest::newRow("utf-16 with an odd byte") << bytes("\xFF\xFE"
                                                      "B\0o\0b\0\r")
                                             << encoding;
    // A name the database cannot store, as typed text is refused.
    const QString nul = QStringLiteral("The name in it holds a null character, which cannot be stored.");
    QTest::newRow("embedded nul") << bytes("\"Bo\0b\"\r\n") << nul;
    QTest::newRow("utf-16 without a bom") << bytes("\"\0B\0o\0b\0\"\0\r\0\n\0") << nul;
    QTest::newRow("utf-16 le with a nul") << bytes("\xFF\xFE"
                                                   "B\0\0\0b\0")
                                          << nul;
    QTest::newRow("utf-16 lone surrogate") << bytes("\xFF\xFE\"\0\x00\xD8\"\0")
                                           << QStringLiteral("The name in it holds a broken character code, which "
                                                             "cannot be stored.");
    QTest::newRow("noncharacter") << QByteArray("\"Bo\xEF\xBF\xBF\"\r\n")
                                  << QStringLiteral("The name in it holds a code that is no character (U+FFFF), "
                                                    "which cannot be stored.");
}

void TestAdmission::unusableUserFileEndsWithAClearMessage()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, why);
    writeFile(h->userFilePath(), content);
    QVERIFY(!h->start());
    QVERIFY(h->end.ended);
    QCOMPARE(h->end.code, 1);
    QCOMPARE(h->dialogs.messages.size(), 1);
    const Message message = h->dialogs.messages.first();
    QVERIFY2(message.text.contains(QDir::toNativeSeparators(h->userFilePath())), qPrintable(message.text));
    QVERIFY2(message.text.contains(why + QStringLiteral(" Delete this file")), qPrintable(message.text));
    QVERIFY(!message.text.startsWith(QStringLiteral("Run-time error")));
    QCOMPARE(message.style, MB_OK | MB_ICONERROR);
    QVERIFY(h->dialogs.inputPrompts.isEmpty());
    QCOMPARE(userFile(), content);
    QVERIFY(h->rows(QStringLiteral("select * from memberstatus")).isEmpty());
    QVERIFY(!rosterForm(*h->module)->isVisible());
}

void TestAdmission::userFileSavedWithAByteOrderMark_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("utf-16 le") << bytes("\xFF\xFE\"\0B\0o\0b\0\"\0\r\0\n\0");
    QTest::newRow("utf-16 be") << bytes("\xFE\xFF\0\"\0B\0o\0b\0\"\0\r\0\n");
    QTest::newRow("utf-8") << bytes("\xEF\xBB\xBF\"Bob\"\r\n");
}

void TestAdmission::userFileSavedWithAByteOrderMark()
{
    QFETCH(QByteArray, content);
    // Bob is barred: read as anything but "Bob", he would be let in.
    h->exec(QStringLiteral("insert into memberstatus values ('Bob', '0', ?)"), {QDate(2026, 1, 5)});
    writeFile(h->userFilePath(), content);
    QVERIFY(!h->start());
    QCOMPARE(h->dialogs.texts(), QStringList{kNotAuthorized});
    QCOMPARE(h->end.code, 0);
    QCOMPARE(h->module->OperatorFirstName, QStringLiteral("Bob"));
}

KELVORY_BACKEND_TEST_MAIN(TestAdmission)
#include "tst_admission.moc"
