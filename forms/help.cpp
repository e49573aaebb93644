#include "help.h"

#include <QDesktopServices>
#include <algorithm>
#include <array>

#include "interaction.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "strtable.h"

namespace {

constexpr int StrProductName = 101;
constexpr int StrNoHelpForContext = 951;
constexpr int StrHelpFolderUnknown = 952;
constexpr int StrHelpPageMissing = 953;
constexpr int StrHelpPageNotOpened = 954;

// Pages and the sections in them that the controls' numbers lead to.
constexpr std::array kTopics = {
    THelpTopic{hcContents, "index.html", ""},

    THelpTopic{hcSelectProfileTitles, "select-profile.html", "profile-list"},
    THelpTopic{hcSelectProfileOk, "select-profile.html", "ok"},

    THelpTopic{hcEditSummary, "editor-summary.html", ""},
    THelpTopic{hcEditLocations, "editor-locations.html", ""},
    THelpTopic{hcEditInclude, "editor-include.html", ""},
    THelpTopic{hcEditExclude, "editor-exclude.html", ""},
    THelpTopic{hcEditSecurity, "editor-security.html", ""},

    THelpTopic{hcWizardIntro, "wizard.html", ""},
    THelpTopic{hcWizardSource, "wizard-folders.html", ""},
    THelpTopic{hcWizardTarget, "wizard-target.html", ""},
    THelpTopic{hcWizardInclude, "wizard-include.html", ""},
    THelpTopic{hcWizardExclude, "wizard-exclude.html", ""},
    THelpTopic{hcWizardSecurity, "wizard-security.html", ""},
    THelpTopic{hcWizardTitle, "wizard-title.html", ""},
    THelpTopic{hcWizardNext, "wizard.html", "buttons"},
    THelpTopic{hcWizardFinish, "wizard-title.html", "finish"},

    THelpTopic{hcOptions, "options.html", ""},
    THelpTopic{hcOptionsLogFile, "options.html", "create-log"},
    THelpTopic{hcOptionsLogEntryType, "options.html", "record"},
    THelpTopic{hcOptionsMaxLogEntries, "options.html", "maximum"},
    THelpTopic{hcOptionsAutoload, "options.html", "load-at-start"},
    THelpTopic{hcOptionsOk, "options.html", "buttons"},
    THelpTopic{hcOptionsCancel, "options.html", "buttons"},

    THelpTopic{hcProfileTitleName, "save-profile-as.html", "name"},
    THelpTopic{hcProfileTitleTitles, "save-profile-as.html", "names-in-use"},
    THelpTopic{hcProfileTitleSave, "save-profile-as.html", "buttons"},
    THelpTopic{hcProfileTitleCancel, "save-profile-as.html", "buttons"},

    THelpTopic{hcOldPassword, "old-password.html", ""},

    THelpTopic{hcRestoreIntro, "restore-wizard.html", ""},
    THelpTopic{hcRestoreSource, "restore-location.html", ""},
    THelpTopic{hcRestoreSelectFiles, "restore-files.html", ""},
    THelpTopic{hcRestoreOptions, "restore-options.html", ""},
    THelpTopic{hcRestoreProgress, "restore-progress.html", ""},
    THelpTopic{hcRestoreSummary, "restore-summary.html", ""},
    THelpTopic{hcRestoreSourcePaths, "restore-location.html", "location"},
    THelpTopic{hcRestoreBrowse, "restore-location.html", "browse"},
    THelpTopic{hcRestoreTree, "restore-files.html", "tree"},
    THelpTopic{hcRestoreFileList, "restore-files.html", "file-list"},
    THelpTopic{hcRestoreAllVersions, "restore-files.html", "all-versions"},
    THelpTopic{hcRestoreTargetPath, "restore-options.html", "restore-to"},
    THelpTopic{hcRestoreOverwriteOptions, "restore-options.html", "overwrite"},
    THelpTopic{hcRestoreProgressPanel, "restore-progress.html", "figures"},
    THelpTopic{hcRestoreCancel, "restore-progress.html", "cancel"},
    THelpTopic{hcRestoreReport, "restore-summary.html", "details"},
    THelpTopic{hcRestoreRestart, "restore-summary.html", "restart"},
    THelpTopic{hcRestoreQuit, "restore-summary.html", "exit"},
    THelpTopic{hcRestoreBack, "restore-wizard.html", "buttons"},
    THelpTopic{hcRestoreNext, "restore-wizard.html", "buttons"},
    THelpTopic{hcRestoreFinish, "restore-options.html", "finish"},
    THelpTopic{hcRestoreHelp, "restore-wizard.html", "buttons"},
};

// text with its first "%s" or "%d" replaced by value.
std::string FilledIn(const std::string& text, const std::string& value) {
    size_t at = text.find('%');
    if (at == std::string::npos || at + 1 >= text.size())
        return text;
    return text.substr(0, at) + value + text.substr(at + 2);
}

// The path of context's page in folder; empty for an unknown context or an empty folder.
THostPath HelpFileIn(const THostPath& folder, int context) {
    const THelpTopic* topic = HelpTopicFor(context);
    if (!topic || folder.IsEmpty())
        return {};
    return folder / topic->Page;
}

// Opens context's page in folder with open; returns 0, or the id of the text that says why
// not with that text, filled in, in error.
int ShowHelpPage(const THostPath& folder, int context, std::string& error, const TUrlOpener& open) {
    const THelpTopic* topic = HelpTopicFor(context);
    if (!topic) {
        error = FilledIn(LoadStr(StrNoHelpForContext), std::to_string(context));
        return StrNoHelpForContext;
    }
    THostPath page = HelpFileIn(folder, context);
    if (page.IsEmpty()) {
        error = LoadStr(StrHelpFolderUnknown);
        return StrHelpFolderUnknown;
    }
    // A folder or a pipe in the page's place is no page: a browser would wait on a pipe.
    if (!FileExists(page.Text())) {
        error = FilledIn(LoadStr(StrHelpPageMissing), page.Text());
        return StrHelpPageMissing;
    }
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(page.Text()));
    if (*topic->Section)
        url.setFragment(QString::fromUtf8(topic->Section));
    if (!open(url)) {
        error = FilledIn(LoadStr(StrHelpPageNotOpened), page.Text());
        return StrHelpPageNotOpened;
    }
    error.clear();
    return 0;
}

}  // namespace

std::span<const THelpTopic> HelpTopics() {
    return kTopics;
}

const THelpTopic* HelpTopicFor(int context) {
    auto topic = std::find_if(kTopics.begin(), kTopics.end(),
                              [context](const THelpTopic& t) { return t.Context == context; });
    return topic == kTopics.end() ? nullptr : &*topic;
}

THostPath HelpFileFor(int context) {
    return HelpFileIn(HelpFolderHost(), context);
}

bool OpenInDesktopBrowser(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

bool ShowHelp(int context, std::string& error, const TUrlOpener& open) {
    return ShowHelpPage(HelpFolderHost(), context, error, open) == 0;
}

bool ShowHelpFrom(const THostPath& helpFolder, int context, std::string& error,
                  const TUrlOpener& open) {
    return ShowHelpPage(helpFolder, context, error, open) == 0;
}

void OpenHelp(int context) {
    std::string error;
    int problem = ShowHelpPage(HelpFolderHost(), context, error, OpenInDesktopBrowser);
    if (problem != 0)
        Interaction().MessageBox(
            {problem, error, LoadStr(StrProductName), MB_OK | MB_ICONEXCLAMATION});
}
