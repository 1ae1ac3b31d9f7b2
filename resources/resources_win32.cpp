#include "resources/resources_win32.h"

#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstring>

#include "ui/win32/ui_win32.h"
#include "resources/resource_ids.h"

namespace trelvo::win32 {

HICON programIcon() {
    static HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(TRELVO_IDI_PROGRAM));
    return icon;
}

HCURSOR handCursor() {
    static HCURSOR cursor =
        LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(TRELVO_IDC_HAND));
    return cursor;
}

HBITMAP logoBitmap() {
    // OLE decodes the JPEG; the picture object owns the bitmap, so it is kept for the program's
    // life (it is small and shown by every About window).
    static IPicture* picture = [] {
        IPicture* result = nullptr;
        const std::string_view jpeg = resourceData(TRELVO_IDR_LOGO);
        if (jpeg.empty())
            return result;
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, jpeg.size());
        if (memory == nullptr)
            return result;
        std::memcpy(GlobalLock(memory), jpeg.data(), jpeg.size());
        GlobalUnlock(memory);
        IStream* stream = nullptr;
        if (SUCCEEDED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
            OleLoadPicture(stream, static_cast<LONG>(jpeg.size()), FALSE, IID_IPicture,
                           reinterpret_cast<void**>(&result));
            stream->Release();
        } else {
            GlobalFree(memory);
        }
        return result;
    }();
    if (picture == nullptr)
        return nullptr;
    OLE_HANDLE handle = 0;
    if (FAILED(picture->get_Handle(&handle)))
        return nullptr;
    return reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
}

std::string_view helpText() {
    return resourceData(TRELVO_IDR_HELP);
}

std::string_view disclaimerText() {
    return resourceData(TRELVO_IDR_DISCLAIMER);
}

}  // namespace trelvo::win32
