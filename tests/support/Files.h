#pragma once
// Files and folders, text in code page 949, and server list files.
#include <windows.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

std::wstring MakeTempFolder(const std::wstring& prefix);
void RemoveFolder(const std::wstring& folder);
// A fresh temporary folder (path ends in a backslash), removed with all it holds when the scope ends, also when an
// assertion ends it early.
struct TempFolder {
    explicit TempFolder(const std::wstring& prefix) : path(MakeTempFolder(prefix)) {}
    ~TempFolder() { RemoveFolder(path); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring path;
};
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool ReadFileBytes(const std::wstring& path, std::string* bytes);
// The host path of a Windows path (Wine maps its drives onto it), or empty.
std::wstring UnixPath(const std::wstring& windowsPath);
bool CopyFileTo(const std::wstring& from, const std::wstring& to);
// The names of the files (not folders) in a folder ending in a backslash.
std::set<std::wstring> FilesIn(const std::wstring& folder);
// The folder of the test program, ending in a backslash.
std::wstring TestFolder();
// The build's program folder (dist), ending in a backslash.
std::wstring DistFolder();

// A second drive letter for a folder for the scope, as subst makes one: under Wine a
// link in the prefix's dosdevices. Letter() is 0 when none could be made.
class DriveLetter {
public:
    explicit DriveLetter(const std::wstring& folder);
    ~DriveLetter();
    DriveLetter(const DriveLetter&) = delete;
    DriveLetter& operator=(const DriveLetter&) = delete;
    wchar_t Letter() const { return m_letter; }
    // "X:\" followed by path.
    std::wstring Path(const std::wstring& path = L"") const { return std::wstring(1, m_letter) + L":\\" + path; }

private:
    wchar_t m_letter = 0;
    std::wstring m_link;  // host path of the link
};

// Converts UTF-16 to code page 949 bytes.
std::string ToCp949(const std::wstring& text);
std::string ToUtf8(const std::wstring& text);  // for messages

// Server list files: {name, address} as "name,address\r\n" lines in code page 949.
using ServerList = std::vector<std::pair<std::wstring, std::wstring>>;
bool WriteListFile(const std::wstring& path, const ServerList& servers);

// What a stand-in program recorded of its start ("cwd=...\r\nargs=...\r\n"), or
// empty after waitMs.
std::wstring StandInLog(const std::wstring& exe, DWORD waitMs);

}  // namespace testing_support
