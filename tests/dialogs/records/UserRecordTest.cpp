#include "dialogs/records/UserRecord.h"

#include "tests/support/fakes/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

class UserRecordTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directory(temp / "Setup"); }
    std::string file() { return temp.read("Setup/userec.urc"); }
    TempFolder temp;
};

KQ_UI_UserRecord sample() {
    KQ_UI_UserRecord r;
    r.text1 = L"AB23456789";
    r.text2 = L"admin";
    r.text3 = L"s\u00e9cret";
    r.value = static_cast<std::int32_t>(0xC0A80102u);
    r.text4 = std::wstring(300, L'h'); // long enough for the 16-bit length form
    r.AddLoginId(L"AB23456789");
    r.AddLoginId(L"127.0.0.1");
    r.AddLoginId(L"ab23456789"); // differs in case only: a second entry
    r.AddLoginId(L"127.0.0.1");  // equal: not added again
    return r;
}

TEST_F(UserRecordTest, SaveAndLoadRoundTripEveryFieldAndTheList) {
    const KQ_UI_UserRecord saved = sample();
    EXPECT_EQ(saved.loginIds.size(), 3u);
    ASSERT_EQ(saved.Save(), 1);
    KQ_UI_UserRecord loaded;
    ASSERT_EQ(loaded.Load(), 1);
    EXPECT_EQ(loaded.text1, saved.text1);
    EXPECT_EQ(loaded.text2, saved.text2);
    EXPECT_EQ(loaded.text3, saved.text3);
    EXPECT_EQ(loaded.value, saved.value);
    EXPECT_EQ(loaded.text4, saved.text4);
    EXPECT_EQ(loaded.loginIds, saved.loginIds);
    // The archive form: 0xFF, 0xFFFE, the length, UTF-16LE.
    const std::string bytes = file();
    EXPECT_EQ(bytes.substr(0, 5), std::string("\xFF\xFE\xFF\x0A\x41", 5));
    struct stat st {};
    ASSERT_EQ(::stat((temp / "Setup/userec.urc").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u); // it holds a password
}

TEST_F(UserRecordTest, DamagedFilesFailAndKeepWhatWasReadBefore) {
    ASSERT_EQ(sample().Save(), 1);
    const std::string whole = file();
    struct Case {
        const char* name;
        std::string bytes;
        bool loaded;
        std::size_t ids;
    };
    const std::vector<Case> cases = {
        {"cut in the password", whole.substr(0, 40), false, 7},
        {"cut in the list", whole.substr(0, whole.size() - 3), false, 3},
        {"huge count",
         whole.substr(0, whole.find(std::string("\x03\x00\x00\x00", 4))) + std::string("\xFF\xFF\xFF\x7F", 4),
         false, 7},
    };
    for (const Case& c : cases) {
        temp.write("Setup/userec.urc", c.bytes);
        KQ_UI_UserRecord r;
        r.loginIds = {L"a", L"b", L"c", L"d", L"e", L"f", L"g"};
        EXPECT_EQ(r.Load(), c.loaded ? 1 : 0) << c.name;
        EXPECT_EQ(r.text1, L"AB23456789") << c.name;
        EXPECT_EQ(r.loginIds.size(), c.ids) << c.name;
    }
}

TEST_F(UserRecordTest, MissingFileOrFolderAndAnEmptyList) {
    KQ_UI_UserRecord r;
    EXPECT_EQ(r.Load(), 0);
    EXPECT_TRUE(r.text1.empty());
    KQ_UI_UserRecord empty;
    ASSERT_EQ(empty.Save(), 1);
    KQ_UI_UserRecord loaded;
    loaded.loginIds = {L"x"};
    EXPECT_EQ(loaded.Load(), 1);
    EXPECT_TRUE(loaded.loginIds.empty());
    std::filesystem::remove_all(temp / "Setup");
    EXPECT_EQ(empty.Save(), 0);
}

} // namespace
