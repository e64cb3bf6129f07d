#pragma once

// The core's own texts that are no window texts, as code page 949 bytes: words that go on the wire or
// are matched against what comes from it, and the character the HTML list measures. Texts shown in
// windows live in the string table (win/res) and reach the core through the interfaces that need them.
// Each carries its readable text in quotes, on its line or on the line just above; "\n" there stands
// for a line feed.

namespace dravel {

// The addressee and conversation key of records meant for the server itself: the administrator's note,
// and the sender of the server's notices.
inline constexpr char kServerWord[] = "Server"; // "Server"

// The texts of the client's own records to the server: the sign-in (the version follows), the logout
// and the keep-alive.
inline constexpr char kSignInWord[] = "Login ";              // "Login "
inline constexpr char kLogoutWord[] = "Logout";              // "Logout"
inline constexpr char kConnectCheckWord[] = "Connect check"; // "Connect check"

// The two user lists the server keeps, named on the wire (the chat list's views).
inline constexpr char kFriendsList[] = "\xC4\xA3\xB1\xB8";   // "친구"
inline constexpr char kEverybodyList[] = "\xC0\xFC\xC3\xBC"; // "전체"

// The words that together make a peer's text an order-cancel request.
inline constexpr char kOrderWord[] = "\xC1\xD6\xB9\xAE";   // "주문"
inline constexpr char kCancelWord[] = "\xC3\xEB\xBC\xD2";  // "취소"
inline constexpr char kRequestWord[] = "\xBF\xE4\xC3\xBB"; // "요청"

// The character measured for the HTML list's line height.
inline constexpr char kLineHeightSample[] = "\xC5\x79"; // "흝"

} // namespace dravel
