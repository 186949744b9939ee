#include "platform/mfc/FileDialog.h"

#include "platform/mfc/detail/WindowPart.h"
#include "platform/win32/Paths.h"

#include <QFileDialog>

namespace {

platform::mfc::FileDialogHook& fileDialogHook() {
    static platform::mfc::FileDialogHook hook;
    return hook;
}

} // namespace

std::wstring GetOpenFilePath(CWnd* owner, const std::wstring& title, const std::wstring& folder,
                             const std::wstring& filter) {
    if (fileDialogHook())
        return fileDialogHook()(title, folder);
    QWidget* parent = owner && owner->part() ? owner->part()->face.data() : nullptr;
    const QString chosen = QFileDialog::getOpenFileName(
        parent, QString::fromStdWString(title), QString::fromStdString(platform::NativePath(folder).string()),
        QString::fromStdWString(filter));
    return chosen.isEmpty() ? std::wstring() : platform::BackslashPath(chosen.toStdString());
}

namespace platform::mfc {

void SetFileDialogHook(FileDialogHook hook) {
    fileDialogHook() = std::move(hook);
}

} // namespace platform::mfc
