// The development messenger server: see README.md beside this file.
#include "devserver/DevCertificates.h"
#include "devserver/FileStore.h"
#include "devserver/Server.h"
#include "devserver/Store.h"
#include "devserver/Text.h"
#include "devserver/WebPages.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace dravel::devserver;

namespace {

constexpr uint16_t kHttpsPort = 443;

const char kUsage[] = R"(usage: devserver [options]
       devserver [--db PATH] --add-user ID PASSWORD NAME [--admin]
       devserver [--db PATH] --add-friend ID FRIEND_ID
       devserver --make-dev-ca DIR --host HOST [--cert-name NAME] [--expired]

  --db PATH              database file (default dravelon-dev.db); created with demo users when new
  --files DIR            stored files (default: the database path followed by ".files")
  --bind ADDRESS         address of the messenger, file and web ports (default 127.0.0.1)
  --messenger-port N     default 8200      --upload-port N     default 8201
  --download-port N      default 8202      --http-port N       default 80
  --control-port N       default 8203 (always on 127.0.0.1)
                         a port of 0 takes a free one; the ports in use are printed at start
  --no-http, --no-control
  --list-form FORM       "collected" (one COM_CHATLIST_COLLECT text, default) or "entries"
                         (COM_CHAT_LIST records closed by COM_CHAT_LIST_END)
  --update-file PATH     served as /Update/TamixUpdate.exe (404 without it)
  --transcript PATH      JSON line per record in and out, and per connection event
  --idle-logout SECONDS  the pages' idle logout (default 1200)
  --history-limit N      messages in a history reply (default 100)
  --signin-timeout S     drop a connection without sign-in after S seconds (default 30)
  --partial-timeout S    drop a connection that leaves half a record for S seconds (default 30)
  --bench-users N        makes users bench1..benchN (password "bench") when missing
  --tls-cert PEM --tls-key PEM
                         the messenger and file ports speak TLS with this certificate (chain) and key,
                         and the pages are https (on port 443 unless --http-port says otherwise)
  --make-dev-ca DIR      makes DIR/ca.pem (a development certificate authority, kept when present) and
                         DIR/NAME.pem + NAME.key (default "server") for --host; --expired makes one
                         that ran out yesterday. DIR/ca.reg adds the authority to a Wine prefix's
                         trusted roots (wine regedit DIR/ca.reg)
NAME and the control's values are UTF-8; the wire carries code page 949.
)";

bool ParsePort(const char* text, uint16_t& port) {
    unsigned value = 0;
    auto [end, ec] = std::from_chars(text, text + std::strlen(text), value);
    if (ec != std::errc() || *end != '\0' || value > 65535)
        return false;
    port = static_cast<uint16_t>(value);
    return true;
}

bool ParseCount(const char* text, int& value) {
    auto [end, ec] = std::from_chars(text, text + std::strlen(text), value);
    return ec == std::errc() && *end == '\0' && value >= 0;
}

int Fail(const std::string& text) {
    std::fprintf(stderr, "devserver: %s\n", text.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    ServerOptions options;
    WebOptions web;
    bool bHttpPortGiven = false;
    std::string dbPath = "dravelon-dev.db";
    std::string filesDir;
    bool bHttp = true;
    int benchUsers = 0;
    std::vector<std::string> addUser;
    std::vector<std::string> addFriend;
    bool bAdmin = false;
    DevCertificateRequest certificates;

    std::vector<std::string> args(argv + 1, argv + argc);
    auto value = [&](size_t& i) -> const char* {
        if (i + 1 >= args.size())
            return nullptr;
        return args[++i].c_str();
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const char* v = nullptr;
        auto port = [&](uint16_t& target) { return (v = value(i)) && ParsePort(v, target); };
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--db" && (v = value(i))) {
            dbPath = v;
        } else if (a == "--files" && (v = value(i))) {
            filesDir = v;
        } else if (a == "--bind" && (v = value(i))) {
            options.strBind = v;
            web.strBind = v;
        } else if (a == "--messenger-port") {
            if (!port(options.nMessengerPort))
                return Fail("bad --messenger-port");
        } else if (a == "--upload-port") {
            if (!port(options.nUploadPort))
                return Fail("bad --upload-port");
        } else if (a == "--download-port") {
            if (!port(options.nDownloadPort))
                return Fail("bad --download-port");
        } else if (a == "--http-port") {
            if (!port(web.nPort))
                return Fail("bad --http-port");
            bHttpPortGiven = true;
        } else if (a == "--control-port") {
            if (!port(options.nControlPort))
                return Fail("bad --control-port");
        } else if (a == "--no-http") {
            bHttp = false;
        } else if (a == "--no-control") {
            options.bControl = false;
        } else if (a == "--list-form" && (v = value(i))) {
            if (std::strcmp(v, "collected") == 0)
                options.messenger.listForm = ListForm::Collected;
            else if (std::strcmp(v, "entries") == 0)
                options.messenger.listForm = ListForm::Entries;
            else
                return Fail("--list-form takes collected or entries");
        } else if (a == "--update-file" && (v = value(i))) {
            web.strUpdateFile = v;
        } else if (a == "--transcript" && (v = value(i))) {
            options.strTranscript = v;
        } else if (a == "--idle-logout" && (v = value(i))) {
            if (!ParseCount(v, web.nIdleSeconds))
                return Fail("bad --idle-logout");
        } else if (a == "--history-limit" && (v = value(i))) {
            if (!ParseCount(v, options.messenger.nHistoryLimit))
                return Fail("bad --history-limit");
        } else if (a == "--signin-timeout" && (v = value(i))) {
            if (!ParseCount(v, options.nSignInSeconds))
                return Fail("bad --signin-timeout");
        } else if (a == "--partial-timeout" && (v = value(i))) {
            if (!ParseCount(v, options.nPartialSeconds))
                return Fail("bad --partial-timeout");
        } else if (a == "--bench-users" && (v = value(i))) {
            if (!ParseCount(v, benchUsers))
                return Fail("bad --bench-users");
        } else if (a == "--add-user" && i + 3 < args.size()) {
            addUser.assign(args.begin() + i + 1, args.begin() + i + 4);
            i += 3;
        } else if (a == "--add-friend" && i + 2 < args.size()) {
            addFriend.assign(args.begin() + i + 1, args.begin() + i + 3);
            i += 2;
        } else if (a == "--tls-cert" && (v = value(i))) {
            options.strTlsCertificate = v;
        } else if (a == "--tls-key" && (v = value(i))) {
            options.strTlsKey = v;
        } else if (a == "--make-dev-ca" && (v = value(i))) {
            certificates.strDir = v;
        } else if (a == "--host" && (v = value(i))) {
            certificates.strHost = v;
        } else if (a == "--cert-name" && (v = value(i))) {
            certificates.strName = v;
        } else if (a == "--expired") {
            certificates.bExpired = true;
        } else if (a == "--admin") {
            bAdmin = true;
        } else {
            std::fputs(kUsage, stderr);
            return Fail("unknown or incomplete option: " + a);
        }
    }
    if (filesDir.empty())
        filesDir = dbPath + ".files";
    if (!certificates.strDir.empty()) {
#ifdef DEVSERVER_WITH_TLS
        if (certificates.strHost.empty())
            return Fail("--make-dev-ca needs --host");
        std::string error;
        if (!MakeDevCertificates(certificates, error))
            return Fail(error);
        std::printf("devserver: %s/%s.pem and .key for %s, signed by %s/ca.pem\n", certificates.strDir.c_str(),
                    certificates.strName.c_str(), certificates.strHost.c_str(), certificates.strDir.c_str());
        return 0;
#else
        return Fail("this build has no TLS");
#endif
    }
    if (options.strTlsCertificate.empty() != options.strTlsKey.empty())
        return Fail("--tls-cert and --tls-key go together");

    try {
        bool bNew = !std::filesystem::exists(dbPath);
        std::unique_ptr<CStore> pStore = OpenStore(dbPath);
        CStore& store = *pStore;
        if (auto* fileStore = dynamic_cast<CFileStore*>(pStore.get()); fileStore && fileStore->RecoveredTail())
            std::fprintf(stderr, "devserver: %s: the last change was cut short (a crash?) and was dropped\n",
                         dbPath.c_str());
        if (bNew && store.IsEmpty())
            store.AddDemoUsers();

        if (!addUser.empty()) {
            UserRow user{Utf8ToCp949(addUser[0]), Utf8ToCp949(addUser[1]), Utf8ToCp949(addUser[2]), 1, bAdmin};
            if (user.strId.empty() || user.strName.empty())
                return Fail("the ID and the name may not be empty");
            if (!store.AddUser(user))
                return Fail("user " + addUser[0] + " exists already");
            std::printf("devserver: added user %s\n", addUser[0].c_str());
            return 0;
        }
        if (!addFriend.empty()) {
            if (!store.AddFriend(Utf8ToCp949(addFriend[0]), Utf8ToCp949(addFriend[1])))
                return Fail("cannot add the friendship (unknown user, same user or already friends)");
            std::printf("devserver: %s now lists %s as a friend\n", addFriend[0].c_str(), addFriend[1].c_str());
            return 0;
        }
        for (int n = 1; n <= benchUsers; ++n) {
            std::string id = "bench" + std::to_string(n);
            store.AddUser({id, "bench", id, 1, false});
        }

        std::filesystem::create_directories(filesDir);
        options.messenger.strFilesDir = filesDir;
        options.bHandleSignals = true;
        CDevServer server(store, options);
        server.Listen();

        web.strDatabase = dbPath;
        // With a certificate the pages are https too, on its port unless another was asked for.
        web.strTlsCertificate = options.strTlsCertificate;
        web.strTlsKey = options.strTlsKey;
        if (!options.strTlsCertificate.empty() && !bHttpPortGiven)
            web.nPort = kHttpsPort;
        CWebServer webServer(web);
        uint16_t httpPort = 0;
        if (bHttp) {
            std::string error;
            if (webServer.Start(error))
                httpPort = webServer.Port();
            else
                std::fprintf(stderr, "devserver: web pages off: %s\n", error.c_str());
        }
        std::printf("devserver: listening messenger=%u upload=%u download=%u http=%u control=%u%s\n",
                    server.MessengerPort(), server.UploadPort(), server.DownloadPort(), httpPort, server.ControlPort(),
                    options.strTlsCertificate.empty() ? "" : " tls");
        std::fflush(stdout);
        server.Run();
        webServer.Stop();
        std::printf("devserver: stopped\n");
        return 0;
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
}
