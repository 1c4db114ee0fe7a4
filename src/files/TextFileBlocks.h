#pragma once
// A file read again for its blocks of one text to find (ForEachMatchBlock), with
// the lines between them: in pieces when they can be found so, else whole.
#include "base/TextLinePieces.h"
#include "files/EncodingMode.h"

#include <string>

// Reads Path in Mode and hands Events the blocks of Scanner's occurrences (their
// new texts with ReplaceWith, when given), with the lines outside them when Lines.
// In pieces (TBlockPieces) when Mode is a concrete encoding read in pieces and the
// scanner has no pattern; otherwise the whole text (ForEachBlockEvent). False when
// the file can no longer be read in Mode; read in pieces, what came before the
// fault has been handed over.
bool ReadFileBlocks(const std::wstring& Path, TEncodingMode Mode, const TextScanner& Scanner,
                    const std::wstring* ReplaceWith, TLineBreaks Breaks, bool Lines, TBlockEvents& Events);

// Whether ReadFileBlocks reads Path in pieces for Scanner.
bool ReadsBlocksInPieces(TEncodingMode Mode, const TextScanner& Scanner);
