#include "files/LongPath.h"

#include "TempFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

TEST(LongPath, ExtendedFormKeepsEveryNameAndResolvesOnlyDotsSlashesAndRelativeStarts) {
    TempFolder Folder;
    Folder.MakeFolder(L"cur");
    CurrentFolderScope Current(Folder.Path() + L"cur");
    const std::wstring Here = L"\\\\?\\" + Folder.Path() + L"cur";
    const std::wstring Drive = Folder.Path().substr(0, 2);
    struct {
        std::wstring Path;
        std::wstring Extended;
    } Cases[] = {
        {L"", L""},
        {L"C:\\Data", L"\\\\?\\C:\\Data"},
        {L"C:\\Data\\", L"\\\\?\\C:\\Data\\"},
        {L"C:\\", L"\\\\?\\C:\\"},
        {L"C:/Data/x.txt", L"\\\\?\\C:\\Data\\x.txt"},
        {L"C:\\a\\..\\b\\.\\c\\\\d", L"\\\\?\\C:\\b\\c\\d"},
        {L"C:\\..\\..\\x", L"\\\\?\\C:\\x"},
        // Names the plain form would change or turn into devices stay as they are.
        {L"C:\\dir\\trail.", L"\\\\?\\C:\\dir\\trail."},
        {L"C:\\dir\\dots...", L"\\\\?\\C:\\dir\\dots..."},
        {L"C:\\dir\\blank ", L"\\\\?\\C:\\dir\\blank "},
        {L"C:\\dir\\aux.c", L"\\\\?\\C:\\dir\\aux.c"},
        {L"C:\\dir\\nul.txt", L"\\\\?\\C:\\dir\\nul.txt"},
        {L"\\\\server\\share\\x\\..\\y", L"\\\\?\\UNC\\server\\share\\y"},
        {L"\\\\server\\share\\..\\..\\y", L"\\\\?\\UNC\\server\\share\\y"},
        {L"//server/share/y.", L"\\\\?\\UNC\\server\\share\\y."},
        {L"\\\\server\\share", L"\\\\?\\UNC\\server\\share\\"},
        // Already extended or a device path: left alone.
        {L"\\\\?\\C:\\x\\..\\y", L"\\\\?\\C:\\x\\..\\y"},
        {L"\\\\.\\pipe\\name", L"\\\\.\\pipe\\name"},
        // Relative to the current folder, its drive or its drive's root.
        {L"f.txt", Here + L"\\f.txt"},
        {L".\\sub\\f.txt.", Here + L"\\sub\\f.txt."},
        {L"..\\f.txt", L"\\\\?\\" + Folder.Path() + L"f.txt"},
        {L"sub/", Here + L"\\sub\\"},
        {L"\\top\\f.txt", L"\\\\?\\" + Drive + L"\\top\\f.txt"},
        {Drive + L"f.txt", Here + L"\\f.txt"},
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(ExtendedPath(Case.Path), Case.Extended) << testing::PrintToString(Case.Path);
}

TEST(LongPath, ExtendedFormReachesLongPathsAndTrailingDots) {
    TempFolder Folder;
    std::wstring Deep = Folder.Path();
    for (int I = 0; I < 4; ++I) Deep += std::wstring(80, static_cast<wchar_t>(L'k' + I)) + L"\\";
    Folder.WriteFile(Deep.substr(Folder.Path().size()) + L"x.txt", "deep");
    Folder.WriteFile(L"trail.", "dot");
    for (const std::wstring& Path : {Deep + L"x.txt", Folder.Path() + L"trail."}) {
        SCOPED_TRACE(testing::PrintToString(Path));
        DWORD Attributes = GetFileAttributesW(ExtendedPath(Path).c_str());
        EXPECT_NE(Attributes, INVALID_FILE_ATTRIBUTES);
        EXPECT_FALSE(Attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
}
