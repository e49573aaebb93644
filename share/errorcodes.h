#pragma once

// Error codes of the backup runs that are not system error numbers. The backup threads
// report them to the main controller, and the log and the restore wizard show their texts;
// every other non-zero error is a system error number (platform/syserror.h).
enum : int {
    ERR_UNEXPECTED = 0xF000,      // an unexpected exception ended the run
    ERR_TARGETFULL = 0xF001,      // the fixed target disk is full
    ERR_TARGETNOTFOUND = 0xF002,  // the target drive is missing
    ERR_CANCELLED = 0xF003,       // the user cancelled
    ERR_FILETOOLARGE = 0xF004,    // a file does not fit on an empty target medium
    ERR_FILECHANGED = 0xF005,     // a file kept changing while it was being copied
    ERR_TARGETBUSY = 0xF006,      // another run is backing up to the same backup root
};
