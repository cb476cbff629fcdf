#pragma once

#include "common/Messages.h"

namespace kelvory::roster::messages {

#include "roster/RosterMessages.def"

} // namespace kelvory::roster::messages
