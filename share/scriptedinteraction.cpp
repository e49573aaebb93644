#include "scriptedinteraction.h"

void TScriptedInteraction::Expect(int id, int answer) {
    std::lock_guard guard(Lock);
    Script.push_back({TKind::Message, id, {}, answer});
}

void TScriptedInteraction::ExpectText(std::string textPart, int answer) {
    std::lock_guard guard(Lock);
    Script.push_back({TKind::Message, 0, std::move(textPart), answer});
}

void TScriptedInteraction::ExpectOverwrite(int answer) {
    std::lock_guard guard(Lock);
    Script.push_back({TKind::Overwrite, 0, {}, answer});
}

void TScriptedInteraction::ExpectDiskette(int answer, int choice) {
    std::lock_guard guard(Lock);
    Script.push_back({TKind::Diskette, 0, {}, answer, choice});
}

void TScriptedInteraction::ExpectPassword(int answer, std::string password) {
    std::lock_guard guard(Lock);
    Script.push_back({TKind::Password, 0, {}, answer, 0, std::move(password)});
}

int TScriptedInteraction::AskPassword(std::string& password) {
    return Answer(TKind::Password, {0, "Enter password:", {}, MB_OKCANCEL}, IDCANCEL, nullptr,
                  &password);
}

int TScriptedInteraction::AskDiskette(int labelNumber, int& choice) {
    return Answer(
        TKind::Diskette,
        {0, "Diskette request for number " + std::to_string(labelNumber), {}, MB_OKCANCEL},
        IDCANCEL, &choice);
}

int TScriptedInteraction::MessageBox(const TMessageRequest& request) {
    return Answer(TKind::Message, request, DefaultAnswer(request.Flags));
}

int TScriptedInteraction::AskOverwrite(const std::string& fileName, int32_t) {
    return Answer(TKind::Overwrite, {0, "Overwrite " + fileName + "?", {}, MB_YESNO}, IDNO);
}

bool TScriptedInteraction::Matches(const TExpectation& e, TKind kind,
                                   const TMessageRequest& request) const {
    if (e.Kind != kind)
        return false;
    if (e.Id != 0)
        return e.Id == request.Id;
    return request.Text.find(e.TextPart) != std::string::npos;
}

int TScriptedInteraction::Answer(TKind kind, const TMessageRequest& request, int fallback,
                                 int* choice, std::string* password) {
    std::lock_guard guard(Lock);
    AskedTexts.push_back(request.Text);
    if (Script.empty() || !Matches(Script.front(), kind, request)) {
        UnexpectedTexts.push_back(request.Text);
        return fallback;
    }
    int answer = Script.front().Answer;
    if (choice)
        *choice = Script.front().Choice;
    if (password)
        *password = Script.front().Password;
    Script.pop_front();
    return answer;
}

std::vector<std::string> TScriptedInteraction::Asked() const {
    std::lock_guard guard(Lock);
    return AskedTexts;
}

std::vector<std::string> TScriptedInteraction::Unexpected() const {
    std::lock_guard guard(Lock);
    return UnexpectedTexts;
}

size_t TScriptedInteraction::Pending() const {
    std::lock_guard guard(Lock);
    return Script.size();
}
