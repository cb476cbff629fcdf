#pragma once

#include "common/Messages.h"

namespace kelvory::database::messages {
#include "database/DatabaseMessages.def"
} // namespace kelvory::database::messages
