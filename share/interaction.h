#pragma once

#include <cstdint>
#include <string>

#include "vlshare_export.h"

// Message-box styles and answers, with the values callers compare against.
enum : unsigned {
    MB_OK = 0x00,
    MB_OKCANCEL = 0x01,
    MB_ABORTRETRYIGNORE = 0x02,
    MB_YESNOCANCEL = 0x03,
    MB_YESNO = 0x04,
    MB_RETRYCANCEL = 0x05,
    MB_BUTTONMASK = 0x0F,
    MB_ICONSTOP = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_ICONMASK = 0xF0,
};

enum : int {
    IDOK = 1,
    IDCANCEL = 2,
    IDABORT = 3,
    IDRETRY = 4,
    IDIGNORE = 5,
    IDYES = 6,
    IDNO = 7,
    IDNOTOALL = 9,
    IDYESTOALL = 10,
};

// The diskette request's choices.
enum TGetDiskChoice : int {
    gdInsert = 0,    // insert the expected diskette; nothing to do
    gdRestart = 1,   // erase this diskette and start the series again at 1
    gdRenumber = 2,  // erase this diskette and make it the current number
    gdSkip = 3,      // erase this diskette and label it with the next number
};

// One question put to the user. Id is the string id of the text when it came from a
// string table, 0 otherwise.
struct TMessageRequest {
    int Id = 0;
    std::string Text;
    std::string Caption;
    unsigned Flags = MB_OK;
};

// Every question to the user goes through this interface: the desktop answers with
// dialogs, the command line reads standard input, tests answer from a script.
// Implementations may be called from any thread.
class VLSHARE_EXPORT TInteraction {
  public:
    virtual ~TInteraction() = default;

    // A message box; returns the button pressed (IDOK, IDCANCEL, IDYES, ...).
    virtual int MessageBox(const TMessageRequest& request) = 0;

    // May the existing file fileName be replaced by a backed-up copy of DOS date-time
    // copyFileTime? Returns IDYES, IDYESTOALL, IDNO or IDNOTOALL.
    virtual int AskOverwrite(const std::string& fileName, int32_t copyFileTime) = 0;

    // The diskette request: the series expects diskette labelNumber, but another is in the
    // drive. Returns IDOK with the chosen action in choice (a TGetDiskChoice), or IDCANCEL.
    virtual int AskDiskette(int labelNumber, int& choice) = 0;

    // The password of a password-protected backed-up copy. On entry password holds what
    // was typed the last time (a dialog shows it again); returns IDOK with the text typed
    // in password, or IDCANCEL.
    virtual int AskPassword(std::string& password) = 0;
};

// The interaction in use. SetInteraction does not take ownership and returns the one
// it replaces; null restores the default (the terminal).
VLSHARE_EXPORT TInteraction& Interaction();
VLSHARE_EXPORT TInteraction* SetInteraction(TInteraction* interaction);

// The buttons a message-box style offers, in order, and the answer when the user gives
// none (Cancel where there is one, else the last button).
VLSHARE_EXPORT std::string ButtonNames(unsigned flags);
VLSHARE_EXPORT int DefaultAnswer(unsigned flags);
