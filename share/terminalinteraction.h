#pragma once

#include <cstdio>
#include <mutex>
#include <vector>

#include "interaction.h"
#include "vlshare_export.h"

// Asks on the terminal: the question goes to the output stream, the answer is one line of
// the input stream (also when it is not a terminal). The end of input answers Cancel
// (or the style's default where there is no Cancel button).
class VLSHARE_EXPORT TTerminalInteraction : public TInteraction {
  public:
    TTerminalInteraction(std::FILE* in = stdin, std::FILE* out = stderr) : In(in), Out(out) {}

    int MessageBox(const TMessageRequest& request) override;
    int AskOverwrite(const std::string& fileName, int32_t copyFileTime) override;
    int AskDiskette(int labelNumber, int& choice) override;
    // Reads the password as one line, not shown while it is typed on a terminal.
    int AskPassword(std::string& password) override;

  private:
    // Shows prompt until a line names one of the choices ("yes", "y", ...); returns its
    // answer, or fallback at the end of input.
    struct TChoice {
        const char* Word;
        const char* Short;
        int Answer;
    };
    int Ask(const std::string& prompt, const std::vector<TChoice>& choices, int fallback);

    std::mutex Lock;
    std::FILE* In;
    std::FILE* Out;
};
