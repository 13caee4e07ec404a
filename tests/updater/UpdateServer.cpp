#include <winsock2.h>

#include "UpdateServer.h"

#include <sstream>

#include "AppBase.h"
#include "TestSupport.h"
#include "UniqueHandle.h"

namespace testing_support {

std::string UnixPath(const std::wstring& windowsPath) {
    using Fn = char*(CDECL*)(LPCWSTR);
    auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unix = fn ? fn(windowsPath.c_str()) : nullptr;
    if (!unix) return std::string();
    std::string result = unix;
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return result;
}

namespace {
bool StartHostProgram(std::wstring cmd) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    UniqueKernelHandle thread(pi.hThread), process(pi.hProcess);
    return true;
}
}  // namespace

bool UpdateServer::Start(const std::wstring& releaseFolder, const std::vector<std::wstring>& faults, bool refuse) {
    m_strFolder = MakeTempFolder(L"orvn-server-");
    std::wstring portFile = m_strFolder + L"port.txt";
    // Wine hands a host program its arguments as they are: host paths.
    std::wstring script = std::wstring(ORVN_SOURCE_DIR) + L"/tools/update_server.py";
    auto quote = [](const std::string& s) { return L"\"" + FromCp949(s) + L"\""; };
    std::wstring cmd = L"Z:\\usr\\bin\\python3 \"" + script + L"\" --root " + quote(UnixPath(releaseFolder)) +
                       L" --port-file " + quote(UnixPath(m_strFolder) + "/port.txt") + L" --log " +
                       quote(UnixPath(m_strFolder) + "/requests.log") + L" --max-seconds 900";
    for (const auto& fault : faults) cmd += L" --fault \"" + fault + L"\"";
    if (refuse) cmd += L" --refuse";
    // Wine gives no handle to wait on a host program: the port file says it is ready, /_quit ends it.
    if (!StartHostProgram(cmd)) return false;
    std::string text;
    if (!PumpUntil([&] { return ReadFileBytes(portFile, &text) && !text.empty(); }, 20000)) return false;
    m_nPort = std::stoi(text);
    m_bRunning = !refuse;
    return m_nPort > 0;
}

void UpdateServer::Stop() {
    if (!m_bRunning) return;
    m_bRunning = false;
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<u_short>(m_nPort));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0) {
        const char request[] = "GET /_quit HTTP/1.0\r\n\r\n";
        ::send(s, request, sizeof(request) - 1, 0);
        char buffer[256];
        while (::recv(s, buffer, sizeof(buffer), 0) > 0) continue;
    }
    ::closesocket(s);
}

std::wstring UpdateServer::Url(const std::wstring& name) const {
    return L"http://127.0.0.1:" + std::to_wstring(m_nPort) + L"/quilla/" + name;
}

std::vector<std::string> UpdateServer::Requests() const {
    std::string text;
    std::vector<std::string> lines;
    if (!ReadFileBytes(m_strFolder + L"requests.log", &text)) return lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

int UpdateServer::CountRequests(const std::wstring& name) const {
    std::string utf8 = ToUtf8(name);
    int count = 0;
    for (const auto& line : Requests()) {
        size_t at = line.find(" /quilla/");
        if (at != std::string::npos && line.substr(at + 9) == utf8) ++count;
    }
    return count;
}

namespace {
const wchar_t kInternetSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
}

ProxySetting::ProxySetting(int port) {
    DWORD enable = 1;
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kInternetSettings, L"ProxyEnable", REG_DWORD, &enable, sizeof(enable));
    SetRegistryString(HKEY_CURRENT_USER, kInternetSettings, L"ProxyServer", L"127.0.0.1:" + std::to_wstring(port));
}

void ProxySetting::TurnOff() {
    DWORD enable = 0;
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kInternetSettings, L"ProxyEnable", REG_DWORD, &enable, sizeof(enable));
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kInternetSettings, L"ProxyServer");
}

std::string FileBytes(const std::wstring& path) {
    std::string bytes;
    return ReadFileBytes(path, &bytes) ? bytes : "<no file " + ToUtf8(path) + ">";
}

bool WriteManifest(const std::wstring& path, const std::vector<ManifestEntry>& entries, int total) {
    std::wstring text =
        L"[Count]\r\nTotal=" + std::to_wstring(total >= 0 ? total : static_cast<int>(entries.size())) + L"\r\n";
    for (size_t i = 0; i < entries.size(); ++i)
        text += L"[File" + std::to_wstring(i + 1) + L"]\r\nFilename=" + entries[i].name + L"\r\nFileversion=" +
                entries[i].version + L"\r\nFilesize=" + std::to_wstring(entries[i].size) + L"\r\n";
    // The manifest is ANSI text of a Korean system.
    return WriteFileBytes(path, ToCp949(text));
}

bool RunReleaseTool(const std::vector<std::string>& args, const std::wstring& releaseFolder) {
    std::wstring signature = releaseFolder + L"version.ini.sig";
    ::DeleteFileW(signature.c_str());
    std::wstring cmd = L"Z:\\usr\\bin\\python3 \"" + std::wstring(ORVN_SOURCE_DIR) + L"/tools/release.py\"";
    for (const auto& arg : args) cmd += L" \"" + FromCp949(arg) + L"\"";
    if (!StartHostProgram(cmd)) return false;
    // The tool writes the signature last, in one rename.
    return PumpUntil([&] { return CAppBase::FileExists(signature); }, 30000);
}

std::wstring RecordedVersion(const std::wstring& name) {
    wchar_t text[512] = {};
    ::GetPrivateProfileStringW(L"Version", name.c_str(), L"", text, 512, L"start.INI");
    return text;
}

int LauncherStarts(const std::wstring& programFolder) {
    std::string log;
    PumpUntil([&] { return ReadFileBytes(programFolder + L"Orvn.exe.log", &log); }, 10000);
    int n = 0;
    for (size_t at = 0; (at = log.find("started", at)) != std::string::npos; ++at) ++n;
    return n;
}

}  // namespace testing_support
