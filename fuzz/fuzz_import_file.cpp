// The member import's reader: whatever bytes a file holds, it is read into records that,
// written again with every field quoted, read back the same; and the preview made of them
// gives every row one verdict, never a member without a name or with a text the database
// cannot store.

#include "FuzzSupport.h"

#include "database/StorableText.h"
#include "import/ColumnMatch.h"
#include "import/ImportFile.h"
#include "import/ImportPreview.h"

#include <QByteArray>

#include <numeric>

using namespace kelvory;
using fuzz::check;
using fuzz::shown;

namespace {

QByteArray quotedAgain(const std::vector<QStringList> &records, char separator)
{
    QByteArray text;
    for (const QStringList &record : records) {
        for (qsizetype f = 0; f < record.size(); ++f) {
            if (f > 0)
                text += separator;
            text += '"' + record[f].toUtf8().replace("\"", "\"\"") + '"';
        }
        text += "\r\n";
    }
    return text;
}

QString described(const std::vector<QStringList> &records)
{
    QStringList lines;
    for (const QStringList &record : records) {
        QStringList fields;
        for (const QString &field : record)
            fields.append(shown(field));
        lines.append(fields.join(QLatin1Char('|')));
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const import::ImportTable table = import::readImportBytes(bytes);
    check(table.separator == ',' || table.separator == ';' || table.separator == '\t',
          "the separator is a comma, a semicolon or a tab");
    check(!table.encodingName.isEmpty(), "the encoding is named");

    const std::vector<QStringList> again =
        import::parseRecords(quotedAgain(table.records, table.separator), table.separator);
    check(again == table.records, "records written again with quoted fields read back the same",
          [&] { return described(table.records) + QStringLiteral("\nread back as\n") + described(again); });

    const import::ColumnMatch match = import::matchColumns(table.records);
    for (const QStringList &record : table.records)
        check(qsizetype(match.targets.size()) >= record.size(), "every column has a match");
    if (!import::hasNameColumn(match))
        return 0;
    const import::Preview preview = import::makePreview(table, match, {}, {0, 10, 0, 0, 0});
    check(std::accumulate(preview.counts.begin(), preview.counts.end(), 0) == int(preview.rows.size()),
          "the counts add up to the rows");
    for (const import::MemberToStore &stored : import::membersToStore(preview, true)) {
        const import::MemberFields &member = stored.fields;
        check(!member[0].trimmed().isEmpty(), "a member stored has a name");
        for (const QString &field : member)
            check(!field.contains(QLatin1Char('\n')) && !field.contains(QLatin1Char('\r')),
                  "a member stored holds no line break", [&] { return shown(field); });
        check(member[1].size() <= 10, "a member stored fits its columns", [&] { return shown(member[1]); });
        for (const QString &field : member)
            check(database::unstorableCharacter(field).isEmpty(), "a member stored can be stored exactly",
                  [&] { return shown(field); });
    }
    return 0;
}
