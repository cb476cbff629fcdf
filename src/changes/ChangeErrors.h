#pragma once

#include "common/Messages.h"

// The descriptions of the standard errors the change commands raise.
namespace kelvory::changes::errors {
// The description of the standard error 6; %1: the largest stored record id.
KELVORY_MESSAGE(largestRecordIdOverflows, "Overflow: the largest record id is %1")
} // namespace kelvory::changes::errors
