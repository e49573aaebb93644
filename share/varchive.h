#pragma once

#include <string>

#include "streams.h"
#include "vlshare_export.h"

// Texts in stored records carry their length in front: one byte up to 254; 0xFF and a
// 16-bit length up to 65533; 0xFF, 0xFFFF and a 32-bit length beyond.
VLSHARE_EXPORT TStream& operator<<(TStream& stream, const std::string& text);

// Reads a text written by operator<<. Raises EReadError when the stream ends early or the
// stored length cannot be right (negative, or more than the stream still holds).
VLSHARE_EXPORT TStream& operator>>(TStream& stream, std::string& text);
