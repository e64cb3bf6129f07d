#include "win/conversation/ConversationInput.h"

#include "win/base/MessageBox.h"
#include "win/base/Text.h"
#include "win/res/resource.h"

#include <shellapi.h>

#include <cstring>
#include <utility>

namespace dravel::win {

namespace {

// The clipboard is the desktop's: another program holding it a moment is waited for a little.
bool OpenClipboardFor(HWND owner) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (::OpenClipboard(owner))
            return true;
        ::Sleep(10);
    }
    return false;
}

std::vector<std::wstring> FilesOf(HDROP drop) {
    std::vector<std::wstring> files;
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count && files.size() < kMaxOfferedFiles; ++i) {
        const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
        if (length == 0 || length > 32767)
            continue;
        std::wstring path(length + 1, L'\0');
        path.resize(::DragQueryFileW(drop, i, path.data(), length + 1));
        if (!path.empty())
            files.push_back(std::move(path));
    }
    return files;
}

} // namespace

bool RefuseUncarriedText(HWND owner, HWND edit, std::wstring_view text) {
    const std::optional<UncarriedText> found = FindUncarried949(text);
    if (!found)
        return false;
    std::wstring named;
    for (const std::wstring& character : found->characters)
        named += (named.empty() ? L"" : L" ") + character;
    std::wstring message = LoadResString(IDS_CONV_UNCARRIED);
    if (const size_t at = message.find(L"%s"); at != std::wstring::npos)
        message.replace(at, 2, named);
    AppMessageBox(owner, message, MB_OK | MB_ICONEXCLAMATION);
    if (edit != nullptr) {
        ::SetFocus(edit);
        ::SendMessageW(edit, EM_SETSEL, found->nFirst, found->nFirst + found->nFirstLength);
        ::SendMessageW(edit, EM_SCROLLCARET, 0, 0);
    }
    return true;
}

bool PutClipboardText(HWND owner, std::wstring_view text) {
    if (!OpenClipboardFor(owner))
        return false;
    bool bDone = false;
    ::EmptyClipboard();
    if (HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t))) {
        if (void* p = ::GlobalLock(memory)) {
            std::memcpy(p, text.data(), text.size() * sizeof(wchar_t));
            static_cast<wchar_t*>(p)[text.size()] = L'\0';
            ::GlobalUnlock(memory);
            bDone = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        }
        if (!bDone)
            ::GlobalFree(memory);
    }
    ::CloseClipboard();
    return bDone;
}

std::optional<std::vector<std::wstring>> ClipboardFiles(HWND owner) {
    if (!::IsClipboardFormatAvailable(CF_HDROP) || !OpenClipboardFor(owner))
        return std::nullopt;
    std::optional<std::vector<std::wstring>> files;
    if (const auto drop = static_cast<HDROP>(::GetClipboardData(CF_HDROP)))
        files = FilesOf(drop); // the clipboard's own: read, never released here
    ::CloseClipboard();
    return files;
}

namespace {

FORMATETC FileListFormat() {
    return FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

} // namespace

bool CFileDropTarget::Register(HWND hwnd) {
    if (m_hwnd != nullptr || FAILED(::RegisterDragDrop(hwnd, this)))
        return false;
    m_hwnd = hwnd;
    return true;
}

void CFileDropTarget::Revoke() {
    if (m_hwnd != nullptr)
        ::RevokeDragDrop(std::exchange(m_hwnd, nullptr));
}

STDMETHODIMP CFileDropTarget::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropTarget)) {
        *ppv = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP CFileDropTarget::DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) {
    FORMATETC format = FileListFormat();
    m_bFiles = data != nullptr && data->QueryGetData(&format) == S_OK;
    return DragOver(keys, pt, effect);
}

STDMETHODIMP CFileDropTarget::DragOver(DWORD, POINTL, DWORD* effect) {
    if (effect != nullptr)
        *effect = m_bFiles && (*effect & DROPEFFECT_COPY) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
}

STDMETHODIMP CFileDropTarget::DragLeave() {
    m_bFiles = false;
    return S_OK;
}

STDMETHODIMP CFileDropTarget::Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) {
    DragOver(keys, pt, effect);
    m_bFiles = false;
    FORMATETC format = FileListFormat();
    STGMEDIUM medium{};
    if (data == nullptr || effect == nullptr || *effect == DROPEFFECT_NONE || FAILED(data->GetData(&format, &medium)))
        return S_OK;
    std::vector<std::wstring> files;
    if (const auto drop = static_cast<HDROP>(::GlobalLock(medium.hGlobal))) {
        files = FilesOf(drop);
        ::GlobalUnlock(medium.hGlobal);
    }
    ::ReleaseStgMedium(&medium);
    if (m_hwnd != nullptr && !files.empty())
        m_onFiles(std::move(files));
    return S_OK;
}

std::vector<std::wstring> DroppedFiles(HDROP drop) {
    std::vector<std::wstring> files = FilesOf(drop);
    ::DragFinish(drop);
    return files;
}

} // namespace dravel::win
