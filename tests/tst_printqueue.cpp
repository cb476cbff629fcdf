#include "BackendTest.h"
#include "output/PrinterQueue.h"
#include "roster/RosterForm.h"
#include "grid/CommandButton.h"

#include <QDir>
#include <QFile>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

using namespace kelvory;
using namespace kelvory::test;

// PRINT on a real default printer: the print server that scripts/test-services/20-cups.sh
// starts, with a cups-pdf queue as the default. The PDFs cups-pdf makes carry no text to
// read back, so this proves only that the job lands; the printout's text is checked on
// the PDF-file printer in tst_printout.
class TestPrintQueue : public BackendTest
{
    Q_OBJECT
public:
    TestPrintQueue() : BackendTest(Backend::Sqlite, QStringLiteral("Bob")) {}

private Q_SLOTS:
    void initTestCase();
    void pressingPrintLandsAJobOnTheDefaultQueue();

private:
    // The queue's jobs by id: all of them, or the completed ones only.
    QList<int> jobs(bool completedOnly) const;
    // The page log's line for a job, once the job has been logged.
    QString pageLogLine(int job) const;

    QString m_queue;
    QString m_pageLog;
    QString m_pdfFolder;
};

void TestPrintQueue::initTestCase()
{
    m_queue = qEnvironmentVariable("KELVORY_TEST_CUPS_QUEUE");
    m_pageLog = qEnvironmentVariable("KELVORY_TEST_CUPS_PAGE_LOG");
    m_pdfFolder = qEnvironmentVariable("KELVORY_TEST_CUPS_PDF_DIR");
    if (m_queue.isEmpty() || qEnvironmentVariableIsEmpty("CUPS_SERVER")) {
        if (qEnvironmentVariable("KELVORY_TEST_CUPS_REQUIRED") == QLatin1String("1"))
            QFAIL("The test print queue is required but was not set up: see the output of "
                  "scripts/test-services/20-cups.sh");
        QSKIP("No test print queue: scripts/run-tests.sh starts one (CUPS_SERVER, KELVORY_TEST_CUPS_QUEUE)");
    }
    // The program asks for the default printer, not for this queue by name.
    QCOMPARE(QPrinterInfo::defaultPrinterName(), m_queue);
}

QList<int> TestPrintQueue::jobs(bool completedOnly) const
{
    QProcess lpstat;
    lpstat.start(QStringLiteral("lpstat"),
                 {QStringLiteral("-W"), completedOnly ? QStringLiteral("completed") : QStringLiteral("all"),
                  QStringLiteral("-o"), m_queue});
    if (!lpstat.waitForFinished(10000))
        return {};
    QList<int> ids;
    const QRegularExpression id(QStringLiteral("^") + QRegularExpression::escape(m_queue)
                                + QStringLiteral("-(\\d+)\\s"));
    for (const QString &line : QString::fromLocal8Bit(lpstat.readAllStandardOutput()).split(u'\n')) {
        const QRegularExpressionMatch match = id.match(line);
        if (match.hasMatch())
            ids.append(match.captured(1).toInt());
    }
    return ids;
}

QString TestPrintQueue::pageLogLine(int job) const
{
    QFile log(m_pageLog);
    if (!log.open(QIODevice::ReadOnly))
        return {};
    // queue user job [time] total pages billing host title media sides
    const QRegularExpression entry(QStringLiteral("^") + QRegularExpression::escape(m_queue) + QStringLiteral(" \\S+ ")
                                   + QString::number(job) + QStringLiteral(" \\[[^]]*\\] total "));
    for (const QString &line : QString::fromLocal8Bit(log.readAll()).split(u'\n')) {
        if (entry.match(line).hasMatch())
            return line;
    }
    return {};
}

void TestPrintQueue::pressingPrintLandsAJobOnTheDefaultQueue()
{
    h->addMember("Abbott, Ann", "12 Main St, Apt 4", "Salem, OR 97301", "503-555-0101", "Treasurer", 1);
    h->addMember("Brown, Bea", "7 Oak Ave", "Keizer, OR 97303", "503-555-0102", "", 2);
    output::SystemPrinterQueue system;
    h->module = std::make_unique<Module1>(
        h->deployment, Services{&h->dialogs, &h->shell, &system, &h->end, nullptr, &test::programWindows()});
    QVERIFY(h->start());
    const QList<int> before = jobs(false);

    press(form().Command5);

    QCOMPARE(h->dialogs.texts(), QStringList({QStringLiteral("Data is being sent to printer.")}));
    int job = -1;
    auto newJob = [&] {
        for (int id : jobs(false)) {
            if (!before.contains(id))
                job = id;
        }
        return job;
    };
    QTRY_VERIFY_WITH_TIMEOUT(newJob() > 0, 10000);
    // cups-pdf runs the job through ghostscript: seconds, not minutes.
    QTRY_VERIFY_WITH_TIMEOUT(jobs(true).contains(job), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(!pageLogLine(job).isEmpty(), 10000);
    // A job whose filters fail completes too, with no page; this one has its page, under
    // the program's title.
    const QString line = pageLogLine(job);
    const QRegularExpressionMatch pages = QRegularExpression(QStringLiteral(" total (\\d+) ")).match(line);
    QVERIFY2(pages.hasMatch() && pages.captured(1).toInt() >= 1, qPrintable(line));
    QVERIFY2(line.contains(QLatin1String(" Kelvory ")), qPrintable(line));

    if (!m_pdfFolder.isEmpty()) {
        // And the PDF that cups-pdf made of it; it is removed again, being ours.
        const QStringList made =
            QDir(m_pdfFolder)
                .entryList({QStringLiteral("*job_%1.pdf").arg(job), QStringLiteral("*job_%1-*.pdf").arg(job)},
                           QDir::Files);
        QVERIFY2(made.size() == 1, qPrintable(m_pdfFolder + QLatin1String(": ") + made.join(u' ')));
        const QString pdf = QDir(m_pdfFolder).filePath(made[0]);
        QVERIFY(QFileInfo(pdf).size() > 0);
        QFile::remove(pdf);
    }
}

KELVORY_TEST_MAIN(TestPrintQueue)
#include "tst_printqueue.moc"
