#include "core/session/Popups.h"

#include "core/session/Text949.h"

namespace dravel {

namespace {

// Slot pop-ups stay until clicked: the largest stay time the notifier accepts.
constexpr uint32_t kUntilClicked = 0xFFFFFFFFu;

bool UsesSlot(PopupKind kind) {
    return kind == PopupKind::Message || kind == PopupKind::Note || kind == PopupKind::CancelRequest ||
           kind == PopupKind::File;
}

} // namespace

NotifierStyle SlotPopupStyle(PopupKind kind) {
    int nSkin = kMessagePopupSkin;
    if (kind == PopupKind::CancelRequest)
        nSkin = kCancelPopupSkin;
    else if (kind == PopupKind::File)
        nSkin = kFilePopupSkin;
    // "돋움", black text turning blue (200) under the mouse, underlined while hovered; no see-through colour.
    return NotifierStyle{
        .nSkinBitmap = nSkin,
        .nTransparentRed = -1,
        .nTransparentGreen = -1,
        .nTransparentBlue = -1,
        .pszFontFace = L"\uB3CB\uC6C0",
        .nFontSize = 90,
        .nNormalStyle = kNotifierPlain,
        .nHoverStyle = kNotifierUnderline,
        .nNormalColour = 0x000000,
        .nHoverColour = 0xC80000,
        .nTextLeft = 40,
        .nTextTop = 10,
        .nTextRightInset = 10,
        .nTextBottomInset = 25,
    };
}

void CPopupBoard::MarkLogin() {
    m_dwLoginTick = m_clock.TickCount();
}

PopupResult CPopupBoard::Show(PopupKind kind, std::string_view first, std::string_view second) {
    m_host.StopSound();
    if (UsesSlot(kind))
        return ShowSlot(kind, FillText(SlotText(kind), {first}), first, second);
    PopupRequest r;
    r.kind = kind;
    r.nShowMs = 500;
    r.nStayMs = 3000;
    r.nHideMs = 500;
    r.nFifth = 1;
    if (kind == PopupKind::Greeting) {
        const uint32_t now = m_clock.TickCount();
        // Measured as elapsed time so that the tick counter wrapping round does not drop a greeting.
        if (static_cast<uint32_t>(now - m_dwLoginTick) > kGreetingWindowMs)
            return PopupResult::GreetingTooLate;
        m_dwLoginTick = now;
        r.strText = FillText(m_texts.strGreeting, {m_texts.strAppTitle, first});
        m_host.ShowSharedPopup(r);
        m_host.PlaySound();
        return PopupResult::Shown;
    }
    if (kind == PopupKind::SessionEnded) {
        r.strText = FillText(m_texts.strSessionEnded, {first, m_texts.strAppTitle});
        m_host.ShowSharedPopup(r);
        return PopupResult::Shown;
    }
    return PopupResult::NotShown;
}

PopupResult CPopupBoard::ShowText(std::string_view text, std::string_view key, std::string_view peerId) {
    m_host.StopSound();
    return ShowSlot(PopupKind::Message, std::string(text), key, peerId);
}

PopupResult CPopupBoard::ShowSlot(PopupKind kind, std::string text, std::string_view key, std::string_view peerId) {
    const int n = TakeSlot();
    m_wPopupBusy = static_cast<uint16_t>(m_wPopupBusy | (1u << n));
    PopupRequest r;
    r.kind = kind;
    r.nInstance = n;
    r.strClickData.append(key).append(";").append(peerId);
    r.strText = std::move(text);
    r.nShowMs = 200;
    r.nStayMs = kUntilClicked;
    r.nHideMs = 500;
    r.nFifth = 10;
    if (!m_host.ShowSlotPopup(r)) {
        // A notifier that never appeared can never be clicked; keep its slot free.
        m_wPopupBusy = static_cast<uint16_t>(m_wPopupBusy & ~(1u << n));
        return PopupResult::NotShown;
    }
    // The click opens the conversation remembered here rather than one parsed back out of the click
    // data, so a ";" inside a note's text cannot turn its click into a conversation.
    m_slots[n].strKey = key;
    m_slots[n].strPeerId = peerId;
    m_slots[n].nShownOrder = ++m_nShownCount;
    m_host.PlaySound();
    return PopupResult::Shown;
}

void CPopupBoard::Dismiss(std::string_view key) {
    for (int n = 0; n < kPopupSlots; ++n) {
        if ((m_wPopupBusy & (1u << n)) && !m_slots[n].strPeerId.empty() && m_slots[n].strKey == key) {
            m_wPopupBusy = static_cast<uint16_t>(m_wPopupBusy & ~(1u << n));
            m_slots[n] = Slot{};
            m_host.DeleteSlotPopup(n);
        }
    }
}

const std::string& CPopupBoard::SlotText(PopupKind kind) const {
    switch (kind) {
    case PopupKind::CancelRequest:
        return m_texts.strCancelRequest;
    case PopupKind::File:
        return m_texts.strFile;
    case PopupKind::Note:
        return m_texts.strNote;
    default:
        return m_texts.strMessage;
    }
}

int CPopupBoard::TakeSlot() {
    int oldest = 0;
    for (int n = 0; n < kPopupSlots; ++n) {
        if (!(m_wPopupBusy & (1u << n)))
            return n;
        if (m_slots[n].nShownOrder < m_slots[oldest].nShownOrder)
            oldest = n;
    }
    m_wPopupBusy = static_cast<uint16_t>(m_wPopupBusy & ~(1u << oldest));
    m_slots[oldest] = Slot{};
    m_host.DeleteSlotPopup(oldest);
    return oldest;
}

void CPopupBoard::OnClick(int nInstance, std::string_view clickData) {
    if (clickData.empty() || nInstance < 0 || nInstance >= kPopupSlots)
        return;
    if (!(m_wPopupBusy & (1u << nInstance)))
        return;
    Answer(nInstance);
}

std::optional<std::string> CPopupBoard::ClickNewest() {
    int newest = -1;
    for (int n = 0; n < kPopupSlots; ++n) {
        if ((m_wPopupBusy & (1u << n)) && (newest < 0 || m_slots[n].nShownOrder > m_slots[newest].nShownOrder))
            newest = n;
    }
    if (newest < 0)
        return std::nullopt;
    return Answer(newest);
}

std::string CPopupBoard::Answer(int nInstance) {
    m_wPopupBusy = static_cast<uint16_t>(m_wPopupBusy & ~(1u << nInstance));
    Slot slot = std::move(m_slots[nInstance]);
    m_slots[nInstance] = Slot{};
    // The notifier goes before the conversation opens: anything that opening sets off and that takes
    // the freed slot again must not lose its new notifier to this click.
    m_host.DeleteSlotPopup(nInstance);
    if (slot.strKey.empty() || slot.strPeerId.empty())
        return {};
    m_host.OpenConversation(slot.strKey, slot.strPeerId);
    return slot.strKey;
}

} // namespace dravel
