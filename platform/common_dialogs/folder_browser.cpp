#include "platform/common_dialogs/folder_browser.h"

#include <cstring>
#include <filesystem>

#include <QFileDialog>

#include "platform/cstring.h"
#include "platform/window/modal.h"
#include "platform/window/wnd.h"

/// Our item list: the folder's path.
struct ITEMIDLIST {
    CString path;
};

LPITEMIDLIST ILCreateFromPath(LPCTSTR pszPath)
{
    if (!pszPath || !*pszPath) return nullptr;
    return new ITEMIDLIST{pszPath};
}

void ILFree(LPITEMIDLIST pidl)
{
    delete pidl;
}
void CoTaskMemFree(void* pv)
{
    delete static_cast<LPITEMIDLIST>(pv);
}
void IMalloc::Free(void* pv)
{
    CoTaskMemFree(pv);
}

HRESULT SHGetMalloc(LPMALLOC* ppMalloc)
{
    if (!ppMalloc) return E_FAIL;
    static IMalloc allocator;
    *ppMalloc = &allocator;
    return S_OK;
}

LPITEMIDLIST SHBrowseForFolder(LPBROWSEINFO lpbi)
{
    if (!lpbi) return nullptr;
    platform::FolderQuestion question;
    question.owner = lpbi->hwndOwner;
    question.caption = lpbi->lpszTitle ? lpbi->lpszTitle : "";
    if (lpbi->pidlRoot) question.initialDir = lpbi->pidlRoot->path;
    const platform::FolderAnswer answer = platform::AskModal(question, [&] {
        CWnd* owner = CWnd::FromHandle(question.owner);
        const QString dir = QFileDialog::getExistingDirectory(
            owner && owner->GetWidget() ? owner->GetWidget()->window() : nullptr,
            QString::fromUtf8(question.caption.c_str()), QString::fromUtf8(question.initialDir.c_str()));
        platform::FolderAnswer a;
        a.ok = !dir.isEmpty();
        a.path = dir.toUtf8().constData();
        return a;
    });
    if (!answer.ok || answer.path.IsEmpty()) return nullptr;
    if (lpbi->pszDisplayName) {
        std::string name = std::filesystem::path(answer.path.c_str()).filename().string();
        if (name.empty()) name = answer.path.c_str();
        const std::size_t n = std::min<std::size_t>(name.size(), MAX_PATH - 1);
        std::memcpy(lpbi->pszDisplayName, name.data(), n);
        lpbi->pszDisplayName[n] = '\0';
    }
    lpbi->iImage = 0;
    return new ITEMIDLIST{answer.path};
}

BOOL SHGetPathFromIDList(LPCITEMIDLIST pidl, LPSTR pszPath)
{
    if (!pidl || !pszPath) return FALSE;
    const std::string path = pidl->path.c_str();
    if (path.size() >= MAX_PATH) {
        pszPath[0] = '\0';
        return FALSE;
    }
    std::memcpy(pszPath, path.c_str(), path.size() + 1);
    return TRUE;
}
