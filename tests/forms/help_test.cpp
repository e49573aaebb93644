#include "help.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QUrl>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "interaction.h"
#include "platform/folders.h"
#include "runprogram.h"
#include "scriptedinteraction.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

// Every help context the windows are given, by window.
const std::map<std::string, std::vector<int>> kContextsOfWindows = {
    {"tray menu Help (contents)", {0}},
    {"select profile", {5900, 5910}},
    {"profile editor pages", {410, 430, 440, 450, 460}},
    {"profile wizard pages", {330, 340, 350, 360, 370, 380, 390}},
    {"profile wizard Next and Finish", {5440, 5450}},
    {"options", {600, 5640, 5650, 5660, 5670, 5680, 5685}},
    {"save profile as", {5920, 5930, 5940, 5950}},
    {"old password", {6061}},
    {"restore wizard pages", {520, 530, 540, 550, 560, 570}},
    {"restore wizard controls",
     {5690, 5240, 5730, 5740, 5750, 5760, 5770, 5780, 5790, 5800, 5810, 5820, 5700, 5720, 5710,
      5715}},
};

fs::path ShippedHelpFolder() {
    return fs::path(HelpFolderHost().Text());
}

std::vector<fs::path> PagesIn(const fs::path& folder) {
    std::vector<fs::path> pages;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".html")
            pages.push_back(entry.path());
    std::sort(pages.begin(), pages.end());
    return pages;
}

// The values of every attribute name="..." in html.
std::vector<std::string> AttributeValues(const std::string& html, const std::string& name) {
    std::vector<std::string> values;
    std::regex attribute("\\b" + name + "\\s*=\\s*\"([^\"]*)\"", std::regex::icase);
    for (std::sregex_iterator it(html.begin(), html.end(), attribute), end; it != end; ++it)
        values.push_back((*it)[1]);
    return values;
}

std::set<std::string> IdsOf(const fs::path& page) {
    std::vector<std::string> ids = AttributeValues(ReadTextFile(page), "id");
    return {ids.begin(), ids.end()};
}

// A link of a page: the file it names in the help folder and the section in it.
struct TLink {
    std::string File;
    std::string Section;
};

// The links of page (href and src); a link to a section of the page itself names the page.
std::vector<TLink> LinksOf(const fs::path& page) {
    std::string html = ReadTextFile(page);
    std::vector<TLink> links;
    for (const char* attribute : {"href", "src"}) {
        for (const std::string& value : AttributeValues(html, attribute)) {
            size_t hash = value.find('#');
            TLink link{value.substr(0, hash),
                       hash == std::string::npos ? "" : value.substr(hash + 1)};
            if (link.File.empty())
                link.File = page.filename().string();
            links.push_back(link);
        }
    }
    return links;
}

TEST(HelpTopics, EveryContextOfEveryWindowReachesAnExistingPage) {
    fs::path folder = ShippedHelpFolder();
    for (const auto& [window, contexts] : kContextsOfWindows) {
        for (int context : contexts) {
            SCOPED_TRACE(window + ", help context " + std::to_string(context));
            const THelpTopic* topic = HelpTopicFor(context);
            ASSERT_NE(topic, nullptr);
            THostPath file = HelpFileFor(context);
            EXPECT_EQ(fs::path(file.Text()), folder / topic->Page);
            EXPECT_TRUE(fs::is_regular_file(file.Text()));
            if (*topic->Section) {
                EXPECT_TRUE(IdsOf(file.Text()).contains(topic->Section))
                    << "no section \"" << topic->Section << "\" in " << topic->Page;
            }
        }
    }
}

TEST(HelpTopics, EachContextHasOneTopicAndNumbersNoWindowUsesHaveNone) {
    std::set<int> seen;
    for (const THelpTopic& topic : HelpTopics())
        EXPECT_TRUE(seen.insert(topic.Context).second) << "twice: " << topic.Context;
    for (int unknown : {-1, 1, 420, 5441, 99999}) {
        EXPECT_EQ(HelpTopicFor(unknown), nullptr) << unknown;
        EXPECT_TRUE(HelpFileFor(unknown).IsEmpty()) << unknown;
    }
}

// The pages are read offline in any browser: they link only to each other and to their
// style sheet, run no scripts, and every link and section they name exists.
TEST(HelpPages, LinksResolveAndNothingComesFromOutside) {
    fs::path folder = ShippedHelpFolder();
    std::vector<fs::path> pages = PagesIn(folder);
    ASSERT_FALSE(pages.empty()) << folder;
    for (const fs::path& page : pages) {
        SCOPED_TRACE(page.filename().string());
        std::string html = ReadTextFile(page);
        EXPECT_EQ(html.find("<script"), std::string::npos);
        EXPECT_NE(html.find("<title>"), std::string::npos);
        EXPECT_NE(html.find("href=\"style.css\""), std::string::npos);
        std::vector<std::string> ids = AttributeValues(html, "id");
        EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), ids.size())
            << "a section id is used twice";
        for (const TLink& link : LinksOf(page)) {
            SCOPED_TRACE("link " + link.File + "#" + link.Section);
            EXPECT_EQ(link.File.find(':'), std::string::npos) << "a link leaves the help";
            EXPECT_EQ(link.File.find('/'), std::string::npos) << "a link leaves the folder";
            ASSERT_TRUE(fs::is_regular_file(folder / link.File));
            if (!link.Section.empty()) {
                EXPECT_TRUE(IdsOf(folder / link.File).contains(link.Section));
            }
        }
    }
}

TEST(HelpPages, EveryPageCanBeReachedFromTheContents) {
    fs::path folder = ShippedHelpFolder();
    std::set<std::string> reached{"index.html"};
    std::vector<std::string> toVisit{"index.html"};
    while (!toVisit.empty()) {
        std::string page = toVisit.back();
        toVisit.pop_back();
        for (const TLink& link : LinksOf(folder / page))
            if (link.File.ends_with(".html") && fs::is_regular_file(folder / link.File) &&
                reached.insert(link.File).second)
                toVisit.push_back(link.File);
    }
    for (const fs::path& page : PagesIn(folder))
        EXPECT_TRUE(reached.contains(page.filename().string()))
            << page.filename() << " is not reached from the contents";
}

// What the build tree holds is what the source tree has: no page left out of the copy.
void ExpectSameFiles(const fs::path& shipped, const fs::path& source) {
    for (const auto& entry : fs::directory_iterator(source)) {
        if (entry.path().filename() == "CMakeLists.txt")
            continue;
        fs::path copy = shipped / entry.path().filename();
        ASSERT_TRUE(fs::is_regular_file(copy)) << copy;
        EXPECT_EQ(ReadTextFile(copy), ReadTextFile(entry.path())) << copy;
    }
}

TEST(HelpFolder, BuildTreeHoldsEveryPageBesideThePrograms) {
    // The test program lies in the build tree's program folder, as the programs do.
    EXPECT_EQ(fs::path(HelpFolderHost().Text()), fs::path(VL_HELP_BUILD_DIR));
    EXPECT_EQ(HelpFolderHost(), HelpFolderFor(ExeFolderHost()));
    ExpectSameFiles(ShippedHelpFolder(), VL_HELP_SOURCE_DIR);
}

TEST(HelpFolder, InstalledProgramFindsEveryPage) {
    TTempDir prefix;
    TRunResult install = RunProgram(
        VL_CMAKE_COMMAND,
        {"--install", VL_BUILD_DIR, "--prefix", prefix.Path().string(), "--component", "help"}, "",
        60);
    ASSERT_EQ(install.ExitCode, 0) << install.Out << install.Err;
    THostPath programs(fs::path(prefix.Path() / VL_INSTALL_BINDIR).lexically_normal().string());
    THostPath help = HelpFolderFor(programs);
    ASSERT_TRUE(help.IsInside(THostPath(prefix.Path().string())));
    ExpectSameFiles(help.Text(), VL_HELP_SOURCE_DIR);
}

TEST(HelpFolder, UnknownProgramFolderGivesNoHelpFolder) {
    EXPECT_TRUE(HelpFolderFor(THostPath()).IsEmpty());
}

// An opener that records what it was given instead of starting a browser.
struct TRecordingOpener {
    std::vector<QUrl> Opened;
    bool Accepts = true;
    TUrlOpener Opener() {
        return [this](const QUrl& url) {
            Opened.push_back(url);
            return Accepts;
        };
    }
};

TEST(ShowHelp, OpensThePageAtTheControlsSection) {
    TRecordingOpener browser;
    std::string error = "stale";
    ASSERT_TRUE(ShowHelp(hcRestoreAllVersions, error, browser.Opener())) << error;
    EXPECT_EQ(error, "");
    ASSERT_EQ(browser.Opened.size(), 1u);
    QUrl url = browser.Opened[0];
    EXPECT_TRUE(url.isLocalFile());
    EXPECT_EQ(url.toLocalFile().toStdString(), HelpFileFor(hcRestoreAllVersions).Text());
    EXPECT_EQ(url.fragment().toStdString(), "all-versions");

    ASSERT_TRUE(ShowHelp(hcContents, error, browser.Opener()));
    EXPECT_TRUE(browser.Opened.back().toLocalFile().endsWith("/index.html"));
    EXPECT_FALSE(browser.Opened.back().hasFragment());
}

// A help folder whose path holds characters that mean something in a URL.
TEST(ShowHelp, OddFolderNamesReachTheBrowserIntact) {
    TTempDir sandbox;
    fs::path folder = sandbox.Path() / "my help #2 %20 ü";
    WriteTextFile(folder / "options.html", "<title>t</title>");
    TRecordingOpener browser;
    std::string error;
    ASSERT_TRUE(
        ShowHelpFrom(THostPath(folder.string()), hcOptionsAutoload, error, browser.Opener()))
        << error;
    ASSERT_EQ(browser.Opened.size(), 1u);
    EXPECT_EQ(browser.Opened[0].toLocalFile().toStdString(), (folder / "options.html").string());
    EXPECT_EQ(browser.Opened[0].fragment().toStdString(), "load-at-start");
}

struct TFailureCase {
    const char* Name;
    int Context;
    bool PageThere;
    bool FolderKnown;
    bool BrowserAccepts;
    const char* ErrorPart;
    bool OpenerCalled;
};

TEST(ShowHelp, SaysWhyNoPageWasShown) {
    const TFailureCase cases[] = {
        {"unknown context", 4242, true, true, true, "help context 4242", false},
        {"help folder not known", hcOptions, true, false, true, "folder of Vaultaire 2000", false},
        {"page missing", hcOptions, false, true, true, "is missing", false},
        {"no browser", hcOptions, true, true, false, "could not be opened", true},
    };
    for (const TFailureCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTempDir sandbox;
        if (c.PageThere)
            WriteTextFile(sandbox.Path() / "options.html", "<title>t</title>");
        THostPath folder = c.FolderKnown ? THostPath(sandbox.Path().string()) : THostPath();
        TRecordingOpener browser;
        browser.Accepts = c.BrowserAccepts;
        std::string error;
        EXPECT_FALSE(ShowHelpFrom(folder, c.Context, error, browser.Opener()));
        EXPECT_NE(error.find(c.ErrorPart), std::string::npos) << error;
        EXPECT_EQ(!browser.Opened.empty(), c.OpenerCalled);
        if (c.Context == hcOptions && c.FolderKnown) {
            EXPECT_NE(error.find(sandbox / "options.html"), std::string::npos) << error;
        }
    }
}

// A page that is a folder or a pipe is no page: nothing reaches the browser.
TEST(ShowHelp, AFolderOrPipeInPlaceOfThePageIsMissing) {
    TTempDir folderCase, pipeCase;
    fs::create_directory(folderCase.Path() / "options.html");
    ASSERT_EQ(::mkfifo((pipeCase.Path() / "options.html").c_str(), 0600), 0);
    for (const TTempDir* sandbox : {&folderCase, &pipeCase}) {
        TRecordingOpener browser;
        std::string error;
        EXPECT_FALSE(
            ShowHelpFrom(THostPath(sandbox->Path().string()), hcOptions, error, browser.Opener()));
        EXPECT_NE(error.find("is missing"), std::string::npos) << error;
        EXPECT_TRUE(browser.Opened.empty());
    }
}

TEST(OpenHelp, TellsTheUserWhenThereIsNoPage) {
    TScriptedInteraction script;
    script.Expect(951, IDOK);
    TInteraction* previous = SetInteraction(&script);
    OpenHelp(4242);
    SetInteraction(previous);
    EXPECT_EQ(script.Pending(), 0u);
    EXPECT_TRUE(script.Unexpected().empty());
    ASSERT_EQ(script.Asked().size(), 1u);
    EXPECT_NE(script.Asked()[0].find("4242"), std::string::npos);
}

}  // namespace
