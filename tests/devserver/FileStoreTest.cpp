// The store's rules on both kinds, and how the log file of the Windows build survives damage.
#include "devserver/FileStore.h"
#include "devserver/SqliteStore.h"
#include "devserver/Text.h"
#include "tests/core/support/Bytes.h"
#include "tests/core/support/TempFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace dravel::devserver;
using dravel::test::ReadFileBytes;
using dravel::test::TempFolder;
using dravel::test::WriteFileBytes;
namespace fs = std::filesystem;

namespace {

template <class T> class StoreContract : public ::testing::Test {
protected:
    std::unique_ptr<CStore> Open() { return std::make_unique<T>(dir.File("store")); }
    TempFolder dir{"devserver-store"};
};

using StoreKinds = ::testing::Types<CSqliteStore, CFileStore>;
TYPED_TEST_SUITE(StoreContract, StoreKinds);

} // namespace

// Both kinds answer alike, and what one session wrote the next one reads back.
TYPED_TEST(StoreContract, UsersFriendsMessagesOfflineAndFilesSurviveReopening) {
    // Wire bytes of every value, spaces, bars, line ends and NULs included.
    const std::string odd = std::string("a b|c\n\"d\"%e\r\0f", 15) + K("한글");
    {
        auto store = this->Open();
        EXPECT_TRUE(store->IsEmpty());
        store->AddDemoUsers();
        EXPECT_FALSE(store->AddUser({"kim", "x", "x", 1, false})) << "an ID is added once";
        EXPECT_TRUE(store->AddUser({odd, "pw", odd, 1, true}));
        EXPECT_FALSE(store->AddFriend("kim", "kim"));
        EXPECT_FALSE(store->AddFriend("kim", "nobody"));
        EXPECT_FALSE(store->AddFriend("kim", "lee")) << "the demo friendship exists";
        EXPECT_TRUE(store->AddFriend("kim", odd));
        EXPECT_TRUE(store->DeleteFriend("kim", "park"));
        EXPECT_FALSE(store->DeleteFriend("kim", "park"));

        store->Begin();
        for (int i = 0; i < 5; ++i)
            store->AddMessage({i % 2 ? "lee" : "kim", i % 2 ? "kim" : "lee", "m" + std::to_string(i), 1000 + i});
        store->AddMessage({"kim", odd, odd, 2000});
        store->Commit();
        store->QueueOffline("park", odd);
        store->QueueOffline("park", "second");

        int64_t a = store->AddFile({0, "kim", "lee", "a.txt", "20240102030405", -1});
        int64_t b = store->AddFile({0, "kim", "lee", "a.txt", "20240102030459", -1});
        EXPECT_NE(a, b);
        store->CompleteFile(a, 10);
        store->RemoveFile(b);
    }
    auto store = this->Open();
    EXPECT_FALSE(store->IsEmpty());
    ASSERT_TRUE(store->FindUser(odd));
    EXPECT_EQ(store->FindUser(odd)->strName, odd);
    EXPECT_TRUE(store->FindUser(odd)->bAdmin);
    std::vector<std::string> ids;
    for (const UserRow& u : store->AllUsers())
        ids.push_back(u.strId);
    EXPECT_EQ(ids, (std::vector<std::string>{odd, "kim", "lee", "park", "tervo"})) << "ordered by the ID's bytes";
    std::vector<std::string> friends;
    for (const UserRow& u : store->Friends("kim"))
        friends.push_back(u.strId);
    EXPECT_EQ(friends, (std::vector<std::string>{odd, "lee"}));

    EXPECT_EQ(store->MessageCount(), 6);
    std::vector<MessageRow> last = store->Conversation("lee", "kim", 3);
    ASSERT_EQ(last.size(), 3u);
    EXPECT_EQ(last[0].strText, "m2");
    EXPECT_EQ(last[2].strText, "m4");
    EXPECT_EQ(last[2].strSender, "kim");
    EXPECT_EQ(last[2].time, 1004);
    ASSERT_EQ(store->Conversation(odd, "kim", 10).size(), 1u);
    EXPECT_EQ(store->Conversation(odd, "kim", 10)[0].strText, odd);

    EXPECT_EQ(store->TakeOffline("park"), (std::vector<std::string>{odd, "second"}));
    EXPECT_TRUE(store->TakeOffline("park").empty()) << "taken once";

    EXPECT_TRUE(store->HasFileInMinute("kim", "lee", "a.txt", "202401020304"));
    EXPECT_FALSE(store->HasFileInMinute("kim", "lee", "a.txt", "202401020305"));
    std::optional<FileRow> file = store->FindFileByKey("kim", "lee", "a.txt", "202401020304");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->nSize, 10);
    EXPECT_EQ(file->strStamp, "20240102030405");
}

TYPED_TEST(StoreContract, RollbackForgetsTheTransaction) {
    auto store = this->Open();
    store->AddDemoUsers();
    store->Begin();
    store->AddMessage({"kim", "lee", "kept?", 1});
    store->QueueOffline("lee", "record");
    EXPECT_TRUE(store->InTransaction());
    store->Rollback();
    EXPECT_FALSE(store->InTransaction());
    EXPECT_EQ(store->MessageCount(), 0);
    EXPECT_TRUE(store->TakeOffline("lee").empty());
    EXPECT_TRUE(store->FindUser("kim")) << "what was committed before stays";
}

TEST(FileStore, AnUnfinishedLastLineIsDroppedAndTheLogGoesOn) {
    TempFolder dir{"devserver-store"};
    const std::string path = dir.File("store");
    {
        CFileStore store(path);
        store.AddDemoUsers();
        store.AddMessage({"kim", "lee", "whole", 1});
    }
    std::string bytes = ReadFileBytes(path);
    // A crash in the middle of writing the next message.
    WriteFileBytes(path, bytes + "M kim lee 2 half-writ");
    {
        CFileStore store(path);
        EXPECT_TRUE(store.RecoveredTail());
        EXPECT_EQ(store.MessageCount(), 1);
        store.AddMessage({"lee", "kim", "after", 3});
    }
    CFileStore store(path);
    EXPECT_FALSE(store.RecoveredTail());
    ASSERT_EQ(store.MessageCount(), 2);
    EXPECT_EQ(store.Conversation("kim", "lee", 5)[1].strText, "after");
}

TEST(FileStore, DamageOrAForeignFileIsRefusedAndLeftAsItIs) {
    TempFolder dir{"devserver-store"};
    const std::string path = dir.File("store");
    {
        CFileStore store(path);
        store.AddDemoUsers();
    }
    const std::string good = ReadFileBytes(path);
    const std::string header = std::string(CFileStore::kHeader) + "\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"sqlite", std::string("SQLite format 3\0\x10\0", 19)},
        {"other header", "dravelon-devserver-store 9\nU a b c 1 0\n"},
        {"unknown change", good + "X kim\n"},
        {"too few fields", good + "M kim lee 5\n"},
        {"too many fields", good + "F kim lee park\n"},
        {"bad number", good + "M kim lee soon text\n"},
        {"bad escape", good + "M kim lee 5 %G1\n"},
        {"cut escape", good + "M kim lee 5 abc%4\n"},
        {"raw control byte", good + "M kim lee 5 a\tb\n"},
        {"empty line", good + "\n"},
        {"header line end only", header.substr(0, header.size() - 1) + "\r\n"},
    };
    for (const auto& [name, bytes] : cases) {
        WriteFileBytes(path, bytes);
        try {
            CFileStore store(path);
            ADD_FAILURE() << name << ": opened";
        } catch (const StoreError& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << name << ": " << e.what();
        }
        EXPECT_EQ(ReadFileBytes(path), bytes) << name << ": the file was changed";
        EXPECT_THROW(CFileStore(path, CFileStore::Mode::ReadOnly), StoreError) << name;
    }
}

TEST(FileStore, ReaderIgnoresAHalfLineAndNeverWrites) {
    TempFolder dir{"devserver-store"};
    const std::string path = dir.File("store");
    {
        CFileStore store(path);
        store.AddDemoUsers();
    }
    const std::string bytes = ReadFileBytes(path) + "U choi pw na";
    WriteFileBytes(path, bytes);
    CFileStore reader(path, CFileStore::Mode::ReadOnly);
    EXPECT_TRUE(reader.FindUser("kim"));
    EXPECT_FALSE(reader.FindUser("choi"));
    EXPECT_THROW(reader.AddUser({"choi", "pw", "n", 1, false}), StoreError);
    EXPECT_EQ(ReadFileBytes(path), bytes);

    CFileStore missing(dir.File("none"), CFileStore::Mode::ReadOnly);
    EXPECT_TRUE(missing.IsEmpty());
    EXPECT_FALSE(fs::exists(dir.File("none")));
}

TEST(FileStore, AMostlyDeadLogIsRewrittenWithTheSameState) {
    TempFolder dir{"devserver-store"};
    const std::string path = dir.File("store");
    {
        CFileStore store(path);
        store.AddDemoUsers();
        store.AddMessage({"kim", "lee", "stays", 7});
        store.Begin();
        for (int i = 0; i < 3000; ++i) {
            store.QueueOffline("lee", "r" + std::to_string(i));
            store.TakeOffline("lee");
        }
        store.QueueOffline("lee", "waiting");
        int64_t id = store.AddFile({0, "kim", "lee", "f", "20240101000000", -1});
        store.CompleteFile(id, 3);
        store.Commit();
    }
    const auto before = fs::file_size(path);
    {
        CFileStore store(path);
        EXPECT_TRUE(store.Compacted());
        EXPECT_LT(fs::file_size(path), before / 10);
        EXPECT_FALSE(fs::exists(path + ".new"));
        store.AddMessage({"lee", "kim", "appended after the rewrite", 8});
    }
    CFileStore store(path);
    EXPECT_FALSE(store.Compacted());
    EXPECT_EQ(store.Conversation("kim", "lee", 10).size(), 2u);
    EXPECT_EQ(store.TakeOffline("lee"), std::vector<std::string>{"waiting"});
    EXPECT_EQ(store.Friends("kim").size(), 2u);
    ASSERT_TRUE(store.FindFileByKey("kim", "lee", "f", "202401010000"));
    int64_t next = store.AddFile({0, "kim", "lee", "g", "20240101000100", -1});
    EXPECT_GT(next, 1) << "file numbers are not handed out twice";
}
