// Stands in for the System Information tool: leaves NAME.mark beside itself (its own path with
// ".mark" added) and ends, so a test can see that it was started.
#include <windows.h>

#include <string>

int wmain() {
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (n == 0 || n == MAX_PATH)
        return 1;
    const std::wstring mark = std::wstring(self, n) + L".mark";
    HANDLE h = CreateFileW(mark.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(h, "started\r\n", 9, &written, nullptr);
    CloseHandle(h);
    return ok ? 0 : 1;
}
