#pragma once

#include <cstdint>
#include <string>

namespace dravel {

// Command codes of the messenger protocol.
enum : int32_t {
    COM_SIGN_IN = 1,
    COM_SIGN_OUT = 2,
    COM_MESSAGE_NOTE = 3,
    COM_CLOSE = 4,
    COM_ADD_CLIENT = 5,
    COM_REMOVE_CLIENT = 6,
    COM_PRIVATE_MESSAGE = 7,
    COM_LOGIN_MESSAGE = 8,
    COM_CHAT_LIST = 9,
    COM_CHAT_LIST_END = 10,
    COM_APPEND_FRIEND = 11,
    COM_DELETE_FRIEND = 12,
    COM_CONFIRM_MESSAGE = 13,
    COM_CONNECT_CHECK = 14,
    COM_MESSAGE_HISTORY = 15,
    COM_MESSAGE_HISEND = 16,
    COM_SIGN_TEST = 17,
    COM_CHATLIST_COLLECT = 18,
    COM_FILE_TRANSFER = 19,
    COM_FILE_ACCEPT = 20,
    COM_FILE_REJECT = 21,
    COM_FILE_RECEIVER = 22,
    COM_FILE_ADJUST = 23,
    COM_PRIVATE_HISTORY = 24,
};

// The protocol's table of command names: index 0 is empty, 1..23 are named; 24 has no entry.
inline constexpr int kCommandNameCount = 24;
extern const char* const kCommandNames[kCommandNameCount];

// Name of a command code for diagnostics; "" for codes outside the table.
const char* CommandName(int32_t nCommand);

// One protocol record. Texts are code page 949 bytes, carried unchanged. Field order is wire order.
struct CComData {
    std::string m_strId;
    std::string m_strPassword;
    std::string m_strName;
    std::string m_strTarget;
    int32_t m_nStatus = 0;
    std::string m_strText;
    int32_t m_nCommand = 0;
    std::string m_strHost;
    int32_t m_nPort = 0;
    int32_t m_nReserved = 0;

    bool operator==(const CComData&) const = default;
};

// m_nStatus of a private message (COM_PRIVATE_MESSAGE, COM_PRIVATE_HISTORY) written by the server itself;
// any other status is a peer's message.
enum : int32_t {
    kStatusServerNotice = -1,       // shown in a message box of the main window
    kStatusOwnCopy = -2,            // a copy of a message this user sent, for its conversation
    kStatusConversationNotice = -3, // a notice inside the conversation with m_strName
    kStatusHistory = -4,            // the history of the conversation with m_strTarget
};

} // namespace dravel
