#include "grid/GridFill.h"

#include "database/Connection.h"
#include "database/DatabaseMessages.h"
#include "database/DateText.h"
#include "grid/FlexGrid.h"

#include <QDir>
#include <QVarLengthArray>

namespace kelvory::grid {

GridFillResult fillGridFromQuery(database::Connection &connection, const QString &sql, FlexGrid &grid,
                                 const GridFillOptions &options)
{
    database::ResultSet result = connection.openQuery(sql);

    const int cols = grid.Cols();
    const int fields = qMin(cols, result.fieldCount());
    const std::uint32_t mask = options.alignedColumns >= 32 ? ~0U : ((1U << options.alignedColumns) - 1U);
    // Each value goes from the reader's text straight into the row it is appended to.
    QVarLengthArray<QStringView, 8> cells(cols);
    PackedRows rows(cols);
    // A column with a conversion of its own (the journal's dates) arrives sorted by that
    // column, so most rows repeat the text of the row before: the conversion runs once per
    // run of equal texts instead of once per row.
    QVarLengthArray<bool, 8> custom(cols);
    QVarLengthArray<QString, 8> convertedFrom(cols);
    QVarLengthArray<QString, 8> converted(cols);
    QVarLengthArray<bool, 8> known(cols);
    for (int k = 0; k < cols; ++k) {
        custom[k] = k < static_cast<int>(options.cellText.size()) && options.cellText[k];
        known[k] = false;
    }

    int count = 0;
    while (!result.eof()) {
        for (int k = 0; k < fields; ++k) {
            cells[k] = result.text(k);
            if (!custom[k] || !result.holdsText(k))
                continue;
            if (!known[k] || cells[k] != convertedFrom[k]) {
                convertedFrom[k] = cells[k].toString();
                converted[k] = options.cellText[k](cells[k]);
                known[k] = true;
            }
            cells[k] = converted[k];
        }
        rows.appendRow(cells.data(), fields, mask);
        ++count;
        if (!result.tryMoveNext())
            break;
    }
    if (options.raiseReadFailures)
        result.raiseFailure();

    grid.replaceDataRows(std::move(rows));
    if (count > 0) {
        grid.setRow(count);
        grid.setCol(qBound(0, options.alignedColumns - 1, cols - 1));
    }
    return {count, result.failure()};
}

QString partialRosterMessage(int shown, const Failure &unread, const QString &embeddedFile,
                             const QString &backupsFolder)
{
    namespace messages = database::messages;
    const QString why = unread.description();
    // SQLITE_CORRUPT and SQLITE_NOTADB; a failure of another kind (a lock, a value
    // that cannot be computed) says nothing of the file itself.
    const int code = unread.number().toInt() & 0xff;
    if (!embeddedFile.isEmpty() && (code == 11 || code == 26))
        return messages::rosterPartlyReadDamaged(shown, QDir::toNativeSeparators(embeddedFile),
                                                 QDir::toNativeSeparators(backupsFolder), why);
    return messages::rosterPartlyRead(shown, why);
}

} // namespace kelvory::grid
