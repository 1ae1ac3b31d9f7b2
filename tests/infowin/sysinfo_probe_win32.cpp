// Opens the About window on the machine's own registry and clicks "System Info...", as a user
// would; prints each message box it would have shown ("box|TEXT|TITLE") instead of showing it.
// The registry test changes the keys around it with `wine reg`.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <cstdio>

#include "engine/report.h"
#include "infowin/frmAbout_win32.h"

int wmain() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int boxes = 0;
    trelvo::win32::MessageBoxes::setRecorder([&boxes](HWND, const trelvo::Report& r) {
        std::printf("box|%s|%s\n", r.text.c_str(), r.title.c_str());
        ++boxes;
    });
    {
        trelvo::win32::frmAbout about(nullptr);
        SendMessageW(about.cmdSysInfo, BM_CLICK, 0, 0);
    }
    std::fflush(stdout);
    CoUninitialize();
    return boxes == 0 ? 0 : 1;
}
