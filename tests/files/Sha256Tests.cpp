// SHA-256 against the published test vectors, fed whole and in uneven pieces,
// by the plain rounds and by the processor's SHA instructions where it has them;
// and the two ways against each other on seeded random input of every length
// around the block edges.
#include "files/Sha256.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

struct TVector {
    const char* Name;
    std::string Input;
    const char* Digest;
};

const TVector Vectors[] = {
    {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"448 bits", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"896 bits",
     "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
     "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
    {"a million a", std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
};

class Sha256Ways : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        const bool Available = UseSha256Instructions(GetParam());
        if (GetParam() && !Available) GTEST_SKIP() << "this processor has no SHA instructions";
    }
    void TearDown() override { UseSha256Instructions(true); }
};

TEST_P(Sha256Ways, PublishedVectorsWholeAndInPieces) {
    for (const TVector& Vector : Vectors) {
        SCOPED_TRACE(Vector.Name);
        EXPECT_EQ(Sha256Hex(Sha256(Vector.Input)), Vector.Digest);
        // Pieces of 1, 63, 64, 65 and 1000 bytes in turn cross every block edge.
        TSha256 Hash;
        const size_t Pieces[] = {1, 63, 64, 65, 1000};
        for (size_t Done = 0, i = 0; Done < Vector.Input.size(); ++i) {
            const size_t Size = std::min(Pieces[i % 5], Vector.Input.size() - Done);
            Hash.Update(std::string_view(Vector.Input).substr(Done, Size));
            Done += Size;
        }
        EXPECT_EQ(Sha256Hex(Hash.Finish()), Vector.Digest);
        // The object starts over after Finish.
        Hash.Update("abc");
        EXPECT_EQ(Sha256Hex(Hash.Finish()), Vectors[1].Digest);
    }
}

INSTANTIATE_TEST_SUITE_P(Sha256, Sha256Ways, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& Info) {
                             return Info.param ? "Instructions" : "PlainRounds";
                         });

TEST(Sha256, BothWaysAgreeOnRandomInput) {
    if (!UseSha256Instructions(true)) GTEST_SKIP() << "this processor has no SHA instructions";
    std::mt19937 Random(20240501);
    std::string Input;
    for (size_t Length = 0; Length < 600; ++Length) {
        Input.push_back(static_cast<char>(Random()));
        UseSha256Instructions(true);
        const TSha256Digest Fast = Sha256(Input);
        UseSha256Instructions(false);
        const TSha256Digest Plain = Sha256(Input);
        ASSERT_EQ(Sha256Hex(Fast), Sha256Hex(Plain)) << "length " << Input.size();
    }
    UseSha256Instructions(true);
}

}  // namespace
