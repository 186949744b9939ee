#include "tools/screenshots/SettingsShots.h"

#include "app/Language.h"
#include "app/Menus.h"
#include "app/UiMessages.h"
#include "app/VeloqApp.h"
#include "app/VeloqDlg.h"
#include "dialogs/BoxTaskDialog.h"
#include "dialogs/SetSheet.h"
#include "dialogs/records/BoxTasks.h"
#include "dialogs/records/IrProfileStore.h"
#include "platform/mfc/App.h"
#include "tools/screenshots/Shots.h"

#include <cstring>
#include <functional>
#include <string>

namespace fs = std::filesystem;

namespace {

// The box's information as a box with two stores and two recording tasks would send it.
BoxInfoRecord sampleBoxInfo() {
    BoxInfoRecord info{};
    info.marker = kBoxInfoValid;
    std::strcpy(info.clock, "2008:07:01:18:42");
    info.timeZone = 27;
    info.diskCount = 2;
    const char* disks[2] = {"HDD1", "USB"};
    for (int i = 0; i < 2; ++i) {
        info.disks[i].key = static_cast<BYTE>(i + 1);
        std::strcpy(info.disks[i].name, disks[i]);
        info.disks[i].freeMb = i == 0 ? 81920 : 15360;
    }
    info.taskCount = 2;
    const struct {
        const char* start;
        const char* end;
        const char* file;
        WORD channel;
        BYTE days;
    } tasks[2] = {{"2008:7:1:20:15", "2008:7:1:21:45", "news", 5, 0},
                  {"2008:7:2:22:0", "2008:7:2:23:30", "concert", 12, 0x41}};
    for (int i = 0; i < 2; ++i) {
        BoxTaskRecord& t = info.tasks[i];
        t.id = static_cast<BYTE>(i + 1);
        std::strcpy(t.start, tasks[i].start);
        std::strcpy(t.end, tasks[i].end);
        t.diskKey = 1;
        std::strcpy(t.fileName, tasks[i].file);
        t.format = 1;
        t.source = 2;
        t.channel = tasks[i].channel;
        t.dayMask = tasks[i].days;
    }
    return info;
}

void click(CWnd& window, int id) {
    window.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

// Opens the sheet by the main window's command; shoot runs while it is open.
void withSheet(KQ_UI_VeloqDlg& main, UINT command, const std::function<void(KQ_UI_Set_Sheet&)>& shoot) {
    platform::mfc::SetModalHook([&](CDialog& dialog) {
        if (auto* sheet = dynamic_cast<KQ_UI_Set_Sheet*>(&dialog)) {
            sheet->ShowWindow(SW_SHOW);
            platform::mfc::PumpUiFor(50);
            shoot(*sheet);
        }
        return INT_PTR{IDCANCEL};
    });
    main.SendMessage(WM_COMMAND, MAKEWPARAM(command, 0), 0);
    platform::mfc::SetModalHook(nullptr);
}

} // namespace

bool SaveSettingsShots(KQ_UI_VeloqApp& app, KQ_UI_VeloqDlg& main, const fs::path& out) {
    bool ok = true;
    app.m_services.openSettings = [](CWnd* parent, int firstPage) { OpenSettingsSheet(parent, firstPage); };
    app.m_config.m_channelTable = {
        {1, L"Das Erste", 2, 3000}, {0, L"ZDF", 5, 3480}, {0, L"arte", 12, 7520}, {0, L"3sat", 21, 7984}};
    app.m_session.countryCode = 49;
    app.m_config.m_userRecord.text2 = L"admin";
    g_irProfileStore.AddProfile(L"Living room TV");
    g_irProfileStore.AddProfile(L"Receiver");
    const BoxInfoRecord info = sampleBoxInfo();
    const char* const suffixes[] = {"en", "de"};
    for (int language = 0; language < 2; ++language) {
        main.SendMessage(WM_COMMAND, MAKEWPARAM(kLanguageMenuFirst + language, 0), 0);
        const std::string suffix = std::string("_") + suffixes[language] + ".png";

        main.SendMessage(WM_UI_SET_STATE, UI_STATE_TV_PLAY, 0);
        withSheet(main, ID_MENU_SCHEDULE, [&](KQ_UI_Set_Sheet& sheet) {
            KQ_UI_Schedule_Page& page = sheet.m_schedulePage;
            static_cast<CButton*>(page.GetDlgItem(IDC_SCH_AT_PC))->SetCheck(BST_UNCHECKED);
            static_cast<CButton*>(page.GetDlgItem(IDC_SCH_AT_BOX))->SetCheck(BST_CHECKED);
            click(page, IDC_SCH_AT_BOX);
            page.SendMessage(WM_BOX_INFO, reinterpret_cast<WPARAM>(info.data()), BoxInfoRecord::size());
            platform::mfc::PumpUiFor(100);
            ok &= save(framed(sheet), out / ("settings_schedule_box" + suffix));
            platform::mfc::SetModalHook([&](CDialog& dialog) {
                platform::mfc::PumpUiFor(50);
                ok &= save(framed(dialog), out / ("box_task_dialog" + suffix));
                return INT_PTR{IDCANCEL};
            });
            click(page, IDC_SCH_ADD);
            sheet.SetActivePage(&sheet.m_channelPage);
            platform::mfc::PumpUiFor(100);
            ok &= save(framed(sheet), out / ("settings_channel" + suffix));
        });

        main.SendMessage(WM_UI_SET_STATE, UI_STATE_CV_PLAY, 0);
        withSheet(main, ID_MENU_SETTING, [&](KQ_UI_Set_Sheet& sheet) {
            sheet.SetActivePage(&sheet.m_remoterPage);
            platform::mfc::PumpUiFor(100);
            ok &= save(framed(sheet), out / ("settings_remoter" + suffix));
        });
    }
    main.SendMessage(WM_COMMAND, MAKEWPARAM(kLanguageMenuFirst, 0), 0);
    return ok;
}
