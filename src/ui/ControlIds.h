#pragma once
// The child-window identifiers of the main window's controls. The window's
// design gives each control its identifier from here; programs that drive the
// window from outside find its controls with GetDlgItem and these values.

constexpr int IdFolderLabel = 101;
constexpr int IdFolder = 102;
constexpr int IdBrowse = 103;
constexpr int IdRecursive = 104;
constexpr int IdFiltersLabel = 105;
constexpr int IdFilters = 106;
constexpr int IdTextToFindLabel = 107;
constexpr int IdTextToFind = 108;
constexpr int IdSearch = 109;
constexpr int IdCaseSensitive = 110;
constexpr int IdReplaceWithLabel = 111;
constexpr int IdReplaceWith = 112;
constexpr int IdApply = 113;
constexpr int IdFilesLabel = 114;
constexpr int IdFiles = 115;
constexpr int IdLink = 116;
constexpr int IdProgress = 117;
