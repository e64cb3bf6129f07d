#include "win/app/MessengerApp.h"
#include "win/base/Debug.h"

#include <objbase.h>

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR pszCmdLine, int) {
    try {
        dravel::win::App().InitInstance(hInstance, pszCmdLine);
    } catch (...) {
        dravel::win::TraceCaughtException(L"start-up");
    }
    return 0;
}
