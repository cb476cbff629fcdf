#pragma once

#include "BenchSupport.h"

#include <QTemporaryDir>

#include <memory>

// One function per benchmark; each prints its figures and returns the process exit code.
namespace kelvory::bench {

int benchFill(const Options &options);
int benchItemGrid(const Options &options);
int benchHistory(const Options &options);
int benchExport(const Options &options);
int benchPrintout(const Options &options);
int benchMemory(const Options &options);
int benchStartup(const Options &options);
int benchScroll(const Options &options);
int benchFind(const Options &options);
int benchScale(const Options &options);
int benchImport(const Options &options);
int benchLockWait(const Options &options);

// Seeds a SQLite program folder in a process of its own: kelvory_bench seed <folder> <members> [journal].
int seedCommand(const QStringList &arguments);

// A folder for a benchmark's files: under --work when given, else a temporary one.
class WorkFolder
{
public:
    WorkFolder(const Options &options, const QString &name);
    ~WorkFolder();
    QString path() const { return m_path; }
    QString file(const QString &name) const;

private:
    std::unique_ptr<QTemporaryDir> m_temporary;
    QString m_path;
};

} // namespace kelvory::bench
