#pragma once

// The program's own Korean texts, as the code page 949 bytes that go on the wire, into the logs, into
// list items and boxes. Each carries its readable text in quotes, on its line or on the line just above;
// "\n" there stands for a line feed.

namespace dravel {

// The addressee and conversation key of records meant for the server itself: the administrator's note,
// and the sender of the server's notices.
inline constexpr char kServerWord[] = "Server"; // "Server"

// The two user lists the server keeps, named on the wire (the chat list's views).
inline constexpr char kFriendsList[] = "\xC4\xA3\xB1\xB8";   // "친구"
inline constexpr char kEverybodyList[] = "\xC0\xFC\xC3\xBC"; // "전체"

// The words that together make a peer's text an order-cancel request.
inline constexpr char kOrderWord[] = "\xC1\xD6\xB9\xAE";   // "주문"
inline constexpr char kCancelWord[] = "\xC3\xEB\xBC\xD2";  // "취소"
inline constexpr char kRequestWord[] = "\xBF\xE4\xC3\xBB"; // "요청"

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
