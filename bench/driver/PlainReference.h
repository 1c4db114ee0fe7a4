#pragma once
// The plain reference: the straightforward algorithms the product's results are
// defined by, written as plainly as they read (one collection text, two
// directory passes per folder and filter, five mark probes and a sixth open per
// file, a stable insertion sort that forms both keys for every comparison,
// upper-cased whole copies, counting through a stripped copy). It exists only
// here, to check every count of the product and to show what the product saves.
// The one liberty taken: paths get the extended-length prefix, as the product's
// do, so that names such as aux.c reach the file.
#include "BenchSupport.h"

#include <cstdint>
#include <string>

namespace Plain {

TStringArray CollectFiles(const std::wstring& Folder, const std::wstring& Mask, bool Recursive,
                          std::int64_t Limit);
void SortFileList(TStringArray& Files);
std::int32_t ResolveEncodingMode(std::int32_t Mode, const std::wstring& Path);
std::wstring ReadTextFile(const std::wstring& Path, std::int32_t Encoding);
bool TextContains(const std::wstring& Text, const std::wstring& TextToFind, bool CaseSensitive);
std::wstring ReplaceAll(const std::wstring& Text, const std::wstring& TextToFind, const std::wstring& ReplaceWith,
                        bool CaseSensitive);
std::int32_t CountMatches(const std::wstring& Text, const std::wstring& TextToFind, bool CaseSensitive);
void WriteTextFile(const std::wstring& FileName, const std::wstring& Text, std::int32_t Encoding);

}  // namespace Plain
