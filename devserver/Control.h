#pragma once

#include "core/protocol/ComData.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dravel::devserver {

// The test control's line protocol (see README): words separated by TABs, or by spaces when the line
// has no TAB. Values are UTF-8 and become code page 949; "\t", "\n", "\\" and "\xHH" (a raw byte) are
// understood in them.
std::vector<std::string> SplitControlLine(std::string_view line);

// "name=value" words into a record: command (a name such as PRIVATE_MESSAGE, with or without COM_, or
// a number), id, password, name, target, status, text, host, port, reserved. Returns the error text in
// `error` and nothing when a word cannot be used.
std::optional<CComData> ParseRecordWords(const std::vector<std::string>& words, size_t first, std::string& error);

// A command code from its name or number; nullopt for anything else.
std::optional<int32_t> ParseCommand(std::string_view text);

// The value of a control word: escapes resolved, UTF-8 text turned into code page 949.
std::string DecodeControlValue(std::string_view value);

} // namespace dravel::devserver
