// A DLL that must never be loaded: planted beside the program, or in the
// current folder, under the name of a system DLL (hhctrl.ocx). When it is
// loaded it leaves planted-dll-ran.txt beside itself.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[MAX_PATH + 32] = {};
        DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
        while (n > 0 && path[n - 1] != L'\\')
            --n;
        lstrcpyW(path + n, L"planted-dll-ran.txt");
        CloseHandle(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    return TRUE;
}

extern "C" __declspec(dllexport) HWND WINAPI HtmlHelpW(HWND, LPCWSTR, UINT, DWORD_PTR) {
    return nullptr;
}
