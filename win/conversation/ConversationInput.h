#pragma once

// What the user puts into a conversation and takes out of it: typed text that code page 949 cannot
// carry, the text of a history item on the clipboard, and the files of a file list (Explorer's Copy, or
// a drop).

#include <windows.h>

#include <shellapi.h>

#include <oleidl.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dravel::win {

// The most files one paste or drop offers.
inline constexpr size_t kMaxOfferedFiles = 100;

// Before a text goes out: when code page 949 cannot carry some of its characters, the user is told
// which (a box owned by owner), the text stays in the edit with the first of them selected, and true is
// returned: nothing may be sent. False when the whole text can go.
bool RefuseUncarriedText(HWND owner, HWND edit, std::wstring_view text);

// Puts the text on the clipboard as Unicode text, for owner; false when the clipboard could not be had.
bool PutClipboardText(HWND owner, std::wstring_view text);
// The files of the clipboard's file list; nothing when it holds none (text, a picture).
std::optional<std::vector<std::wstring>> ClipboardFiles(HWND owner);
// The files of a drop (WM_DROPFILES), which is released.
std::vector<std::wstring> DroppedFiles(HDROP drop);

// A window's OLE drop target for files (what Explorer's drag and drop brings): anything that carries a
// file list may be dropped, as a copy, and its files go to onFiles. Register() needs OLE on the thread;
// without it the window still takes WM_DROPFILES.
class CFileDropTarget final : public IDropTarget {
public:
    explicit CFileDropTarget(std::function<void(std::vector<std::wstring>)> onFiles) : m_onFiles(std::move(onFiles)) {}
    ~CFileDropTarget() { Revoke(); }
    CFileDropTarget(const CFileDropTarget&) = delete;
    CFileDropTarget& operator=(const CFileDropTarget&) = delete;

    bool Register(HWND hwnd);
    void Revoke();

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    // Owned by its window's object: the counts only keep OLE's bookkeeping honest.
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_nRefs)); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(::InterlockedDecrement(&m_nRefs)); }
    STDMETHODIMP DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override;
    STDMETHODIMP DragOver(DWORD keys, POINTL pt, DWORD* effect) override;
    STDMETHODIMP DragLeave() override;
    STDMETHODIMP Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override;

private:
    std::function<void(std::vector<std::wstring>)> m_onFiles;
    HWND m_hwnd = nullptr;
    LONG m_nRefs = 1;
    bool m_bFiles = false;
};

} // namespace dravel::win
