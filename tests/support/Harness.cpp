#include "Harness.h"
#include "PostgresSchema.h"

#include "database/EmbeddedSchema.h"
#include "ProgramWindows.h"
#include "history/History.h"
#include "roster/RosterForm.h"
#include "grid/Fonts.h"
#include "startup/Admission.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace kelvory::test {

ProgramWindows &programWindows()
{
    static ProgramWindows windows;
    return windows;
}

roster::RosterForm *rosterForm(const Module1 &module)
{
    return qobject_cast<roster::RosterForm *>(module.rosterWindow());
}

history::History *historyWindow(const Module1 &module)
{
    return qobject_cast<history::History *>(module.historyWindow());
}

namespace {

QString env(const char *name)
{
    return qEnvironmentVariable(name);
}

// One database per test program and build folder, so that test programs, and builds
// of the same program, can run side by side on one server.
QString postgresDatabaseName()
{
    QString name = QCoreApplication::applicationName().toLower();
    name.replace(QRegularExpression(QStringLiteral("[^a-z0-9_]")), QStringLiteral("_"));
    const QByteArray folder = QCoreApplication::applicationDirPath().toUtf8();
    const QString tag = QString::number(qHash(folder) % 100000);
    return QStringLiteral("kelvory_") + name + QLatin1Char('_') + tag;
}

void ensurePostgresDatabase()
{
    static bool done = false;
    if (done)
        return;
    database::ServerSettings settings = postgresSettings();
    settings.database = QStringLiteral("postgres");
    database::Connection server;
    server.openServer(settings);
    const QString name = postgresDatabaseName();
    database::ResultSet existing = server.query(QStringLiteral("select 1 from pg_database where datname = ?"), {name});
    if (existing.eof())
        server.execute(QStringLiteral("create database ") + name);
    done = true;
}

} // namespace

QString backendName(Backend backend)
{
    return backend == Backend::Sqlite ? QStringLiteral("sqlite") : QStringLiteral("postgres-odbc");
}

database::ServerSettings postgresSettings()
{
    return {env("KELVORY_TEST_PG_SERVER"), postgresDatabaseName(), env("KELVORY_TEST_PG_UID"),
            env("KELVORY_TEST_PG_PWD")};
}

bool postgresRequired()
{
    return env("KELVORY_TEST_PG_REQUIRED") == QLatin1String("1");
}

std::vector<Backend> backends()
{
    std::vector<Backend> all{Backend::Sqlite};
    if (!env("KELVORY_TEST_PG_SERVER").isEmpty() || postgresRequired())
        all.push_back(Backend::Postgres);
    else
        qWarning("KELVORY_TEST_PG_SERVER is not set: the PostgreSQL runs are left out");
    return all;
}

void requireReachableServer(const std::vector<Backend> &chosen)
{
    if (std::find(chosen.begin(), chosen.end(), Backend::Postgres) == chosen.end())
        return;
    // Every PostgreSQL case would fail on its own, one by one; one line says why, at once.
    try {
        if (env("KELVORY_TEST_PG_SERVER").isEmpty())
            throw Failure(QString(), QStringLiteral("KELVORY_TEST_PG_SERVER names no server"));
        ensurePostgresDatabase();
    } catch (const Failure &failure) {
        std::fprintf(stderr, "The PostgreSQL test server cannot be used: %s\n", qUtf8Printable(failure.description()));
        std::fflush(stderr);
        std::exit(1);
    }
}

std::vector<char *> argumentsForRun(int argc, char *argv[], int run)
{
    std::vector<char *> arguments(argv, argv + argc);
    // Qt 6.4's crash handler, installed again by a second QTest::qExec in one process,
    // hands a crash back to itself for ever (a debugger's stack trace each round), so a
    // crash in a later run would hang until CTest's time-out instead of failing.
    static char noCrashHandler[] = "-nocrashhandler";
    if (run > 0)
        arguments.push_back(noCrashHandler);
    return arguments;
}

void prepareApplication()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    grid::installFontSubstitutes();
}

void verifyErrorReport(const Harness &harness, const QString &mentions)
{
    QVERIFY(harness.end.ended);
    QCOMPARE(harness.end.code, 1);
    QVERIFY(!harness.dialogs.messages.isEmpty());
    const Message &report = harness.dialogs.messages.last();
    QVERIFY2(report.text.startsWith(QStringLiteral("Run-time error '")), qPrintable(report.text));
    QVERIFY2(report.text.contains(mentions, Qt::CaseInsensitive), qPrintable(report.text));
    QCOMPARE(report.style, MB_OK | MB_ICONERROR);
    QCOMPARE(report.title, harness.deployment.title);
}

QList<QVariantList> allRows(database::Connection &connection, const QString &sql, const QVariantList &values)
{
    QList<QVariantList> all;
    for (database::ResultSet result = connection.query(sql, values); !result.eof(); result.moveNext()) {
        QVariantList row;
        for (int i = 0; i < result.fieldCount(); ++i)
            row.append(result.field(i));
        all.append(row);
    }
    return all;
}

QList<QStringList> asTexts(const QList<QVariantList> &rows)
{
    QList<QStringList> all;
    for (const QVariantList &row : rows) {
        QStringList texts;
        for (const QVariant &value : row)
            texts.append(value.isNull() ? kNull : value.toString());
        all.append(texts);
    }
    return all;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArrayLiteral("<cannot be read>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

Harness::Harness(Backend backend) : backend(backend)
{
    deployment.title = QStringLiteral("Kelvory");
    deployment.updatePage = QStringLiteral("https://club.example.org/kelvory/update.html");
    deployment.programFolder = folder.path();
    deployment.lockFilePath = QDir(folder.path()).filePath(QStringLiteral("Kelvory.lock"));
    if (backend == Backend::Postgres) {
        if (env("KELVORY_TEST_PG_SERVER").isEmpty())
            qFatal("KELVORY_TEST_PG_REQUIRED is set, but KELVORY_TEST_PG_SERVER names no server");
        deployment.server = postgresSettings();
    }
}

Harness::~Harness()
{
    module.reset();
    m_admin.reset();
}

database::Connection &Harness::admin()
{
    if (!m_admin) {
        m_admin = std::make_unique<database::Connection>();
        if (backend == Backend::Sqlite) {
            m_admin->openEmbedded(QDir(folder.path()).filePath(QStringLiteral("Kelvory.db")));
        } else {
            ensurePostgresDatabase();
            m_admin->openServer(deployment.server);
        }
    }
    return *m_admin;
}

void Harness::prepareDatabase()
{
    database::Connection &connection = admin(); // on SQLite, opening creates the tables
    if (backend == Backend::Postgres) {
        for (const QString &statement : postgresSchema())
            connection.execute(statement);
        for (const QString &statement : postgresMemberHistory() + postgresDetailsHistory())
            connection.execute(statement);
    }
}

void Harness::writeUserFile(const QString &firstName)
{
    QFile file(userFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(admission::userFileContent(firstName));
}

QString Harness::userFilePath() const
{
    return QDir(folder.path()).filePath(QStringLiteral("User.txt"));
}

bool Harness::start()
{
    if (!module)
        module = std::make_unique<Module1>(deployment,
                                           Services{&dialogs, &shell, &printers, &end, &clock, &programWindows()});
    return module->Main();
}

void Harness::restart()
{
    module.reset();
    end.ended = false;
    end.code = -1;
}

roster::RosterForm &Harness::form() const
{
    roster::RosterForm *form = module ? rosterForm(*module) : nullptr;
    if (!form)
        qFatal("the main window is not loaded");
    return *form;
}

qint64 Harness::exec(const QString &sql, const QVariantList &values)
{
    return admin().execute(sql, values);
}

QList<QVariantList> Harness::rows(const QString &sql, const QVariantList &values)
{
    return allRows(admin(), sql, values);
}

QList<QStringList> Harness::texts(const QString &sql, const QVariantList &values)
{
    return asTexts(rows(sql, values));
}

QList<QStringList> Harness::members()
{
    return texts(QStringLiteral("select * from members order by recordid"));
}

QList<JournalRow> Harness::journal()
{
    QList<JournalRow> all;
    for (const QStringList &row : texts(QStringLiteral("select * from changeHistory")))
        all.append({row.at(0), row.at(1), row.at(2)});
    return all;
}

void Harness::addMember(const QString &name, const QString &address, const QString &city, const QString &phone,
                        const QString &comment, qint64 recordId)
{
    exec(QStringLiteral("insert into members values (?,?,?,?,?,?)"), {name, address, city, phone, comment, recordId});
}

} // namespace kelvory::test

namespace kelvory::test {

void addManyMembers(Harness &harness, int n)
{
    if (harness.backend == Backend::Sqlite) {
        harness.exec(QStringLiteral("with recursive g(x) as (select 1 union all select x + 1 from g where x < ?) "
                                    "insert into members select printf('Member %05d', x), x || ' Elm St', "
                                    "'Springfield, IL 62701', '555-' || x, '', x from g"),
                     {n});
    } else {
        harness.exec(QStringLiteral("insert into members select 'Member ' || lpad(g::text, 5, '0'), g || ' Elm St', "
                                    "'Springfield, IL 62701', '555-' || g, '', g from generate_series(1, ?) g"),
                     {n});
    }
}

} // namespace kelvory::test
