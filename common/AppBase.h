#pragma once
// What both programs' application objects share: the application name used as
// message-box caption, the main window, the profile over a bare INI file name
// (which resolves to the Windows folder) and the path helpers.
#include <windows.h>
#include <string>

class CAppBase {
public:
    // profileName is the bare file name of the private profile ("Orvn.INI").
    CAppBase(UINT titleStringId, const wchar_t* profileName);
    virtual ~CAppBase();
    CAppBase(const CAppBase&) = delete;
    CAppBase& operator=(const CAppBase&) = delete;

    // The one application object of the process, or null.
    static CAppBase* Get();

    const std::wstring& GetAppName() const { return m_appName; }
    void SetAppName(const std::wstring& name) { m_appName = name; }
    HWND GetMainWnd() const { return m_hMainWnd; }
    void SetMainWnd(HWND hwnd) { m_hMainWnd = hwnd; }

    // A message box captioned with the application name.
    int MessageBox(HWND owner, const std::wstring& text, UINT type) const;
    int MessageBox(const std::wstring& text, UINT type) const { return MessageBox(m_hMainWnd, text, type); }

    std::wstring GetProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue = L"") const;
    // False when the profile could not be written (read-only, say).
    bool WriteProfileString(const wchar_t* section, const wchar_t* key, const std::wstring& value) const;
    // Where the profile lives: the Windows folder and its bare name.
    std::wstring ProfilePath() const { return ProfileFilePath(m_profileName); }
    // Where the profile functions keep a profile: a bare name is a file of the
    // Windows folder, a path stays as it is.
    static std::wstring ProfileFilePath(const std::wstring& name);

    // Cuts a path directly after its last backslash; without one it stays.
    static void StripFileName(wchar_t* path);
    static void StripFileName(std::wstring& path);
    // TRUE when the path names an existing file: not a folder, no wildcards.
    static BOOL FileExists(const std::wstring& path);
    // A file's or folder's identity (volume serial, file index), whatever path names it.
    static bool FileIdentity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION* info);
    // The folder of this program's module, ending in a backslash.
    static std::wstring ProgramFolder();

    static std::wstring LoadString(UINT id);

    // Limits the DLL search of this process to the system folder, so a DLL
    // named like a system one and dropped beside the program is never loaded.
    // A program's first act: its delay-loaded imports load after it.
    static void LoadDllsFromSystemFolderOnly();

    // Runs the message loop until WM_QUIT; returns its exit code.
    static int RunMessageLoop();

private:
    // Makes the profile a UTF-16 file (byte-order mark first), which the
    // profile functions then keep, so text survives any system code page.
    // An ANSI profile is converted from the code page it was written in.
    // False when the profile cannot be written.
    bool MakeProfileUnicode() const;

    std::wstring m_appName;
    std::wstring m_profileName;
    HWND m_hMainWnd = nullptr;
};
