#include "ConfigFixture.h"

namespace {

class LoginFolderTest : public ConfigFixture {
protected:
    void SetUp() override {
        ConfigFixture::SetUp();
        root = platform::BackslashPath(temp / "UserData") + L"\\";
    }
    std::wstring root;
};

TEST_F(LoginFolderTest, RootIsTheProgramsFolderFollowedByUserData) {
    EXPECT_EQ(g_userDataRoot, root);
}

TEST_F(LoginFolderTest, AFreshFolderHoldsTwoEmptyFilesAndItsTableLoadsAsNone) {
    std::filesystem::create_directory(temp / "UserData");
    EXPECT_EQ(GetLoginFolder(L"BOX42", root), L"");
    EXPECT_EQ(EnsureLoginFolder(L"BOX42", root), 1);
    EXPECT_EQ(GetLoginFolder(L"BOX42", root), root + L"BOX42\\");
    EXPECT_EQ(std::filesystem::file_size(temp / "UserData/BOX42/default.tlb"), 0u);
    EXPECT_EQ(std::filesystem::file_size(temp / "UserData/BOX42/history.ini"), 0u);
    KQ_AppConfig config;
    config.m_channelTable.push_back({0, L"kept", 1, 1});
    EXPECT_EQ(config.LoadChannelTable(GetLoginFolder(L"BOX42", root) + L"default.tlb"), kChannelTableEmpty);
    EXPECT_EQ(config.m_channelTable.size(), 1u);
}

TEST_F(LoginFolderTest, AnExistingFolderIsLeftAsItIs) {
    std::filesystem::create_directories(temp / "UserData/box");
    EXPECT_EQ(EnsureLoginFolder(L"box", root), 1);
    EXPECT_FALSE(temp.exists("UserData/box/default.tlb"));
    EXPECT_FALSE(temp.exists("UserData/box/history.ini"));
    temp.write("UserData/box/history.ini", "[Last Channel]\r\nchannel=4\r\n");
    EXPECT_EQ(CreateLoginFiles(L"box", root), 1);
    EXPECT_EQ(temp.read("UserData/box/history.ini"), "[Last Channel]\r\nchannel=4\r\n"); // open-always
}

TEST_F(LoginFolderTest, WithoutTheRootNothingIsCreated) {
    EXPECT_EQ(EnsureLoginFolder(L"box", root), 0);
    EXPECT_FALSE(temp.exists("UserData"));
    EXPECT_EQ(GetLoginHistoryPath(L"box", root), root + L"box\\history.ini"); // no check
}

TEST_F(LoginFolderTest, EmptyAndEscapingLoginIds) {
    std::filesystem::create_directory(temp / "UserData");
    EXPECT_EQ(GetLoginFolder(L"", root), L"");
    EXPECT_EQ(GetLoginHistoryPath(L"", root), root + L"\\history.ini");
    for (const wchar_t* id : {L"..", L".", L"..\\Setup", L"a/b", L"a\\b"}) {
        SCOPED_TRACE(platform::ToUtf8(id));
        EXPECT_EQ(EnsureLoginFolder(id, root), 0);
        EXPECT_EQ(GetLoginFolder(id, root), L"");
        EXPECT_EQ(GetLoginHistoryPath(id, root), L"");
        EXPECT_EQ(CreateLoginFiles(id, root), 0);
    }
    EXPECT_FALSE(temp.exists("default.tlb"));
    EXPECT_FALSE(temp.exists("Setup/default.tlb"));
}

} // namespace
