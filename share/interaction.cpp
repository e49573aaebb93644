#include "interaction.h"

#include <atomic>

#include "terminalinteraction.h"

namespace {

std::atomic<TInteraction*> Current{nullptr};

TInteraction& DefaultInteraction() {
    static TTerminalInteraction terminal;
    return terminal;
}

}  // namespace

TInteraction& Interaction() {
    TInteraction* current = Current.load();
    return current ? *current : DefaultInteraction();
}

TInteraction* SetInteraction(TInteraction* interaction) {
    return Current.exchange(interaction);
}

std::string ButtonNames(unsigned flags) {
    switch (flags & MB_BUTTONMASK) {
        case MB_OKCANCEL:
            return "OK/Cancel";
        case MB_ABORTRETRYIGNORE:
            return "Abort/Retry/Ignore";
        case MB_YESNOCANCEL:
            return "Yes/No/Cancel";
        case MB_YESNO:
            return "Yes/No";
        case MB_RETRYCANCEL:
            return "Retry/Cancel";
        default:
            return "OK";
    }
}

int DefaultAnswer(unsigned flags) {
    switch (flags & MB_BUTTONMASK) {
        case MB_OKCANCEL:
        case MB_YESNOCANCEL:
        case MB_RETRYCANCEL:
            return IDCANCEL;
        case MB_ABORTRETRYIGNORE:
            return IDABORT;
        case MB_YESNO:
            return IDNO;
        default:
            return IDOK;
    }
}
