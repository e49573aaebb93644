#include "interaction.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <thread>

#include "display.h"
#include "platform/messages.h"
#include "scriptedinteraction.h"
#include "terminalinteraction.h"

namespace {

// Answers the terminal's questions from text and collects what it printed.
struct TTerminalRun {
    explicit TTerminalRun(const std::string& input) : Input(input) {
        // An empty buffer cannot be opened: one zero byte stands in, which answers nothing.
        In = Input.empty() ? fmemopen(nullptr, 1, "r") : fmemopen(Input.data(), Input.size(), "r");
        Out = open_memstream(&Printed, &PrintedSize);
    }
    ~TTerminalRun() {
        std::fclose(In);
        std::fclose(Out);
        std::free(Printed);
    }
    std::string Output() {
        std::fflush(Out);
        return std::string(Printed, PrintedSize);
    }
    std::string Input;
    std::FILE* In;
    std::FILE* Out;
    char* Printed = nullptr;
    size_t PrintedSize = 0;
};

}  // namespace

TEST(TerminalQuestions, AnswersAreReadOneLineEachAndEndOfInputCancels) {
    struct Case {
        const char* Input;
        unsigned Flags;
        int Answer;
    };
    const Case cases[] = {
        {"y\n", MB_YESNO, IDYES},
        {"  NO \n", MB_YESNO, IDNO},
        {"maybe\nyes\n", MB_YESNO, IDYES},
        {"", MB_YESNOCANCEL, IDCANCEL},
        {"", MB_YESNO, IDNO},
        {"r\n", MB_RETRYCANCEL, IDRETRY},
        {"cancel\n", MB_OKCANCEL, IDCANCEL},
        {"ok", MB_OKCANCEL, IDOK},
        {"", MB_OK, IDOK},
    };
    for (const Case& c : cases) {
        TTerminalRun run(c.Input);
        TTerminalInteraction terminal(run.In, run.Out);
        EXPECT_EQ(terminal.MessageBox({0, "Erase?", "Vaultaire 2000", c.Flags}), c.Answer)
            << c.Input;
        EXPECT_NE(run.Output().find("Vaultaire 2000: Erase?"), std::string::npos);
    }
}

TEST(TerminalQuestions, OverwriteAsksFourWays) {
    TTerminalRun run("all\n");
    TTerminalInteraction terminal(run.In, run.Out);
    EXPECT_EQ(terminal.AskOverwrite("C:\\a.txt", 0x5B8A7A1D), IDYESTOALL);
    EXPECT_NE(run.Output().find("C:\\a.txt"), std::string::npos);
    TTerminalRun ended("");
    TTerminalInteraction closed(ended.In, ended.Out);
    EXPECT_EQ(closed.AskOverwrite("C:\\a.txt", 0), IDNOTOALL) << "no answer replaces nothing";
}

TEST(TerminalQuestions, APasswordIsOneLineAndNoLineCancels) {
    TTerminalRun run("Open Sesame\r\nnext\n");
    TTerminalInteraction terminal(run.In, run.Out);
    std::string password = "typed before";
    EXPECT_EQ(terminal.AskPassword(password), IDOK);
    EXPECT_EQ(password, "Open Sesame");
    EXPECT_NE(run.Output().find("Enter password:"), std::string::npos);
    EXPECT_EQ(run.Output().find("Open Sesame"), std::string::npos) << "the answer is not shown";
    std::FILE* empty = std::tmpfile();
    ASSERT_NE(empty, nullptr);
    TTerminalInteraction closed(empty, run.Out);
    EXPECT_EQ(closed.AskPassword(password), IDCANCEL);
    std::fclose(empty);
}

TEST(ScriptedQuestions, APasswordIsAnsweredFromTheScript) {
    TScriptedInteraction script;
    script.ExpectPassword(IDOK, "alpha");
    script.ExpectPassword(IDCANCEL, "");
    std::string password;
    EXPECT_EQ(script.AskPassword(password), IDOK);
    EXPECT_EQ(password, "alpha");
    EXPECT_EQ(script.AskPassword(password), IDCANCEL);
    EXPECT_EQ(script.AskPassword(password), IDCANCEL) << "unscripted: Cancel";
    EXPECT_EQ(script.Unexpected().size(), 1u);
}

TEST(ScriptedQuestions, DisplayMessageShowsTheTextOfItsIdUnderTheProductName) {
    TScriptedInteraction script;
    script.Expect(356, IDOK);
    script.ExpectText("cannot monitor", IDOK);
    TInteraction* previous = SetInteraction(&script);
    EXPECT_EQ(DisplayMessage(356, MB_ICONSTOP), IDOK);
    EXPECT_EQ(DisplayMessage(355, MB_ICONSTOP), IDOK);
    EXPECT_EQ(DisplayMessage(363, MB_YESNO), IDNO) << "not scripted: the default answer";
    SetInteraction(previous);
    EXPECT_EQ(script.Asked()[0], "Error: Vaultaire 2000 is already running!");
    EXPECT_EQ(script.Unexpected().size(), 1u);
    EXPECT_EQ(script.Pending(), 0u);
}

TEST(ScriptedQuestions, MessageHandlerThatFailsIsAnsweredCancelAndItsFailureShown) {
    // Sent messages travel through the main thread's event loop.
    TPlainEventLoop loop;

    TScriptedInteraction script;
    script.ExpectText("the handler broke", IDOK);
    TInteraction* previous = SetInteraction(&script);
    intptr_t answer = 0;
    {
        TMessageTarget target([](uint32_t, uintptr_t, intptr_t) -> intptr_t {
            throw std::runtime_error("the handler broke");
        });
        std::atomic<bool> sent{false};
        std::thread worker([&] {
            answer = target.SendMessage(1234, 0, 0);
            sent = true;
        });
        ServeMessagesUntil([&] { return sent.load(); });
        worker.join();
    }
    SetInteraction(previous);
    EXPECT_EQ(answer, IDCANCEL);
    EXPECT_EQ(script.Pending(), 0u) << "the failure was not shown";
    EXPECT_TRUE(script.Unexpected().empty());
}
