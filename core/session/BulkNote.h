#pragma once

#include "core/protocol/ClientConnection.h"
#include "core/protocol/KoreanTexts.h"

#include <string>
#include <string_view>

namespace dravel {

enum class BulkNoteCheck {
    Empty,     // nothing happens, the dialog stays open
    Forbidden, // the dialog says which characters are forbidden and stays open with the text
    Ok,        // the dialog ends with OK
};

// ":" and "|" separate fields in what the server builds from notes, so a note may not contain them.
BulkNoteCheck CheckBulkNote(std::string_view text);

// Enter in the note edit is turned into Control+Enter, a new line instead of the default button: on its
// key-down the Control key is marked held in the thread's keyboard state, on its key-up released.
enum class BulkNoteKeyTarget { NoteEdit, OkButton, CancelButton, Other };
enum class KeyEvent { Down, Up, Other };
enum class ControlKeyChange { None, Hold, Release };
inline constexpr unsigned kVirtualKeyReturn = 0x0D;
ControlKeyChange BulkNoteKeyRule(BulkNoteKeyTarget target, KeyEvent event, unsigned nVirtualKey);

// Sends an ended-with-OK note as the administrator form of COM_PRIVATE_MESSAGE (key "Server", no peer,
// the text without prefix). True when it went out: the caller then beeps (1000 Hz, 100 ms). Nothing is
// sent without a connection. A failed send may delete the connection inside this call.
bool SendBulkNote(CClientConnection* pConnection, std::string_view text);

} // namespace dravel
