// String-table ids (400 to 599) of the user texts of conversations, the chat list and file transfers (win/conversation, win/chat, win/transfer).
// Plain #defines: read by windres and by C++. The texts themselves are in StringsConversation.rc2.
#pragma once
