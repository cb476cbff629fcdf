#include "BackendTest.h"
#include "FaultTools.h"
#include "output/Export.h"
#include "output/OutputMessages.h"
#include "roster/RosterForm.h"
#include "grid/CommandButton.h"
#include "grid/FlexGrid.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QtTest>

#include <unistd.h>

using namespace kelvory;
using namespace kelvory::test;

namespace {

const QString kHeadingLine = QStringLiteral("Name,Address,City State Zip,Phone,Comment,,\r\n");

QByteArray systemEncoded(const QString &text)
{
    QStringEncoder encode(QStringConverter::System);
    return encode(text);
}

} // namespace

class TestExport : public BackendTest
{
    Q_OBJECT
public:
    TestExport() : BackendTest(Backend::Sqlite, QStringLiteral("Bob")) {}

private Q_SLOTS:
    void fieldsLoseTheirCommasAndNothingElse();
    void aCellThatWouldRunAsAFormulaIsWrittenAsText_data();
    void aCellThatWouldRunAsAFormulaIsWrittenAsText();
    void everyCellIsExportedAsTheGridHoldsIt();
    void theDesignTimeEmptyRowIsSixCommas();
    void aSecondExportReplacesTheFirst();
    void okOpensTheFileCancelOpensNothing();
    void theDesktopShellSaysWhetherTheFileWasHandedOn_data();
    void theDesktopShellSaysWhetherTheFileWasHandedOn();
    void anExportThatCannotReplaceItsTargetChangesNothing();
    void aWriteThatFailsPartwayLeavesTheOldExportWhole();
    void aReadOnlyFolderKeepsTheOldExport();
    void aFolderThatIsAFileIsReported();

private:
    QString exportPath() const { return QDir(h->folder.path()).filePath(QStringLiteral("ExcelExport.csv")); }
    QString readyMessage() const;
    void pressExport(int answer)
    {
        h->dialogs.answer(answer);
        press(h->form().Command12);
    }
    // The failure report and nothing after it: no ready message, nothing opened, no end.
    void checkFailureReported();
};

QString TestExport::readyMessage() const
{
    return QStringLiteral("  DATA IS READY \r\rOn the next Xcel screen click the Logo in upper left then\r"
                          "select EXCELEXPORT.CVS from Recent Documents List\r\n\r\n"
                          "If you do not see the file in the list it`s because you have not previously opened it. "
                          "Click OPEN and navigate to ")
        + QDir::toNativeSeparators(exportPath());
}

void TestExport::checkFailureReported()
{
    QCOMPARE(h->dialogs.messages.size(), 1);
    const Message &message = h->dialogs.messages[0];
    QVERIFY2(message.text.contains(QDir::toNativeSeparators(exportPath())), qPrintable(message.text));
    QVERIFY(message.text.contains(QLatin1String("cannot be written")));
    QVERIFY(!message.text.contains(QLatin1String("DATA IS READY")));
    QCOMPARE(message.style, int(MB_OK | MB_ICONERROR));
    QCOMPARE(message.title, QStringLiteral("Kelvory"));
    QVERIFY(h->shell.files.isEmpty());
    QVERIFY(!h->end.ended);
    QVERIFY(h->form().isVisible());
}

void TestExport::fieldsLoseTheirCommasAndNothingElse()
{
    auto field = [](const QString &cell) {
        QString line;
        output::appendExportField(line, cell);
        return line;
    };
    QCOMPARE(field(QString()), QStringLiteral(","));
    QCOMPARE(field(QStringLiteral(",,,")), QStringLiteral(","));
    QCOMPARE(field(QStringLiteral(",a,,b,")), QStringLiteral("ab,"));
    QCOMPARE(field(QStringLiteral(" \"x\"; y\t")), QStringLiteral(" \"x\"; y\t,"));

    // A grid with no columns still has its lines.
    QCOMPARE(output::exportText(output::TableSource({{}, {}}, 0)), QStringLiteral("\r\n\r\n"));
    const output::TableSource ragged({{"a,b", "c"}, {"d"}}, 3);
    QCOMPARE(output::exportText(ragged), QStringLiteral("ab,c,,\r\nd,,,\r\n"));
}

void TestExport::aCellThatWouldRunAsAFormulaIsWrittenAsText_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("field");

    QTest::newRow("command") << "=cmd|' /C calc'!A0"
                             << "'=cmd|' /C calc'!A0";
    QTest::newRow("hyperlink") << "=HYPERLINK(\"http://x.example\",\"Click\")"
                               << "'=HYPERLINK(\"http://x.example\"\"Click\")";
    QTest::newRow("phone with plus") << "+1-555-0100"
                                     << "'+1-555-0100";
    QTest::newRow("minus") << "-2+3"
                           << "'-2+3";
    QTest::newRow("at") << "@SUM(A1:A9)"
                        << "'@SUM(A1:A9)";
    QTest::newRow("tab first") << "\t=1+1"
                               << "'\t=1+1";
    QTest::newRow("carriage return first") << "\r=1+1"
                                           << "' =1+1";
    QTest::newRow("behind a comma") << ",=1+1"
                                    << "'=1+1";
    QTest::newRow("line feed") << "Apt 4\nrear door"
                               << "Apt 4 rear door";
    QTest::newRow("CR LF is one break") << "Apt 4\r\nrear door"
                                        << "Apt 4 rear door";
    QTest::newRow("two breaks") << "a\r\rb\n"
                                << "a  b ";
    QTest::newRow("CR, comma, LF") << "a\r,\nb"
                                   << "a b";
    // Only a first character opens a formula.
    QTest::newRow("plain phone") << "555-0100"
                                 << "555-0100";
    QTest::newRow("equals inside") << "a=b"
                                   << "a=b";
    QTest::newRow("blank first") << " =1"
                                 << " =1";
    QTest::newRow("apostrophe first") << "'=1"
                                      << "'=1";
}

void TestExport::aCellThatWouldRunAsAFormulaIsWrittenAsText()
{
    QFETCH(QString, cell);
    QFETCH(QString, field);
    h->addMember(cell, "1 Elm St", "", cell, cell, 7);
    QVERIFY(h->start());

    pressExport(IDCANCEL);

    const QString line = field + ",1 Elm St,," + field + "," + field + ",7,\r\n";
    QCOMPARE(fileBytes(exportPath()), systemEncoded(kHeadingLine + line));
}

void TestExport::everyCellIsExportedAsTheGridHoldsIt()
{
    h->addMember("Adams, Ann", "12 Main St, Apt 4", "Salem, OR 97301", "555-0101", "said \"hi\"; left early", 7);
    h->addMember("Brontë, Zoë", "  3 Élysée Rd  ", "", ",,,", "Łódź; 日本", 12);
    h->addMember("Clark", "", "", "", "", 3);
    QVERIFY(h->start());

    pressExport(IDCANCEL);

    const QString expected = kHeadingLine
        + QStringLiteral("Adams Ann,12 Main St Apt 4,Salem OR 97301,555-0101,"
                         "said \"hi\"; left early,7,\r\n"
                         "Brontë Zoë,  3 Élysée Rd  ,,,Łódź; 日本,12,\r\n"
                         "Clark,,,,,3,\r\n");
    const QByteArray bytes = fileBytes(exportPath());
    QCOMPARE(bytes, systemEncoded(expected));
#ifndef Q_OS_WIN
    // The system's encoding for text files is UTF-8 here.
    QVERIFY(bytes.contains("Bront\xC3\xAB Zo\xC3\xAB"));
#endif
    QCOMPARE(h->dialogs.messages.size(), 1);
    QCOMPARE(h->dialogs.messages[0].text, readyMessage());
    QCOMPARE(h->dialogs.messages[0].style, int(MB_OKCANCEL));
    QCOMPARE(h->dialogs.messages[0].title, QStringLiteral("Kelvory"));
}

void TestExport::theDesignTimeEmptyRowIsSixCommas()
{
    QVERIFY(h->start());
    pressExport(IDCANCEL);
    QCOMPARE(fileBytes(exportPath()), systemEncoded(kHeadingLine + QStringLiteral(",,,,,,\r\n")));
}

void TestExport::aSecondExportReplacesTheFirst()
{
    addManyMembers(*h, 3);
    QVERIFY(h->start());
    pressExport(IDCANCEL);
    QCOMPARE(fileBytes(exportPath()).count("\r\n"), 4);

    // The export takes the grid as it is now, not the database.
    h->exec(QStringLiteral("delete from members where recordid <> 2"));
    pressExport(IDCANCEL);
    QCOMPARE(fileBytes(exportPath()).count("\r\n"), 4);
    press(h->form().Command8);
    pressExport(IDCANCEL);
    QCOMPARE(fileBytes(exportPath()),
             systemEncoded(kHeadingLine + QStringLiteral("Member 00002,2 Elm St,Springfield IL 62701,555-2,,2,\r\n")));
    // No temporary file is left beside it.
    const QStringList left = QDir(h->folder.path()).entryList({QStringLiteral("ExcelExport*")}, QDir::AllEntries);
    QCOMPARE(left, QStringList({QStringLiteral("ExcelExport.csv")}));
}

void TestExport::okOpensTheFileCancelOpensNothing()
{
    addManyMembers(*h, 2);
    QVERIFY(h->start());

    pressExport(IDCANCEL);
    QVERIFY(QFile::exists(exportPath()));
    QVERIFY(h->shell.files.isEmpty());

    pressExport(IDOK);
    QCOMPARE(h->shell.files, QStringList({h->module->exportFilePath()}));
    QCOMPARE(h->dialogs.texts(), QStringList(2, readyMessage()));

    // No program is set to open the file: the operator is told where it is.
    h->shell.succeed = false;
    pressExport(IDOK);
    QCOMPARE(h->shell.files.size(), 2);
    QCOMPARE(h->dialogs.messages.size(), 4);
    const Message &told = h->dialogs.messages.back();
    QCOMPARE(told.text, output::messages::exportNotOpened(QDir::toNativeSeparators(exportPath())));
    QVERIFY(told.text.contains(u'\n' + QDir::toNativeSeparators(exportPath()) + u'\r'));
    QCOMPARE(told.style, int(MB_OK));
    QCOMPARE(h->dialogs.unscripted, 0);
    QVERIFY(QFile::exists(exportPath()));
}

void TestExport::theDesktopShellSaysWhetherTheFileWasHandedOn_data()
{
    QTest::addColumn<QString>("opener");
    QTest::addColumn<bool>("handedOn");
    QTest::newRow("no xdg-open") << QString() << false;
    QTest::newRow("no program for the type") << "exit 3" << false;
    QTest::newRow("opened") << "exit 0" << true;
    // xdg-open that waits on the program it started.
    QTest::newRow("still open") << QStandardPaths::findExecutable(QStringLiteral("sleep")) + " 5" << true;
}

void TestExport::theDesktopShellSaysWhetherTheFileWasHandedOn()
{
    QFETCH(QString, opener);
    QFETCH(bool, handedOn);
    const QString bin = QDir(h->folder.path()).filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    const QString seen = QDir(h->folder.path()).filePath(QStringLiteral("seen"));
    if (!opener.isEmpty()) {
        const QString script = QDir(bin).filePath(QStringLiteral("xdg-open"));
        writeFile(script, ("#!/bin/sh\necho \"$1\" > '" + seen + "'\n" + opener + "\n").toUtf8());
        QVERIFY(QFile::setPermissions(script, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.toLocal8Bit());
    auto restore = qScopeGuard([&] { qputenv("PATH", path); });

    DesktopShell shell;
    QCOMPARE(shell.openFile(exportPath()), handedOn);
    if (!opener.isEmpty())
        QTRY_COMPARE(fileBytes(seen), QUrl::fromLocalFile(exportPath()).toEncoded() + '\n');
}

void TestExport::anExportThatCannotReplaceItsTargetChangesNothing()
{
    // A folder where the export belongs cannot be replaced by a file, not even by root.
    addManyMembers(*h, 2);
    QVERIFY(h->start());
    QVERIFY(QDir(h->folder.path()).mkdir(QStringLiteral("ExcelExport.csv")));
    const QString inside = QDir(exportPath()).filePath(QStringLiteral("keep.txt"));
    writeFile(inside, "kept\r\n");

    pressExport(IDOK);

    checkFailureReported();
    QVERIFY(QFileInfo(exportPath()).isDir());
    QCOMPARE(fileBytes(inside), QByteArray("kept\r\n"));
    QCOMPARE(QDir(h->folder.path()).entryList({QStringLiteral("ExcelExport*")}, QDir::AllEntries),
             QStringList({QStringLiteral("ExcelExport.csv")}));

    // Once the way is clear the export works again.
    QVERIFY(QDir(exportPath()).removeRecursively());
    h->dialogs.clear();
    pressExport(IDCANCEL);
    QCOMPARE(h->dialogs.texts(), QStringList({readyMessage()}));
    QCOMPARE(fileBytes(exportPath()).count("\r\n"), 3);
}

void TestExport::aWriteThatFailsPartwayLeavesTheOldExportWhole()
{
    // The write fails after its first bytes, as on a full disk.
    addManyMembers(*h, 50);
    QVERIFY(h->start());
    const QByteArray old = "Name,Address,City State Zip,Phone,Comment,,\r\nOld,,,,,1,\r\n";
    writeFile(exportPath(), old);

    {
        const FileSizeLimit full(256);
        QVERIFY(full.isSet());
        pressExport(IDOK);
    }
    checkFailureReported();
    QCOMPARE(fileBytes(exportPath()), old);
    QCOMPARE(QDir(h->folder.path()).entryList({QStringLiteral("ExcelExport*")}, QDir::AllEntries),
             QStringList({QStringLiteral("ExcelExport.csv")}));
}

void TestExport::aReadOnlyFolderKeepsTheOldExport()
{
    if (geteuid() == 0)
        QSKIP("root writes into a read-only folder; the other failure cases stand in for it");
    addManyMembers(*h, 2);
    QVERIFY(h->start());
    const QByteArray old = "an earlier export\r\n";
    writeFile(exportPath(), old);
    const QFileDevice::Permissions writable = QFileInfo(h->folder.path()).permissions();
    QVERIFY(QFile::setPermissions(h->folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    auto restore = qScopeGuard([&] { QFile::setPermissions(h->folder.path(), writable); });

    pressExport(IDOK);

    checkFailureReported();
    QCOMPARE(fileBytes(exportPath()), old);
}

void TestExport::aFolderThatIsAFileIsReported()
{
    const QString notAFolder = QDir(h->folder.path()).filePath(QStringLiteral("program"));
    writeFile(notAFolder, "a file\n");
    const QString path = QDir(notAFolder).filePath(QStringLiteral("ExcelExport.csv"));

    const std::optional<QString> problem = output::writeExportFile(path, "x,\r\n");

    QVERIFY(problem.has_value());
    QVERIFY(!problem->isEmpty());
    QCOMPARE(fileBytes(notAFolder), QByteArray("a file\n"));
    QVERIFY(output::messages::rosterNotExported(QDir::toNativeSeparators(path), *problem)
                .contains(QDir::toNativeSeparators(path)));
}

KELVORY_TEST_MAIN(TestExport)
#include "tst_export.moc"
