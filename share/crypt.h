#pragma once

#include <cstdint>
#include <string>

#include "vlshare_export.h"

// The 32-bit key of a password: an access check, not a cipher. Keys ignore letter case,
// take "_" for a blank and do not depend on the order of the characters. A password of
// 128 characters or more gives -1 (0xFFFFFFFF). No accepted password gives 0, the key
// that means "no password".
VLSHARE_EXPORT int32_t MakeKey(const std::string& password);

// Does the password give key? Always false for a password of 128 characters or more.
VLSHARE_EXPORT bool CheckKey(const std::string& password, int32_t key);
