#pragma once

#include "common/Messages.h"

namespace kelvory::import::messages {
#include "import/ImportMessages.def"
} // namespace kelvory::import::messages
