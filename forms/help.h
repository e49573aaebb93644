#pragma once

#include <QUrl>
#include <functional>
#include <span>
#include <string>

#include "platform/hostpath.h"
#include "vlforms_export.h"

// The help: HTML pages shipped with the program (help/ in the source tree), opened in the
// desktop's browser. Windows name a page by the help context number of the page or control
// the user asks about; the contents page answers the tray's Help command.
enum THelpContext : int {
    hcContents = 0,

    // Select-profile dialog.
    hcSelectProfileTitles = 5900,
    hcSelectProfileOk = 5910,

    // Profile editor, one number per page.
    hcEditSummary = 410,
    hcEditLocations = 430,
    hcEditInclude = 440,
    hcEditExclude = 450,
    hcEditSecurity = 460,

    // Profile wizard: its pages, and its Next button (Finish on the last page).
    hcWizardIntro = 330,
    hcWizardSource = 340,
    hcWizardTarget = 350,
    hcWizardInclude = 360,
    hcWizardExclude = 370,
    hcWizardSecurity = 380,
    hcWizardTitle = 390,
    hcWizardNext = 5440,
    hcWizardFinish = 5450,

    // Options dialog and its controls.
    hcOptions = 600,
    hcOptionsLogFile = 5640,
    hcOptionsLogEntryType = 5650,
    hcOptionsMaxLogEntries = 5660,
    hcOptionsAutoload = 5670,
    hcOptionsOk = 5680,
    hcOptionsCancel = 5685,

    // "Save Profile As" dialog, its controls in the order they are laid out.
    hcProfileTitleName = 5920,
    hcProfileTitleTitles = 5930,
    hcProfileTitleSave = 5940,
    hcProfileTitleCancel = 5950,

    // Old-password dialog.
    hcOldPassword = 6061,

    // Restore wizard: its pages, then its controls.
    hcRestoreIntro = 520,
    hcRestoreSource = 530,
    hcRestoreSelectFiles = 540,
    hcRestoreOptions = 550,
    hcRestoreProgress = 560,
    hcRestoreSummary = 570,
    hcRestoreSourcePaths = 5690,
    hcRestoreBrowse = 5240,
    hcRestoreTree = 5730,
    hcRestoreFileList = 5740,
    hcRestoreAllVersions = 5750,
    hcRestoreTargetPath = 5760,
    hcRestoreOverwriteOptions = 5770,
    hcRestoreProgressPanel = 5780,
    hcRestoreCancel = 5790,
    hcRestoreReport = 5800,
    hcRestoreRestart = 5810,
    hcRestoreQuit = 5820,
    hcRestoreBack = 5700,
    hcRestoreNext = 5710,
    hcRestoreFinish = 5715,
    hcRestoreHelp = 5720,
};

// Where a help context leads: a page of the help folder and, for a control, the section of
// the page about it (empty for the top of the page).
struct THelpTopic {
    int Context;
    const char* Page;
    const char* Section;
};

// Every help context the windows use, with its topic.
VLFORMS_EXPORT std::span<const THelpTopic> HelpTopics();

// The topic of context; null for a number no window uses.
VLFORMS_EXPORT const THelpTopic* HelpTopicFor(int context);

// The host path of context's page in the help folder; empty for a number no window uses or
// when the help folder is not known. Whether the page exists is not looked at.
VLFORMS_EXPORT THostPath HelpFileFor(int context);

// Hands a URL to the desktop; returns whether the desktop took it.
using TUrlOpener = std::function<bool(const QUrl&)>;

// The desktop's browser, through QDesktopServices.
VLFORMS_EXPORT bool OpenInDesktopBrowser(const QUrl& url);

// Opens context's page, at the section about the control, with open. Returns true when the
// page was handed to the browser; otherwise false and error says why (a number no window
// uses, the help folder not known, the page missing, no browser), in words for the user.
VLFORMS_EXPORT bool ShowHelp(int context, std::string& error,
                             const TUrlOpener& open = OpenInDesktopBrowser);
// ShowHelp with the pages of helpFolder rather than the program's help folder.
VLFORMS_EXPORT bool ShowHelpFrom(const THostPath& helpFolder, int context, std::string& error,
                                 const TUrlOpener& open);

// ShowHelp with the desktop's browser; when the page cannot be shown, the user is told why
// in a message box (through Interaction()). For the tray's Help command and Help buttons.
VLFORMS_EXPORT void OpenHelp(int context);
