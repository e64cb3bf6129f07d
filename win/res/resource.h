// Numeric ids of Dravel On's resources, dialog controls and menu commands.
// Shared by the resource script (windres) and the C++ code, so: plain #defines only.
// The numbers are fixed; never renumber.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Dialog templates
#define IDD_ABOUTBOX 100      // About box (system menu, tray "등록정보")
#define IDD_MAIN 102          // CMainDlg: main window hosting the portal start page
#define IDD_BROWSER_POPUP 131 // CBrowserPopupDlg: browser pop-up opened by page scripts
#define IDD_PORTAL 132        // CPortalDlg: portal page window over the work area
#define IDD_MESSAGE 139       // CMessageDlg: conversation window
#define IDD_CHAT_LIST 145     // CChatListDlg: "대화 목록"
#define IDD_CONNECTING 165    // CConnectingDlg: "접속 승인 중" notice
#define IDD_FILE_TRANSFER 166 // CFileTransferDlg: progress of one file transfer
#define IDD_BULK_NOTE 169     // CBulkNoteDlg: "일괄 쪽지 보내기"
#define IDD_LOGIN 1010        // CLoginDlg: skinned login dialog

// Icons
#define IDR_MAINFRAME 128         // application icon, 32 x 32
#define IDI_CLOSE_ACTIVE 146      // chat list close button, hovered or pressed
#define IDI_CLOSE_IDLE 147        // chat list close button, idle
#define IDI_ATTACH 148            // conversation attach button; user image 4
#define IDI_USER_AWAY 149         // user image 2 (not used by the chat list)
#define IDI_USER_BLOCKED 150      // user image 5 (not used by the chat list)
#define IDI_CHAT_LIST 151         // chat list window icon; user image 3
#define IDI_USER_OFFLINE 152      // user image 1: off line
#define IDI_USER_ONLINE 153       // user image 0: on line; the peer's side of a conversation
#define IDI_APPLICATION_LARGE 157 // application icon with 48, 32 and 16 pixel images
#define IDI_USER_SELF 164         // own side of a conversation

// Bitmaps
#define IDB_LOGIN_SKIN 138    // 243 x 270, 32-bit, pure green is transparent
#define IDB_NOTIFIER_SKIN 143 // 200 x 147, 24-bit, pure white is transparent
#define IDB_POPUP_MESSAGE 156 // 200 x 97, 24-bit: messages and notes
#define IDB_CHECKBOXES 158    // 128 x 16, 4-bit: eight 16 x 16 check images, magenta is transparent
#define IDB_POPUP_CANCEL 167  // 200 x 97, 24-bit: order-cancel requests
#define IDB_POPUP_FILE 168    // 200 x 97, 24-bit: arriving files

// The same bitmaps drawn at 150 % (id + 1000) and 200 % (id + 2000), for scaled displays
#define IDB_LOGIN_SKIN_150 1138
#define IDB_NOTIFIER_SKIN_150 1143
#define IDB_POPUP_MESSAGE_150 1156
#define IDB_CHECKBOXES_150 1158
#define IDB_POPUP_CANCEL_150 1167
#define IDB_POPUP_FILE_150 1168
#define IDB_LOGIN_SKIN_200 2138
#define IDB_NOTIFIER_SKIN_200 2143
#define IDB_POPUP_MESSAGE_200 2156
#define IDB_CHECKBOXES_200 2158
#define IDB_POPUP_CANCEL_200 2167
#define IDB_POPUP_FILE_200 2168

// Menus
#define IDR_PORTAL_MENU 136    // context menu of every hosted page
#define IDR_TRAY_MENU 144      // notification-area menu of the main window
#define IDR_FRIEND_MENU 162    // chat list, "친구" tab
#define IDR_ALL_USERS_MENU 163 // chat list, "전체" tab

// Menu commands
#define ID_TRAY_EXIT 32773          // "종료(&X)"
#define ID_TRAY_SHOW 32774          // "창 보이기"
#define ID_TRAY_PROPERTIES 32775    // "등록정보"
#define ID_FRIEND_DELETE 32778      // "친구목록에서 삭제"
#define ID_FRIEND_ADD 32779         // "친구목록에 추가"
#define ID_PORTAL_ORDER 32780       // "Order"
#define ID_PORTAL_CHATTING 32781    // "Chatting"
#define ID_PORTAL_INFORMATION 32782 // "Information"
#define ID_PORTAL_NOTICE 32783      // "Notice"
#define ID_PORTAL_QNA 32784         // "QnA"
// Attention commands, the same from a menu (WM_COMMAND) and from a system menu (WM_SYSCOMMAND, whole id)
#define ID_ATTENTION_DND 32790          // "방해 금지": tray menu, main window's system menu
#define ID_ATTENTION_MUTE 32791         // "알림 끄기": conversation's system menu, chat list's friend menu
#define ID_ATTENTION_POPUPS_STAY 32792  // "알림 창 계속 표시": tray menu
#define ID_HISTORY_COPY 32793           // "복사": a conversation's history, its context menu (also Ctrl+C)

// System menu items appended by the main window; below 0xF000 and a multiple of 16 as WM_SYSCOMMAND wants
#define IDM_ABOUTBOX 0x0010
#define IDM_BULK_NOTE 0x0020

// String table
#define IDS_ABOUTBOX 101             // "&About Dravel On..."
#define IDP_SOCKETS_INIT_FAILED 102  // socket layer could not start
#define IDS_POPUP_MESSAGE 103        // pop-up kind 2: a message arrived
#define IDS_LOGOUT_CONFIRM 106       // "서버 접속을 종료하시겠습니까?"
#define IDS_POPUP_SESSION_ENDED 108  // pop-up kind 1
#define IDS_POPUP_GREETING 109       // pop-up kind 0
#define IDS_POPUP_NOTE 110           // pop-up kind 5
#define IDS_POPUP_CANCEL_REQUEST 111 // pop-up kind 6
#define IDS_POPUP_FILE 112           // pop-up kind 7
#define IDS_NOPAGE_CONNECTED 113     // main window without a page: "접속됨"
#define IDS_NOPAGE_DISCONNECTED 114  // main window without a page: "접속 끊김"
#define IDS_NOPAGE_CHATLIST 115      // main window without a page: "대화 목록"
#define IDS_APP_TITLE 57344          // "Dravel On": the program's title (box captions, tray tip, pop-ups)

// Controls. Within one window every id means one control, those created at run time included. Between
// windows a number repeats only where each dialog's own layout fixes it: 1011 and 1012 are the login's
// user ID and password and the file transfer's progress bar and path. The no-page panel's ids are our own
// and used by no other control.
#define IDC_BROWSER 1000           // web browser control, created at run time (main, portal, pop-up)
#define IDC_MESSAGE_EDIT 1002      // conversation: message being typed
#define IDC_SEND 1004              // conversation: "전송(&S)"
#define IDC_ATTACH 1005            // conversation: attach a file
#define IDC_USER_LIST 1008         // chat list: users
#define IDC_LIST_TABS 1009         // chat list: "친구" / "전체"
#define IDC_USER_ID 1011           // login: user ID
#define IDC_PASSWORD 1012          // login: password
#define IDC_TRANSFER_PROGRESS 1011 // file transfer: progress bar, range 0..128
#define IDC_TRANSFER_PATH 1012     // file transfer: local path
#define IDC_TRANSFER_EVENTS 1013   // file transfer: "Number of events"
#define IDC_VERSION 1017           // about box: "Version %s"
#define IDC_NOTE_EDIT 1018         // bulk note: text
#define IDC_NOPAGE_NAME 1021        // main: the user's name where no page shows, created at run time
#define IDC_NOPAGE_STATE 1022       // main: the connection's state where no page shows
#define IDC_NOPAGE_CHATLIST 1023    // main: "대화 목록" where no page shows
#define IDC_CONNECTION_STATE 1024   // main: the lost connection's countdown, above the page, created at run time
#define IDC_RECONNECT_NOW 1025      // main: "지금 접속" beside it
#define IDC_NOPAGE_UNREAD 1026      // main: "읽지 않은 쪽지 %d건" where no page shows (also read by screen readers)
#define IDC_NOPAGE_UNREAD_LIST 1027 // main: the conversations with unread messages; a click or Enter opens one
#define IDC_HISTORY_LIST 2000      // conversation: HTML history list, created at run time
#define IDC_FIND_LABEL 2010        // conversation: the find bar, created when first asked for: "찾기"
#define IDC_FIND_EDIT 2011         // conversation: the words to find
#define IDC_FIND_NEXT 2012         // conversation: "다음"
#define IDC_FIND_PREVIOUS 2013     // conversation: "이전"
#define IDC_FIND_NOTE 2014         // conversation: "찾는 내용이 없습니다." when nothing matches

// The alert sound is a named resource; the file "run.wav" beside the program carries the same sound.
#ifndef RC_INVOKED
#define IDR_RUN_WAV L"RUN_WAV" // resource type L"WAVE"
#endif

// The user texts of the string table, one file per part of the program.
#include "StringsSession.h"
#include "StringsConversation.h"
#include "StringsControls.h"
