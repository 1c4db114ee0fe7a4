#pragma once
// A straightforward version of how the text routines treat line breaks, for
// comparisons: both texts cut into tokens (a line break, CR LF counting as one,
// or a single unit), compared token by token from each token on, leftmost
// first without overlap.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct RefOccurrence {
    std::size_t Start = 0;
    std::size_t End = 0;
};

// Occurrences of Find in Text; units compare as they stand in MappedText and
// MappedFind (copies of the same lengths: the texts themselves, or upper-cased).
std::vector<RefOccurrence> RefOccurrences(std::wstring_view Text, std::wstring_view Find, std::wstring_view MappedText,
                                          std::wstring_view MappedFind);

// Text with each occurrence replaced by With, whose k-th line break becomes the
// k-th the occurrence spans (the last again beyond those), or the text's first
// line break for an occurrence spanning none, or CR LF.
std::wstring RefReplaced(std::wstring_view Text, const std::vector<RefOccurrence>& Occurrences, std::wstring_view With);
