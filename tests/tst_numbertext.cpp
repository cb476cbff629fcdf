#include "startup/NumberText.h"
#include "startup/VersionCheck.h"

#include <QtTest>

#include <cmath>

using namespace kelvory;

class TestNumberText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void leadingNumber_data();
    void leadingNumber();
    void wholeNumber_data();
    void wholeNumber();
    void nullVersionReadsAsZero();
};

void TestNumberText::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("whole") << "2" << 2.0;
    QTest::newRow("blanks around") << " 2 " << 2.0;
    QTest::newRow("blank inside joins digits") << "1 5" << 15.0;
    QTest::newRow("tab and line feed ignored") << "\t1\n0" << 10.0;
    QTest::newRow("decimal") << "1.01" << 1.01;
    QTest::newRow("one-point-zero") << "1.0" << 1.0;
    QTest::newRow("below one") << "0.9" << 0.9;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("second point stops") << "1.5.3" << 1.5;
    QTest::newRow("comma is no decimal point") << "1,5" << 1.0;
    QTest::newRow("exponent") << "1e1" << 10.0;
    QTest::newRow("upper-case exponent") << "25E2" << 2500.0;
    // An exponent is E followed by digits: a sign or a D ends the number before it.
    QTest::newRow("exponent with plus sign stops") << "1E+1" << 1.0;
    QTest::newRow("exponent with minus sign stops") << "25E-1" << 25.0;
    QTest::newRow("D is no exponent") << "1d1" << 1.0;
    QTest::newRow("E without digits stops") << "3E" << 3.0;
    QTest::newRow("E then letter stops") << "3Ex" << 3.0;
    QTest::newRow("hexadecimal") << "&H10" << 16.0;
    QTest::newRow("hexadecimal lower case") << "&hff" << 255.0;
    QTest::newRow("octal") << "&O17" << 15.0;
    QTest::newRow("hex stops at non-digit") << "&H1G" << 1.0;
    QTest::newRow("ampersand alone") << "&" << 0.0;
    QTest::newRow("ampersand other letter") << "&X1" << 0.0;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("blanks only") << "   " << 0.0;
    QTest::newRow("digits then letters") << "2abc" << 2.0;
    // A sign is not part of a number: a text that begins with one reads 0.
    QTest::newRow("minus sign") << "-2" << 0.0;
    QTest::newRow("plus sign") << "+2" << 0.0;
    QTest::newRow("blank after sign") << "+ 2" << 0.0;
    QTest::newRow("sign only") << "-" << 0.0;
    QTest::newRow("version with letter") << "v2" << 0.0;
    QTest::newRow("arabic-indic digits are not digits") << QString::fromUtf8("\u0662") << 0.0;
    QTest::newRow("fullwidth digit is not a digit") << QString::fromUtf8("\uFF12") << 0.0;
}

void TestNumberText::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(readLeadingNumber(text), value);
}

void TestNumberText::wholeNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<double>("value");
    QTest::newRow("zero") << "0" << true << 0.0;
    QTest::newRow("zero with blanks") << " 0 " << true << 0.0;
    QTest::newRow("zero point zero") << "0.0" << true << 0.0;
    QTest::newRow("double zero") << "00" << true << 0.0;
    // Only here may a sign stand before the number: "-0" is the number 0 and bars.
    QTest::newRow("negative zero") << "-0" << true << 0.0;
    QTest::newRow("positive zero") << "+0" << true << 0.0;
    QTest::newRow("negative one") << "-1" << true << -1.0;
    QTest::newRow("exponent") << "0E5" << true << 0.0;
    QTest::newRow("signed exponent") << "0E-1" << false << 0.0;
    QTest::newRow("D exponent") << "0D0" << false << 0.0;
    QTest::newRow("sign before hex") << "-&H0" << false << 0.0;
    QTest::newRow("hex zero") << "&H0" << true << 0.0;
    QTest::newRow("one") << "1" << true << 1.0;
    QTest::newRow("two") << "2" << true << 2.0;
    QTest::newRow("word") << "abc" << false << 0.0;
    QTest::newRow("zero then word") << "0abc" << false << 0.0;
    QTest::newRow("blank inside") << "0 0" << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("letter O") << "O" << false << 0.0;
}

void TestNumberText::wholeNumber()
{
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(double, value);
    const std::optional<double> read = readWholeNumber(text);
    QCOMPARE(read.has_value(), isNumber);
    if (isNumber)
        QCOMPARE(*read, value);
}

void TestNumberText::nullVersionReadsAsZero()
{
    QCOMPARE(version::requiredVersion(QVariant()), 0.0);
    QCOMPARE(version::requiredVersion(QVariant(QMetaType::fromType<QString>())), 0.0);
    QCOMPARE(version::requiredVersion(QVariant(1.5)), 1.5);
    QCOMPARE(version::requiredVersion(QVariant(2)), 2.0);
    QVERIFY(std::isinf(readLeadingNumber(u"1e999")));
    QVERIFY(std::isinf(readLeadingNumber(QString(400, u'9'))));
    // Too small for a double, or too large once the exponent is applied.
    QCOMPARE(readLeadingNumber(QStringLiteral("0.") + QString(400, u'0') + QStringLiteral("1")), 0.0);
    QCOMPARE(readLeadingNumber(QStringLiteral("0.") + QString(400, u'0') + QStringLiteral("1E50")), 0.0);
    QVERIFY(std::isinf(readLeadingNumber(QStringLiteral("0.") + QString(10, u'0') + QStringLiteral("1E400"))));
    QCOMPARE(readLeadingNumber(u"1e-999"), 1.0);
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
