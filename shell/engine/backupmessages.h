#pragma once

#include <cstdint>

// Messages from the backup threads to the controller. Sent (the thread waits for the
// answer, 2 meaning Cancel), WParam the thread, LParam 0:
enum : uint32_t {
    WM_APP = 0x8000,
    WM_DRIVEFULL = WM_APP + 400,
    WM_DISKNOTEMPTY = WM_APP + 401,
    WM_DISKINSERIES = WM_APP + 402,
    WM_WRONGDISK = WM_APP + 403,
    WM_DRIVENOTREADY = WM_APP + 404,
    WM_WRITEPROTECTED = WM_APP + 405,
    WM_INVALIDVOLUME = WM_APP + 406,
    // Posted: WParam the thread, LParam the error code.
    WM_BACKUPERROR = WM_APP + 407,
    WM_MONITORERROR = WM_APP + 408,
    // Posted: WParam the thread, LParam the number of files found.
    WM_TOTALFILES = WM_APP + 409,
    // Posted: WParam the number of files handled so far, LParam 0.
    WM_FILESPROCESSED = WM_APP + 410,
    // Posted: WParam the thread, LParam 0.
    WM_BACKUPDONE = WM_APP + 411,
    WM_STARTUP = WM_APP + 413,
};
