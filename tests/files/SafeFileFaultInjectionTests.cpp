// Safe writing under failing file systems: every file-system call of a write is
// made to fail in turn, and after each failure the old content must still be
// complete on disk and the result must say what happened.
#include "files/SafeFileWriter.h"

#include "TempFolder.h"
#include "files/FileSystemCalls.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <iostream>
#include <string>

namespace {

namespace Fs = FileSystemCalls;

const std::string OldBytes = [] {
    std::string Bytes;
    for (int i = 0; i < 300; ++i) Bytes += "old line " + std::to_string(i) + "\r\n";
    return Bytes;
}();

// About 9 KB: the write takes three passes of the 4096-byte buffer.
const std::wstring NewText = [] {
    std::wstring Text;
    for (int i = 0; Text.size() < 9000; ++i) Text += L"new line " + std::to_wstring(i) + L"\n";
    return Text;
}();
const std::string NewBytes = "\xEF\xBB\xBF" + std::string(NewText.begin(), NewText.end());

enum class TScenario { NewFile, ExistingFile, ReadOnlyTarget, TempNameTaken };

const char* ScenarioName(TScenario Scenario) {
    switch (Scenario) {
    case TScenario::NewFile: return "new file";
    case TScenario::ExistingFile: return "existing file";
    case TScenario::ReadOnlyTarget: return "read-only target";
    default: return "TEMP-1.TMP taken";
    }
}

// Prepares the folder and returns the target's path.
std::wstring Prepare(const TempFolder& Folder, TScenario Scenario) {
    if (Scenario == TScenario::NewFile) return Folder.Path() + L"target.txt";
    const std::wstring Target = Folder.WriteFile(L"target.txt", OldBytes);
    if (Scenario == TScenario::ReadOnlyTarget) {
        EXPECT_TRUE(SetAttributes(Target, FILE_ATTRIBUTE_READONLY));
    }
    if (Scenario == TScenario::TempNameTaken) Folder.WriteFile(L"TEMP-1.TMP", "not ours");
    return Target;
}

bool IsPrefix(const std::string& Part, const std::string& Whole) {
    return Part.size() <= Whole.size() && Whole.compare(0, Part.size(), Part) == 0;
}

// The promise of safe writing, checked on what the folder holds afterwards: the
// target holds exactly its old bytes or exactly its new ones, never anything in
// between, and only a refused clean-up can leave a temporary file, holding new
// bytes. Strict: only one call failed, so nothing at all may be left over.
void CheckOutcome(const TempFolder& Folder, TScenario Scenario, bool Result, bool Strict) {
    auto Files = FolderFiles(Folder.Path());
    const std::wstring Target = Folder.Path() + L"target.txt";
    const bool HadOld = Scenario != TScenario::NewFile;

    if (Scenario == TScenario::TempNameTaken) {
        ASSERT_TRUE(Files.count(L"TEMP-1.TMP"));
        EXPECT_EQ(Files[L"TEMP-1.TMP"], "not ours");
        Files.erase(L"TEMP-1.TMP");
    }
    const bool TargetExists = Files.count(L"target.txt") != 0;
    const std::string TargetBytes = TargetExists ? Files[L"target.txt"] : std::string();
    Files.erase(L"target.txt");
    for (const auto& [Name, Bytes] : Files) {
        EXPECT_TRUE(Name.rfind(L"TEMP-", 0) == 0) << "stray file";
        EXPECT_TRUE(IsPrefix(Bytes, NewBytes)) << "a temporary file may hold new bytes only";
    }
    EXPECT_LE(Files.size(), 1u);
    if (Strict || Result) {
        EXPECT_TRUE(Files.empty()) << "a temporary file was left behind";
    }

    if (Result) {
        ASSERT_TRUE(TargetExists);
        EXPECT_EQ(TargetBytes, NewBytes);
        EXPECT_FALSE(FileAttributes(Target) & FILE_ATTRIBUTE_READONLY);
        return;
    }
    if (!HadOld) {
        EXPECT_FALSE(TargetExists);
        return;
    }
    ASSERT_TRUE(TargetExists);
    EXPECT_EQ(TargetBytes, OldBytes);
    EXPECT_EQ((FileAttributes(Target) & FILE_ATTRIBUTE_READONLY) != 0, Scenario == TScenario::ReadOnlyTarget);
}

class SafeFileFaults : public testing::Test {
protected:
    void SetUp() override { Fs::ResetFaults(); }
    void TearDown() override { Fs::ResetFaults(); }

    // One write of NewText under Plan; the plan ends with the write.
    static bool WriteUnder(const std::wstring& Target, const Fs::TFaultPlan& Plan) {
        Fs::ResetFaults();
        Fs::SetFaultPlan(Plan);
        const bool Result = WriteTextFile(Target, NewText, 3);
        Fs::ResetFaults();
        return Result;
    }
};

TEST_F(SafeFileFaults, SweepOverEveryCallOfAWrite) {
    struct Mode {
        const char* Name;
        bool FromThenOn;
        Fs::TFaultKind Kind;
    };
    const Mode Modes[] = {{"once", false, Fs::TFaultKind::Refuse},
                          {"once, short write", false, Fs::TFaultKind::ShortWrite},
                          {"from then on", true, Fs::TFaultKind::Refuse}};
    std::int64_t Points = 0;
    for (TScenario Scenario :
         {TScenario::NewFile, TScenario::ExistingFile, TScenario::ReadOnlyTarget, TScenario::TempNameTaken}) {
        SCOPED_TRACE(ScenarioName(Scenario));
        std::int64_t Calls = 0;
        {
            TempFolder Folder;
            const std::wstring Target = Prepare(Folder, Scenario);
            Fs::ResetFaults();
            // A read-only file is never replaced.
            ASSERT_EQ(WriteTextFile(Target, NewText, 3), Scenario != TScenario::ReadOnlyTarget);
            Calls = Fs::CallCount();
            CheckOutcome(Folder, Scenario, Scenario != TScenario::ReadOnlyTarget, true);
        }
        // The target's test, the create of the temporary file, three writes, flush,
        // the swap and the close go through the layer; a read-only target stops at its test.
        EXPECT_GE(Calls, Scenario == TScenario::ReadOnlyTarget ? 1 : 8);

        std::int64_t Failed = 0, Succeeded = 0;
        for (const Mode& M : Modes) {
            for (std::int64_t N = 1; N <= Calls; ++N) {
                SCOPED_TRACE(testing::Message() << M.Name << ", call " << N << " of " << Calls);
                TempFolder Folder;
                const std::wstring Target = Prepare(Folder, Scenario);
                const bool Result = WriteUnder(Target, {N, M.FromThenOn, M.Kind, Fs::TCallKind::Any});
                CheckOutcome(Folder, Scenario, Result, !M.FromThenOn);
                ++Points;
                ++(Result ? Succeeded : Failed);
                if (HasFatalFailure()) return;
            }
        }
        // Most injected faults must make the write fail; a failed test of a free
        // temporary name leaves it complete.
        EXPECT_GT(Failed, Succeeded);
        std::cout << "[ sweep    ] " << ScenarioName(Scenario) << ": " << Calls << " calls, " << Failed
                  << " failed and " << Succeeded << " completed writes under injection\n";
    }
    std::cout << "[ sweep    ] injection points tried: " << Points << "\n";
    RecordProperty("InjectionPoints", static_cast<int>(Points));
}

// Each named failure on an existing file ends with every old byte under the old
// name, nothing else in the folder, and a false result.
TEST_F(SafeFileFaults, NamedFailuresKeepTheOldFile) {
    struct Case {
        const char* Name;
        Fs::TFaultPlan Plan;
    };
    const Case Cases[] = {
        {"temporary file cannot be created", {1, false, Fs::TFaultKind::Refuse, Fs::TCallKind::CreateNew}},
        {"first write refused after half its bytes", {1, false, Fs::TFaultKind::Refuse, Fs::TCallKind::Write}},
        {"second write refused after half its bytes", {2, false, Fs::TFaultKind::Refuse, Fs::TCallKind::Write}},
        {"last write completed in part", {3, false, Fs::TFaultKind::ShortWrite, Fs::TCallKind::Write}},
        {"every write from the second on refused", {2, true, Fs::TFaultKind::Refuse, Fs::TCallKind::Write}},
        {"flush fails", {1, false, Fs::TFaultKind::Refuse, Fs::TCallKind::Flush}},
        {"swap refused", {1, false, Fs::TFaultKind::Refuse, Fs::TCallKind::Move}},
        {"existence unknown", {1, false, Fs::TFaultKind::Refuse, Fs::TCallKind::GetAttributes}},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        TempFolder Folder;
        const std::wstring Target = Prepare(Folder, TScenario::ExistingFile);
        EXPECT_FALSE(WriteUnder(Target, C.Plan));
        auto Files = FolderFiles(Folder.Path());
        ASSERT_EQ(Files.size(), 1u);
        EXPECT_EQ(Files[L"target.txt"], OldBytes);
    }
}

// When the swap and the removal of the temporary file are both refused, the
// target keeps its old bytes and the one file left over holds the new bytes whole.
TEST_F(SafeFileFaults, RefusedSwapAndCleanUpLeaveTheTargetAndOneCompleteTemporaryFile) {
    std::int64_t SwapCall = 0;
    {
        // In a write that succeeds, only the close of the new file follows the swap.
        TempFolder Folder;
        ASSERT_TRUE(WriteUnder(Prepare(Folder, TScenario::ExistingFile), {}));
        Fs::ResetFaults();
        ASSERT_TRUE(WriteTextFile(Folder.Path() + L"target.txt", NewText, 3));
        SwapCall = Fs::CallCount() - 1;
    }
    TempFolder Folder;
    const std::wstring Target = Prepare(Folder, TScenario::ExistingFile);
    EXPECT_FALSE(WriteUnder(Target, {SwapCall, true, Fs::TFaultKind::Refuse, Fs::TCallKind::Any}));
    auto Files = FolderFiles(Folder.Path());
    ASSERT_EQ(Files.size(), 2u);
    EXPECT_EQ(Files[L"target.txt"], OldBytes);
    ASSERT_TRUE(Files.count(L"TEMP-1.TMP"));
    EXPECT_EQ(Files[L"TEMP-1.TMP"], NewBytes);
}

}  // namespace
