#include "output/Export.h"

#include <QSaveFile>
#include <QStringEncoder>

namespace kelvory::output {

namespace {

// The first character the spreadsheet program sees: one of these starts a formula (or,
// for a tab or a carriage return, hides what follows it), so the field is written as text.
bool opensAsFormula(QStringView cell)
{
    for (const QChar ch : cell) {
        if (ch == u',')
            continue;
        return ch == u'=' || ch == u'+' || ch == u'-' || ch == u'@' || ch == u'\t' || ch == u'\r';
    }
    return false;
}

// One field at `out`: the cell without its commas, a line break (CR LF, CR or LF) as one
// blank so that the member stays on one line, then the comma that ends every field.
QChar *writeExportField(QChar *out, QStringView cell)
{
    if (opensAsFormula(cell))
        *out++ = u'\'';
    const qsizetype size = cell.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar ch = cell[i];
        if (ch == u',')
            continue;
        if (ch == u'\r' || ch == u'\n') {
            // CR LF is one break, the commas between them being gone.
            if (ch == u'\r') {
                qsizetype next = i + 1;
                while (next < size && cell[next] == u',')
                    ++next;
                if (next < size && cell[next] == u'\n')
                    i = next;
            }
            *out++ = u' ';
            continue;
        }
        *out++ = ch;
    }
    *out++ = u',';
    return out;
}

} // namespace

void appendExportField(QString &line, QStringView cell)
{
    const qsizetype at = line.size();
    line.resize(at + cell.size() + 2);
    const QChar *end = writeExportField(line.data() + at, cell);
    line.truncate(end - line.constData());
}

QString exportText(const CellSource &grid)
{
    const int rows = grid.rows();
    const int cols = grid.cols();
    qsizetype length = 0;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c)
            length += grid.cell(r, c).size() + 2; // an apostrophe, at most, and the comma
        length += 2;
    }
    // Written in place: a roster of 100,000 members is 600,000 cells, and an append call
    // for each piece of each cost more than copying the characters themselves.
    QString text(length, Qt::Uninitialized);
    QChar *out = text.data();
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c)
            out = writeExportField(out, grid.cell(r, c));
        *out++ = u'\r';
        *out++ = u'\n';
    }
    text.truncate(out - text.constData());
    return text;
}

QByteArray exportBytes(const CellSource &grid)
{
    // The system's encoding for text files, as the spreadsheet program expects of a
    // .csv it is given without any other hint.
    QStringEncoder encode(QStringConverter::System);
    return encode(exportText(grid));
}

std::optional<QString> writeExportFile(const QString &path, const QByteArray &bytes)
{
    // The old export stays whole until the new one is complete: a folder that is
    // read-only, a full disk or a file the spreadsheet program holds open then leaves
    // the last good export in place instead of an empty or half-written one.
    QSaveFile file(path);
    // Unbuffered, so that a write the disk takes only in part shows here: commit() in
    // Qt 6.4 overlooks a failure of the final flush and would put a cut-off file in place.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    const qint64 written = file.write(bytes);
    if (written != bytes.size()) {
        const QString reason = written < 0
            ? file.errorString()
            : QStringLiteral("only %1 of its %2 bytes could be written").arg(written).arg(bytes.size());
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

ExportOutcome exportRoster(const QString &path, const CellSource &grid)
{
    if (std::optional<QString> problem = writeExportFile(path, exportBytes(grid)))
        return {ExportOutcome::Kind::NotWritten, std::move(*problem)};
    return {};
}

} // namespace kelvory::output
