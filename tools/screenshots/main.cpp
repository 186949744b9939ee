// windowshots: the program's windows rendered offscreen with fake services and saved as PNG files, so a
// person can look at them. Usage: screenshots <runnable folder> <output folder>.
#include "app/ErrorInfoDlg.h"
#include "app/LoginDialog.h"
#include "app/Menus.h"
#include "app/Panes.h"
#include "app/Templates.h"
#include "app/VeloqApp.h"
#include "app/VeloqDlg.h"
#include "h264/Decoder.h"
#include "media/VideoPacking.h"
#include "platform/mfc/App.h"
#include "platform/mfc/FileDialog.h"
#include "platform/mfc/detail/WindowPart.h"
#include "platform/win32/Paths.h"
#include "platform/win32/PathsHooks.h"
#include "tests/support/fakes/FakeServices.h"
#include "tools/screenshots/MainWindowShots.h"
#include "tools/screenshots/SettingsShots.h"
#include "tools/screenshots/Shots.h"

#include <QImage>
#include <QPainter>
#include <QWidget>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Windows side by side as they stand on the screen, on a neutral desk.
QImage desk(const std::vector<CWnd*>& windows) {
    QRect bounds;
    for (CWnd* w : windows) {
        RECT r;
        w->GetWindowRect(&r);
        bounds |= QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
    QImage out(bounds.size() + QSize(24, 24), QImage::Format_RGB32);
    out.fill(QColor(236, 236, 236));
    QPainter p(&out);
    for (CWnd* w : windows) {
        RECT r;
        w->GetWindowRect(&r);
        QImage image = shot(*w);
        QWidget* face = w->part()->face;
        if (!face->mask().isEmpty()) { // a shaped window: only its region shows
            p.setClipRegion(face->mask().translated(r.left - bounds.left() + 12, r.top - bounds.top() + 12));
        }
        p.drawImage(QPoint(r.left - bounds.left() + 12, r.top - bounds.top() + 12), image);
        p.setClipping(false);
    }
    return out;
}

// Colour bars as packed UYVY rows: the test picture of the live view.
std::vector<std::uint8_t> colourBars(int width, int height) {
    static const std::uint8_t kBars[8][3] = {{235, 128, 128}, {210, 16, 146}, {170, 166, 16}, {145, 54, 34},
                                             {106, 202, 222}, {81, 90, 240},  {41, 240, 110}, {16, 128, 128}};
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(width) * height * 2);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; x += 2) {
            const auto* c = kBars[x * 8 / width];
            std::uint8_t* p = &rows[(static_cast<std::size_t>(y) * width + x) * 2];
            p[0] = c[1];
            p[1] = c[0];
            p[2] = c[2];
            p[3] = c[0];
        }
    return rows;
}

// A live picture as packed UYVY rows: the first field pair of the test box's stream, decoded by our
// decoder and woven into one frame.
struct LivePicture {
    std::vector<std::uint8_t> rows;
    int width = 0;
    int height = 0;
};

// The field's planes copied, since the decoder's output is only valid until its next call.
struct Field {
    std::vector<std::uint8_t> y, u, v;
};

Field copyField(const DecodedPicture& p) {
    Field f;
    for (int r = 0; r < p.height; ++r)
        f.y.insert(f.y.end(), p.lumaPlane + r * p.lumaStride, p.lumaPlane + r * p.lumaStride + p.width);
    for (int r = 0; r < p.height / 2; ++r) {
        f.u.insert(f.u.end(), p.cbPlane + r * p.chromaStride, p.cbPlane + r * p.chromaStride + p.width / 2);
        f.v.insert(f.v.end(), p.crPlane + r * p.chromaStride, p.crPlane + r * p.chromaStride + p.width / 2);
    }
    return f;
}

// Rows of the two fields taken in turn.
std::vector<std::uint8_t> weave(const std::vector<std::uint8_t>& top, const std::vector<std::uint8_t>& bottom,
                                int width, int fieldRows) {
    std::vector<std::uint8_t> frame;
    for (int r = 0; r < fieldRows; ++r)
        for (const auto* field : {&top, &bottom})
            frame.insert(frame.end(), field->begin() + r * width, field->begin() + (r + 1) * width);
    return frame;
}

std::optional<LivePicture> decodedLivePicture(const fs::path& stream) {
    std::ifstream in(stream, std::ios::binary);
    const std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
    if (data.empty())
        return std::nullopt;
    H264DecoderConfig config;
    H264DecoderContext* decoder = H264DecoderCreate(&config);
    if (!decoder)
        return std::nullopt;
    std::vector<Field> fields;
    int width = 0, fieldRows = 0;
    DecodedPicture picture;
    auto take = [&](std::int32_t result) {
        for (; result == DECODE_OK && fields.size() < 2;
             result = H264DecoderDecode(decoder, nullptr, 0, 0, 0, &picture, 0)) {
            if (picture.kind == PICTURE_KIND_FRAME)
                continue;
            width = picture.width;
            fieldRows = picture.height;
            fields.push_back(copyField(picture));
        }
    };
    take(H264DecoderDecode(decoder, data.data(), static_cast<std::uint32_t>(data.size()), 0, 0, &picture, 0));
    H264DecoderDestroy(decoder);
    if (fields.size() < 2 || width <= 0 || fieldRows <= 0)
        return std::nullopt;
    const std::vector<std::uint8_t> y = weave(fields[0].y, fields[1].y, width, fieldRows);
    const std::vector<std::uint8_t> u = weave(fields[0].u, fields[1].u, width / 2, fieldRows / 2);
    const std::vector<std::uint8_t> v = weave(fields[0].v, fields[1].v, width / 2, fieldRows / 2);
    LivePicture out{std::vector<std::uint8_t>(static_cast<std::size_t>(width) * 2 * fieldRows * 2), width,
                    fieldRows * 2};
    PortablePackKernels().uyvy({y.data(), u.data(), v.data(), width, width / 2}, out.rows.data(), width,
                               out.height, width * 2);
    return out;
}

// The main window playing a recording opened from live view: the file states' buttons, the file name in
// the status line, the position slider a quarter in, and a picture in the video box.
void showFilePlayback(KQ_UI_VeloqDlg& main, const LivePicture* picture) {
    platform::mfc::SetFileDialogHook(
        [](const std::wstring&, const std::wstring&) { return std::wstring(L".\\record\\Concert.mp4"); });
    main.SendMessage(WM_COMMAND, MAKEWPARAM(ID_MENU_OPEN_LOCAL_FILE, 0), 0);
    platform::mfc::SetFileDialogHook(nullptr);
    main.FileSlider().SetPos(250);
    if (picture)
        main.VideoBox().PresentFrame(picture->rows.data(), picture->rows.size(), picture->width,
                                     picture->height, picture->width * 2, true);
    platform::mfc::PumpUiFor(200);
}

// Back to live view from the file, for the shots that follow.
void setLiveState(KQ_UI_VeloqDlg& main) {
    main.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_BTN_SOURCE, BN_CLICKED), 0);
    platform::mfc::PumpUiFor(100);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: windowshots <runnable folder> <output folder>\n");
        return 2;
    }
    const fs::path dist = fs::absolute(argv[1]);
    const fs::path out = fs::absolute(argv[2]);
    fs::create_directories(out);
    // A program folder of its own: the runnable folder's data, and settings that stay here.
    const fs::path home = out / "program";
    fs::remove_all(home);
    fs::create_directories(home / "Setup");
    fs::create_directories(home / "UserData");
    fs::copy_file(dist / "Setup" / "Language.ini", home / "Setup" / "Language.ini");
    fs::create_directory_symlink(dist / "skins", home / "skins");
    fs::create_directory_symlink(dist / "res", home / "res");
    platform::SetExecutablePath(home / "Veloq");

    platform::mfc::EnsureToolkit();
    auto* box = new FakeBoxClient;
    auto* player = new FakePlayerPort;
    AppServices services;
    services.makeBoxClient = [box](KQ_AppConfig&) { return std::unique_ptr<BoxClientPort>(box); };
    services.makePlayer = [player](KQ_AppConfig&) { return std::unique_ptr<PlayerPort>(player); };
    KQ_UI_VeloqApp app(std::move(services));
    app.StartUp();
    bool ok = true;
    {
        KQ_UI_VeloqDlg main;
        app.m_pMainWnd = &main;
        main.Create();
        main.SetWindowPos(nullptr, 220, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        main.DockPanes();
        platform::mfc::PumpUiFor(200);
        ok &= save(desk({&main, app.m_pLoginDlg}), out / "main_logged_out.png");
        ok &= save(shot(*app.m_pLoginDlg), out / "login_pane.png");

        platform::mfc::SetModalHook([&](CDialog& dialog) {
            platform::mfc::PumpUiFor(50);
            ok &= save(framed(dialog), out / "error_dialog.png");
            dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_ERR_MORE, BN_CLICKED), 0);
            platform::mfc::PumpUiFor(50);
            ok &= save(framed(dialog), out / "error_dialog_more.png");
            return INT_PTR{IDOK};
        });
        KQ_UI_ErrorInfoDlg(&main, 1009).DoModal();
        platform::mfc::SetModalHook(nullptr);
        ok &= SaveLoggedOutShots(app, main, out);

        LoginRadio(LOGIN_MODE_IP).Select();
        app.m_pLoginDlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_LOGIN_RADIO_IP, BN_CLICKED), 0);
        static_cast<CIPAddressCtrl*>(app.m_pLoginDlg->GetDlgItem(IDC_LOGIN_IP))->SetAddress(0x7F000001);
        app.m_pLoginDlg->GetDlgItem(IDC_LOGIN_USER)->SetWindowText(L"admin");
        platform::mfc::PumpUiFor(50);
        ok &= save(shot(*app.m_pLoginDlg), out / "login_pane_ip.png");
        app.m_pLoginDlg->OnLoginButton();
        platform::mfc::PumpUiUntil([&] { return app.m_uiState == UI_STATE_CV_PLAY; }, 3000);
        const auto live = decodedLivePicture(fs::path(VELOQ_FIXTURES_DIR) / "stream" / "video.264");
        if (live) {
            main.VideoBox().PresentFrame(live->rows.data(), live->rows.size(), live->width, live->height,
                                         live->width * 2, true);
        } else {
            const std::vector<std::uint8_t> bars = colourBars(352, 288);
            main.VideoBox().PresentFrame(bars.data(), bars.size(), 352, 288, 352 * 2, true);
        }
        main.ToggleSidePane();
        platform::mfc::PumpUiFor(200);
        ok &= save(desk({&main, app.m_pRemotePane}), out / "main_live.png");
        main.HideSidePanes();
        ok &= SaveLiveShots(app, main, *player, out);
        showFilePlayback(main, live ? &*live : nullptr);
        ok &= save(shot(main), out / "main_file.png");
        setLiveState(main);
        app.m_pTvPane->ShowWindow(SW_SHOWNA);
        app.m_config.m_channelTable = {{1, L"One", 12, 3000}};
        app.m_pTvPane->ShowChannelIndex(0);
        platform::mfc::PumpUiFor(100);
        ok &= save(shot(*app.m_pTvPane), out / "tv_pane.png");
        app.m_pTvPane->ShowWindow(SW_HIDE);
        ok &= SaveSettingsShots(app, main, out);
        app.m_pLoginDlg->JoinWorker();
        main.DestroyWindow();
        app.m_pMainWnd = nullptr;
    }
    app.ExitInstance();
    fs::remove_all(home);
    return ok ? 0 : 1;
}
