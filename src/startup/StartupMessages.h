#pragma once

#include "common/Messages.h"

namespace kelvory::startup::messages {
#include "startup/StartupMessages.def"
} // namespace kelvory::startup::messages
