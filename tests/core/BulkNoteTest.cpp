#include "core/session/BulkNote.h"

#include "core/protocol/TextConverter.h"
#include "tests/core/support/Bytes.h"
#include "tests/core/support/MemoryStream.h"

#include <gtest/gtest.h>

#include <string>

using namespace dravel;
using dravel::test::Hex;
using dravel::test::MemoryStream;

namespace {

const AsciiTextConverter kAscii;

} // namespace

TEST(BulkNote, TextRulesAndTheEnterKey) {
    EXPECT_EQ(CheckBulkNote(""), BulkNoteCheck::Empty);
    EXPECT_EQ(CheckBulkNote("a:b"), BulkNoteCheck::Forbidden);
    EXPECT_EQ(CheckBulkNote("a|b"), BulkNoteCheck::Forbidden);
    EXPECT_EQ(CheckBulkNote("a b"), BulkNoteCheck::Ok);
    EXPECT_EQ(CheckBulkNote("line 1\r\nline 2 \xB0\xA1"), BulkNoteCheck::Ok);

    EXPECT_EQ(BulkNoteKeyRule(BulkNoteKeyTarget::NoteEdit, KeyEvent::Down, kVirtualKeyReturn), ControlKeyChange::Hold);
    EXPECT_EQ(BulkNoteKeyRule(BulkNoteKeyTarget::NoteEdit, KeyEvent::Up, kVirtualKeyReturn), ControlKeyChange::Release);
    EXPECT_EQ(BulkNoteKeyRule(BulkNoteKeyTarget::NoteEdit, KeyEvent::Down, 'A'), ControlKeyChange::None);
    EXPECT_EQ(BulkNoteKeyRule(BulkNoteKeyTarget::OkButton, KeyEvent::Down, kVirtualKeyReturn), ControlKeyChange::None);
    EXPECT_EQ(BulkNoteKeyRule(BulkNoteKeyTarget::CancelButton, KeyEvent::Up, kVirtualKeyReturn),
              ControlKeyChange::None);
}

TEST(BulkNote, SentAsTheAdministratorFormOfAPrivateMessage) {
    EXPECT_FALSE(SendBulkNote(nullptr, "hello"));
    class NoOwner : public ConnectionOwner {
        void OnRecord(const CComData&) override {}
        void OnConnectionLost() override {}
        void ShowConnectionLost() override {}
    } owner;
    MemoryStream stream;
    CClientConnection c(owner, stream, kAscii, "tervo", "pw", "10.0.0.5");
    c.m_strName = "Admin";
    c.m_nStatus = 1;
    EXPECT_TRUE(SendBulkNote(&c, "line 1\r\nline 2"));
    CComData expected;
    expected.m_strId = "tervo";
    expected.m_strPassword = "pw";
    expected.m_strName = "Server";
    expected.m_nStatus = 1;
    expected.m_strText = "line 1\r\nline 2";
    expected.m_nCommand = COM_PRIVATE_MESSAGE;
    EXPECT_EQ(Hex(stream.strWritten), Hex(EncodeRecord(expected)));
}
