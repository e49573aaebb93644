// Every test program runs in a sandbox folder of its own: the program's data folder, the
// user's configuration and home folders and the temporary folder all point into it, so no
// test touches the user's real files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "interaction.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

fs::path MakeSandbox() {
    std::string pattern = (fs::temp_directory_path() / "vltest-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make the test sandbox");
    fs::path root = fs::canonical(pattern);
    for (const char* sub : {"home", "data", "config", "tmp", "runtime"})
        fs::create_directories(root / sub);
    // The runtime folder holds the single-instance locks; like the user's, only they reach it.
    fs::permissions(root / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    setenv("HOME", (root / "home").c_str(), 1);
    setenv("VAULTAIRE_HOME", (root / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    setenv("TMPDIR", (root / "tmp").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root / "runtime").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return root;
}

// Questions that a test did not script fail that test.
class TUnexpectedQuestions : public TInteraction {
  public:
    int MessageBox(const TMessageRequest& request) override {
        ADD_FAILURE() << "unexpected message box " << request.Id << ": " << request.Text;
        return DefaultAnswer(request.Flags);
    }
    int AskOverwrite(const std::string& fileName, int32_t) override {
        ADD_FAILURE() << "unexpected overwrite question for " << fileName;
        return IDNO;
    }
    int AskPassword(std::string&) override {
        ADD_FAILURE() << "unexpected password question";
        return IDCANCEL;
    }
    int AskDiskette(int labelNumber, int&) override {
        ADD_FAILURE() << "unexpected diskette request for number " << labelNumber;
        return IDCANCEL;
    }
};

fs::path& SandboxRoot() {
    static fs::path root;
    return root;
}

}  // namespace

const fs::path& TestSandbox() {
    return SandboxRoot();
}

int main(int argc, char** argv) {
    SandboxRoot() = MakeSandbox();
    TUnexpectedQuestions unexpected;
    SetInteraction(&unexpected);
    UseDefaultTestDriveMap();
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    SetInteraction(nullptr);
    std::error_code ignored;
    fs::remove_all(SandboxRoot(), ignored);
    return result;
}
