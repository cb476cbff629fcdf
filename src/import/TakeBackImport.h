#pragma once

#include <QString>

#include <functional>

namespace kelvory {
class Module1;
}
namespace kelvory::import {

struct ImportResult;

// Takes back the import marked `importMark`, asking the operator first: what would be
// removed, which members were changed since (kept unless the operator chooses to remove
// them too) and which ids other members hold now (never touched); then refills the
// roster and says what was done. Without `askFirst` (right after the import, whose
// closing message asked already) only the members changed since are asked about.
void takeBackImportAsked(Module1 &module, const QString &importMark, const std::function<void()> &refillRoster,
                         bool askFirst = true);

// The import's closing message; where the import can be taken back it offers that, and
// does it on Yes.
void sayImportDone(Module1 &module, const ImportResult &result, const QString &report,
                   const std::function<void()> &refillRoster);

} // namespace kelvory::import
