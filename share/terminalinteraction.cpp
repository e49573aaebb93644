#include "terminalinteraction.h"

#include <cctype>
#include <string>
#include <vector>

#include "datetime.h"
#include "platform/ascii.h"
#include "platform/interrupts.h"
#include "strtable.h"

namespace {

std::string Trimmed(std::string s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.pop_back();
    size_t start = 0;
    while (start < s.size() && std::isspace(static_cast<unsigned char>(s[start])))
        ++start;
    for (char& c : s)
        c = AsciiLower(c);
    return s.substr(start);
}

bool ReadLine(std::FILE* in, std::string& line) {
    line.clear();
    int c;
    while ((c = std::fgetc(in)) != EOF && c != '\n')
        line.push_back(static_cast<char>(c));
    return c != EOF || !line.empty();
}

}  // namespace

int TTerminalInteraction::Ask(const std::string& prompt, const std::vector<TChoice>& choices,
                              int fallback) {
    std::lock_guard guard(Lock);
    std::string line;
    for (;;) {
        std::fputs(prompt.c_str(), Out);
        std::fflush(Out);
        if (!ReadLine(In, line)) {
            std::fputs("\n", Out);
            return fallback;
        }
        std::string answer = Trimmed(line);
        for (const TChoice& choice : choices) {
            if (answer == choice.Word || answer == choice.Short)
                return choice.Answer;
        }
    }
}

int TTerminalInteraction::MessageBox(const TMessageRequest& request) {
    std::string prompt = request.Caption.empty() ? "" : request.Caption + ": ";
    prompt += request.Text + "\n";
    int fallback = DefaultAnswer(request.Flags);
    switch (request.Flags & MB_BUTTONMASK) {
        case MB_OKCANCEL:
            return Ask(prompt + "[ok/cancel] ", {{"ok", "o", IDOK}, {"cancel", "c", IDCANCEL}},
                       fallback);
        case MB_YESNO:
            return Ask(prompt + "[yes/no] ", {{"yes", "y", IDYES}, {"no", "n", IDNO}}, fallback);
        case MB_YESNOCANCEL:
            return Ask(prompt + "[yes/no/cancel] ",
                       {{"yes", "y", IDYES}, {"no", "n", IDNO}, {"cancel", "c", IDCANCEL}},
                       fallback);
        case MB_RETRYCANCEL:
            return Ask(prompt + "[retry/cancel] ",
                       {{"retry", "r", IDRETRY}, {"cancel", "c", IDCANCEL}}, fallback);
        case MB_ABORTRETRYIGNORE:
            return Ask(
                prompt + "[abort/retry/ignore] ",
                {{"abort", "a", IDABORT}, {"retry", "r", IDRETRY}, {"ignore", "i", IDIGNORE}},
                fallback);
        default: {
            // A plain notice needs no answer.
            std::lock_guard guard(Lock);
            std::fputs(prompt.c_str(), Out);
            std::fflush(Out);
            return IDOK;
        }
    }
}

int TTerminalInteraction::AskOverwrite(const std::string& fileName, int32_t copyFileTime) {
    std::string prompt = "The file " + fileName +
                         " already exists.\nReplace it with the backed-up copy of " +
                         FormatDateTime("dd/mm/yyyy hh:nn:ss", FileDateToDateTime(copyFileTime)) +
                         "? [yes/all/no/none] ";
    return Ask(prompt,
               {{"yes", "y", IDYES},
                {"all", "a", IDYESTOALL},
                {"no", "n", IDNO},
                {"none", "o", IDNOTOALL}},
               IDNOTOALL);
}

int TTerminalInteraction::AskDiskette(int labelNumber, int& choice) {
    auto formatted = [](const std::string& format, int a, int b = 0) {
        char text[512];
        std::snprintf(text, sizeof text, format.c_str(), a, b);
        return std::string(text);
    };
    // The items and the action each stands for; the restart item only once a series has
    // more than one diskette.
    std::vector<std::pair<std::string, int>> items = {{formatted(LoadStr(653), labelNumber), 0}};
    if (labelNumber > 1)
        items.push_back({LoadStr(654), 1});
    items.push_back({formatted(LoadStr(655), labelNumber), 2});
    items.push_back({formatted(LoadStr(656), labelNumber, labelNumber + 1), 3});

    std::string prompt = LoadStr(101) + ": " + LoadStr(651) + formatted(" %d.", labelNumber) +
                         "\n" + LoadStr(652) + "\n";
    for (size_t i = 0; i < items.size(); ++i) {
        prompt += "  " + std::to_string(i + 1) + ". " + items[i].first + (i > 0 ? " *" : "") + "\n";
    }
    prompt += "* " + LoadStr(657) + " " + LoadStr(658) + "\n";
    prompt += "[1-" + std::to_string(items.size()) + "/cancel, empty for 1] ";

    std::vector<TChoice> choices;
    static const char* const kNumbers[] = {"1", "2", "3", "4"};
    for (size_t i = 0; i < items.size(); ++i) {
        choices.push_back({kNumbers[i], i == 0 ? "" : kNumbers[i], static_cast<int>(i)});
    }
    choices.push_back({"cancel", "c", -1});
    int picked = Ask(prompt, choices, -1);
    if (picked < 0)
        return IDCANCEL;
    choice = items[static_cast<size_t>(picked)].second;
    return IDOK;
}

int TTerminalInteraction::AskPassword(std::string& password) {
    std::lock_guard guard(Lock);
    std::fputs((LoadStr(101) + ": Enter password: ").c_str(), Out);
    std::fflush(Out);
    std::string line;
    bool answered;
    {
        TTerminalEchoOff hidden(In);
        answered = ReadLine(In, line);
    }
    std::fputs("\n", Out);
    if (!answered)
        return IDCANCEL;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    password = line;
    return IDOK;
}
