// Every text of the main window and of the windows beside it shows whole in every language of the
// program's language file: the login pane's labels and radios, the status line with each text it shows,
// the mode label, the TV pane's display, the snapshot list's buttons, the full-screen window, the error
// dialog with the summary of every code, and the file dialog's columns. An owner-drawn text is measured in
// the font its paint drew it with, against what of its control shows.
#include "AppFixture.h"

#include "app/ErrorInfoDlg.h"
#include "app/FullScreenDlg.h"
#include "app/Menus.h"
#include "app/SnapDialog.h"
#include "platform/mfc/detail/WindowPart.h"
#include "tests/support/TextFit.h"

#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <QTreeView>

#include <fstream>
#include <map>
#include <set>

namespace {

// The lines the box connection shows in the status line while it connects.
const wchar_t* const kStatusTexts[] = {L"Searching Device...", L"Connecting to Server",
                                       L"Verifying Device...", L"Connecting to Device",
                                       L"Device is connected"};

// The codes of the error dialog, one per summary key: the login's, the connection paths', the player's
// and one it does not know.
std::vector<int> errorCodes() {
    std::vector<int> codes{0};
    for (int code = 1; code <= 9; ++code)
        codes.push_back(code);
    for (int code = 1001; code <= 1005; ++code)
        codes.push_back(code);
    for (std::uint32_t code :
         {0x8004021Eu, 0x80040228u, 0x80040229u, 0x8004022Au, 0x8004022Bu, 0x8004022Cu, 0x80040232u,
          0x80040233u, 0x80040234u, 0x80040235u, 0x80040236u, 0x80040237u, 0x80040238u})
        codes.push_back(static_cast<int>(code));
    return codes;
}

class WindowTextFitTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        useProgramLanguageFile();
        readKeys();
    }

    // Every text of the language file, by language and text, with its key.
    void readKeys() {
        std::ifstream in(temp / "Setup" / "Language.ini");
        std::string line, section;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
                section = line.substr(1, line.size() - 2);
            } else if (const auto eq = line.find('='); eq != std::string::npos && section != "LanguageID") {
                QString text = QString::fromStdString(line.substr(eq + 1));
                text.replace(QStringLiteral("||"), QStringLiteral("\r\n"));
                keys_[line.substr(0, eq)][text.toStdWString()] = section;
            }
        }
    }
    std::string keyOf(const std::wstring& text) const {
        const auto language = keys_.find(Narrow(g_languageName));
        if (language != keys_.end())
            if (const auto key = language->second.find(text); key != language->second.end())
                return key->second;
        return "(no key)";
    }

    // Texts not looked up by a key of their own name it by their control.
    using Known = std::map<int, std::string>;
    void note(const std::vector<CutText>& cut, const std::string& window, const Known& known) {
        for (const CutText& c : cut) {
            const auto k = known.find(c.control);
            problems.insert("key " + (k != known.end() ? k->second : keyOf(c.text)) + ", language " +
                            Narrow(g_languageName) + ", window " + window + " control " +
                            std::to_string(c.control) + ": '" + Narrow(c.text) + "' " + c.how);
        }
    }
    void check(CWnd& window, const std::string& name, const Known& known = {}) {
        note(CutDrawnTexts(window), name, known);
        note(CutToolkitTexts(window), name, known);
    }

    void checkLoginPane() {
        for (int mode : {LOGIN_MODE_ID, LOGIN_MODE_IP, LOGIN_MODE_DDNS}) {
            LoginRadio(mode).Select();
            click(login(), IDC_LOGIN_RADIO_ID + mode);
            check(login(), "164 (login pane)");
        }
    }

    void checkMainWindow(const std::string& name) {
        setState(UI_STATE_LOGIN);
        for (const wchar_t* text : kStatusTexts) {
            main->SetStatusText(text);
            check(*main, name + " status line",
                  {{IDC_STATIC_STATUS, "(none: a text of the box connection)"}});
        }
        setState(UI_STATE_CV_PLAY);
        main->SendMessage(WM_TIMER, kLabelTimer, 0); // the mode label from the stream's quality
        check(*main, name + " live view");
        setState(UI_STATE_FILE_PLAY_L);
        main->SetStatusText(L"Concert.mp4");
        check(*main, name + " playing a file");
        setState(UI_STATE_CV_PLAY);
    }

    void checkErrorDialog() {
        for (int code : errorCodes()) {
            platform::mfc::SetModalHook([&](CDialog& d) {
                check(d, "190 (error dialog) for code " + std::to_string(code),
                      {{IDC_ERR_SUMMARY, Narrow(KQ_UI_ErrorInfoDlg::SummaryKey(code))}});
                return INT_PTR{IDOK};
            });
            KQ_UI_ErrorInfoDlg(main.get(), code).DoModal();
        }
    }

    // The file dialog as the open command shows it, on a folder with a recording: every column as wide as
    // its heading and its widest entry.
    void checkFileDialog() {
        const std::filesystem::path folder = temp / "record";
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "Concert 2008-12-31 23-59-00.mp4") << "recording";
        app->m_config.m_recordPath = folder.wstring();
        bool looked = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            auto* view = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
            ASSERT_NE(view, nullptr);
            platform::mfc::PumpUiUntil([&] { return view->model()->rowCount(view->rootIndex()) > 0; }, 5000);
            platform::mfc::PumpUiFor(100);
            QHeaderView* header = view->header();
            for (int column = 0; column < header->count(); ++column) {
                const QString heading = view->model()->headerData(column, Qt::Horizontal).toString();
                const QAbstractItemView& cells = *view; // its widest entry, as the view measures it
                const int needed = std::max(header->sectionSizeHint(column), cells.sizeHintForColumn(column));
                if (needed > header->sectionSize(column))
                    problems.insert("key (none: a heading of the toolkit's file dialog), language " +
                                    Narrow(g_languageName) + ", window file dialog column '" +
                                    heading.toStdString() + "': needs " + std::to_string(needed) +
                                    " px, has " + std::to_string(header->sectionSize(column)));
            }
            looked = view->model()->rowCount(view->rootIndex()) > 0;
            dialog->reject();
        });
        click(*main, ID_MENU_OPEN_LOCAL_FILE);
        EXPECT_TRUE(looked) << "the file dialog showed the record folder";
    }

    std::set<std::string> problems; // each once, however often it was seen

private:
    std::map<std::string, std::map<std::wstring, std::string>> keys_;
};

TEST_F(WindowTextFitTest, EveryTextOfTheMainWindowAndItsPanesShowsWholeInEveryLanguage) {
    start();
    main->DockPanes();
    app->m_config.m_channelTable = {{1, L"One", 12, 3000}};
    const std::vector<std::wstring> languages = LanguageNames();
    ASSERT_GE(languages.size(), 2u);
    for (unsigned language = 0; language < languages.size(); ++language) {
        main->SendMessage(WM_COMMAND, MAKEWPARAM(kLanguageMenuFirst + language, 0), 0);
        ASSERT_EQ(g_languageName, languages[language]);
        checkLoginPane();
        checkMainWindow("102 (main window)");
        click(*main, IDC_BTN_MAXIMIZE);
        ASSERT_TRUE(main->IsMaximized());
        checkMainWindow("102 (main window, maximised)");
        click(*main, IDC_BTN_MAXIMIZE);
        app->m_pTvPane->ShowChannelIndex(0);
        check(*app->m_pTvPane, "163 (TV pane)");
        check(*app->m_pRemotePane, "165 (remote pane)");
        check(*app->m_pSnapDlg, "168 (snapshot list)");
        check(*app->m_pFullScreenDlg, "178 (full screen)");
        checkErrorDialog();
        checkFileDialog();
    }
    std::string all;
    for (const std::string& p : problems)
        all += p + "\n";
    EXPECT_TRUE(problems.empty()) << all;
}

} // namespace
