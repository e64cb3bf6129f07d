#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace dravel {

// The millisecond tick counter the greeting rule measures with (GetTickCount on Windows).
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t TickCount() = 0;
};

// What a pop-up announces; the numbers are the ones the rest of the program uses.
enum class PopupKind : int {
    Greeting = 0,      // login greeting, shared notifier
    SessionEnded = 1,  // COM_CLOSE or lost connection, shared notifier
    Message = 2,       // a peer's message
    Note = 5,          // a note or business notice
    CancelRequest = 6, // an order-cancel request
    File = 7,          // a peer's message about a file
};

inline constexpr int kPopupSlots = 16;
// Greetings are shown only this long after login or after the previous greeting.
inline constexpr uint32_t kGreetingWindowMs = 3000;

// How a notifier looks. Colours are 0x00BBGGRR; -1 in a transparent component means "no region".
struct NotifierStyle {
    int nSkinBitmap;
    int nTransparentRed, nTransparentGreen, nTransparentBlue;
    const wchar_t* pszFontFace;
    int nFontSize; // tenths of a point
    int nNormalStyle, nHoverStyle;
    uint32_t nNormalColour, nHoverColour;
    // Text rectangle: left, top, then the distances of right and bottom from the skin's right and bottom.
    int nTextLeft, nTextTop, nTextRightInset, nTextBottomInset;
};

// Font style bits of a notifier's text (as NotifierFontFromStyle reads them).
inline constexpr int kNotifierPlain = 0;
inline constexpr int kNotifierBold = 1;
inline constexpr int kNotifierUnderline = 4;

// Skins of the notifiers: resource bitmap ids (the shared notifier's, then one per slot pop-up kind).
inline constexpr int kSharedNotifierSkin = 143;
inline constexpr int kMessagePopupSkin = 156;
inline constexpr int kCancelPopupSkin = 167;
inline constexpr int kFilePopupSkin = 168;

// The shared notifier, set up once when the main window starts: white is see-through, white Arial Black
// turning dark red (200) and bold-underlined under the mouse.
inline constexpr NotifierStyle kSharedNotifierStyle{
    .nSkinBitmap = kSharedNotifierSkin,
    .nTransparentRed = 255,
    .nTransparentGreen = 255,
    .nTransparentBlue = 255,
    .pszFontFace = L"Arial Black",
    .nFontSize = 90,
    .nNormalStyle = kNotifierPlain,
    .nHoverStyle = kNotifierBold | kNotifierUnderline,
    .nNormalColour = 0xFFFFFF,
    .nHoverColour = 200,
    .nTextLeft = 20,
    .nTextTop = 25,
    .nTextRightInset = 20,
    .nTextBottomInset = 15,
};

// Style of a slot pop-up of the given kind (kinds 2, 5, 6, 7); the skin is the only thing that varies.
NotifierStyle SlotPopupStyle(PopupKind kind);

// One notifier to show, with its Show arguments.
struct PopupRequest {
    PopupKind kind = PopupKind::Message;
    int nInstance = 0;        // slot number for slot pop-ups, 0 for the shared notifier
    std::string strText;      // code page 949
    std::string strClickData; // "first;second" for slot pop-ups, empty for the shared notifier
    uint32_t nShowMs = 0, nStayMs = 0, nHideMs = 0;
    int nFifth = 0; // the notifier's unused fifth argument, passed as the program always has
};

// What the main window does for the pop-up board.
class PopupHost {
public:
    virtual ~PopupHost() = default;
    virtual void StopSound() = 0;
    // Plays "run.wav" from its start.
    virtual void PlaySound() = 0;
    // Creates the notifier of slot `nInstance` with the owner as parent, styles it with
    // SlotPopupStyle(kind), sets the click data and shows it. False when the notifier could not be made.
    virtual bool ShowSlotPopup(const PopupRequest& request) = 0;
    // Shows the text on the shared notifier.
    virtual void ShowSharedPopup(const PopupRequest& request) = 0;
    // Deletes the notifier of a slot after its click (it has hidden itself already).
    virtual void DeleteSlotPopup(int nSlot) = 0;
    // A click on a message pop-up: find or create the conversation with the sender.
    virtual void OpenConversation(const std::string& key, const std::string& peerId) = 0;
};

enum class PopupResult { Shown, GreetingTooLate, NotShown };

// The pop-ups' texts, code page 949, each "%s" filled in turn. They are window texts: the Windows layer
// loads them from the string table once, when the session starts.
struct PopupTexts {
    std::string strAppTitle;      // the program's title, shown in the greeting and the session end
    std::string strGreeting;      // kind 0: the title, then the greeting
    std::string strSessionEnded;  // kind 1: the user, then the title
    std::string strMessage;       // kind 2: the sender
    std::string strNote;          // kind 5: the note's text
    std::string strCancelRequest; // kind 6: the sender
    std::string strFile;          // kind 7: the sender
};

// The 16 pop-up slots with their busy mask, the greeting's time window and the click rule.
class CPopupBoard {
public:
    CPopupBoard(PopupHost& host, Clock& clock, PopupTexts texts)
        : m_host(host), m_clock(clock), m_texts(std::move(texts)) {}

    // Login succeeded: the greeting window starts now.
    void MarkLogin();

    // Shows a pop-up of `kind`. `first` is the text's argument and the conversation key, `second` the
    // sender's login ID (empty when the pop-up leads to no conversation). With all 16 slots waiting,
    // the oldest pop-up gives its slot to the new one.
    PopupResult Show(PopupKind kind, std::string_view first, std::string_view second);
    // A message pop-up with a text of its own (filled in already) whose click opens the conversation
    // `key` with `peerId`.
    PopupResult ShowText(std::string_view text, std::string_view key, std::string_view peerId);
    // The pop-ups still waiting for the conversation `key` go: it was opened another way.
    void Dismiss(std::string_view key);

    // A notifier was clicked. `clickData` is what that notifier carried; the shared notifier's is always
    // empty, which tells its clicks apart from those of slot 0 that shares its instance number.
    void OnClick(int nInstance, std::string_view clickData);
    // The keyboard's click (the pop-up hot key): the newest pop-up still waiting is answered as a click
    // on it would be. Nothing when none waits; else the key of the conversation it opened (empty for a
    // pop-up that leads to none).
    std::optional<std::string> ClickNewest();

    uint16_t BusyMask() const { return m_wPopupBusy; }
    uint32_t LoginTick() const { return m_dwLoginTick; }

private:
    struct Slot {
        std::string strKey;
        std::string strPeerId;
        uint64_t nShownOrder = 0;
    };
    // The slot for a new pop-up: the first free one, or, when all wait unclicked, the one shown
    // longest ago, whose notifier goes so that no new message is lost.
    int TakeSlot();
    PopupResult ShowSlot(PopupKind kind, std::string text, std::string_view key, std::string_view peerId);
    const std::string& SlotText(PopupKind kind) const;
    // The click's work for a waiting slot: the notifier goes, then its conversation opens (its key
    // returned; empty when there is none).
    std::string Answer(int nInstance);

    PopupHost& m_host;
    Clock& m_clock;
    PopupTexts m_texts;
    uint32_t m_dwLoginTick = 0;
    uint16_t m_wPopupBusy = 0;
    uint64_t m_nShownCount = 0;
    std::array<Slot, kPopupSlots> m_slots;
};

} // namespace dravel
