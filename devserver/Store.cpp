#include "devserver/Store.h"

#include "devserver/FileStore.h"
#include "devserver/Text.h"

#ifdef DEVSERVER_WITH_SQLITE
#include "devserver/SqliteStore.h"
#endif

namespace dravel::devserver {

void CStore::AddDemoUsers() {
    const UserRow users[] = {
        {"kim", "kim123", K("김철수"), 1, false},
        {"lee", "lee123", K("이영희"), 1, false},
        {"park", "park123", K("박민수"), 1, false},
        {"tervo", "tervo123", K("관리자"), 1, true},
    };
    const bool bOwnTransaction = !InTransaction();
    if (bOwnTransaction)
        Begin();
    for (const UserRow& u : users)
        AddUser(u);
    for (const UserRow& a : users)
        for (const UserRow& b : users)
            if (a.strId != b.strId && !a.bAdmin && !b.bAdmin)
                AddFriend(a.strId, b.strId);
    if (bOwnTransaction)
        Commit();
}

std::unique_ptr<CStore> OpenStore(const std::string& strPath) {
#ifdef DEVSERVER_WITH_SQLITE
    return std::make_unique<CSqliteStore>(strPath);
#else
    return std::make_unique<CFileStore>(strPath);
#endif
}

std::unique_ptr<CStore> OpenStoreForReading(const std::string& strPath) {
#ifdef DEVSERVER_WITH_SQLITE
    return std::make_unique<CSqliteStore>(strPath);
#else
    return std::make_unique<CFileStore>(strPath, CFileStore::Mode::ReadOnly);
#endif
}

} // namespace dravel::devserver
