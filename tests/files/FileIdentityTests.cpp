// Identities of files within a run: the same file by any name gives one
// identity, different files different ones, and the volume is asked of the
// system per run and per link, never per ordinary file.
#include "files/FileIdentity.h"

#include "TempFolder.h"
#include "TextBytes.h"
#include "files/FileCollection.h"
#include "files/LongPath.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <set>
#include <string>
#include <utility>

namespace {

TFileId IdOf(TFileIdentities& Identities, const std::wstring& Path) {
    TFileId Id;
    EXPECT_TRUE(Identities.IdOf(Path, Id)) << Path;
    return Id;
}

}  // namespace

// Files in nested folders without links: one volume query for the whole tree,
// every file its own identity, and a hard link the identity of its file, also
// when it is named from outside the root.
TEST(FileIdentity, OrdinaryFilesCostOneVolumeQueryForTheTree) {
    TempFolder Folder;
    std::vector<std::wstring> Files;
    for (int Folders = 0; Folders < 6; ++Folders) {
        std::wstring Sub;
        for (int Depth = 0; Depth <= Folders % 3; ++Depth) Sub += L"d" + std::to_wstring(Folders) + L"\\";
        for (int i = 0; i < 8; ++i) Files.push_back(Folder.WriteFile(Sub + L"f" + std::to_wstring(i) + L".txt", "x"));
    }
    const std::wstring Second = Folder.Path() + L"d1\\second.txt";
    ASSERT_TRUE(CreateHardLinkW(ExtendedPath(Second).c_str(), ExtendedPath(Files[0]).c_str(), nullptr));

    TFileIdentities Identities;
    Identities.AddRoot(WithTrailingBackslash(Folder.Path()));
    const std::int64_t Before = VolumeQueries();
    std::set<std::pair<std::uint64_t, std::uint64_t>> Seen;
    for (const std::wstring& File : Files) {
        const TFileId Id = IdOf(Identities, File);
        EXPECT_TRUE(Seen.emplace(Id.Volume, Id.Number).second) << File;
    }
    EXPECT_EQ(IdOf(Identities, Second), IdOf(Identities, Files[0]));
    EXPECT_EQ(VolumeQueries() - Before, 1);

    // A run given single files asks once per folder, with the same answers.
    TFileIdentities Given;
    EXPECT_EQ(IdOf(Given, Files[0]), IdOf(Identities, Files[0]));
    EXPECT_EQ(IdOf(Given, Files[1]), IdOf(Identities, Files[1]));
    EXPECT_EQ(VolumeQueries() - Before, 2);
    TFileId Missing;
    EXPECT_FALSE(Identities.IdOf(Folder.Path() + L"d0\\none.txt", Missing));
}

// Through folder links and a file link (the host's links: see extra.cmake):
// each name of a file gives its identity, and only the links cost a query.
//   A\f.txt, A\f.link -> f.txt, A\B\b.txt, A\B\Up -> A, Side -> A
//   P\p.txt, P\Q -> R, R\r.txt, R\S -> P
TEST(FileIdentity, NamesThroughLinksGiveTheirFilesIdentity) {
    const char* Unix = std::getenv("QV_LINK_CYCLE_DIR");
    const std::wstring Root = Unix && *Unix ? WithTrailingBackslash(WinePath(Wide(Unix))) : std::wstring();
    if (Root.empty() || GetFileAttributesW((Root + L"A\\f.link").c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no links here (QV_LINK_CYCLE_DIR is set by the CTest run)";
    TFileIdentities Identities;
    Identities.AddRoot(Root);
    const std::int64_t Before = VolumeQueries();
    const TFileId F = IdOf(Identities, Root + L"A\\f.txt");
    EXPECT_EQ(VolumeQueries() - Before, 1);  // the root's
    EXPECT_EQ(IdOf(Identities, Root + L"A\\B\\b.txt").Volume, F.Volume);
    EXPECT_NE(IdOf(Identities, Root + L"A\\B\\b.txt"), F);
    EXPECT_EQ(VolumeQueries() - Before, 1);
    // Each link costs one query: the file link where the system shows it as one
    // (Wine shows a link to a file as the file), then the folder links Side, Up
    // (twice: by two paths), Q and S.
    const struct {
        const wchar_t *Name, *Other;
    } Names[] = {{L"A\\f.link", L"A\\f.txt"},       {L"Side\\f.txt", L"A\\f.txt"},
                 {L"A\\B\\Up\\f.txt", L"A\\f.txt"}, {L"Side\\B\\Up\\f.txt", L"A\\f.txt"},
                 {L"P\\Q\\r.txt", L"R\\r.txt"},     {L"R\\S\\p.txt", L"P\\p.txt"}};
    const bool FileLinkShown = GetFileAttributesW((Root + L"A\\f.link").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT;
    std::int64_t Queries = 1;
    for (const auto& [Name, Other] : Names) {
        EXPECT_EQ(IdOf(Identities, Root + Name), IdOf(Identities, Root + Other)) << Name;
        Queries += Name == Names[0].Name && !FileLinkShown ? 0 : 1;
        EXPECT_EQ(VolumeQueries() - Before, Queries) << Name;
    }
}
