#include "core/portal/PageOrigin.h"
#include "core/portal/PortalMenu.h"
#include "core/portal/ScriptFunctions.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Every window a page asks for must be one a window can have.
constexpr const char* kHost = "127.0.0.1";

class CheckingHost : public dravel::ScriptHost {
public:
    bool IsCustomBrowser() override { return true; }
    void IdleLogout() override {}
    void CustomFunction() override {}
    void CustomFunctionWithParams(const std::string&, int32_t) override {}
    // A pop-up only ever opens on the portal.
    void OpenPortalPopup(const dravel::PortalPopupRequest& r) override {
        Check(r);
        if (!dravel::IsPortalPage(r.strUrl, kHost))
            abort();
    }
    void ShowPortalWindow(const dravel::PortalPopupRequest& r) override { Check(r); }
    void ShowChatList() override {}
    void ReLogin() override {}
    void CloseActiveWindow() override {}

private:
    static void Check(const dravel::PortalPopupRequest& r) {
        constexpr int32_t kMax = dravel::kMaxWindowExtent;
        if (r.nWidth < 0 || r.nHeight < 0 || r.nWidth > kMax || r.nHeight > kMax || r.nLeft < -kMax || r.nLeft > kMax ||
            r.nTop < -kMax || r.nTop > kMax)
            abort();
    }
};

} // namespace

// Input: id byte, flags byte, then arguments: a kind byte (0 text, 1 number, else other) followed by a
// length byte and that many text bytes, or four number bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const int32_t id = static_cast<int8_t>(data[0]);
    const uint16_t flags = data[1];
    std::vector<dravel::ScriptArg> args;
    size_t i = 2;
    while (i < size) {
        const uint8_t kind = data[i++];
        if (kind == 0 && i < size) {
            const size_t len = data[i++];
            const size_t n = std::min(len, size - i);
            args.push_back(dravel::ScriptArg::Text(std::string(reinterpret_cast<const char*>(data + i), n)));
            i += n;
        } else if (kind == 1 && i + 4 <= size) {
            int32_t v = 0;
            std::memcpy(&v, data + i, 4);
            args.push_back(dravel::ScriptArg::Number(v));
            i += 4;
        } else {
            args.push_back(dravel::ScriptArg::Other());
        }
    }
    CheckingHost host;
    const dravel::ScriptResult r = dravel::InvokeScriptFunction(id, flags, args, host, kHost);
    if (r.status != dravel::ScriptStatus::Ok && r.nBadArg >= args.size() &&
        r.status != dravel::ScriptStatus::BadParamCount)
        abort();
    return 0;
}
