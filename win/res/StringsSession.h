// String-table ids (200 to 399) of the user texts of the session, the application start-up, the portal windows and the connection (win/session, win/app, win/portal, win/protocol).
// Plain #defines: read by windres and by C++. The texts themselves are in StringsSession.rc2.
#pragma once

// Session
#define IDS_SESSION_RETRY_CONNECT 200     // 접속실패. 연결을 다시 시도하시겠습니까?
#define IDS_SESSION_IDLE_LOGOUT 201       // 20분간 키 입력이 없어 자동 logout 되었습니다.
#define IDS_SESSION_CUSTOM_FUNCTION 202   // user Founction
#define IDS_SESSION_VERSION_PREFIX 203    // "Version " before the program's version in the About box
#define IDS_SESSION_BULK_NOTE_MENU 204    // 관리메세지 보내기... (the administrator's system-menu item)
#define IDS_SESSION_CERT_REFUSED 205      // 서버 인증서를 확인할 수 없어 접속하지 않았습니다. (before the retry question)
#define IDS_SESSION_LOGIN_MISSING 206     // 사용자 ID 또는 암호가 입력되지 않았습니다. (the login dialog's box)
#define IDS_SESSION_WINDOWS_FULL 207      // 더 이상 창을 열 수 없습니다. 한 세션에 열 수 있는 창은 100개까지입니다.
#define IDS_SESSION_CONNECTION_LOST 208   // 서버와의 접속이 일시적으로 단절되었습니다. 재접속이 필요합니다.
#define IDS_SESSION_AWAY 209              // 연결이 끊겼습니다. %d초 후 다시 접속합니다. (main window and tray while away)
#define IDS_SESSION_RECONNECTING 210      // 다시 접속하는 중입니다... (while a try runs)
#define IDS_SESSION_RECONNECT_NOW 211     // 지금 접속 (the button that tries at once)
#define IDS_SESSION_UNSENT_EXIT 212       // 보내지 못한 메시지가 %d건 있습니다. 종료하시겠습니까?
#define IDS_ATTENTION_DND 213             // 방해 금지 (tray menu and system menu, command 32790)
#define IDS_ATTENTION_MUTE 214            // 알림 끄기 (conversation system menu and friend menu, command 32791)
#define IDS_ATTENTION_POPUPS_STAY 215     // 알림 창 계속 표시 (tray menu, command 32792)
#define IDS_ATTENTION_TOOLTIP 216         // Dravel On - 읽지 않은 쪽지 %d건 (tray tooltip, taskbar overlay)
#define IDS_ATTENTION_QUIET_SUMMARY 217   // 방해 금지 중 쪽지 %d건이 도착했습니다. (the pop-up when it ends)
#define IDS_ATTENTION_UNREAD 218          // 읽지 않은 쪽지 %d건 (the no-page panel)

// Application start-up
#define IDS_APP_NOT_INSTALLED 220         // Dravel On 이 정상 설치 되지 않았습니다!
#define IDS_APP_WRONG_FOLDER 221          // Dravel On 실행 경로가 올바르지 않습니다!
#define IDS_APP_RESTART_FAILED 222        // Dravel On 을 재실행할 수 없습니다.
#define IDS_APP_RESTART_FAILED_CAPTION 223 // DravelOn
#define IDS_APP_UPDATE_NOT_OURS 224       // 받은 업데이트 파일이 Dravel On 의 서명이 아니어서 실행하지 않고 지웠습니다.
#define IDS_APP_UPDATE_OLDER 225          // 받은 업데이트 파일이 지금 버전보다 새 버전이 아니어서 실행하지 않고 지웠습니다.
