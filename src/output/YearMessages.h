#pragma once

#include "common/Messages.h"

namespace kelvory::output::messages {
#include "output/YearMessages.def"
} // namespace kelvory::output::messages
