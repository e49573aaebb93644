#pragma once

#include <string>

#include "vlforms_export.h"

class QLineEdit;
class QWidget;

// True when another copy of the program already runs for this user: the first call of a
// process takes the lock named name and keeps it until the process ends (a crash releases
// it too); every later call, in this process or another, finds it taken. Where no lock
// can be made at all (no usable runtime folder) the program is let run, with a warning.
VLFORMS_EXPORT bool CheckInstance(const std::string& name);

// Brings window to the front. Nothing for a disabled window (0). With restore, a hidden
// window also gives 0; otherwise a minimised one is restored and the window takes the
// keyboard focus. Returns 1 when it did its work.
VLFORMS_EXPORT int SwitchToWindow(QWidget* window, bool restore);

// Puts form into the bottom-right corner of its screen's available area (the screen less
// the panels), next to where the tray lives, shrinking it to that area when it is larger.
VLFORMS_EXPORT void PositionNearTaskbar(QWidget* form);

// Opens an address or a document with the desktop's default handler. A host path is
// opened as a local file. False when the desktop refused.
VLFORMS_EXPORT bool LaunchURL(const std::string& address);

// Makes field show one "*" for each character it hides, whatever the desktop's style draws.
VLFORMS_EXPORT void ShowAsStars(QLineEdit* field);
