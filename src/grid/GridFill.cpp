#include "grid/GridFill.h"

#include "database/Connection.h"
#include "database/DatabaseMessages.h"
#include "database/DateText.h"
#include "grid/FlexGrid.h"

#include <QDir>
#include <QVarLengthArray>

#include <algorithm>
#include <cstring>

namespace kelvory::grid {

GridFillResult fillGridFromQuery(database::Connection &connection, const QString &sql, FlexGrid &grid,
                                 const GridFillOptions &options)
{
    database::ResultSet result = connection.openQuery(sql);

    const int cols = grid.Cols();
    const int fields = qMin(cols, result.fieldCount());
    const std::uint32_t mask = options.alignedColumns >= 32 ? ~0U : ((1U << options.alignedColumns) - 1U);
    PackedRows rows(cols);
    // Each value goes from where the reader holds it straight into the row it belongs to,
    // ASCII widened on the way: copied once, never through a string of its own.
    QVarLengthArray<database::HeldText, 8> held(fields);
    QVarLengthArray<qsizetype, 8> lengths(fields);
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
        result.heldRow(held.data(), fields);
        for (int k = 0; k < fields; ++k) {
            if (custom[k] && result.holdsText(k)) {
                const QStringView text = result.text(k);
                if (!known[k] || text != convertedFrom[k]) {
                    convertedFrom[k] = text.toString();
                    converted[k] = options.cellText[k](text);
                    known[k] = true;
                }
                held[k] = {converted[k].utf16(), static_cast<qint32>(converted[k].size()), false};
            }
            lengths[k] = held[k].length;
        }
        char16_t *out = rows.appendRowSpace(lengths.data(), fields, mask);
        for (int k = 0; k < fields; ++k) {
            const auto length = static_cast<std::size_t>(held[k].length);
            if (held[k].ascii)
                std::copy_n(static_cast<const unsigned char *>(held[k].data), length, out);
            else if (length > 0)
                std::memcpy(out, held[k].data, length * sizeof(char16_t));
            out += length;
        }
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
