#pragma once
// Texts of the main window that more than one part of it shows.
#include <cstdint>
#include <string>
#include <string_view>

// The status label of an empty file list: the design text and its English form.
constexpr const wchar_t* EmptyFilesLabelSwedish = L"Filer: (0 | #)";
constexpr const wchar_t* EmptyFilesLabelEnglish = L"Files: (0 | #)";
// The status label of an empty file list in the language of the moment.
std::wstring EmptyFilesLabel();
// The status label: "Files: (N | M)", N files and M (already formatted) occurrences.
std::wstring FilesLabel(std::uint64_t Files, std::wstring_view Occurrences);
