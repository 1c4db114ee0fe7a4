#include "base/TextLineBreaks.h"

#include <algorithm>

bool HoldsLineBreak(std::wstring_view Text) { return Text.find_first_of(L"\r\n") != std::wstring_view::npos; }

bool SameButForLineBreaks(std::wstring_view A, std::wstring_view B) {
    std::size_t I = 0, K = 0;
    while (I < A.size() && K < B.size()) {
        const std::size_t BreakA = LineBreakAt(A, I), BreakB = LineBreakAt(B, K);
        if ((BreakA == 0) != (BreakB == 0) || (BreakA == 0 && A[I] != B[K])) return false;
        I += std::max<std::size_t>(BreakA, 1);
        K += std::max<std::size_t>(BreakB, 1);
    }
    return I == A.size() && K == B.size();
}

LineBreakPattern::LineBreakPattern(std::wstring_view TextToFind, const CaseMap* Map) : FMap(Map) {
    // Line breaks map to themselves, so the mapped text splits where the text does.
    std::wstring Mapped(TextToFind);
    if (Map != nullptr)
        for (std::size_t K = 0; K < Mapped.size(); ++K) Mapped[K] = Map->At(TextToFind.data(), TextToFind.size(), K);
    FPieces.emplace_back();
    for (std::size_t K = 0; K < Mapped.size();) {
        const std::size_t Break = LineBreakAt(TextToFind, K);
        if (Break == 0) {
            FPieces.back().push_back(Mapped[K++]);
            continue;
        }
        FPieces.emplace_back();
        FMaxLength += 2;
        K += Break;
    }
    for (const std::wstring& Piece : FPieces) FMaxLength += Piece.size();
    // The first piece is followed by a line break in the text to find as in an
    // occurrence, so finding it alone maps it as the whole would.
    if (!FPieces.front().empty()) FFirst.emplace(TextToFind.substr(0, FPieces.front().size()), Map);
}

bool LineBreakPattern::PieceAt(std::wstring_view Text, std::size_t Position, const std::wstring& Piece) const {
    if (Piece.size() > Text.size() - Position) return false;
    for (std::size_t K = 0; K < Piece.size(); ++K) {
        const wchar_t Unit = FMap != nullptr ? FMap->At(Text.data(), Text.size(), Position + K) : Text[Position + K];
        if (Unit != Piece[K]) return false;
    }
    return true;
}

std::size_t LineBreakPattern::MatchAt(std::wstring_view Text, std::size_t Position) const {
    for (std::size_t I = 0; I < FPieces.size(); ++I) {
        if (I > 0) {
            // A CR LF of the text is one line break: taken whole, never in halves.
            const std::size_t Break = Position < Text.size() ? LineBreakAt(Text, Position) : 0;
            if (Break == 0) return NotFound;
            Position += Break;
        }
        if (!PieceAt(Text, Position, FPieces[I])) return NotFound;
        Position += FPieces[I].size();
    }
    return Position;
}

std::size_t LineBreakPattern::Find(std::wstring_view Text, std::size_t From, std::size_t& End) const {
    if (FFirst) {
        for (std::size_t Hit = FFirst->Find(Text, From); Hit != NotFound; Hit = FFirst->Find(Text, Hit + 1))
            if ((End = MatchAt(Text, Hit)) != NotFound) return Hit;
        return NotFound;
    }
    // It begins with a line break. An LF just after a CR needs no test of its
    // own: an occurrence there would also start at the CR, which comes first.
    for (std::size_t Hit = From; Hit < Text.size(); ++Hit)
        if ((Text[Hit] == L'\r' || Text[Hit] == L'\n') && (End = MatchAt(Text, Hit)) != NotFound) return Hit;
    return NotFound;
}

ReplacementWriter::ReplacementWriter(std::wstring_view Text, std::wstring_view ReplaceWith)
    : FText(Text), FWith(ReplaceWith), FHasBreaks(HoldsLineBreak(ReplaceWith)) {}

void ReplacementWriter::Append(std::wstring& Out, std::size_t Start, std::size_t End) const {
    if (!FHasBreaks) {
        Out.append(FWith);
        return;
    }
    std::size_t Spanned = Start;  // the occurrence is looked through for its line breaks up to here
    std::wstring_view Last;
    for (std::size_t K = 0; K < FWith.size();) {
        const std::size_t Break = LineBreakAt(FWith, K);
        if (Break == 0) {
            const std::size_t Run = FWith.find_first_of(L"\r\n", K);
            Out.append(FWith.substr(K, Run - K));
            K = Run == std::wstring_view::npos ? FWith.size() : Run;
            continue;
        }
        K += Break;
        while (Spanned < End && LineBreakAt(FText, Spanned) == 0) ++Spanned;
        if (Spanned < End) {
            Last = FText.substr(Spanned, std::min(LineBreakAt(FText, Spanned), End - Spanned));
            Spanned += Last.size();
        } else if (Last.empty()) {
            if (!FFirstBreak) {
                const std::size_t First = FText.find_first_of(L"\r\n");
                FFirstBreak = First == std::wstring_view::npos ? std::wstring_view(L"\r\n")
                                                               : FText.substr(First, LineBreakAt(FText, First));
            }
            Last = *FFirstBreak;
        }
        Out.append(Last);
    }
}
