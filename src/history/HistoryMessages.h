#pragma once

#include "common/Messages.h"

namespace kelvory::history::messages {

#include "history/HistoryMessages.def"

} // namespace kelvory::history::messages
