// The Remoter page against the test box: a new profile, two keys learned into it through the remote pane,
// the store uploaded to the box and fetched back with the same keys.
#include "BoxSheetFixture.h"

#include "app/Panes.h"
#include "config/LoginFolder.h"
#include "dialogs/NewProfileDialog.h"
#include "dialogs/RemoterPage.h"
#include "dialogs/records/IrProfileBlob.h"
#include "dialogs/records/IrProfileSteps.h"

namespace {

constexpr std::uint32_t kBeginIrLearning = 0xFDFD2080;
constexpr std::uint32_t kEndIrLearning = 0xFDFD2081;
constexpr std::uint32_t kLearnIrKey = 0xFDFD2082;

class RemoterPageTest : public BoxSheetFixture {
protected:
    // The learned keys of a profile, with their codes (a key not learned may be blank or carry its id).
    static std::vector<RemoterMapEntry> learned(const KQ_UI_IREntry& profile) {
        std::vector<RemoterMapEntry> keys;
        for (const RemoterMapEntry& e : profile.entries)
            if (e.learned)
                keys.push_back(e);
        return keys;
    }
    std::string payloadName(const testbox::ReceivedFrame& f) {
        return std::string(reinterpret_cast<const char*>(f.payload() + 1), f.payload()[0]);
    }
};

TEST_F(RemoterPageTest, KeysLearnedIntoANewProfileGoToTheBoxAndComeBackTheSame) {
    startProgram();
    loginByAddress();
    KQ_UI_RemotePaneDlg& pane = *app->m_pRemotePane;
    auto& keys = app->m_config.m_remoterMapping.keys;
    const std::wstring history = GetLoginHistoryPath(app->m_config.m_userRecord.text1, g_userDataRoot);
    KQ_UI_IREntry sent;
    openSettings(ID_MENU_SETTING, [&](KQ_UI_Set_Sheet& sheet) {
        KQ_UI_Remoter_Page& page = sheet.m_remoterPage;
        ASSERT_TRUE(sheet.SetActivePage(&page));
        const auto status = [&] { return page.GetDlgItem(IDC_IR_STATUS)->GetWindowText(); };

        onModal[196] = [this](CDialog& d) {
            d.GetDlgItem(IDC_NP_NAME)->SetWindowText(L"Mine");
            click(d, IDOK);
            return INT_PTR{IDCANCEL};
        };
        click(page, IDC_IR_NEW);
        auto& list = *static_cast<CListCtrl*>(page.GetDlgItem(IDC_IR_LIST));
        ASSERT_EQ(list.GetItemCount(), 1);
        EXPECT_EQ(list.GetItemText(list.GetNextItem(-1, LVNI_SELECTED), 0), L"Mine");
        EXPECT_EQ(ReadHistoryProfile(history), L"Mine") << "the current profile";

        click(page, IDC_IR_LEARN);
        ASSERT_TRUE(pumpUntil([&] { return !framesOf(kBeginIrLearning).empty(); }));
        EXPECT_EQ(payloadName(framesOf(kBeginIrLearning)[0]), "Mine");
        ASSERT_TRUE(pane.IsLearning());
        EXPECT_TRUE(pane.IsWindowVisible()) << "the pane to learn on";
        EXPECT_FALSE(page.GetDlgItem(IDC_IR_LEARN)->IsWindowEnabled());
        for (const int key : {1050, 1060}) {
            ASSERT_FALSE(keys.at(key).learned);
            pane.SendMessage(WM_COMMAND, MAKEWPARAM(key, BN_CLICKED), 0);
            ASSERT_TRUE(pumpUntil([&] { return keys.at(key).learned == 1; })) << key;
            EXPECT_EQ(framesOf(kLearnIrKey).back().value, static_cast<std::uint32_t>(key - 1042));
            EXPECT_EQ(payloadName(framesOf(kLearnIrKey).back()), "Mine");
        }
        click(page, IDC_IR_STOP);
        ASSERT_TRUE(pumpUntil([&] { return !framesOf(kEndIrLearning).empty(); }));
        EXPECT_FALSE(pane.IsLearning());
        ASSERT_TRUE(g_irProfileStore.GetProfile(L"Mine", sent));
        EXPECT_EQ(sent.entries[1050 - 1043].learned, 1);
        EXPECT_EQ(sent.entries[1060 - 1043].learned, 1);
        ASSERT_EQ(learned(sent).size(), 2u);
        EXPECT_EQ(learned(sent)[1].code[0], 18) << "a learned code starts with its key number";
        KQ_UI_IRProfileStore onDisk;
        ASSERT_EQ(onDisk.ReadProfileArchive(g_irProfileStore.path), 1) << "the profile file was written";
        EXPECT_EQ(onDisk.profiles.at(L"Mine"), sent);

        click(page, IDC_IR_UPLOAD);
        ASSERT_TRUE(pumpUntil([&] { return status() == text(L"KQ_S_IR_UPLOADED"); }));
        IrProfileBlob blob;
        ASSERT_EQ(BuildProfileUploadBlob(g_irProfileStore, blob), IrBlobResult::Built);
        testbox::Bytes kept;
        testBox.Records([&](testbox::BoxRecordsSide& r) { kept = r.IrData(); });
        EXPECT_EQ(kept, testbox::Bytes(blob.start.get(), blob.start.get() + blob.written));

        // The PC forgets the profile; the box's data brings it back.
        g_irProfileStore.RemoveProfile(L"Mine");
        app->m_config.m_remoterMapping.ClearKeyMap();
        click(page, IDC_IR_FETCH);
        ASSERT_TRUE(pumpUntil([&] { return status() == text(L"KQ_S_IR_FETCHED"); }));
        KQ_UI_IREntry back;
        ASSERT_TRUE(g_irProfileStore.GetProfile(L"Mine", back));
        EXPECT_EQ(learned(back), learned(sent));
        EXPECT_EQ(list.GetItemText(list.GetNextItem(-1, LVNI_SELECTED), 0), L"Mine");
        EXPECT_EQ(keys.at(1050).learned, 1) << "the current profile is in the key map again";
        EXPECT_EQ(keys.at(1060).learned, 1);
        EXPECT_EQ(keys.at(1051).learned, 0);
    });
}

} // namespace
