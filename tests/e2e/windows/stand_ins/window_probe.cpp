// Tells the Windows end-to-end tests what Windows itself says of the launcher's window, which X11
// does not show: "enabled=<0|1> foreground=<0|1>\n" on standard output for the window of the class
// "PellamoorLauncherMain" (run under Wine in the launcher's prefix). Exits 2 when there is none.
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

#include <cstdio>

int wmain()
{
    HWND launcher = FindWindowW(L"PellamoorLauncherMain", nullptr);
    if (!launcher)
        return 2;
    std::printf("enabled=%d foreground=%d\n", IsWindowEnabled(launcher) ? 1 : 0, GetForegroundWindow() == launcher ? 1 : 0);
    return 0;
}
