#pragma once

// Every private window message, registered message name and timer id of the program, each once: no
// number means two things anywhere in the program, so a message or tick that reaches the wrong window
// is never taken for another. Where the number is known outside this file (another process, the shell,
// the end-to-end tests) it is fixed and keeps its value; those are marked "fixed".
// Free of the program's other headers: the end-to-end UI driver uses the list item-copy message.

#include <windows.h>

namespace dravel::win {

// Messages of the user range, posted to a control's parent or owner.

// Fixed: a clicked pop-up tells its owner (instance number, pointer to the click data's characters).
inline constexpr UINT kNotifierClickMessage = WM_USER + 1;
// Fixed: the contact list box's right click, posted to its parent (key flags, selected index).
inline constexpr UINT kContactListRightClick = WM_USER + 2;
// Fixed: the shell's callback for our notification-area icon (icon id, mouse message).
inline constexpr UINT kTrayCallbackMessage = WM_USER + 3;

// Messages of the application range, each posted by the program to one window of its own.

// To the main window, from a later launch's single-instance hand-over: come to the front.
inline constexpr UINT kBringForwardMessage = WM_APP + 1;
// To the main window: run the session end that was asked for once nothing of ours runs below.
inline constexpr UINT kSessionEndMessage = WM_APP + 2;
// To a file transfer window, from its worker: the server could not be reached.
inline constexpr UINT kTransferConnectFailedMessage = WM_APP + 3;
// To a file transfer window, from its own initialisation: start the worker (so that any message box
// shows over a visible window).
inline constexpr UINT kTransferStartMessage = WM_APP + 4;
// To a conversation window, from its history list's click: answered after the list's mouse handling.
inline constexpr UINT kHistoryItemClickMessage = WM_APP + 5;
// To a connection's message-only window, from Winsock: a network event on the socket.
inline constexpr UINT kSocketNotifyMessage = WM_APP + 6;
// To the main window, posted from the system's thread that reports a change of the network's interfaces.
inline constexpr UINT kNetworkChangeMessage = WM_APP + 7;
// To a conversation window, from its drop target: offer the files dropped on it, once the drag is over.
inline constexpr UINT kFilesDroppedMessage = WM_APP + 8;

// Registered messages (fixed names): the upload and the download worker report to their window.
inline constexpr wchar_t kFileSendEventName[] = L"UWM_FILESENDEVENT_27580DB4_1360_4062_BB4E_C5C894E90CCC";
inline constexpr wchar_t kGetFileEventName[] = L"UWM_GETFILEEVENT_F6A100CA_692D_478d_B28C_8E87A1991EA1";

inline UINT FileSendEventMessage() {
    static const UINT id = ::RegisterWindowMessageW(kFileSendEventName);
    return id;
}
inline UINT GetFileEventMessage() {
    static const UINT id = ::RegisterWindowMessageW(kGetFileEventName);
    return id;
}

// Timers. Two of them are named in core beside the rules that run their ticks: the main window's
// connection check (fixed, kConnectionCheckTimer in core/session/MainRules.h) and each pop-up's appear,
// wait and disappear timers (fixed, kNotifierTimerAppear/Wait/Disappear in core/ui/NotifierAnimation.h).
// The ids below are apart from theirs (asserted in win/session/SessionHost.cpp).

// The main window: a session end that waits for modal windows to close tries again.
inline constexpr UINT_PTR kSessionEndTimer = 1031;
// The main window: looks whether its portal page shows.
inline constexpr UINT_PTR kPageCheckTimer = 1032;
// A connection's message-only window: looks for a send that has stalled.
inline constexpr UINT_PTR kSocketStallTimer = 1033;
// A conversation window: the pause after a sent message, during which the next Enter waits.
inline constexpr UINT_PTR kSendPauseTimer = 1034;
// An HTML list: its scroll bar is redrawn once, shortly after a burst of additions.
inline constexpr UINT_PTR kScrollBarTimer = 1035;
// The main window: the countdown and the next try while the messenger connection is away.
inline constexpr UINT_PTR kReconnectTimer = 1036;
// The main window: asks the system whether it is quiet (presenting, full screen, quiet hours).
inline constexpr UINT_PTR kAttentionTimer = 1037;

} // namespace dravel::win
