#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "interaction.h"
#include "vlshare_export.h"

// Answers questions from a script, for tests. Each expected question is matched in
// order; a question that does not match the next expectation is recorded in
// Unexpected() and answered with the style's default answer (Cancel where offered).
class VLSHARE_EXPORT TScriptedInteraction : public TInteraction {
  public:
    // The next question is a message box showing string id; answer it with answer.
    void Expect(int id, int answer);
    // The next question is a message box whose text contains textPart.
    void ExpectText(std::string textPart, int answer);
    // The next question asks whether to overwrite a file.
    void ExpectOverwrite(int answer);
    // The next question is the diskette request; answer with answer and choice.
    void ExpectDiskette(int answer, int choice);
    // The next question asks for a password; answer with answer, typing password.
    void ExpectPassword(int answer, std::string password);

    int MessageBox(const TMessageRequest& request) override;
    int AskOverwrite(const std::string& fileName, int32_t copyFileTime) override;
    int AskDiskette(int labelNumber, int& choice) override;
    int AskPassword(std::string& password) override;

    // Texts of every question asked, in order.
    std::vector<std::string> Asked() const;
    // Questions that no expectation matched.
    std::vector<std::string> Unexpected() const;
    // Expectations that were never met.
    size_t Pending() const;

  private:
    enum class TKind { Message, Overwrite, Diskette, Password };
    struct TExpectation {
        TKind Kind;
        int Id;
        std::string TextPart;
        int Answer;
        int Choice = 0;
        std::string Password{};
    };
    bool Matches(const TExpectation& e, TKind kind, const TMessageRequest& request) const;
    int Answer(TKind kind, const TMessageRequest& request, int fallback, int* choice = nullptr,
               std::string* password = nullptr);

    mutable std::mutex Lock;
    std::deque<TExpectation> Script;
    std::vector<std::string> AskedTexts;
    std::vector<std::string> UnexpectedTexts;
};
