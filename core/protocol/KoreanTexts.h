#pragma once

// The program's own Korean texts, as the code page 949 bytes that go on the wire, into the logs, into
// list items and boxes. Each carries its readable text in quotes, on its line or on the line just above;
// "\n" there stands for a line feed.

namespace dravel {

// The two user lists the server keeps, named on the wire (the chat list's views).
inline constexpr char kFriendsList[] = "\xC4\xA3\xB1\xB8";   // "친구"
inline constexpr char kEverybodyList[] = "\xC0\xFC\xC3\xBC"; // "전체"

// The connection's warning when the server is gone.
// "서버와의 접속이 일시적으로 단절되었습니다.\n재접속이 필요합니다."
inline constexpr char kConnectionLostText[] =
    "\xBC\xAD\xB9\xF6\xBF\xCD\xC0\xC7 \xC1\xA2\xBC\xD3\xC0\xCC "
    "\xC0\xCF\xBD\xC3\xC0\xFB\xC0\xB8\xB7\xCE \xB4\xDC\xC0\xFD\xB5\xC7"
    "\xBE\xFA\xBD\xC0\xB4\xCF\xB4\xD9.\n"
    "\xC0\xE7\xC1\xA2\xBC\xD3\xC0\xCC \xC7\xCA\xBF\xE4\xC7\xD5\xB4\xCF\xB4\xD9.";

// The login dialog's box when the ID or the password is empty.
// "사용자 ID 또는 암호가 입력되지 않았습니다."
inline constexpr char kLoginMissingText[] =
    "\xBB\xE7\xBF\xEB\xC0\xDA ID \xB6\xC7\xB4\xC2 \xBE\xCF\xC8\xA3\xB0\xA1 "
    "\xC0\xD4\xB7\xC2\xB5\xC7\xC1\xF6 \xBE\xCA\xBE\xD2\xBD\xC0\xB4\xCF\xB4\xD9.";

// The bulk note dialog's box when the text holds a field separator.
// "금칙문자 ":" 또는 "|" 는 사용할 수 없습니다."
inline constexpr char kBulkNoteForbiddenText[] =
    "\xB1\xDD\xC4\xA2\xB9\xAE\xC0\xDA \":\" \xB6\xC7\xB4\xC2 \"|\" "
    "\xB4\xC2 \xBB\xE7\xBF\xEB\xC7\xD2 \xBC\xF6 \xBE\xF8\xBD\xC0\xB4\xCF\xB4\xD9.";

// The box shown when every window slot of the session is taken.
// "더 이상 창을 열 수 없습니다.\n한 세션에 열 수 있는 창은 100개까지입니다."
inline constexpr char kWindowTableFullText[] =
    "\xB4\xF5 \xC0\xCC\xBB\xF3 \xC3\xA2\xC0\xBB \xBF\xAD \xBC\xF6 \xBE\xF8\xBD\xC0\xB4\xCF\xB4\xD9.\n"
    "\xC7\xD1 \xBC\xBC\xBC\xC7\xBF\xA1 \xBF\xAD \xBC\xF6 \xC0\xD6\xB4\xC2 \xC3\xA2\xC0\xBA 100"
    "\xB0\xB3\xB1\xEE\xC1\xF6\xC0\xD4\xB4\xCF\xB4\xD9.";

// The words that together make a peer's text an order-cancel request.
inline constexpr char kOrderWord[] = "\xC1\xD6\xB9\xAE";   // "주문"
inline constexpr char kCancelWord[] = "\xC3\xEB\xBC\xD2";  // "취소"
inline constexpr char kRequestWord[] = "\xBF\xE4\xC3\xBB"; // "요청"

// Pop-up texts: "%s" is the sender; in the session end, the user and then the program's name.
// "%s 로 부터 새로운 쪽지가 도착했습니다."
inline constexpr char kMessagePopupText[] =
    "%s \xB7\xCE \xBA\xCE\xC5\xCD \xBB\xF5\xB7\xCE\xBF\xEE \xC2\xCA\xC1\xF6\xB0\xA1 "
    "\xB5\xB5\xC2\xF8\xC7\xDF\xBD\xC0\xB4\xCF\xB4\xD9.";
// "%s 로 부터 취소 요청이 들어왔습니다."
inline constexpr char kCancelPopupText[] = "%s \xB7\xCE \xBA\xCE\xC5\xCD \xC3\xEB\xBC\xD2 \xBF\xE4\xC3\xBB\xC0\xCC "
                                           "\xB5\xE9\xBE\xEE\xBF\xD4\xBD\xC0\xB4\xCF\xB4\xD9.";
// "%s 로 부터 첨부파일이 도착했습니다."
inline constexpr char kFilePopupText[] = "%s \xB7\xCE \xBA\xCE\xC5\xCD \xC3\xB7\xBA\xCE\xC6\xC4\xC0\xCF\xC0\xCC "
                                         "\xB5\xB5\xC2\xF8\xC7\xDF\xBD\xC0\xB4\xCF\xB4\xD9.";
// "%s 님\n\n%s 접속을 종료합니다."
inline constexpr char kSessionEndedPopupText[] =
    "%s \xB4\xD4\n\n%s \xC1\xA2\xBC\xD3\xC0\xBB \xC1\xBE\xB7\xE1\xC7\xD5\xB4\xCF\xB4\xD9.";

// The notice above a history that was cut: head, the number of entries left out, tail.
inline constexpr char kHistoryOmittedHead[] = "\xC0\xCC\xC0\xFC \xB4\xEB\xC8\xAD "; // "이전 대화 "
// "건은 표시하지 않았습니다."
inline constexpr char kHistoryOmittedTail[] =
    "\xB0\xC7\xC0\xBA \xC7\xA5\xBD\xC3\xC7\xCF\xC1\xF6 \xBE\xCA\xBE\xD2\xBD\xC0\xB4\xCF\xB4\xD9.";
// The line under an own message that could not be sent.
// "전송되지 않았습니다."
inline constexpr char kUnsentText[] = "\xC0\xFC\xBC\xDB\xB5\xC7\xC1\xF6 \xBE\xCA\xBE\xD2\xBD\xC0\xB4\xCF\xB4\xD9.";

// The character measured for the HTML list's line height.
inline constexpr char kLineHeightSample[] = "\xC5\x79"; // "흝"

} // namespace dravel
