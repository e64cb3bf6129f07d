// The RAII owners of the Win32 base, one per handle kind, and the Winsock start-up.

#include "win/base/Handles.h"
#include "win/base/Winsock.h"

#include <gtest/gtest.h>

#include <string>

using namespace dravel::win;

namespace {

bool IsLiveHandle(HANDLE h) {
    DWORD flags = 0;
    return ::GetHandleInformation(h, &flags) != FALSE;
}

TEST(Owners, KernelHandleIsClosedUnlessDetached) {
    HANDLE raw = nullptr;
    {
        CKernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(event);
        raw = event.Get();
        EXPECT_TRUE(IsLiveHandle(raw));
    }
    EXPECT_FALSE(IsLiveHandle(raw));

    {
        CKernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        raw = event.Detach();
        EXPECT_FALSE(event);
    }
    EXPECT_TRUE(IsLiveHandle(raw));
    ::CloseHandle(raw);
}

TEST(Owners, KernelHandleTreatsBothNullAndInvalidAsEmpty) {
    EXPECT_FALSE(CKernelHandle());
    EXPECT_FALSE(CKernelHandle(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(CKernelHandle(nullptr));
}

TEST(Owners, MoveTransfersOwnershipAndResetClosesThePrevious) {
    CKernelHandle a(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const HANDLE first = a.Get();
    CKernelHandle b(std::move(a));
    EXPECT_FALSE(a);
    EXPECT_EQ(b.Get(), first);

    CKernelHandle c(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const HANDLE second = c.Get();
    c = std::move(b); // closes "second"
    EXPECT_EQ(c.Get(), first);
    EXPECT_FALSE(IsLiveHandle(second));

    c.Reset();
    EXPECT_FALSE(IsLiveHandle(first));
    EXPECT_FALSE(c);
}

TEST(Owners, GdiObjectsAreDeletedAndSelectionsUndone) {
    HGDIOBJ rawFont = nullptr;
    {
        CFontHandle font(::CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial"));
        ASSERT_TRUE(font);
        rawFont = font.Get();
        EXPECT_EQ(::GetObjectType(rawFont), static_cast<DWORD>(OBJ_FONT));
    }
    EXPECT_EQ(::GetObjectType(rawFont), 0u);

    CDcHandle dc(::CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc);
    const HGDIOBJ originalBrush = ::GetCurrentObject(dc.Get(), OBJ_BRUSH);
    CBrushHandle brush(::CreateSolidBrush(RGB(1, 2, 3)));
    {
        CSelectObjectGuard guard(dc.Get(), brush.Get());
        EXPECT_TRUE(guard.Succeeded());
        EXPECT_EQ(::GetCurrentObject(dc.Get(), OBJ_BRUSH), brush.Get());
    }
    EXPECT_EQ(::GetCurrentObject(dc.Get(), OBJ_BRUSH), originalBrush);

    HDC rawDc = dc.Get();
    dc.Reset();
    EXPECT_EQ(::GetObjectType(rawDc), 0u);
}

TEST(Owners, WindowMenuIconCursorAndHookOwnersReleaseTheirHandles) {
    HWND rawWindow = nullptr;
    HMENU rawMenu = nullptr;
    HICON rawIcon = nullptr;
    HCURSOR rawCursor = nullptr;
    HHOOK rawHook = nullptr;
    {
        CWindowHandle window(
            ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
        CMenuHandle menu(::CreatePopupMenu());
        CIconHandle icon(::CopyIcon(::LoadIconW(nullptr, IDI_APPLICATION)));
        CCursorHandle cursor(
            static_cast<HCURSOR>(::CopyImage(::LoadCursorW(nullptr, IDC_ARROW), IMAGE_CURSOR, 0, 0, 0)));
        CHookHandle hook(::SetWindowsHookExW(
            WH_GETMESSAGE, [](int code, WPARAM w, LPARAM l) { return ::CallNextHookEx(nullptr, code, w, l); }, nullptr,
            ::GetCurrentThreadId()));
        ASSERT_TRUE(window && menu && icon && cursor && hook);
        rawWindow = window.Get();
        rawMenu = menu.Get();
        rawIcon = icon.Get();
        rawCursor = cursor.Get();
        rawHook = hook.Get();
    }
    EXPECT_FALSE(::IsWindow(rawWindow));
    EXPECT_FALSE(::IsMenu(rawMenu));
    ICONINFO info{};
    EXPECT_FALSE(::GetIconInfo(rawIcon, &info));
    EXPECT_FALSE(::GetIconInfo(rawCursor, &info));
    EXPECT_FALSE(::UnhookWindowsHookEx(rawHook));
}

TEST(Owners, WindowDcIsReleasedToItsWindow) {
    CWindowHandle window(
        ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    CWindowDc dc(window.Get());
    ASSERT_TRUE(dc);
    CWindowDc moved(std::move(dc));
    EXPECT_FALSE(dc);
    EXPECT_TRUE(moved);
    moved.Reset();
    EXPECT_FALSE(moved);
}

// A COM object that counts its references.
class CCountedUnknown : public IUnknown {
public:
    ULONG m_nRefs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_nRefs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_nRefs; }
};

TEST(Owners, ComPointerReleasesExactlyTheReferencesItHolds) {
    CCountedUnknown object;
    {
        CComPtr<IUnknown> p(&object); // adopts the initial reference
        CComPtr<IUnknown> shared = p.Share();
        EXPECT_EQ(object.m_nRefs, 2u);
        CComPtr<IUnknown> moved(std::move(shared));
        EXPECT_FALSE(shared);
        EXPECT_EQ(object.m_nRefs, 2u);
    }
    EXPECT_EQ(object.m_nRefs, 0u);

    object.m_nRefs = 1;
    {
        CComPtr<IUnknown> p(&object);
        EXPECT_EQ(p.Detach(), &object);
    }
    EXPECT_EQ(object.m_nRefs, 1u);

    {
        auto p = CComPtr<IUnknown>::AddRefFrom(&object);
        EXPECT_EQ(object.m_nRefs, 2u);
        *p.Put() = nullptr; // Put releases before it hands out the slot
        EXPECT_EQ(object.m_nRefs, 1u);
    }
}

TEST(Owners, SocketIsClosedAndWinsockStarts) {
    CWinsockInit winsock;
    ASSERT_TRUE(winsock.Ok()) << winsock.Error();
    SOCKET raw = INVALID_SOCKET;
    {
        CSocketHandle socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        ASSERT_TRUE(socket);
        raw = socket.Get();
        int type = 0;
        int len = sizeof(type);
        EXPECT_EQ(::getsockopt(raw, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &len), 0);
    }
    int type = 0;
    int len = sizeof(type);
    EXPECT_EQ(::getsockopt(raw, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &len), SOCKET_ERROR);
    EXPECT_EQ(::WSAGetLastError(), WSAENOTSOCK);
}

TEST(Owners, ModuleIsFreed) {
    // A system library the test does not otherwise load.
    const wchar_t* name = L"msimg32.dll";
    ASSERT_EQ(::GetModuleHandleW(name), nullptr);
    {
        CModuleHandle module(::LoadLibraryW(name));
        ASSERT_TRUE(module);
        EXPECT_NE(::GetModuleHandleW(name), nullptr);
    }
    EXPECT_EQ(::GetModuleHandleW(name), nullptr);
}

} // namespace
