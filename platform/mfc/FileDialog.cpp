#include "platform/mfc/FileDialog.h"

#include "platform/mfc/detail/WindowPart.h"
#include "platform/win32/Paths.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QScreen>
#include <QTreeView>

namespace {

platform::mfc::FileDialogHook& fileDialogHook() {
    static platform::mfc::FileDialogHook hook;
    return hook;
}

// Room for the detail view's columns: wide enough for the name and for the size, type and date in every
// language, but never wider than the screen.
void sizeForColumns(QFileDialog& dialog) {
    QSize size(820, 480);
    if (const QScreen* screen = dialog.screen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    dialog.resize(size);
    if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = view->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column)
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
}

} // namespace

// The toolkit's own dialog (not a desktop's), so that it looks and answers the keyboard alike with and
// without a desktop. It is a window of its own: its keys never pass through the program's windows.
std::wstring GetOpenFilePath(CWnd* owner, const std::wstring& title, const std::wstring& folder,
                             const std::wstring& filter) {
    if (fileDialogHook())
        return fileDialogHook()(title, folder);
    QWidget* parent = owner && owner->part() ? owner->part()->face.data() : nullptr;
    QFileDialog dialog(parent, QString::fromStdWString(title),
                       QString::fromStdString(platform::NativePath(folder).string()),
                       QString::fromStdWString(filter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setViewMode(QFileDialog::Detail);
    sizeForColumns(dialog);
    dialog.setWindowModality(Qt::ApplicationModal); // as exec makes it, before it shows
    dialog.show();
    dialog.activateWindow(); // without a window manager nobody else gives it the keyboard
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::wstring();
    return platform::BackslashPath(dialog.selectedFiles().constFirst().toStdString());
}

namespace platform::mfc {

void SetFileDialogHook(FileDialogHook hook) {
    fileDialogHook() = std::move(hook);
}

} // namespace platform::mfc
