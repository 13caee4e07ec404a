// msvfw32.dll, to be dropped beside the programs: loading it leaves "<its own
// path>.loaded". It exports what the programs call from the real one
// (PlantedDll.def), each failing, so a loader that picked it would bind the
// programs' calls to it.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH + 8] = {};
    DWORD length = ::GetModuleFileNameW(instance, path, MAX_PATH);
    lstrcpyW(path + length, L".loaded");
    HANDLE marker = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE) ::CloseHandle(marker);
    return TRUE;
}

extern "C" {
HANDLE WINAPI PlantedDrawDibOpen() { return nullptr; }
BOOL WINAPI PlantedDrawDibClose(HANDLE) { return FALSE; }
BOOL WINAPI PlantedDrawDibEnd(HANDLE) { return FALSE; }
BOOL WINAPI PlantedDrawDibDraw(HANDLE, HDC, int, int, int, int, void*, void*, int, int, int, int, UINT) {
    return FALSE;
}
}
