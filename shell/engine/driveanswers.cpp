#include "driveanswers.h"

#include "backupmessages.h"
#include "interaction.h"
#include "strtable.h"
#include "targetthread.h"

namespace {

// The boxes of these questions stay in front of every other window.
constexpr int kSystemModal = 0x1000;

intptr_t AnswerNotEmpty(TVDrive& drive, TProfile& profile) {
    int answer = drive.Prompt(ptNotEmpty, LoadStr(254), kSystemModal);
    if (answer == IDYES) {
        drive.Clean();
        drive.SetLabel(profile.GetLabel());
    } else if (answer == IDNO) {
        drive.PromptForDiskette(0);
        drive.Reset();
    }
    return answer;
}

intptr_t AnswerInvalidVolume(TVDrive& drive) {
    int answer = drive.Prompt(ptFormat, LoadStr(255), kSystemModal);
    if (answer == IDYES) {
        uint32_t result = 0;
        drive.Format(result);
    }
    return answer;
}

intptr_t AnswerWrongDisk(TBackupThread& thread) {
    int choice = gdInsert;
    int answer = Interaction().AskDiskette(thread.Profile().Header.LabelNumber, choice);
    if (answer == IDOK)
        CarryOutDisketteChoice(choice, thread);
    return answer;
}

}  // namespace

void CarryOutDisketteChoice(int choice, TBackupThread& thread) {
    TVDrive& drive = *thread.Drive();
    TProfile& profile = thread.Profile();
    switch (choice) {
        case gdRestart:
            profile.StartNewSeries();
            drive.Clean();
            drive.SetLabel(profile.GetNextLabel(true));
            break;
        case gdRenumber:
            drive.Clean();
            drive.SetLabel(profile.GetLabel());
            break;
        case gdSkip:
            drive.Clean();
            drive.SetLabel(profile.GetNextLabel(true));
            break;
        default:
            break;
    }
}

intptr_t AnswerBackupQuestion(uint32_t message, TBackupThread& thread) {
    TVDrive* drive = thread.Drive();
    if (!drive)
        return IDCANCEL;
    switch (message) {
        case WM_DRIVEFULL:
            return drive->Prompt(ptFull, "", kSystemModal);
        case WM_DISKNOTEMPTY:
            return AnswerNotEmpty(*drive, thread.Profile());
        case WM_DISKINSERIES:
            return drive->Prompt(ptCustom, LoadStr(253), kSystemModal | MB_ICONEXCLAMATION);
        case WM_WRONGDISK:
            return AnswerWrongDisk(thread);
        case WM_DRIVENOTREADY:
            return drive->Prompt(ptNotReady, "", kSystemModal);
        case WM_WRITEPROTECTED:
            return drive->Prompt(ptWriteProtected, "", kSystemModal);
        case WM_INVALIDVOLUME:
            return AnswerInvalidVolume(*drive);
        default:
            return 0;
    }
}
