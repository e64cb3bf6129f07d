// A stand-in for the web browser control, for end-to-end tests under Wine (which has no browser
// engine): an in-process COM server that a test registers for the WebBrowser class in its Wine prefix.
// It activates in place like the real control, as a visible child window of class "DravelOnTestBrowser"
// whose text is the last address navigated to, and it "runs" pages on command: a test sends the window
// WM_COPYDATA (dwData kTestBrowserMagic) with a command line, and the window calls the host's
// window.external object as a page script would, on the window's own thread:
//
//   call <name> [args...]   numbers go as VT_I4, "quoted text" (\" and \\ inside) as VT_BSTR; made as a
//                           script engine makes it (IDispatchEx::InvokeEx when the object has it), from
//                           the page's document: the caller's service provider names it
//                           (SID_SContainerDispatch), a document whose "URL" is the page's address
//   framecall <name> [args] the same, from the frame's document (the address its last `frame` or
//                           `redirect frame` reached)
//   navigate <url>          as if the page went there: recorded like IWebBrowser2::Navigate
//   post <command>          runs the command later, from the window's message queue (as a page's event
//                           handler would run): for calls that open a modal box
//   result                  the posted command's HRESULT and answer; E_PENDING "pending" while it runs
//   rect                    where the window is: "left top right bottom" in its parent's client
//                           coordinates, then the parent's client width and height
//   keys                    what became of each key-down since the last "keys", comma separated:
//                           "<vk> eaten" / "<vk> passed" by the host's IDocHostUIHandler::
//                           TranslateAccelerator (asked from our IOleInPlaceActiveObject::
//                           TranslateAccelerator, as the real control does), "<vk> reached" the window;
//                           a click's release that reached the window is "1 reached"
//   press <vk> down|up      the key as the keyboard gives it (SendInput: its held state changes too),
//                           after bringing the window's top-level window to the front and focusing it
//   follow <url>            the page goes to url as by a link or a script: BeforeNavigate2 with pDisp the
//                           control itself; unless a sink cancels, the page is there (as `navigate`) and
//                           NavigateComplete2 and DocumentComplete follow. Answer "went" or "cancelled"
//   frame <url>             a frame of the page goes to url: BeforeNavigate2 with pDisp a frame object
//                           (IDispatch, not the control), then the two completion events unless
//                           cancelled; the page's own address stays. Answer "went" or "cancelled"
//   newwindow <url> [flags] the page asks for a new window on url: NewWindow3 with flags (decimal, 0 by
//                           default; NWMF_USERINITED 2, NWMF_USERREQUESTED 128) and the page's address as
//                           context. Answer "cancelled" or "allowed"; no window opens either way
//   newwindow2 <url>        the older NewWindow2(ppDisp, Cancel). Answer "cancelled" or "allowed"
//   redirect [frame] <url>  the page (or its frame) arrived at url by a redirect: no BeforeNavigate2, only
//                           NavigateComplete2 and DocumentComplete. Answer the page's address afterwards
//   focus <tag>             the page's focused element is a <tag> ("A", "INPUT"; "-" for none), as the
//                           document's activeElement.tagName tells
//   click                   the user clicks the centre of the window (SendInput, after bringing its window
//                           to the front), as a real click reaches it. Answer "clicked"; the click comes
//                           as input does, after sent and posted messages (see `keys`)
//   postclick               a left button down and up posted to the window, as another program could
//   navigations             every address the control went to since the last "navigations", in order,
//                           one a line ("" for none): the host's Navigate/Navigate2, `navigate` and a
//                           `follow` that went through
//   contextmenu <x> <y>     the host's IDocHostUIHandler::ShowContextMenu(CONTEXT_MENU_DEFAULT, the point
//                           x y as given, in screen coordinates), as a right click in the page asks; the
//                           host's menu is modal, so send it with `post` and read `result`. Answer "shown",
//                           result the host's HRESULT
//   hostinfo                the host's IDocHostUIHandler::GetHostInfo into a zeroed DOCHOSTUIINFO of full
//                           size: "flags=0x%08X dblclk=%u", or "error: ..." with the HRESULT
//
// Navigation events (DWebBrowserEvents2) go to every sink advised on the control's connection point, by
// IDispatch::Invoke as the real control raises them. Made in a process whose environment has
// DRAVELON_TEST_BROWSER_NO_EVENTS=1, the control offers no connection points at all. The host's own
// navigations (Navigate, Navigate2)
// and `navigate` raise none: they are only recorded.
//
// The message's result is the command's HRESULT. The answer text goes back as WM_COPYDATA (same magic)
// to the window named by wParam, while the sender still waits: for `call` the result as a script sees
// it (undefined, null, true, false, a number or a quoted string), "error: ..." when the call failed;
// for navigate the address quoted. A message that is not a command is answered FALSE and nothing else.
#pragma once

#include <windows.h>

#include <exdisp.h>
#include <ocidl.h>
#include <ole2.h>
#include <oleidl.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

inline constexpr ULONG_PTR kTestBrowserMagic = 0x44544231; // "DTB1"
inline constexpr wchar_t kTestBrowserClass[] = L"DravelOnTestBrowser";
// Posted to the window itself: run the posted command now.
inline constexpr UINT kRunPostedMessage = WM_APP + 1;

// {26E51992-601D-4168-9D78-A27B21B98394}: this server's own class, the target a test's TreatAs points to.
inline constexpr CLSID kClsidTestBrowser = {
    0x26E51992, 0x601D, 0x4168, {0x9D, 0x78, 0xA2, 0x7B, 0x21, 0xB9, 0x83, 0x94}};

// Objects and server locks alive, for DllCanUnloadNow.
void ModuleAddRef() noexcept;
void ModuleRelease() noexcept;
HINSTANCE ModuleInstance() noexcept;
// Once the window class is registered its procedure must stay loaded (InPlace.cpp).
bool WindowClassRegistered() noexcept;

class CTestBrowser;

// The control's one connection point, DWebBrowserEvents2, for any number of sinks. Part of the control:
// it lives and counts references with it (Events.cpp).
class CBrowserEventsPoint final : public IConnectionPoint {
public:
    explicit CBrowserEventsPoint(CTestBrowser& owner) noexcept : m_owner(owner) {}
    CBrowserEventsPoint(const CBrowserEventsPoint&) = delete;
    CBrowserEventsPoint& operator=(const CBrowserEventsPoint&) = delete;
    ~CBrowserEventsPoint();

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetConnectionInterface(IID* pIID) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
    STDMETHODIMP Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override;
    STDMETHODIMP Unadvise(DWORD dwCookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** ppEnum) override;

    // Invokes the event on each sink advised when it starts, in the order they came.
    void Raise(DISPID id, DISPPARAMS& params);

private:
    CTestBrowser& m_owner;
    std::vector<std::pair<DWORD, IDispatch*>> m_vecSinks;
    DWORD m_nNextCookie = 1;
};

class CTestBrowser final : public IWebBrowser2,
                           public IOleObject,
                           public IOleInPlaceObject,
                           public IOleInPlaceActiveObject,
                           public IConnectionPointContainer {
public:
    CTestBrowser() noexcept;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch: the control's own automation is not offered by name.
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // IWebBrowser
    STDMETHODIMP GoBack() override;
    STDMETHODIMP GoForward() override;
    STDMETHODIMP GoHome() override;
    STDMETHODIMP GoSearch() override;
    STDMETHODIMP Navigate(BSTR URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                          VARIANT* Headers) override;
    STDMETHODIMP Refresh() override;
    STDMETHODIMP Refresh2(VARIANT* Level) override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP get_Application(IDispatch** ppDisp) override;
    STDMETHODIMP get_Parent(IDispatch** ppDisp) override;
    STDMETHODIMP get_Container(IDispatch** ppDisp) override;
    STDMETHODIMP get_Document(IDispatch** ppDisp) override;
    STDMETHODIMP get_TopLevelContainer(VARIANT_BOOL* pBool) override;
    STDMETHODIMP get_Type(BSTR* Type) override;
    STDMETHODIMP get_Left(LONG* pl) override;
    STDMETHODIMP put_Left(LONG Left) override;
    STDMETHODIMP get_Top(LONG* pl) override;
    STDMETHODIMP put_Top(LONG Top) override;
    STDMETHODIMP get_Width(LONG* pl) override;
    STDMETHODIMP put_Width(LONG Width) override;
    STDMETHODIMP get_Height(LONG* pl) override;
    STDMETHODIMP put_Height(LONG Height) override;
    STDMETHODIMP get_LocationName(BSTR* LocationName) override;
    STDMETHODIMP get_LocationURL(BSTR* LocationURL) override;
    STDMETHODIMP get_Busy(VARIANT_BOOL* pBool) override;

    // IWebBrowserApp
    STDMETHODIMP Quit() override;
    STDMETHODIMP ClientToWindow(int* pcx, int* pcy) override;
    STDMETHODIMP PutProperty(BSTR Property, VARIANT vtValue) override;
    STDMETHODIMP GetProperty(BSTR Property, VARIANT* pvtValue) override;
    STDMETHODIMP get_Name(BSTR* Name) override;
    STDMETHODIMP get_HWND(SHANDLE_PTR* pHWND) override;
    STDMETHODIMP get_FullName(BSTR* FullName) override;
    STDMETHODIMP get_Path(BSTR* Path) override;
    STDMETHODIMP get_Visible(VARIANT_BOOL* pBool) override;
    STDMETHODIMP put_Visible(VARIANT_BOOL Value) override;
    STDMETHODIMP get_StatusBar(VARIANT_BOOL* pBool) override;
    STDMETHODIMP put_StatusBar(VARIANT_BOOL Value) override;
    STDMETHODIMP get_StatusText(BSTR* StatusText) override;
    STDMETHODIMP put_StatusText(BSTR StatusText) override;
    STDMETHODIMP get_ToolBar(int* Value) override;
    STDMETHODIMP put_ToolBar(int Value) override;
    STDMETHODIMP get_MenuBar(VARIANT_BOOL* Value) override;
    STDMETHODIMP put_MenuBar(VARIANT_BOOL Value) override;
    STDMETHODIMP get_FullScreen(VARIANT_BOOL* pbFullScreen) override;
    STDMETHODIMP put_FullScreen(VARIANT_BOOL bFullScreen) override;

    // IWebBrowser2
    STDMETHODIMP Navigate2(VARIANT* URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                           VARIANT* Headers) override;
    STDMETHODIMP QueryStatusWB(OLECMDID cmdID, OLECMDF* pcmdf) override;
    STDMETHODIMP ExecWB(OLECMDID cmdID, OLECMDEXECOPT cmdexecopt, VARIANT* pvaIn, VARIANT* pvaOut) override;
    STDMETHODIMP ShowBrowserBar(VARIANT* pvaClsid, VARIANT* pvarShow, VARIANT* pvarSize) override;
    STDMETHODIMP get_ReadyState(READYSTATE* plReadyState) override;
    STDMETHODIMP get_Offline(VARIANT_BOOL* pbOffline) override;
    STDMETHODIMP put_Offline(VARIANT_BOOL bOffline) override;
    STDMETHODIMP get_Silent(VARIANT_BOOL* pbSilent) override;
    STDMETHODIMP put_Silent(VARIANT_BOOL bSilent) override;
    STDMETHODIMP get_RegisterAsBrowser(VARIANT_BOOL* pbRegister) override;
    STDMETHODIMP put_RegisterAsBrowser(VARIANT_BOOL bRegister) override;
    STDMETHODIMP get_RegisterAsDropTarget(VARIANT_BOOL* pbRegister) override;
    STDMETHODIMP put_RegisterAsDropTarget(VARIANT_BOOL bRegister) override;
    STDMETHODIMP get_TheaterMode(VARIANT_BOOL* pbRegister) override;
    STDMETHODIMP put_TheaterMode(VARIANT_BOOL bRegister) override;
    STDMETHODIMP get_AddressBar(VARIANT_BOOL* Value) override;
    STDMETHODIMP put_AddressBar(VARIANT_BOOL Value) override;
    STDMETHODIMP get_Resizable(VARIANT_BOOL* Value) override;
    STDMETHODIMP put_Resizable(VARIANT_BOOL Value) override;

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* pClientSite) override;
    STDMETHODIMP GetClientSite(IOleClientSite** ppClientSite) override;
    STDMETHODIMP SetHostNames(LPCOLESTR szContainerApp, LPCOLESTR szContainerObj) override;
    STDMETHODIMP Close(DWORD dwSaveOption) override;
    STDMETHODIMP SetMoniker(DWORD dwWhichMoniker, IMoniker* pmk) override;
    STDMETHODIMP GetMoniker(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) override;
    STDMETHODIMP InitFromData(IDataObject* pDataObject, BOOL fCreation, DWORD dwReserved) override;
    STDMETHODIMP GetClipboardData(DWORD dwReserved, IDataObject** ppDataObject) override;
    STDMETHODIMP DoVerb(LONG iVerb, LPMSG lpmsg, IOleClientSite* pActiveSite, LONG lindex, HWND hwndParent,
                        LPCRECT lprcPosRect) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) override;
    STDMETHODIMP Update() override;
    STDMETHODIMP IsUpToDate() override;
    STDMETHODIMP GetUserClassID(CLSID* pClsid) override;
    STDMETHODIMP GetUserType(DWORD dwFormOfType, LPOLESTR* pszUserType) override;
    STDMETHODIMP SetExtent(DWORD dwDrawAspect, SIZEL* psizel) override;
    STDMETHODIMP GetExtent(DWORD dwDrawAspect, SIZEL* psizel) override;
    STDMETHODIMP Advise(IAdviseSink* pAdvSink, DWORD* pdwConnection) override;
    STDMETHODIMP Unadvise(DWORD dwConnection) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** ppenumAdvise) override;
    STDMETHODIMP GetMiscStatus(DWORD dwAspect, DWORD* pdwStatus) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE* pLogpal) override;

    // IOleWindow (shared by the in-place object and the active object)
    STDMETHODIMP GetWindow(HWND* phwnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL fEnterMode) override;

    // IOleInPlaceObject
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT lprcPosRect, LPCRECT lprcClipRect) override;
    STDMETHODIMP ReactivateAndUndo() override;

    // IOleInPlaceActiveObject
    STDMETHODIMP TranslateAccelerator(LPMSG lpmsg) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL fActivate) override;
    STDMETHODIMP OnDocWindowActivate(BOOL fActivate) override;
    STDMETHODIMP ResizeBorder(LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow, BOOL fFrameWindow) override;
    STDMETHODIMP EnableModeless(BOOL fEnable) override;

    // IConnectionPointContainer (Events.cpp)
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

private:
    ~CTestBrowser();

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void OnPaint();
    LRESULT OnCopyData(HWND hwndFrom, const COPYDATASTRUCT* pData);
    void OnRunPosted();

    HRESULT ActivateInPlace(IOleClientSite* pSite, HWND hwndParent, LPCRECT lprcPosRect);
    // The address the page is at now; shown as the window's text.
    void GoTo(std::wstring url);

    // PageCommands.cpp: one command line; the answer text is what the sender is told.
    HRESULT RunCommand(std::wstring_view line, std::wstring& answer);
    HRESULT CallExternal(std::wstring_view line, bool bFromFrame, std::wstring& answer);
    HRESULT Redirect(std::wstring_view line, std::wstring& answer);
    HRESULT RealClick(std::wstring& answer);
    HRESULT PressKey(std::wstring_view line, std::wstring& answer);
    // Keeps what became of a key-down: "eaten" or "passed" by the host's filter, "reached" the page.
    void NoteKey(unsigned nVirtualKey, std::wstring_view fate);
    HRESULT GoByPage(std::wstring_view line, bool bFrame, std::wstring& answer);
    HRESULT AskNewWindow(std::wstring_view line, std::wstring& answer);
    HRESULT AskHost(std::wstring_view verb, std::wstring_view line, std::wstring& answer);

    // Events.cpp: the events as the engine raises them, to every advised sink.
    IDispatch* SelfDispatch() noexcept { return static_cast<IWebBrowser2*>(this); }
    // A frame of the page, as the engine names it in its events; created on first use.
    IDispatch* FrameDispatch();
    // True when a sink cancelled.
    bool RaiseBeforeNavigate(IDispatch* pDisp, const std::wstring& url);
    void RaiseNavigated(IDispatch* pDisp, const std::wstring& url);
    bool RaiseNewWindow(const std::wstring& url, DWORD dwFlags);
    bool RaiseNewWindow2();

    LONG m_nRefs = 1;
    IOleClientSite* m_pClientSite = nullptr;
    IOleInPlaceSite* m_pInPlaceSite = nullptr;
    HWND m_hwnd = nullptr;
    std::wstring m_strUrl;
    bool m_bNavigated = false;
    // The posted command: waiting or running while m_bPostedPending, then its outcome.
    bool m_bPosted = false;
    bool m_bPostedPending = false;
    std::wstring m_strPostedLine;
    HRESULT m_hrPosted = S_OK;
    std::wstring m_strPostedAnswer;
    SIZEL m_sizeExtent{};
    // "<vk> <fate>" per key-down, comma separated, since the last "keys" command.
    std::wstring m_strKeys;
    // Addresses gone to since the last "navigations" command.
    std::vector<std::wstring> m_vecNavigations;
    CBrowserEventsPoint m_events{*this};
    IDispatch* m_pFrame = nullptr;
    std::wstring m_strFrameUrl;
    // The page's focused element's tag; empty for none.
    std::wstring m_strFocusTag;
    bool m_bNoEvents = false;
};

// A document of the page as a script engine names it: "URL", and "activeElement" (an object whose
// "tagName" is focusTag; null when empty). Starts with one reference.
IDispatch* NewPageDocument(const std::wstring& url, const std::wstring& focusTag);
