#pragma once

#include "common/Messages.h"

namespace kelvory::roster::messages {
#include "roster/ChangeMessages.def"
} // namespace kelvory::roster::messages
