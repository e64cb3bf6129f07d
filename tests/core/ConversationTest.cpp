#include "core/conversation/Conversation.h"
#include "core/conversation/ConversationItems.h"
#include "core/conversation/ConversationLog.h"
#include "core/session/ConversationRecords.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

using namespace dravel;

namespace {

struct Item {
    std::string strHtml;
    HistorySide side;
};

class FakeView : public HistoryView {
public:
    std::vector<Item> items;
    int nShowEnd = 0;
    int nFocus = 0;
    int nEnabled = 0;
    // Items the view held at each ShowEnd: what one paint would draw.
    std::vector<size_t> shownAt;

    int AddItem(const std::string& html, HistorySide side) override {
        items.push_back({html, side});
        return static_cast<int>(items.size()) - 1;
    }
    void SetItem(int index, const std::string& html) override { items.at(static_cast<size_t>(index)).strHtml = html; }
    void ShowEnd() override {
        ++nShowEnd;
        shownAt.push_back(items.size());
    }
    void FocusMessageEdit() override { ++nFocus; }
    void EnableSending() override { ++nEnabled; }
};

class FakeLog : public ConversationLog {
public:
    bool bOpen = true;
    std::vector<std::string> lines;
    // Lines the log held before this run.
    std::vector<std::string> earlier;
    bool IsOpen() const override { return bOpen; }
    void WriteLine(std::string_view line) override { lines.emplace_back(line); }
    bool Holds(std::string_view line) const override {
        return std::find(earlier.begin(), earlier.end(), line) != earlier.end();
    }
};

// The string table's history texts as the window hands them over, in code page 949.
const ConversationTexts kTexts{
    // "전송되지 않았습니다."
    .strUnsent = "\xC0\xFC\xBC\xDB\xB5\xC7\xC1\xF6 \xBE\xCA\xBE\xD2\xBD\xC0\xB4\xCF\xB4\xD9.",
    // "이전 대화 %s건은 표시하지 않았습니다."
    .strHistoryOmitted = "\xC0\xCC\xC0\xFC \xB4\xEB\xC8\xAD %s\xB0\xC7\xC0\xBA \xC7\xA5\xBD\xC3\xC7\xCF\xC1\xF6 "
                         "\xBE\xCA\xBE\xD2\xBD\xC0\xB4\xCF\xB4\xD9.",
    .strWaiting = "wait",
};

struct Fixture {
    FakeView view;
    FakeLog log;
    CConversation conv{view, log, kTexts};
    Fixture() { conv.SetPeer("Kim", "kim01"); }
};

const CLocalTime kRecordTime{2020, 1, 2, 9, 8, 7};
const char* const kRecordTimeText = "2020-01-02 AM 09:08:07";

} // namespace

TEST(Conversation, IncomingMessagesAndOffers) {
    Fixture f;
    f.conv.AppendIncoming("Kim", "hello|2020-01-02 PM 03:04:05", kRecordTime, true);
    f.conv.AppendIncoming("Kim", "File_report.txt", kRecordTime, true);
    f.conv.AppendIncoming("Kim", std::string(30, 'w'), kRecordTime, false);

    ASSERT_EQ(f.view.items.size(), 3u);
    EXPECT_EQ(f.view.items[0].strHtml, "<font color=#0000ff>Kim<p><b>hello</b><p>2020-01-02 PM 03:04:05</font>");
    EXPECT_EQ(f.view.items[0].side, HistorySide::Peer);
    EXPECT_EQ(f.view.items[1].strHtml,
              std::string("<font color=#0000ff>Kim<p></font><font color=#ff0000><b>File_report.txt</b><p></font>"
                          "<font color=#0000ff>") +
                  kRecordTimeText + "</font>");
    // Display only is wrapped.
    EXPECT_NE(f.view.items[2].strHtml.find(std::string(26, 'w') + " wwww"), std::string::npos);
    EXPECT_EQ(f.log.lines, (std::vector<std::string>{"> 2020-01-02 PM 03:04:05 hello\n",
                                                     std::string("F ") + kRecordTimeText + " File_report.txt\n"}));
    EXPECT_EQ(f.view.nShowEnd, 3);
    EXPECT_EQ(f.view.nFocus, 3);
}

TEST(Conversation, OwnMessagesAndFilesFromTheHistory) {
    Fixture f;
    std::string longText(40, 'o');
    f.conv.AppendOutgoing("ignored", longText + "|2020/01/02 PM 03:04:05", kRecordTime, true);
    f.conv.AppendOutgoing("ignored", "File_C:\\docs\\File_a.txt|2020-01-02 AM 11:00:00", kRecordTime, true);
    f.conv.AppendOutgoing("ignored", "File_b.txt", kRecordTime, true);

    ASSERT_EQ(f.view.items.size(), 3u);
    EXPECT_EQ(f.view.items[0].strHtml, "<strong>" + WrapText(longText) + "</strong><p>2020/01/02 PM 03:04:05");
    EXPECT_EQ(f.view.items[0].side, HistorySide::Own);
    EXPECT_EQ(f.view.items[1].strHtml, "<font color=#ff000f><b>Send_a.txt</b></font><p>2020-01-02 AM 11:00:00");
    EXPECT_EQ(f.view.items[2].strHtml,
              std::string("<font color=#ff000f><b>Send_b.txt</b></font><p>") + kRecordTimeText);
    EXPECT_EQ(f.log.lines, (std::vector<std::string>{". 2020/01/02 PM 03:04:05 " + longText + "\n",
                                                     "S 2020-01-02 AM 11:00:00 Send_C:\\docs\\Send_a.txt\n",
                                                     std::string("S ") + kRecordTimeText + " Send_b.txt\n"}));
    // The item of a file from the history can be clicked for its key.
    std::optional<CFileRequest> r = f.conv.RequestForItem(1, f.view.items[1].strHtml);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->strKey, "a.txt.202001021100");
    EXPECT_FALSE(r->bIncoming);
    EXPECT_FALSE(f.conv.RequestForItem(-1, f.view.items[1].strHtml));
}

TEST(Conversation, NoticesAreShownButNeverLogged) {
    Fixture f;
    f.conv.AppendNotice("");
    f.conv.AppendNotice("server says");
    ASSERT_EQ(f.view.items.size(), 1u);
    EXPECT_EQ(f.view.items[0].strHtml, "<font color=#ff0000>server says</font>");
    EXPECT_EQ(f.view.items[0].side, HistorySide::Peer);
    EXPECT_TRUE(f.log.lines.empty());
    EXPECT_EQ(f.view.nFocus, 2);
}

TEST(Conversation, SendingChecksAndEchoes) {
    Fixture f;
    EXPECT_EQ(f.conv.CheckMessage("abc:def"), SendCheck::Forbidden);
    EXPECT_EQ(f.conv.CheckMessage("a|b"), SendCheck::Forbidden);
    EXPECT_EQ(f.conv.CheckMessage(""), SendCheck::Nothing);
    EXPECT_EQ(f.conv.CheckMessage("abc"), SendCheck::Send);
    FakeView view;
    FakeLog log;
    CConversation nobody(view, log, kTexts);
    EXPECT_EQ(nobody.CheckMessage("abc"), SendCheck::Nothing);

    CLocalTime now{2021, 6, 7, 13, 14, 15};
    f.conv.ShowSentMessage("abc", now, true);
    f.conv.ShowSentMessage("offline", now, false);
    f.conv.ShowUnsentMessage("lost", now);
    EXPECT_EQ(f.view.items[0].strHtml, "<strong>abc</strong><p>2021/06/07 PM 01:14:15");
    EXPECT_EQ(f.view.items[1].side, HistorySide::Own);
    // "전송되지 않았습니다." under the time: never an ordinary sent bubble, never logged.
    EXPECT_EQ(f.view.items[2].strHtml,
              "<strong>lost</strong><p>2021/06/07 PM 01:14:15<br><font color=#ff0000>"
              "\xC0\xFC\xBC\xDB\xB5\xC7\xC1\xF6 \xBE\xCA\xBE\xD2\xBD\xC0\xB4\xCF\xB4\xD9.</font>");
    EXPECT_EQ(f.log.lines, (std::vector<std::string>{". 2021/06/07 PM 01:14:15 abc\n"}));
}

// Typed while the connection is away: shown as waiting, sent once in order after the reconnect, logged
// when it goes out; the history that follows the reconnect adds only what the window did not show.
TEST(Conversation, WaitingMessagesAndTheHistoryAfterAReconnect) {
    Fixture f;
    f.conv.NoteHistoryRequest();
    ASSERT_TRUE(f.conv.LoadHistory("<|hello|t1|>|hi|t2|", kRecordTime));
    EXPECT_FALSE(f.conv.LoadHistory("<|forged|t|", kRecordTime)); // nobody asked
    const CLocalTime now{2021, 6, 7, 13, 14, 15};
    f.conv.QueueMessage("one", now, 7);
    f.conv.QueueMessage("two", now, 9);
    EXPECT_EQ(f.view.items[2].strHtml,
              "<strong>one</strong><p>2021/06/07 PM 01:14:15<br><font color=#ff0000>wait</font>");
    EXPECT_EQ(f.conv.WaitingCount(), 2u);
    EXPECT_EQ(f.conv.OldestWaiting(), 7u);
    f.log.lines.clear();

    std::vector<std::string> sent;
    bool bAccept = false;
    const auto send = [&](std::string_view text) {
        sent.emplace_back(text);
        return bAccept;
    };
    EXPECT_FALSE(f.conv.SendOldestWaiting(send, now)); // refused: it keeps waiting, unlogged
    EXPECT_EQ(f.conv.OldestWaiting(), 7u);
    bAccept = true;
    EXPECT_TRUE(f.conv.SendOldestWaiting(send, now));
    f.conv.NoteHistoryRequest();
    EXPECT_TRUE(f.conv.SendOldestWaiting(send, now));
    EXPECT_FALSE(f.conv.SendOldestWaiting(send, now));
    EXPECT_EQ(sent, (std::vector<std::string>{"one", "one", "two"}));
    EXPECT_EQ(f.view.items[2].strHtml, "<strong>one</strong><p>2021/06/07 PM 01:14:15");
    EXPECT_EQ(f.view.items.size(), 4u);

    // The reply holds what the peer wrote meanwhile and what went out: only the former is new.
    f.conv.AppendIncoming("Kim", "live", kRecordTime, true);
    // A later reply does not bring a hidden window forward (false).
    EXPECT_FALSE(f.conv.LoadHistory("<|hello|t1|>|hi|t2|>|one|t3|<|meanwhile|t4|>|two|t5|<|live|t6|", kRecordTime));
    ASSERT_EQ(f.view.items.size(), 6u);
    EXPECT_NE(f.view.items[5].strHtml.find("<b>meanwhile</b>"), std::string::npos);
    EXPECT_EQ(f.log.lines, (std::vector<std::string>{". 2021/06/07 PM 01:14:15 one\n",
                                                     ". 2021/06/07 PM 01:14:15 two\n",
                                                     "> 2020-01-02 AM 09:08:07 live\n", "> t4 meanwhile\n"}));
}

TEST(Conversation, FinishedUploadsShowAndLogTheStampTime) {
    Fixture f;
    CLocalTime now{2021, 6, 7, 13, 14, 15};
    f.conv.ShowSentFile("C:\\docs\\report.txt", "20200102150405", now);
    f.conv.ShowSentFile("plain.txt", "garbage", now);
    EXPECT_EQ(f.view.items[0].strHtml, "<font color=#ff000f><b>Send_report.txt</b></font><p>2020/01/02 PM 03:04:05");
    EXPECT_EQ(f.log.lines, (std::vector<std::string>{"S 2020/01/02 PM 03:04:05 Send_C:\\docs\\report.txt\n",
                                                     "S 2021/06/07 PM 01:14:15 Send_plain.txt\n"}));
    EXPECT_EQ(f.conv.RequestForItem(0, f.view.items[0].strHtml)->strKey, "report.txt.202001021504");
}

TEST(Conversation, AClosedLogWritesNothing) {
    Fixture f;
    f.log.bOpen = false;
    f.conv.AppendIncoming("Kim", "hi", kRecordTime, true);
    f.conv.ShowSentMessage("abc", kRecordTime, true);
    f.conv.ShowSentFile("a.txt", "20200102150405", kRecordTime);
    f.conv.NoteHistoryRequest();
    f.conv.LoadHistory(">|a|t|<|b|t", kRecordTime);
    EXPECT_TRUE(f.log.lines.empty());
    EXPECT_EQ(f.view.items.size(), 5u);
}

TEST(Conversation, HistoryLoadsInOrderWithOnePaint) {
    Fixture f;
    EXPECT_FALSE(f.conv.IsOpened());
    f.conv.NoteHistoryRequest();
    f.conv.LoadHistory(">|mine|2020/01/02 PM 03:04:05|<|\"yours\"|2020-01-02 PM 03:05:00|x|File_f.txt|"
                       "2020-01-02 PM 03:06:00|>|File_g.txt|2020-01-02 PM 03:07:00|dangling",
                       kRecordTime);
    ASSERT_EQ(f.view.items.size(), 4u);
    EXPECT_EQ(f.view.items[0].side, HistorySide::Own);
    EXPECT_EQ(f.view.items[1].strHtml, "<font color=#0000ff>Kim<p><b>yours</b><p>2020-01-02 PM 03:05:00</font>");
    EXPECT_EQ(f.view.items[1].side, HistorySide::Peer);
    EXPECT_EQ(f.view.items[2].side, HistorySide::Peer);
    EXPECT_EQ(f.view.items[3].side, HistorySide::Own);
    EXPECT_EQ(f.log.lines, (std::vector<std::string>{
                               ". 2020/01/02 PM 03:04:05 mine\n", "> 2020-01-02 PM 03:05:00 yours\n",
                               "F 2020-01-02 PM 03:06:00 File_f.txt\n", "S 2020-01-02 PM 03:07:00 Send_g.txt\n"}));
    EXPECT_EQ(f.view.shownAt, (std::vector<size_t>{4}));
    EXPECT_EQ(f.view.nFocus, 1);
    EXPECT_EQ(f.view.nEnabled, 1);
    EXPECT_TRUE(f.conv.IsOpened());

    // A history whose entries an earlier run logged writes only the others.
    Fixture again;
    again.log.earlier = {"> 2020-01-02 PM 03:05:00 yours\n"};
    again.conv.NoteHistoryRequest();
    again.conv.LoadHistory("<|yours|2020-01-02 PM 03:05:00|<|new|2020-01-02 PM 03:06:00|", kRecordTime);
    EXPECT_EQ(again.log.lines, std::vector<std::string>{"> 2020-01-02 PM 03:06:00 new\n"});
    EXPECT_EQ(again.view.items.size(), 2u);

    // After the load, single items show at once again; an empty history still enables sending.
    f.conv.AppendIncoming("Kim", "next", kRecordTime, true);
    EXPECT_EQ(f.view.shownAt.back(), 5u);
    Fixture empty;
    empty.conv.NoteHistoryRequest();
    empty.conv.LoadHistory("", kRecordTime);
    EXPECT_TRUE(empty.view.items.empty());
    EXPECT_EQ(empty.view.nEnabled, 1);
}

// What a server or peer sends is text and a claim: it never becomes markup, a second log line, an
// upload or a download the user did not ask for.
TEST(Conversation, PeerWordsAreTextAndOneLogLine) {
    Fixture f;
    f.conv.AppendIncoming("<font color=#ff0000>Boss", "<b>File_x.exe</b></font>|2020-01-02 PM 03:04:05", kRecordTime,
                          true);
    f.conv.AppendIncoming("Kim", "hi\r\n. 2024/01/01 AM 09:00:00 I agree", kRecordTime, true);
    f.conv.AppendIncoming("Kim", "File_a&b <1>.txt|2020-01-02 PM 03:04:05", kRecordTime, true);
    f.conv.AppendIncoming("Kim", "x|2020-01-02\n> PM", kRecordTime, true);

    ASSERT_EQ(f.view.items.size(), 4u);
    EXPECT_EQ(f.view.items[0].strHtml, "<font color=#0000ff>&lt;font color=#ff0000&gt;Boss<p><b>&lt;b&gt;File_x.exe&lt;"
                                       "/b&gt;&lt;/font&gt;</b><p>2020-01-02 PM 03:04:05</font>");
    // A peer's "<b>File_" inside a message is no file item; a real offer with markup characters in its
    // name still gives back its exact key.
    EXPECT_FALSE(f.conv.RequestForItem(0, f.view.items[0].strHtml));
    std::optional<CFileRequest> offer = f.conv.RequestForItem(2, f.view.items[2].strHtml);
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer->strKey, "a&b <1>.txt.202001021504");
    EXPECT_EQ(f.log.lines[1], std::string("> ") + kRecordTimeText + " hi  . 2024/01/01 AM 09:00:00 I agree\n");
    EXPECT_EQ(f.log.lines[3], "> 2020-01-02 > PM x\n");
    for (const std::string& line : f.log.lines)
        EXPECT_EQ(line.find_first_of("\r\n"), line.size() - 1) << line;

    // The user's own typing is shown as typed, too.
    f.conv.ShowSentMessage("a<b>c & d", kRecordTime, true);
    EXPECT_EQ(f.view.items.back().strHtml, "<strong>a&lt;b&gt;c &amp; d</strong><p>2020/01/02 AM 09:08:07");
    EXPECT_EQ(f.log.lines.back(), ". 2020/01/02 AM 09:08:07 a<b>c & d\n");
}

TEST(Conversation, FileRepliesAnswerOnlyWhatTheUserAsked) {
    Fixture f;
    EXPECT_FALSE(f.conv.ExpectsOffer("C:\\secret.txt"));
    EXPECT_FALSE(f.conv.TakeOffer("C:\\secret.txt"));
    f.conv.RememberOffer("C:\\docs\\a.txt");
    f.conv.RememberOffer("C:\\docs\\b.txt");
    EXPECT_TRUE(f.conv.ExpectsOffer("C:\\docs\\b.txt"));
    EXPECT_FALSE(f.conv.TakeOffer("C:\\docs\\A.txt")); // byte for byte, as it went out
    EXPECT_TRUE(f.conv.TakeOffer("C:\\docs\\b.txt"));
    EXPECT_FALSE(f.conv.TakeOffer("C:\\docs\\b.txt")); // once
    EXPECT_TRUE(f.conv.TakeOffer("C:\\docs\\a.txt"));

    // Each clicked file keeps its own "open after download?" answer; a key nobody clicked gives none.
    f.conv.RememberDownload("x.exe.202001021504", true);
    f.conv.RememberDownload("y.txt.202001021504", false);
    EXPECT_FALSE(f.conv.TakeDownload("z.exe.202001021504"));
    EXPECT_EQ(f.conv.TakeDownload("y.txt.202001021504"), std::optional<bool>(false));
    EXPECT_TRUE(f.conv.ExpectsDownload("x.exe.202001021504"));
    EXPECT_EQ(f.conv.TakeDownload("x.exe.202001021504"), std::optional<bool>(true));
    EXPECT_FALSE(f.conv.TakeDownload("x.exe.202001021504"));
    // A second click on the same file asks again: the latest answer holds, for one download.
    f.conv.RememberDownload("x.exe.202001021504", true);
    f.conv.RememberDownload("x.exe.202001021504", false);
    EXPECT_EQ(f.conv.TakeDownload("x.exe.202001021504"), std::optional<bool>(false));
    EXPECT_FALSE(f.conv.TakeDownload("x.exe.202001021504"));

    // Bounded: a window that made many offers keeps the newest.
    for (size_t i = 0; i <= kMaxPendingFiles; ++i)
        f.conv.RememberOffer("f" + std::to_string(i));
    EXPECT_FALSE(f.conv.ExpectsOffer("f0"));
    EXPECT_TRUE(f.conv.ExpectsOffer("f1"));
    EXPECT_TRUE(f.conv.ExpectsOffer("f" + std::to_string(kMaxPendingFiles)));
}

TEST(Conversation, AHugeHistoryShowsItsNewestEntriesAfterOneNotice) {
    Fixture f;
    std::string history;
    for (size_t i = 0; i < kMaxHistoryEntries + 7; ++i)
        history += "<|m" + std::to_string(i) + "|2020-01-02 PM 03:04:05|";
    f.conv.NoteHistoryRequest();
    f.conv.LoadHistory(history, kRecordTime);
    ASSERT_EQ(f.view.items.size(), kMaxHistoryEntries + 1);
    // "이전 대화 7건은 표시하지 않았습니다."
    EXPECT_EQ(f.view.items[0].strHtml,
              "<font color=#ff0000>\xC0\xCC\xC0\xFC \xB4\xEB\xC8\xAD 7\xB0\xC7\xC0\xBA "
              "\xC7\xA5\xBD\xC3\xC7\xCF\xC1\xF6 \xBE\xCA\xBE\xD2\xBD\xC0\xB4\xCF\xB4\xD9.</font>");
    EXPECT_NE(f.view.items[1].strHtml.find("<b>m7</b>"), std::string::npos);
    EXPECT_EQ(f.log.lines.size(), kMaxHistoryEntries);
    EXPECT_EQ(f.view.shownAt.size(), 1u);
    EXPECT_TRUE(f.conv.IsOpened());

    // Sixteen MiB of bars: millions of empty entries are counted, not shown.
    Fixture bars;
    bars.conv.NoteHistoryRequest();
    bars.conv.LoadHistory(std::string(16 << 20, '|'), kRecordTime);
    EXPECT_EQ(bars.view.items.size(), kMaxHistoryEntries + 1);
    EXPECT_NE(bars.view.items[0].strHtml.find(std::to_string((16 << 20) / 3 - kMaxHistoryEntries)), std::string::npos);
}

namespace {
class FakeWindow : public ConversationWindowOps {
public:
    std::vector<std::string> calls;
    bool bUploadDone = true;
    bool IsVisible() const override { return true; }
    void Raise() override { calls.push_back("raise"); }
    CLocalTime LocalTime(std::time_t) const override { return kRecordTime; }
    bool RunUpload(const std::string& path, const std::string& stamp) override {
        calls.push_back("upload " + path + " " + stamp);
        return bUploadDone;
    }
    void ShowDuplicateFile() override { calls.push_back("duplicate"); }
    void ReceiveFile(const std::string& name, bool bOpen) override {
        calls.push_back("receive " + name + (bOpen ? " open" : ""));
    }
};
} // namespace

// The server's file replies reach the window only for what the user offered or clicked here, once.
TEST(Conversation, FileRepliesReachTheWindowOnlyForWhatTheUserAskedFor) {
    Fixture f;
    FakeWindow window;
    CConversationRecords records(f.conv, window);
    f.conv.RememberOffer("C:\\a.txt");
    f.conv.RememberOffer("C:\\b.txt");
    f.conv.RememberDownload("k.202001021504", true);
    EXPECT_TRUE(records.ExpectsFileReply(COM_FILE_ACCEPT, "C:\\a.txt"));
    EXPECT_TRUE(records.ExpectsFileReply(COM_FILE_ADJUST, "k.202001021504"));
    EXPECT_FALSE(records.ExpectsFileReply(COM_FILE_ADJUST, "C:\\a.txt"));
    records.StartFileSend("Kim", "C:\\a.txt", 0, "20200102150405");
    records.StartFileSend("Kim", "C:\\a.txt", 0, "20200102150405"); // used up
    records.ShowDuplicateFile("Kim", "C:\\b.txt", 0, "");
    records.ShowDuplicateFile("Kim", "C:\\never.txt", 0, "");
    records.StartFileReceive("Kim", "k.202001021504", 0);
    records.StartFileReceive("Kim", "k.202001021504", 0);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"upload C:\\a.txt 202001021504", "duplicate",
                                                      "receive k.202001021504 open"}));
    EXPECT_EQ(f.log.lines, (std::vector<std::string>{"S 2020/01/02 PM 03:04:05 Send_C:\\a.txt\n"}));
}

TEST(Conversation, LinksOpenTheAddressesTheirItemWasMadeFrom) {
    Fixture f;
    const std::string address = "https://portal.example.com/order?id=7";
    f.conv.AppendIncoming("Kim", "see " + address + " now|2020-01-02 PM 03:04:05", kRecordTime, true);
    f.conv.AppendIncoming("Kim", "plain", kRecordTime, true);
    f.conv.QueueMessage("later http://c.kr", kRecordTime, 1);
    EXPECT_EQ(f.conv.LinkToOpen(0, 0), address);
    EXPECT_EQ(f.conv.LinkToOpen(2, 0), "http://c.kr");
    for (const auto& [item, link] : {std::pair{0, 1}, {0, -1}, {1, 0}, {-1, 0}})
        EXPECT_EQ(f.conv.LinkToOpen(item, link), std::nullopt) << item << " " << link;
    // The log keeps the text as it came.
    EXPECT_EQ(f.log.lines.front(), "> 2020-01-02 PM 03:04:05 see " + address + " now\n");
}
