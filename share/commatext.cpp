#include "commatext.h"

#include <algorithm>

namespace {

constexpr char Quote = '"';
constexpr char Comma = ',';

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

bool NeedsQuotes(const std::string& entry) {
    return std::any_of(entry.begin(), entry.end(),
                       [](char c) { return IsBlankOrControl(c) || c == Comma || c == Quote; });
}

std::string Quoted(const std::string& entry) {
    std::string result(1, Quote);
    for (char c : entry) {
        if (c == Quote)
            result.push_back(Quote);
        result.push_back(c);
    }
    result.push_back(Quote);
    return result;
}

// Reads comma text one entry at a time.
class TCommaTextReader {
  public:
    explicit TCommaTextReader(const std::string& text) : Text(text) {}

    std::vector<std::string> ReadAll() {
        std::vector<std::string> list;
        SkipBlanks();
        while (Pos < Text.size()) {
            list.push_back(ReadEntry());
            SkipBlanks();
            if (Pos < Text.size() && Text[Pos] == Comma) {
                ++Pos;
                SkipBlanks();
                if (Pos == Text.size())
                    list.emplace_back();
            }
        }
        return list;
    }

  private:
    void SkipBlanks() {
        while (Pos < Text.size() && IsBlankOrControl(Text[Pos]))
            ++Pos;
    }

    std::string ReadEntry() { return Text[Pos] == Quote ? ReadQuotedEntry() : ReadPlainEntry(); }

    std::string ReadQuotedEntry() {
        std::string entry;
        ++Pos;  // opening quote
        while (Pos < Text.size()) {
            char c = Text[Pos++];
            if (c != Quote) {
                entry.push_back(c);
            } else if (Pos < Text.size() && Text[Pos] == Quote) {
                entry.push_back(Quote);
                ++Pos;
            } else {
                break;  // closing quote
            }
        }
        return entry;
    }

    std::string ReadPlainEntry() {
        size_t start = Pos;
        while (Pos < Text.size() && Text[Pos] != Comma && !IsBlankOrControl(Text[Pos]))
            ++Pos;
        return Text.substr(start, Pos - start);
    }

    const std::string& Text;
    size_t Pos = 0;
};

}  // namespace

std::string ToCommaText(const std::vector<std::string>& list) {
    if (list.size() == 1 && list[0].empty())
        return std::string(2, Quote);
    std::string text;
    for (size_t i = 0; i < list.size(); ++i) {
        if (i > 0)
            text.push_back(Comma);
        text += NeedsQuotes(list[i]) ? Quoted(list[i]) : list[i];
    }
    return text;
}

std::vector<std::string> FromCommaText(const std::string& text) {
    return TCommaTextReader(text).ReadAll();
}
