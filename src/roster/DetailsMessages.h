#pragma once

#include "common/Messages.h"

namespace kelvory::roster::messages {
#include "roster/DetailsMessages.def"
} // namespace kelvory::roster::messages
