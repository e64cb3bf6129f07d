#include "app/MessengerApp.h"
#include "base/Debug.h"

#include <objbase.h>

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR pszCmdLine, int) {
    try {
        dravel::win::App().InitInstance(hInstance, pszCmdLine);
    } catch (...) {
        dravel::win::TraceCaughtException(L"start-up");
    }
    return 0;
}
