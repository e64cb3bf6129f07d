// String-table ids (400 to 599) of the user texts of conversations, the chat list and file transfers (win/conversation, win/chat, win/transfer).
// Plain #defines: read by windres and by C++. The texts themselves are in StringsConversation.rc2.
#pragma once

// Conversation window
#define IDS_CONV_FORBIDDEN 400      // 금칙문자 ":" 또는 "|" 는 사용할 수 없습니다. (also the bulk note dialog's box)
#define IDS_CONV_DUPLICATE 401      // 같은 시간대에 동일한 파일이 존재합니다. 잠시 후 다시 시도해 주십시요...
#define IDS_CONV_OPEN_AFTER 402     // 파일 수신 후에 Download 파일을 여시겠습니까?
#define IDS_CONV_NO_DOCUMENTS 403   // 문서 폴더를 찾을 수 없어 파일을 받지 않았습니다.
#define IDS_CONV_PATH_UNSENDABLE 404 // 파일 경로에 보낼 수 없는 문자가 있습니다.
#define IDS_CONV_BAD_NAME 405       // 받은 파일 이름으로는 파일을 저장할 수 없습니다.
#define IDS_CONV_CANNOT_MOVE 406    // 같은 이름의 파일을 옮겨 둘 수 없어 파일을 받지 않았습니다.
#define IDS_CONV_FILE_FILTER 407    // All Files (*.*)|*.*| (the open-file dialog's filter; "|" ends each part)
#define IDS_CONV_ATTACH_TIP 408     // 파일 보내기 (the attach button's tip, and its name to screen readers)
#define IDS_CONV_UNSENT 409         // 전송되지 않았습니다. (under an own message that did not go out)
#define IDS_CONV_HISTORY_OMITTED 410 // 이전 대화 %s건은 표시하지 않았습니다. (above a cut history; %s: entries left out)
#define IDS_CONV_WAITING 411         // 전송 대기 중 (under an own message that waits for the connection)
#define IDS_CONV_FILE_AWAY 412       // 연결이 끊겨 있어 파일을 보낼 수 없습니다. (a file offered while away)
#define IDS_CONV_KEPT_AS_TEXT 413    // 이 종류의 파일은 열지 않고 텍스트 파일로 저장했습니다. (a received shortcut or .ini)
#define IDS_CONV_FIND_LABEL 416      // 찾기 (before the find bar's edit, which screen readers name after it)
#define IDS_CONV_FIND_NEXT 417       // 다음 (the find bar's next match; also Enter and F3)
#define IDS_CONV_FIND_PREVIOUS 418   // 이전 (the previous match; also Shift+F3)
#define IDS_CONV_FIND_NONE 419       // 찾는 내용이 없습니다. (in the find bar when no item holds the words)

// Chat list window
#define IDS_CHATLIST_CLOSE_TIP 420     // 메신저 종료
#define IDS_CHATLIST_TAB_FRIENDS 421   // 친구
#define IDS_CHATLIST_TAB_EVERYONE 422  // 전체
#define IDS_CHATLIST_ONLINE 423        // 온라인 (what a user's icon shows, told to screen readers)
#define IDS_CHATLIST_OFFLINE 424       // 오프라인

// File transfer window
#define IDS_TRANSFER_SEND_TITLE 440       // 파일 전송
#define IDS_TRANSFER_RECEIVE_TITLE 441    // 파일 수신
#define IDS_TRANSFER_SEND_EVENTS 442      // Send events = (보낸 횟수)
#define IDS_TRANSFER_RECEIVE_EVENTS 443   // Receive events = (받은 횟수)
#define IDS_TRANSFER_NO_FILE 444          // Could not find specified file (파일을 찾을 수 없음)
#define IDS_TRANSFER_NO_FILE_TITLE 445    // Could Not Find File (파일 없음)
#define IDS_TRANSFER_BAD_PATH 446         // File name contains invalid characters... (파일 이름에 쓸 수 없는 문자)
#define IDS_TRANSFER_BAD_PATH_ASK 447     // Enter another name (다른 이름을 넣으십시오)
#define IDS_TRANSFER_BAD_PATH_TITLE 448   // Invalid File Name (잘못된 파일 이름)
#define IDS_TRANSFER_NOT_STARTED 449      // 파일 전송을 시작하지 못했습니다.
#define IDS_TRANSFER_SEND_FAILED 450      // 파일을 보내지 못했습니다.
#define IDS_TRANSFER_RECEIVE_FAILED 451   // 파일을 받지 못했습니다.
#define IDS_TRANSFER_CONNECT_FAILED 452   // 서버 접속에 실패했습니다!

// What the user puts into a conversation and takes out of it
#define IDS_CONV_UNCARRIED 460      // 보낼 수 없는 문자가 있습니다: %s (characters code page 949 cannot carry)
#define IDS_CONV_SEND_FILES 461     // 파일 %d개를 보내시겠습니까? (several files pasted or dropped)
#define IDS_CONV_FOLDER_REFUSED 462 // 폴더는 보낼 수 없습니다. (a folder pasted or dropped)
#define IDS_CONV_COPY 463           // 복사 (the history's context menu)
