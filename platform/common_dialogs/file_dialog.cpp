#include "platform/common_dialogs/file_dialog.h"

#include <filesystem>

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>

#include "platform/window/modal.h"
#include "platform/window/wnd.h"

namespace platform {

std::vector<FileFilter> ParseFileFilter(const CString& filter)
{
    std::vector<CString> parts;
    const std::string text = filter.c_str();
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t bar = text.find('|', start);
        const std::string part =
            text.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        // "||" (an empty description) ends the list.
        if (part.empty()) break;
        parts.emplace_back(part.c_str());
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    std::vector<FileFilter> filters;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        FileFilter f;
        f.description = parts[i];
        const std::string patterns = parts[i + 1].c_str();
        std::size_t from = 0;
        while (from <= patterns.size()) {
            const std::size_t semi = patterns.find(';', from);
            std::string one =
                patterns.substr(from, semi == std::string::npos ? std::string::npos : semi - from);
            while (!one.empty() && one.front() == ' ') one.erase(one.begin());
            while (!one.empty() && one.back() == ' ') one.pop_back();
            if (!one.empty()) f.patterns.emplace_back(one.c_str());
            if (semi == std::string::npos) break;
            from = semi + 1;
        }
        filters.push_back(std::move(f));
    }
    return filters;
}

std::string FileFilterText(const FileFilter& filter)
{
    std::string spaced, listed;
    for (const CString& p : filter.patterns) {
        if (!spaced.empty()) spaced += ' ', listed += ';';
        spaced += p.c_str();
        listed += p.c_str();
    }
    std::string text = filter.description.c_str();
    // Most descriptions name their patterns already ("Bitmap (*.bmp)"): they are not named twice.
    const auto endsWith = [&text](const std::string& tail) {
        return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
    };
    if (!spaced.empty() && !endsWith("(" + spaced + ")") && !endsWith("(" + listed + ")"))
        text += " (" + spaced + ")";
    return text;
}

}  // namespace platform

namespace {

bool HasExtension(const CString& path)
{
    const std::string name = std::filesystem::path(path.c_str()).filename().string();
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && dot + 1 < name.size() && dot > 0;
}

CString NameOf(const CString& path)
{
    return std::filesystem::path(path.c_str()).filename().string().c_str();
}

platform::FileAnswer ShowQtFileDialog(const platform::FileQuestion& q)
{
    CWnd* owner = CWnd::FromHandle(q.owner);
    QFileDialog dialog(owner && owner->GetWidget() ? owner->GetWidget()->window() : nullptr);
    dialog.setWindowTitle(QString::fromUtf8(q.caption.c_str()));
    dialog.setAcceptMode(q.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(q.save ? QFileDialog::AnyFile
                              : (q.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::AnyFile));
    // The overwrite question and the existence check are asked by CFileDialog itself.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    // A description beside the list needs Qt's own dialog: the desktop's cannot take it.
    if (q.describe) dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    QStringList filters;
    for (const platform::FileFilter& f : platform::ParseFileFilter(q.filter))
        filters << QString::fromUtf8(platform::FileFilterText(f).c_str());
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (!q.initialDir.IsEmpty()) dialog.setDirectory(QString::fromUtf8(q.initialDir.c_str()));
    if (!q.fileName.IsEmpty()) dialog.selectFile(QString::fromUtf8(q.fileName.c_str()));
    if (q.describe) {
        // The description sits under the list.
        auto* label = new QLabel(&dialog);
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        label->setMinimumHeight(label->fontMetrics().height() * 3);
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
            grid->addWidget(label, grid->rowCount(), 0, 1, -1);
        auto show = [label, describe = q.describe](const QString& path) {
            label->setText(QFileInfo(path).isFile()
                               ? QString::fromUtf8(describe(path.toUtf8().constData()).c_str())
                               : QString());
        };
        QObject::connect(&dialog, &QFileDialog::currentChanged, label, show);
        // The proposed file is described before the user moves.
        if (!dialog.selectedFiles().isEmpty()) show(dialog.selectedFiles().front());
    }
    platform::FileAnswer answer;
    if (dialog.exec() != QDialog::Accepted) return answer;
    for (const QString& file : dialog.selectedFiles()) answer.paths.emplace_back(file.toUtf8().constData());
    answer.filterIndex = std::max(1, static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1);
    answer.ok = !answer.paths.empty();
    return answer;
}

}  // namespace

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt, LPCTSTR lpszFileName, DWORD dwFlags,
                         LPCTSTR lpszFilter, CWnd* pParentWnd, DWORD, BOOL)
    : m_bOpenFileDialog(bOpenFileDialog), m_pParentWnd(pParentWnd)
{
    m_filter = lpszFilter ? lpszFilter : "";
    m_defExt = lpszDefExt ? lpszDefExt : "";
    m_fileName = lpszFileName ? lpszFileName : "";
    m_ofn.Flags = dwFlags | OFN_EXPLORER;
    m_ofn.hwndOwner = pParentWnd ? pParentWnd->GetSafeHwnd() : nullptr;
    m_ofn.lpstrFilter = lpszFilter ? m_filter.c_str() : nullptr;
    m_ofn.lpstrDefExt = lpszDefExt ? m_defExt.c_str() : nullptr;
    m_fileBuffer.assign(MAX_PATH, '\0');
    m_ofn.lpstrFile = m_fileBuffer.data();
    m_ofn.nMaxFile = MAX_PATH;
}

INT_PTR CFileDialog::DoModal()
{
    // A caller may have set these in m_ofn after construction.
    if (m_ofn.lpstrInitialDir) m_initialDir = m_ofn.lpstrInitialDir;
    if (m_ofn.lpstrTitle) m_title = m_ofn.lpstrTitle;
    if (m_ofn.lpstrDefExt) m_defExt = m_ofn.lpstrDefExt;
    if (m_ofn.lpstrFile && m_ofn.lpstrFile[0] && m_ofn.lpstrFile != m_fileBuffer.data())
        m_fileName = m_ofn.lpstrFile;
    else if (m_ofn.lpstrFile == m_fileBuffer.data() && m_fileBuffer[0])
        m_fileName = m_fileBuffer.data();

    const bool save = !m_bOpenFileDialog;
    const CString caption = !m_title.IsEmpty() ? m_title : CString(save ? "Save As" : "Open");
    platform::FileQuestion question;
    question.owner = m_ofn.hwndOwner;
    question.save = save;
    question.multiSelect = (m_ofn.Flags & OFN_ALLOWMULTISELECT) != 0;
    question.overwritePrompt = save && (m_ofn.Flags & OFN_OVERWRITEPROMPT);
    question.caption = m_title;
    question.initialDir = m_initialDir;
    question.filter = m_filter;
    question.defaultExt = m_defExt;
    question.describe = m_describe;

    for (;;) {
        question.fileName = m_fileName;
        const platform::FileAnswer answer =
            platform::AskModal(question, [&] { return ShowQtFileDialog(question); });
        if (!answer.ok || answer.paths.empty()) return IDCANCEL;
        std::vector<CString> paths = answer.paths;
        for (CString& path : paths) {
            if (!m_defExt.IsEmpty() && !HasExtension(path)) {
                const char* ext = m_defExt.c_str();
                if (*ext == '.') ++ext;
                path += ".";
                path += ext;
            }
        }
        bool again = false;
        for (const CString& path : paths) {
            std::error_code ignored;
            const bool exists = std::filesystem::exists(std::filesystem::path(path.c_str()), ignored);
            if (!save && (m_ofn.Flags & OFN_FILEMUSTEXIST) && !exists) {
                CString text = NameOf(path);
                text += "\nFile not found.\nCheck the file name and try again.";
                MessageBox(m_ofn.hwndOwner, text, caption, MB_OK | MB_ICONEXCLAMATION);
                again = true;
                break;
            }
            if (save && (m_ofn.Flags & OFN_OVERWRITEPROMPT) && exists) {
                CString text = NameOf(path);
                text += " already exists.\nDo you want to replace it?";
                if (MessageBox(m_ofn.hwndOwner, text, caption, MB_YESNO | MB_ICONEXCLAMATION) != IDYES) {
                    again = true;
                    break;
                }
            }
        }
        if (again) {
            m_fileName = NameOf(paths.front());
            continue;
        }
        m_paths = std::move(paths);
        m_ofn.nFilterIndex = static_cast<DWORD>(std::max(1, answer.filterIndex));
        const std::string first = m_paths.front().c_str();
        m_fileBuffer.assign(std::max<std::size_t>(MAX_PATH, first.size() + 1), '\0');
        std::copy(first.begin(), first.end(), m_fileBuffer.begin());
        m_ofn.lpstrFile = m_fileBuffer.data();
        m_ofn.nMaxFile = static_cast<DWORD>(m_fileBuffer.size());
        return IDOK;
    }
}

CString CFileDialog::GetPathName() const
{
    return m_paths.empty() ? CString() : m_paths.front();
}

CString CFileDialog::GetFileName() const
{
    return m_paths.empty() ? CString() : NameOf(m_paths.front());
}

CString CFileDialog::GetFileExt() const
{
    const std::string name = GetFileName().c_str();
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? CString() : CString(name.substr(dot + 1).c_str());
}

CString CFileDialog::GetFileTitle() const
{
    const std::string name = GetFileName().c_str();
    const std::size_t dot = name.rfind('.');
    return CString(name.substr(0, dot).c_str());
}

CString CFileDialog::GetFolderPath() const
{
    if (m_paths.empty()) return {};
    return std::filesystem::path(m_paths.front().c_str()).parent_path().string().c_str();
}
