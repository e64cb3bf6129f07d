#include "core/session/BulkNote.h"

namespace dravel {

BulkNoteCheck CheckBulkNote(std::string_view text) {
    if (text.empty())
        return BulkNoteCheck::Empty;
    // Neither byte can be the trail byte of a two-byte character, so a plain byte search is exact.
    if (text.find_first_of(":|") != std::string_view::npos)
        return BulkNoteCheck::Forbidden;
    return BulkNoteCheck::Ok;
}

ControlKeyChange BulkNoteKeyRule(BulkNoteKeyTarget target, KeyEvent event, unsigned nVirtualKey) {
    if (target != BulkNoteKeyTarget::NoteEdit || nVirtualKey != kVirtualKeyReturn)
        return ControlKeyChange::None;
    if (event == KeyEvent::Down)
        return ControlKeyChange::Hold;
    if (event == KeyEvent::Up)
        return ControlKeyChange::Release;
    return ControlKeyChange::None;
}

bool SendBulkNote(CClientConnection* pConnection, std::string_view text) {
    if (!pConnection)
        return false;
    return pConnection->SendPrivateMessage(kServerWord, std::string_view(), text);
}

} // namespace dravel
