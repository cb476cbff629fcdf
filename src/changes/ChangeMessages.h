#pragma once

#include "common/Messages.h"

namespace kelvory::changes::messages {
#include "changes/ChangeMessages.def"
} // namespace kelvory::changes::messages
