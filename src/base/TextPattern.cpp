#include "base/TextPattern.h"

#include <windows.h>

#include <boost/regex.hpp>

#include <cstdint>
#include <new>
#include <utility>
#include <stdexcept>

namespace {

// The engine's own Windows traits are not built with this compiler, and its
// portable ones know only ASCII in the C locale. These take letter case and
// character classes from Windows, as the rest of the program does: case folds
// through CharLowerBuffW (one unit to one unit), classes through GetStringTypeW.
class WindowsRegexTraits : public boost::cpp_regex_traits<wchar_t> {
public:
    using char_class_type = std::uint_least32_t;

    static wchar_t Lower(wchar_t Unit) { return LowerTable()[Unit]; }
    static wchar_t Upper(wchar_t Unit) {
        CharUpperBuffW(&Unit, 1);
        return Unit;
    }
    wchar_t translate(wchar_t Unit) const { return Unit; }
    wchar_t translate_nocase(wchar_t Unit) const { return Lower(Unit); }
    wchar_t translate(wchar_t Unit, bool IgnoreCase) const { return IgnoreCase ? Lower(Unit) : Unit; }
    wchar_t tolower(wchar_t Unit) const { return Lower(Unit); }
    wchar_t toupper(wchar_t Unit) const { return Upper(Unit); }

    char_class_type lookup_classname(const wchar_t* First, const wchar_t* Last) const {
        std::wstring Name(First, Last);
        for (wchar_t& U : Name) U = Lower(U);
        static const std::pair<std::wstring_view, char_class_type> Classes[] = {
            {L"alnum", C1_ALPHA | C1_DIGIT}, {L"alpha", C1_ALPHA}, {L"blank", C1_BLANK},
            {L"cntrl", C1_CNTRL}, {L"digit", C1_DIGIT}, {L"d", C1_DIGIT},
            {L"graph", C1_ALPHA | C1_DIGIT | C1_PUNCT}, {L"lower", C1_LOWER}, {L"l", C1_LOWER},
            {L"print", C1_ALPHA | C1_DIGIT | C1_PUNCT | C1_BLANK}, {L"punct", C1_PUNCT},
            {L"space", C1_SPACE}, {L"s", C1_SPACE}, {L"upper", C1_UPPER}, {L"u", C1_UPPER},
            {L"xdigit", C1_XDIGIT}, {L"w", C1_ALPHA | C1_DIGIT | Underscore}, {L"word", C1_ALPHA | C1_DIGIT | Underscore},
        };
        for (const auto& [Known, Mask] : Classes)
            if (Name == Known) return Mask;
        return 0;
    }
    bool isctype(wchar_t Unit, char_class_type Mask) const {
        if ((Mask & Underscore) && Unit == L'_') return true;
        WORD Type = 0;
        return GetStringTypeW(CT_CTYPE1, &Unit, 1, &Type) && (Type & Mask) != 0;
    }

private:
    static constexpr char_class_type Underscore = 0x10000;

    static const std::wstring& LowerTable() {
        static const std::wstring Table = [] {
            std::wstring Units(0x10000, L'\0');
            for (std::size_t U = 0; U < Units.size(); ++U) Units[U] = static_cast<wchar_t>(U);
            CharLowerBuffW(Units.data(), static_cast<DWORD>(Units.size()));
            return Units;
        }();
        return Table;
    }
};

using WindowsRegex = boost::basic_regex<wchar_t, WindowsRegexTraits>;

// What \n stands for: one line break, never half of a CR LF.
constexpr std::wstring_view AnyLineBreak = L"(?:\\r\\n|(?<!\\r)\\n|\\r(?!\\n))";
constexpr std::wstring_view NotWordBefore = L"(?<!\\w)(?:";
constexpr std::wstring_view NotWordAfter = L")(?!\\w)";

// The pattern with each \n and typed line break outside brackets standing for any line break.
std::wstring WithAnyLineBreak(std::wstring_view Pattern) {
    std::wstring Out;
    bool InBrackets = false;
    for (std::size_t I = 0; I < Pattern.size(); ++I) {
        const wchar_t U = Pattern[I];
        if (U == L'\\' && I + 1 < Pattern.size()) {
            if (!InBrackets && Pattern[I + 1] == L'n') {
                Out += AnyLineBreak;
            } else {
                Out += U;
                Out += Pattern[I + 1];
            }
            ++I;
        } else if (InBrackets) {
            Out += U;
            if (U == L'[' && I + 1 < Pattern.size() && std::wstring_view(L":.=").find(Pattern[I + 1]) != std::wstring_view::npos) {
                // [:alpha:] and its kin end at their own "]"
                const std::size_t Close = Pattern.find(std::wstring{Pattern[I + 1], L']'}, I + 2);
                if (Close != std::wstring_view::npos) {
                    Out.append(Pattern.substr(I + 1, Close + 1 - I));
                    I = Close + 1;
                }
            } else if (U == L']') {
                InBrackets = false;
            }
        } else if (U == L'[') {
            Out += U;
            InBrackets = true;
            // A "]" first (after a "^") is a member, not the end.
            if (I + 1 < Pattern.size() && Pattern[I + 1] == L'^') Out += Pattern[++I];
            if (I + 1 < Pattern.size() && Pattern[I + 1] == L']') Out += Pattern[++I];
        } else if (U == L'\r' || U == L'\n') {
            Out += AnyLineBreak;
            if (U == L'\r' && I + 1 < Pattern.size() && Pattern[I + 1] == L'\n') ++I;
        } else {
            Out += U;
        }
    }
    return Out;
}

TPatternSyntax SyntaxOf(boost::regex_constants::error_type Code) {
    namespace rc = boost::regex_constants;
    switch (Code) {
    case rc::error_paren: return TPatternSyntax::Parenthesis;
    case rc::error_brack: return TPatternSyntax::Bracket;
    case rc::error_brace:
    case rc::error_badbrace: return TPatternSyntax::Brace;
    case rc::error_escape: return TPatternSyntax::Escape;
    case rc::error_badrepeat: return TPatternSyntax::Repeat;
    case rc::error_range: return TPatternSyntax::Range;
    case rc::error_backref: return TPatternSyntax::Backreference;
    default: return TPatternSyntax::Other;
    }
}

bool SplitsPair(std::wstring_view Text, std::size_t Position) {
    return Position > 0 && Position < Text.size() && IS_HIGH_SURROGATE(Text[Position - 1]) &&
           IS_LOW_SURROGATE(Text[Position]);
}

bool IsDigit(wchar_t U) { return U >= L'0' && U <= L'9'; }

}  // namespace

struct TextPattern::TImpl {
    WindowsRegex Regex;
};

TextPattern::TextPattern(std::unique_ptr<TImpl> Impl) : FImpl(std::move(Impl)) {}
TextPattern::~TextPattern() = default;

std::shared_ptr<const TextPattern> TextPattern::Compile(std::wstring_view Pattern, bool CaseSensitive, bool WholeWord,
                                                       TPatternProblem& Problem) {
    Problem = {};
    const auto Flags = boost::regex::perl | (CaseSensitive ? boost::regex::normal : boost::regex::icase);
    auto Impl = std::make_unique<TImpl>();
    try {
        // The pattern as given first, so that a fault's position is the user's.
        WindowsRegex Given(Pattern.begin(), Pattern.end(), Flags);
        std::wstring Source = WithAnyLineBreak(Pattern);
        if (WholeWord) Source = std::wstring(NotWordBefore) + Source + std::wstring(NotWordAfter);
        Impl->Regex.assign(Source, Flags);
    } catch (const boost::regex_error& Fault) {
        Problem.Fault = TPatternFault::Syntax;
        Problem.Position = Fault.position() < 0 ? 0 : static_cast<std::size_t>(Fault.position());
        Problem.Syntax = SyntaxOf(Fault.code());
        return nullptr;
    }
    const wchar_t* Empty = L"";
    if (boost::regex_search(Empty, Empty, Impl->Regex)) {
        Problem.Fault = TPatternFault::MatchesEmpty;
        return nullptr;
    }
    return std::shared_ptr<const TextPattern>(new TextPattern(std::move(Impl)));
}

std::size_t TextPattern::Find(std::wstring_view Text, std::size_t From, std::size_t& End) const {
    const wchar_t* Base = Text.data();
    const wchar_t* Last = Base + Text.size();
    boost::match_results<const wchar_t*> Match;
    try {
        while (From < Text.size()) {
            auto Flags = boost::match_not_null | boost::match_not_dot_newline;
            if (From > 0) Flags |= boost::match_prev_avail;
            if (!boost::regex_search(Base + From, Last, Match, FImpl->Regex, Flags, Base)) return NotFound;
            const std::size_t Start = static_cast<std::size_t>(Match[0].first - Base);
            End = static_cast<std::size_t>(Match[0].second - Base);
            if (!SplitsPair(Text, Start) && !SplitsPair(Text, End)) return Start;
            From = Start + 1;
        }
    } catch (const std::runtime_error&) {
        // The engine gave up on this text (a match too complex to finish): the
        // file is treated as one too large to hold, which every run counts skipped.
        throw std::bad_alloc();
    }
    return NotFound;
}

bool TextPattern::ReadReplacement(std::wstring_view ReplaceWith, TPatternReplacement& Result,
                                  TPatternProblem& Problem) const {
    Result.Pieces.clear();
    const std::size_t Groups = FImpl->Regex.mark_count();
    auto Literal = [&]() -> std::wstring& {
        if (Result.Pieces.empty() || Result.Pieces.back().Group >= 0) Result.Pieces.emplace_back();
        return Result.Pieces.back().Literal;
    };
    auto Fail = [&](std::wstring_view Reference) {
        Problem = {};
        Problem.Fault = TPatternFault::BadReference;
        Problem.Reference = Reference;
        return false;
    };
    for (std::size_t I = 0; I < ReplaceWith.size(); ++I) {
        const wchar_t U = ReplaceWith[I];
        if (U != L'$') {
            Literal() += U;
            continue;
        }
        const wchar_t Next = I + 1 < ReplaceWith.size() ? ReplaceWith[I + 1] : L'\0';
        int Group = -1;
        std::size_t Length = 2;
        if (Next == L'$') {
            Literal() += L'$';
            ++I;
            continue;
        }
        if (IsDigit(Next)) {
            // Two digits when the pattern has that group, as in $12; else one.
            const int One = Next - L'0';
            const bool Two = I + 2 < ReplaceWith.size() && IsDigit(ReplaceWith[I + 2]);
            const int Both = Two ? One * 10 + (ReplaceWith[I + 2] - L'0') : -1;
            if (Two && static_cast<std::size_t>(Both) <= Groups) {
                Group = Both;
                Length = 3;
            } else if (static_cast<std::size_t>(One) <= Groups) {
                Group = One;
            } else {
                return Fail(ReplaceWith.substr(I, Two ? 3 : 2));
            }
        } else if (Next == L'{') {
            const std::size_t Close = ReplaceWith.find(L'}', I + 2);
            if (Close == std::wstring_view::npos) return Fail(ReplaceWith.substr(I));
            const std::wstring_view Name = ReplaceWith.substr(I + 2, Close - I - 2);
            Length = Close + 1 - I;
            bool Number = !Name.empty() && Name.size() <= 2;
            for (const wchar_t D : Name) Number = Number && IsDigit(D);
            if (Number) {
                Group = std::stoi(std::wstring(Name));
                if (static_cast<std::size_t>(Group) > Groups) Group = -1;
            } else if (!Name.empty()) {
                Group = FImpl->Regex.get_named_subs()->get_id(Name.data(), Name.data() + Name.size());
            }
            if (Group < 0) return Fail(ReplaceWith.substr(I, Length));
        } else {
            return Fail(ReplaceWith.substr(I, Next == L'\0' ? 1 : 2));
        }
        Result.Pieces.push_back({{}, Group});
        I += Length - 1;
    }
    return true;
}

void TextPattern::AppendReplacement(std::wstring& Out, std::wstring_view Text, std::size_t Start, std::size_t End,
                                    const TPatternReplacement& Replacement) const {
    // The occurrence is matched again where it starts, for its groups: the same
    // search from the same place takes the same way through the pattern.
    const wchar_t* Base = Text.data();
    boost::match_results<const wchar_t*> Match;
    auto Flags = boost::match_not_null | boost::match_not_dot_newline | boost::match_continuous;
    if (Start > 0) Flags |= boost::match_prev_avail;
    bool Matched = false;
    try {
        Matched = boost::regex_search(Base + Start, Base + Text.size(), Match, FImpl->Regex, Flags, Base) &&
                  Match[0].second == Base + End;
    } catch (const std::runtime_error&) {
        throw std::bad_alloc();  // as in Find
    }
    for (const TPatternReplacement::TPiece& Piece : Replacement.Pieces) {
        if (Piece.Group < 0)
            Out += Piece.Literal;
        else if (Matched && Match[Piece.Group].matched)
            Out.append(Match[Piece.Group].first, Match[Piece.Group].second);
    }
}

bool IsWordUnit(wchar_t Unit) {
    if (Unit == L'_') return true;
    WORD Type = 0;
    return GetStringTypeW(CT_CTYPE1, &Unit, 1, &Type) && (Type & (C1_ALPHA | C1_DIGIT)) != 0;
}

bool StandsAsWord(std::wstring_view Text, std::size_t Start, std::size_t End) {
    return (Start == 0 || !IsWordUnit(Text[Start - 1])) && (End >= Text.size() || !IsWordUnit(Text[End]));
}
