// type keys=<k1,k2,...> [text=<text>]: the keyboard as a user works it. Each key is sent with SendInput to
// whatever window has the keyboard focus now, as the keyboard would send it; "ctrl+alt+m", "shift+f10",
// "shift+tab" hold their modifiers for that key only. Names: tab, enter, escape, space, backspace, up,
// down, left, right, home, end, pageup, pagedown, apps, delete, f1..f12, a single letter or digit. text is
// typed after the keys as Unicode characters. Nothing here picks a window: the program's own focus does.
#include "tests/e2e/uidriver/Driver.h"

#include <cwctype>
#include <vector>

namespace {

struct NamedKey {
    const wchar_t* name;
    WORD vk;
};

constexpr NamedKey kNamedKeys[] = {
    {L"tab", VK_TAB},       {L"enter", VK_RETURN},   {L"escape", VK_ESCAPE}, {L"space", VK_SPACE},
    {L"backspace", VK_BACK}, {L"up", VK_UP},          {L"down", VK_DOWN},     {L"left", VK_LEFT},
    {L"right", VK_RIGHT},   {L"home", VK_HOME},      {L"end", VK_END},       {L"pageup", VK_PRIOR},
    {L"pagedown", VK_NEXT}, {L"apps", VK_APPS},      {L"delete", VK_DELETE}, {L"ctrl", VK_CONTROL},
    {L"alt", VK_MENU},      {L"shift", VK_SHIFT},
};

WORD KeyCode(std::wstring name) {
    for (wchar_t& c : name)
        c = static_cast<wchar_t>(std::towlower(c));
    for (const NamedKey& key : kNamedKeys) {
        if (name == key.name)
            return key.vk;
    }
    if (name.size() >= 2 && name.size() <= 3 && name[0] == L'f') {
        const int n = std::wcstol(name.c_str() + 1, nullptr, 10);
        if (n >= 1 && n <= 12)
            return static_cast<WORD>(VK_F1 + n - 1);
    }
    if (name.size() == 1 && std::iswalnum(name[0]) && name[0] < 0x80)
        return static_cast<WORD>(std::towupper(name[0]));
    throw DriverError("unknown key: " + ToUtf8(name));
}

bool IsExtended(WORD vk) {
    switch (vk) {
    case VK_UP: case VK_DOWN: case VK_LEFT: case VK_RIGHT: case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
    case VK_DELETE: case VK_APPS:
        return true;
    default:
        return false;
    }
}

INPUT KeyInput(WORD vk, bool bUp) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = (bUp ? KEYEVENTF_KEYUP : 0) | (IsExtended(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
    return in;
}

void Send(std::vector<INPUT>& inputs) {
    if (inputs.empty())
        return;
    const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    if (sent != inputs.size())
        throw DriverError("SendInput took " + std::to_string(sent) + " of " + std::to_string(inputs.size()) +
                          " inputs");
    inputs.clear();
}

} // namespace

JsonObject VerbType(const Args& args) {
    std::vector<INPUT> inputs;
    int nKeys = 0;
    const std::wstring keys = args.Str(L"keys");
    size_t pos = 0;
    while (pos < keys.size()) {
        const size_t comma = std::min(keys.find(L',', pos), keys.size());
        std::wstring chord = keys.substr(pos, comma - pos);
        pos = comma + 1;
        if (chord.empty())
            continue;
        std::vector<WORD> held;
        size_t start = 0;
        while (true) {
            const size_t plus = chord.find(L'+', start);
            held.push_back(KeyCode(chord.substr(start, plus == std::wstring::npos ? std::wstring::npos : plus - start)));
            if (plus == std::wstring::npos)
                break;
            start = plus + 1;
        }
        for (WORD vk : held)
            inputs.push_back(KeyInput(vk, false));
        for (auto it = held.rbegin(); it != held.rend(); ++it)
            inputs.push_back(KeyInput(*it, true));
        // One chord at a time: the program answers each before the next comes (a menu opens, a window
        // takes the focus), as it would between a person's key presses.
        Send(inputs);
        Sleep(50);
        ++nKeys;
    }
    const std::wstring text = args.Str(L"text");
    for (wchar_t c : text) {
        for (bool bUp : {false, true}) {
            INPUT in{};
            in.type = INPUT_KEYBOARD;
            in.ki.wScan = c;
            in.ki.dwFlags = KEYEVENTF_UNICODE | (bUp ? KEYEVENTF_KEYUP : 0);
            inputs.push_back(in);
        }
    }
    Send(inputs);
    JsonObject out;
    return out.Num("keys", nKeys).Num("chars", static_cast<long long>(text.size()));
}
