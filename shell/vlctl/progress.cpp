#include "progress.h"

#include "platform/interrupts.h"

namespace {

constexpr int kBarWidth = 40;

}  // namespace

TProgress::TProgress(std::FILE* out) : Out(out), Terminal(IsTerminal(out)) {}

void TProgress::SetTotal(long total) {
    Total = total;
    Draw();
}

void TProgress::Update(long done) {
    Done = done;
    Draw();
}

void TProgress::Draw() {
    // A total of 0 with files still reported counts as complete rather than dividing by 0.
    int percent = Total > 0 ? static_cast<int>(Done * 100 / Total) : (Done > 0 ? 100 : 0);
    if (percent > 100)
        percent = 100;
    if (Terminal) {
        int filled = percent * kBarWidth / 100;
        std::fprintf(Out, "\r[%s%s] %3d%% completed. %ld of %ld files",
                     std::string(filled, '#').c_str(), std::string(kBarWidth - filled, '.').c_str(),
                     percent, Done, Total);
        std::fflush(Out);
        return;
    }
    int step = percent / 10;
    if (step == LastShown)
        return;
    LastShown = step;
    std::fprintf(Out, "%d%% completed. %ld of %ld files\n", percent, Done, Total);
    std::fflush(Out);
}

void TProgress::Finish() {
    if (Terminal)
        std::fputs("\n", Out);
}
