// uidriver: drives the windows of another process for end-to-end tests.
//
//   uidriver <verb> key=value...        one command; prints one JSON line; exit 0 ok, 1 failed, 2 usage
//   uidriver --serve                    one command per stdin line, verb and key=value fields separated
//                                       by TAB; one JSON line per command on stdout; "quit" or EOF ends
//
// Every answer is {"ok":true,...} or {"ok":false,"error":"...",...}; all text is UTF-8.
//
// The driver reaches a program only as a user or another program could: its windows and their messages
// (the lists' item-copy message among them), the registry, and the process lists; never its memory.
#include "tests/e2e/uidriver/Driver.h"

#include <cstdio>

namespace {

const Verb kVerbs[] = {
    {L"ping", nullptr, L"", false},
    {L"list", VerbList, L"children", true},
    {L"find", VerbFind, L"timeout", true},
    {L"wait", VerbWait, L"timeout", true},
    {L"wait-gone", VerbWaitGone, L"timeout", true},
    {L"get-text", VerbGetText, L"wait,timeout", true},
    {L"wait-text", VerbWaitText, L"timeout,text,text-has", true},
    {L"set-text", VerbSetText, L"wait,timeout,text", true},
    {L"click", VerbClick, L"wait,timeout,sync,force", true},
    {L"command", VerbCommand, L"wait,timeout,sync,cmd,code,lparam", true},
    {L"syscommand", VerbSysCommand, L"wait,timeout,sync,cmd,lparam", true},
    {L"post", VerbPost, L"wait,msg,wparam,lparam", true},
    {L"send", VerbSend, L"wait,timeout,msg,wparam,lparam", true},
    {L"key", VerbKey, L"wait,timeout,vk,chars,sync", true},
    {L"close", VerbClose, L"wait", true},
    {L"foreground", VerbForeground, L"", false},
    {L"work-area", VerbWorkArea, L"", false},
    {L"activate", VerbActivate, L"wait", true},
    {L"copydata", VerbCopyData, L"wait,timeout,data,text", true},
    {L"msgbox", VerbMsgBox, L"pid,title,title-has,text,text-has,timeout,press,gone-timeout", false},
    {L"reg-set", VerbRegSet, L"root,key,name,sz,dword", false},
    {L"reg-get", VerbRegGet, L"root,key,name", false},
    {L"reg-delete", VerbRegDelete, L"root,key,name", false},
    {L"pids", VerbPids, L"pid,name", false},
    {L"kill", VerbKill, L"pid,name,code,timeout", false},
    {L"wait-exit", VerbWaitExit, L"pid,name,timeout", false},
    {L"launch", VerbLaunch, L"cmdline,cwd", false},
    {L"cmdline", VerbCmdline, L"pid", false},
    {L"mutex-hold", VerbMutexHold, L"name,timeout", false},
    {L"mutex-release", VerbMutexRelease, L"name", false},
    {L"focus", VerbFocus, L"pid", false},
    {L"clipboard", VerbClipboard, L"files", false},
    {L"drop", VerbDrop, L"wait,file", true},
    {L"list-items", VerbListItems, L"wait", true},
    {L"html-items", VerbHtmlItems, L"wait,first,count", true},
    {L"acc-items", VerbAccItems, L"wait", true},
    {L"type", VerbType, L"keys,text", false},
    {L"select-tab", VerbSelectTab, L"wait,index,force", true},
    {L"mouse", VerbMouse, L"wait,x,y,button", true},
    {L"move", VerbMove, L"wait,x,y,width,height", true},
};

std::string Failure(const std::string& message, const JsonObject& details) {
    std::string out = "{\"ok\":false,\"error\":" + JsonString(FromUtf8(message));
    if (!details.Body().empty())
        out += "," + details.Body();
    return out + "}";
}

// Runs one command; returns its JSON answer and whether it succeeded.
std::string Run(const std::vector<std::wstring>& words, bool& ok) {
    ok = false;
    if (words.empty() || words[0].empty())
        return Failure("empty command", {});
    try {
        for (const Verb& verb : kVerbs) {
            if (words[0] != verb.name)
                continue;
            Args args(std::vector<std::wstring>(words.begin() + 1, words.end()));
            args.CheckKnown(verb.name, verb.selector ? std::wstring(kSelectorKeys) + L"," + verb.keys : verb.keys);
            JsonObject result = verb.fn ? verb.fn(args) : JsonObject{};
            ok = true;
            return "{\"ok\":true" + (result.Body().empty() ? std::string() : "," + result.Body()) + "}";
        }
        return Failure("unknown verb: " + ToUtf8(words[0]), {});
    } catch (const DriverError& e) {
        return Failure(e.what(), e.m_details);
    } catch (const std::exception& e) {
        return Failure(std::string("internal error: ") + e.what(), {});
    }
}

// Raw bytes to the standard output, whatever the console code page.
void WriteLine(const std::string& line) {
    std::string data = line + "\n";
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    for (size_t done = 0; done < data.size(); done += written) {
        if (!WriteFile(out, data.data() + done, static_cast<DWORD>(data.size() - done), &written, nullptr) ||
            written == 0)
            ExitProcess(3); // the reader has gone
    }
}

std::vector<std::wstring> SplitTabs(const std::wstring& line) {
    std::vector<std::wstring> words;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find(L'\t', start);
        words.push_back(line.substr(start, tab - start));
        if (tab == std::wstring::npos)
            return words;
        start = tab + 1;
    }
}

int Serve() {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    std::string pending;
    char buf[4096];
    for (;;) {
        size_t newline;
        while ((newline = pending.find('\n')) == std::string::npos) {
            DWORD got = 0;
            if (!ReadFile(in, buf, sizeof buf, &got, nullptr) || got == 0)
                return 0;
            pending.append(buf, got);
        }
        std::string line = pending.substr(0, newline);
        pending.erase(0, newline + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        if (line == "quit") {
            WriteLine("{\"ok\":true}");
            return 0;
        }
        bool ok = false;
        WriteLine(Run(SplitTabs(FromUtf8(line)), ok));
    }
}

void Usage() {
    std::string verbs;
    for (const Verb& verb : kVerbs)
        verbs += " " + ToUtf8(verb.name);
    WriteLine("usage: uidriver <verb> key=value... | uidriver --serve\nverbs:" + verbs);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 2 && std::wstring(argv[1]) == L"--serve")
        return Serve();
    if (argc < 2 || std::wstring(argv[1]) == L"--help") {
        Usage();
        return 2;
    }
    bool ok = false;
    WriteLine(Run(std::vector<std::wstring>(argv + 1, argv + argc), ok));
    return ok ? 0 : 1;
}
