#include "LineBreakReference.h"

#include <algorithm>

namespace {

struct Token {
    std::size_t Start = 0;
    std::size_t Length = 0;
    bool Break = false;
};

Token TokenAt(std::wstring_view Text, std::size_t I) {
    Token T{I, 1, Text[I] == L'\r' || Text[I] == L'\n'};
    if (Text[I] == L'\r' && I + 1 < Text.size() && Text[I + 1] == L'\n') T.Length = 2;
    return T;
}

std::vector<Token> Tokens(std::wstring_view Text) {
    std::vector<Token> Result;
    for (std::size_t I = 0; I < Text.size(); I += Result.back().Length) Result.push_back(TokenAt(Text, I));
    return Result;
}

}  // namespace

std::vector<RefOccurrence> RefOccurrences(std::wstring_view Text, std::wstring_view Find, std::wstring_view MappedText,
                                          std::wstring_view MappedFind) {
    const std::vector<Token> Pattern = Tokens(Find);
    std::vector<RefOccurrence> Result;
    if (Pattern.empty()) return Result;
    // The text's tokens are taken as the walk meets them (texts may be long).
    for (std::size_t I = 0; I < Text.size();) {
        std::size_t At = I;
        bool Same = true;
        for (std::size_t K = 0; K < Pattern.size() && Same; ++K) {
            if (!(Same = At < Text.size())) break;
            const Token A = TokenAt(Text, At);
            const Token& B = Pattern[K];
            Same = A.Break == B.Break && (A.Break || MappedText[A.Start] == MappedFind[B.Start]);
            At += A.Length;
        }
        if (Same) Result.push_back({I, At});
        I = Same ? At : I + TokenAt(Text, I).Length;
    }
    return Result;
}

std::wstring RefReplaced(std::wstring_view Text, const std::vector<RefOccurrence>& Occurrences, std::wstring_view With) {
    std::wstring FirstBreak = L"\r\n";
    for (std::size_t I = 0; I < Text.size(); I += TokenAt(Text, I).Length)
        if (TokenAt(Text, I).Break) {
            FirstBreak = Text.substr(I, TokenAt(Text, I).Length);
            break;
        }
    std::wstring Result;
    std::size_t Kept = 0;
    for (const RefOccurrence& O : Occurrences) {
        Result += Text.substr(Kept, O.Start - Kept);
        std::vector<std::wstring> Spanned;
        for (const Token& T : Tokens(Text.substr(O.Start, O.End - O.Start)))
            if (T.Break) Spanned.emplace_back(Text.substr(O.Start + T.Start, T.Length));
        std::size_t K = 0;
        for (const Token& T : Tokens(With)) {
            if (!T.Break)
                Result += With[T.Start];
            else if (Spanned.empty())
                Result += FirstBreak;
            else
                Result += Spanned[std::min(K++, Spanned.size() - 1)];
        }
        Kept = O.End;
    }
    return Result += Text.substr(Kept);
}
