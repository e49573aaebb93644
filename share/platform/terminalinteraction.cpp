#include "platform/terminalinteraction.h"

#include <cctype>
#include <string>
#include <vector>

#include "datetime.h"

namespace {

std::string Trimmed(std::string s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.pop_back();
    size_t start = 0;
    while (start < s.size() && std::isspace(static_cast<unsigned char>(s[start])))
        ++start;
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
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

int TTerminalInteraction::Ask(const std::string& prompt, std::initializer_list<TChoice> choices,
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
