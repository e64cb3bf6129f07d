#pragma once

// What a conversation window needs from outside its own controls and the connection: the pause after
// a message, the beep, the transfer ports, the file to offer and the opening of a received file. The
// owner hands one to the window; the program's own behaviour is this base class as it is.

#include <windows.h>

#include <optional>
#include <string>

namespace dravel::win {

class ConversationServices {
public:
    virtual ~ConversationServices() = default;

    // The pause after handing a message to the connection, so that messages sent in a row keep apart.
    // The window keeps working meanwhile; a send asked for during the pause follows at its end. 0: none.
    virtual unsigned SendPauseMs() const;
    // The short tone after a message went out.
    virtual void Beep() const;
    // The transfer ports; 0 for the fixed ones (8201 upload, 8202 download).
    virtual int UploadPort() const { return 0; }
    virtual int DownloadPort() const { return 0; }
    // The file to offer; none when the user cancelled. The program asks with the open-file dialog.
    virtual std::optional<std::wstring> ChooseFile(HWND owner) const;
    // Opens a received file that may be opened, with the shell's "open" verb.
    virtual void OpenFile(HWND owner, const std::wstring& path) const;
    // Opens a web address the user clicked in the history, in the user's default browser.
    virtual void OpenAddress(HWND owner, const std::wstring& url) const;

    // The program's own services, for windows whose owner gives none.
    static ConversationServices& Default();
};

} // namespace dravel::win
