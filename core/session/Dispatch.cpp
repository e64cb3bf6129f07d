#include "core/session/Dispatch.h"

#include "core/session/Text949.h"

namespace dravel {

namespace {

// The server's conversation replies (own copy, notice, history) bring back a window the user opened and then hid.
void RaiseIfHidden(ConversationTarget& c) {
    if (c.IsOpened() && !c.IsVisible())
        c.Raise();
}

void OnLoginMessage(const CComData& r, DispatchTarget& t) {
    if (!r.m_strName.empty()) {
        t.SetIdentity(r.m_strTarget, r.m_nStatus);
        t.UpdateTitle();
    }
    if (t.OnLoginGranted())
        t.ShowPopup(PopupKind::Greeting, r.m_strText, std::string());
}

void OnNote(const CComData& r, DispatchTarget& t) {
    if (IsCancelRequest(r.m_strText))
        t.ShowPopup(PopupKind::CancelRequest, r.m_strName, std::string());
    else
        t.ShowPopup(PopupKind::Note, r.m_strText, std::string());
}

void OnPeerMessage(const CComData& r, DispatchTarget& t) {
    ConversationTarget* c = t.FindConversation(r.m_strName);
    bool bVisible = false;
    if (c) {
        bVisible = c->IsVisible();
        c->AppendIncoming(r.m_strName, r.m_strText, t.Now(), true);
    }
    t.NoteIncoming(r.m_strName, r.m_strId);
    if (IsCancelRequest(r.m_strText))
        t.ShowPopup(PopupKind::CancelRequest, r.m_strName, r.m_strId);
    else if (Contains949(r.m_strText, kFileMark))
        t.ShowPopup(PopupKind::File, r.m_strName, r.m_strId);
    else if (!bVisible)
        t.ShowPopup(PopupKind::Message, r.m_strName, r.m_strId);
}

void OnPrivateMessage(const CComData& r, DispatchTarget& t) {
    switch (r.m_nStatus) {
    case kStatusServerNotice:
        t.ShowServerNotice(r.m_strText);
        return;
    case kStatusOwnCopy:
        if (ConversationTarget* c = t.FindConversation(r.m_strTarget)) {
            c->AppendOutgoing(r.m_strTarget, r.m_strText, t.Now(), true);
            RaiseIfHidden(*c);
        }
        return;
    case kStatusConversationNotice:
        if (ConversationTarget* c = t.FindConversation(r.m_strName)) {
            c->AppendNotice(r.m_strText, t.Now());
            RaiseIfHidden(*c);
        }
        return;
    case kStatusHistory:
        if (ConversationTarget* c = t.FindConversation(r.m_strTarget))
            if (c->LoadHistory(r.m_strTarget, r.m_strText, t.Now()))
                RaiseIfHidden(*c);
        return;
    default:
        OnPeerMessage(r, t);
    }
}

void OnFileReply(const CComData& r, DispatchTarget& t) {
    ConversationTarget* c = t.FindConversation(r.m_strName);
    if (!c || !c->IsOpened() || !c->IsVisible() || !c->ExpectsFileReply(r.m_nCommand, r.m_strText))
        return;
    c->Raise();
    const std::time_t received = t.Now();
    if (r.m_nCommand == COM_FILE_ACCEPT)
        c->StartFileSend(r.m_strName, r.m_strText, received, r.m_strHost);
    else if (r.m_nCommand == COM_FILE_REJECT)
        c->ShowDuplicateFile(r.m_strName, r.m_strText, received, r.m_strHost);
    else
        c->StartFileReceive(r.m_strName, r.m_strText, received);
}

} // namespace

bool IsCancelRequest(std::string_view text) {
    return Contains949(text, kOrderWord) && Contains949(text, kCancelWord) && Contains949(text, kRequestWord);
}

std::string TitleWithDisplayName(std::string_view caption, std::string_view currentTitle,
                                 std::string_view displayName) {
    if (displayName.empty())
        return std::string(currentTitle);
    std::string out(caption);
    out.append(" - ").append(displayName);
    return out;
}

void AnnounceSessionEnded(DispatchTarget& target) {
    target.ShowPopup(PopupKind::SessionEnded, target.DisplayName(), std::string());
    if (ChatListTarget* list = target.ChatList())
        list->ResetList();
}

void DispatchRecord(const CComData& r, DispatchTarget& t) {
    switch (r.m_nCommand) {
    case COM_SIGN_IN:
        t.ReplySignIn();
        return;
    case COM_MESSAGE_NOTE:
        OnNote(r, t);
        return;
    case COM_CLOSE:
        t.RequestSessionEnd();
        return;
    case COM_ADD_CLIENT:
    case COM_REMOVE_CLIENT:
        if (ChatListTarget* list = t.ChatList())
            list->SetUserState(r.m_strName, r.m_nCommand == COM_ADD_CLIENT);
        return;
    case COM_PRIVATE_MESSAGE:
    case COM_PRIVATE_HISTORY:
        OnPrivateMessage(r, t);
        return;
    case COM_LOGIN_MESSAGE:
        OnLoginMessage(r, t);
        return;
    case COM_CHAT_LIST:
        if (!r.m_strText.empty())
            if (ChatListTarget* list = t.ChatList())
                list->AddListEntry(r.m_strText, r.m_nStatus, r.m_strId);
        return;
    case COM_CHAT_LIST_END:
        if (ChatListTarget* list = t.ChatList())
            list->EndListEntries(r.m_strText, r.m_nStatus, r.m_strId);
        return;
    case COM_CHATLIST_COLLECT:
        if (ChatListTarget* list = t.ChatList())
            list->LoadCollectedList(r.m_strText);
        return;
    case COM_FILE_ACCEPT:
    case COM_FILE_REJECT:
    case COM_FILE_ADJUST:
        OnFileReply(r, t);
        return;
    default:
        // COM_SIGN_OUT, COM_CONNECT_CHECK and every code this client does not act on.
        return;
    }
}

} // namespace dravel
