#pragma once

#include <exception>

#include "vlshare_export.h"

struct TDriveMapProblem;

// Shows string id of the string tables in a message box captioned with the product name
// and returns the button pressed (1 OK, 2 Cancel, 6 Yes, 7 No).
VLSHARE_EXPORT int DisplayMessage(int id, unsigned flags);

// The standard box for an exception nobody could handle: its message, a stop icon.
VLSHARE_EXPORT void ShowException(const std::exception& e);

// Message 901: the drive map file cannot be used, naming the file and what is wrong.
VLSHARE_EXPORT void ShowDriveMapProblem(const TDriveMapProblem& problem);
