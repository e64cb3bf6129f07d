#pragma once

// Korean words the tests use, as their code page 949 bytes, named by what they mean; the readable
// text is beside each.

#include <string>

namespace dravel::test {

inline const std::string kCharGa = "\xB0\xA1";                         // 가, the first syllable
inline const std::string kNameKim = "\xB1\xE8";                        // 김
inline const std::string kNameKimCheolsu = "\xB1\xE8\xC3\xB6\xBC\xF6"; // 김철수
inline const std::string kWordNote = "\xC2\xCA\xC1\xF6";               // 쪽지
inline const std::string kWordFriends = "\xC4\xA3\xB1\xB8";            // 친구
inline const std::string kWordEveryone = "\xC0\xFC\xC3\xBC";           // 전체
inline const std::string kWordHangul = "\xC7\xD1\xB1\xDB";             // 한글
inline const std::string kWordReport = "\xBA\xB8\xB0\xED\xBC\xAD";     // 보고서
inline const std::string kWordContract = "\xB0\xE8\xBE\xE0\xBC\xAD";   // 계약서

} // namespace dravel::test
