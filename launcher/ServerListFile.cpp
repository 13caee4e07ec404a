#include "ServerListFile.h"

#include "CodePage.h"
#include "UniqueHandle.h"

bool CServerListFile::ParseLine(const std::string& line, ServerLine& out) {
    size_t comma = line.find(',');
    if (comma == std::string::npos) return false;
    // Split at the first comma only; nothing is trimmed.
    out.name = CodePage::ToWide(line.substr(0, comma));
    out.address = CodePage::ToWide(line.substr(comma + 1));
    return true;
}

std::vector<ServerLine> CServerListFile::Parse(const std::string& bytes) {
    std::vector<ServerLine> lines;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        size_t next = end == std::string::npos ? bytes.size() : end + 1;
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) break;
        ServerLine server;
        if (ParseLine(line, server)) lines.push_back(std::move(server));
        pos = next;
    }
    return lines;
}

bool CServerListFile::Read(const std::wstring& path, std::vector<ServerLine>& lines) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::string bytes;
    char buffer[1024];
    DWORD read = 0;
    while (::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
    lines = Parse(bytes);
    return true;
}

bool CServerListFile::ReadWithRest(const std::wstring& path, std::vector<ServerLine>& lines, std::string& rest) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::string bytes;
    char buffer[1024];
    DWORD read = 0;
    for (;;) {
        if (!::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr)) return false;
        if (read == 0) break;
        bytes.append(buffer, read);
    }
    size_t restStart = FirstEmptyLine(bytes);
    lines = Parse(bytes.substr(0, restStart));
    rest = bytes.substr(restStart);
    return true;
}

size_t CServerListFile::FirstEmptyLine(const std::string& bytes) {
    for (size_t pos = 0; pos < bytes.size();) {
        // A line that is nothing but its end ("\r" alone only as the last one).
        if (bytes[pos] == '\n' || (bytes[pos] == '\r' && (pos + 1 == bytes.size() || bytes[pos + 1] == '\n')))
            return pos;
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return bytes.size();
}

const wchar_t* CServerListFile::NameProblem(const std::wstring& name) {
    if (name.find(L',') != std::wstring::npos) return L"서버 이름에는 쉼표(,)를 쓸 수 없습니다.";
    if (name.find_first_of(L"\r\n") != std::wstring::npos) return L"서버 이름에는 줄바꿈을 쓸 수 없습니다.";
    if (!CodePage::CanRepresent(name)) return L"서버 이름에 저장할 수 없는 문자가 있습니다.";
    return nullptr;
}

bool CServerListFile::Write(const std::wstring& path, const std::vector<ServerLine>& lines) {
    return WriteWithRest(path, lines, std::string());
}

bool CServerListFile::WriteWithRest(const std::wstring& path, const std::vector<ServerLine>& lines,
                                    const std::string& rest) {
    std::string bytes;
    for (const auto& line : lines) bytes += CodePage::FromWide(line.name) + "," + CodePage::FromWide(line.address) + "\r\n";
    bytes += rest;

    // A read-only list stays as it is (the rename below would not ask).
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return false;

    std::wstring temp = path + L".new";
    {
        UniqueFileHandle file(
            ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        DWORD written = 0;
        if (!::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size()) {
            file.Reset();
            ::DeleteFileW(temp.c_str());
            return false;
        }
    }
    if (!::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        ::DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}
