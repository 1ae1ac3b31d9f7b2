// trelvo.exe: shows the main window; the program ends when that window is closed.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "mainwin/frmtrelvo_win32.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // The About window's logo is decoded by OLE.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    int status = 0;
    {
        trelvo::win32::frmTrelvo window;
        window.show();
        status = trelvo::win32::runMessageLoop();
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return status;
}
