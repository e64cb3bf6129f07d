#pragma once

// The user list of the chat list window: an owner-drawn list box (variable item height, strings,
// unsorted, notifying its parent) whose items show an icon of an image list and word-wrapped text, and
// carry a small record with the user's login ID, the icon number and a state.
//
// The list box comes from a dialog template; the dialog takes it over in OnInitDialog and hands it the
// measuring of its items (the only parent message the window base does not pass to the control):
//     m_list.AttachDlgItem(m_hWnd, IDC_USER_LIST);
//     ...
//     case WM_MEASUREITEM: if (m_list.MeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) return TRUE;
// Drawing arrives through the base's reflection. A right click selects the nearest item and posts
// kContactListRightClick to the parent (key flags, selected index); a double click on a disabled item
// never reaches the parent; every wheel step repaints the items.
//
// Other programs on the desktop can send the list box its LB_ messages. An item's data is trusted only
// when it is a record this list made: a foreign item, or a foreign value, is drawn and read as an item
// without a record (its text only), and a record's item data cannot be replaced.
//
// Screen readers see a list of list items (child id = index + 1) named by their text and described by
// the presence their icon shows; a disabled item is unavailable.

#include "win/base/Messages.h"
#include "win/base/Window.h"
#include "win/ui/Accessible.h"
#include "core/ui/DpiScale.h"

#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace dravel::win {

// What each item carries. The list owns the records; an item's data is its record's address, looked up
// among the list's own records before use, and the record goes with the item.
struct ContactItemRecord {
    int32_t nValue = 0;
    char szId[50] = {}; // at most 49 bytes and the terminator
    int32_t nImage = 0;
    UINT uTextFormat = 0; // extra DrawText flags for this item
    UINT uState = 0;      // bit 0: disabled
};

class CContactListBox : public CWindow, private CAccessibleSource {
public:
    // How selection and focus show: 0 highlight across icon and text, focus around the item; 1 text area
    // highlighted, focus around it; 2 only the text itself.
    enum SelectionStyle : uint8_t { kStyleWholeItem = 0, kStyleTextArea = 1, kStyleTextOnly = 2 };

    CContactListBox() noexcept;
    ~CContactListBox() override;

    bool AttachDlgItem(HWND parent, int id);

    // Appends an item; its index, or LB_ERR / LB_ERRSPACE (and no record) when the list refuses it. An ID
    // longer than 49 bytes is cut, never in the middle of a two-byte character.
    int AddItem(std::wstring_view text, int image, std::string_view id);
    // Removes the item and frees its record.
    void DeleteItem(int index);
    // Frees every record and empties the list.
    void ResetContent();

    // The item's login ID; none when the item has no record.
    std::optional<std::string> GetItemID(int index) const;
    void SetItemImage(int index, int image, bool bRepaint);
    int GetItemImage(int index) const;
    bool IsItemEnabled(int index) const;
    void EnableItem(int index, bool bEnable, bool bRepaint = true);

    // Not owned: the caller keeps it alive while the list draws with it; null removes it. Takes the icon size from it
    // and repaints.
    void SetImageList(HIMAGELIST images);
    HIMAGELIST GetImageList() const noexcept { return m_hImages; }
    // False (and no change) for a style above 2.
    bool SetSelectionStyle(uint8_t style);

    int GetCount() const;
    int GetCurSel() const;
    std::wstring GetItemText(int index) const;

    // WM_MEASUREITEM from the parent; false when it is not about this list.
    bool MeasureItem(MEASUREITEMSTRUCT& mis);
    // The dpi the padding around icons is at: the window's, then the one of the last WM_DPICHANGED.
    int GetDpi() const noexcept { return m_nDpi; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnDestroy() override;

private:
    ContactItemRecord* RecordOf(int index) const;
    // Frees the item's record and clears the item's pointer to it.
    void FreeRecord(int index);
    void FreeAllRecords();
    void DrawItem(const DRAWITEMSTRUCT& dis);
    // Nearest item to a client point; bOnItem tells whether the point lies on it.
    int ItemFromPoint(POINT pt, bool& bOnItem) const;
    void OnRButtonDown(UINT keys, POINT pt);
    bool OnLButtonDblClk(POINT pt);
    void OnMouseWheel(short delta);
    // A new dpi: the padding scales and every item is measured again (in the icons and font it has now).
    void OnDpiChanged(int dpi);

    // CAccessibleSource
    long AccChildCount() override;
    long AccRole(long child) override;
    std::wstring AccName(long child) override;
    std::wstring AccDescription(long child) override;
    long AccState(long child) override;
    bool AccLocation(long child, RECT& rc) override;
    long AccHitTest(POINT pt) override;
    long AccFocusChild() override;
    long AccSelectedChild() override;

    // Keyed by the item data each record's item was given.
    std::unordered_map<LPARAM, std::unique_ptr<ContactItemRecord>> m_records;
    uint8_t m_nSelStyle = kStyleWholeItem;
    HIMAGELIST m_hImages = nullptr;
    int m_cxIcon = 0;
    int m_cyIcon = 0;
    int m_nDpi = dravel::kDefaultDpi;
    CAccessibleServer m_accessible;
    // The context-menu key (VK_APPS or F10 with Shift) held down, 0 when none.
    UINT m_nContextKey = 0;
};

} // namespace dravel::win
