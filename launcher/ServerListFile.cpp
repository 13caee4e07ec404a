#include "ServerListFile.h"

#include "CodePage.h"
#include "UniqueHandle.h"

bool CServerListFile::ParseLine(const std::string& line, ServerLine& out) {
    size_t comma = line.find(',');
    if (comma == std::string::npos) return false;
    // Split at the first comma only; nothing is trimmed. A NUL byte ends a
    // field: the list would show nothing after it, so nothing after it is kept.
    auto field = [](const std::string& text) { return CodePage::ToWide(text.substr(0, text.find('\0'))); };
    out.name = field(line.substr(0, comma));
    out.address = field(line.substr(comma + 1));
    return true;
}

namespace {

// Splits bytes into lines as they arrive, whatever the chunk boundaries: line
// ends CR LF, LF or CR alone stripped, lines longer than kMaxLineBytes cut, and nothing
// taken after the first empty line or the kMaxServers-th server.
class CLineSplitter {
public:
    explicit CLineSplitter(std::vector<ServerLine>& lines) : m_lines(lines) {}

    // False once the list has ended.
    bool Feed(const char* data, size_t size) {
        for (size_t i = 0; i < size && !m_ended; ++i) {
            char c = data[i];
            bool lineFeedOfCrLf = c == '\n' && m_afterCr;
            m_afterCr = c == '\r';
            if (lineFeedOfCrLf) continue;
            if (c == '\r' || c == '\n') {
                EndLine();
            } else if (m_line.size() < CServerListFile::kMaxLineBytes) {
                m_line.push_back(c);
            } else {
                m_cut = true;
            }
        }
        return !m_ended;
    }
    // The last line may have no line end.
    void Finish() {
        if (!m_ended && (!m_line.empty() || m_cut)) EndLine();
    }

private:
    void EndLine() {
        if (m_line.empty()) {
            m_ended = true;
            return;
        }
        ServerLine server;
        if (CServerListFile::ParseLine(m_line, server)) m_lines.push_back(std::move(server));
        if (m_lines.size() >= CServerListFile::kMaxServers) m_ended = true;
        m_line.clear();
        m_cut = false;
    }

    std::vector<ServerLine>& m_lines;
    std::string m_line;
    bool m_cut = false;
    bool m_ended = false;
    bool m_afterCr = false;  // a LF now completes a CR LF line end
};

}  // namespace

std::vector<ServerLine> CServerListFile::Parse(const std::string& bytes) {
    std::vector<ServerLine> lines;
    CLineSplitter splitter(lines);
    splitter.Feed(bytes.data(), bytes.size());
    splitter.Finish();
    return lines;
}

bool CServerListFile::Read(const std::wstring& path, std::vector<ServerLine>& lines) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    // Read in pieces and only as far as the list goes: a huge file costs no more
    // memory than its servers.
    lines.clear();
    CLineSplitter splitter(lines);
    char buffer[4096];
    for (DWORD read = 0;;) {
        // A failed read (a share gone, a bad sector) is not the list's end.
        if (!::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr)) return false;
        if (read == 0) break;
        if (!splitter.Feed(buffer, read)) return true;
    }
    splitter.Finish();
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
        // A line that is nothing but its end.
        if (bytes[pos] == '\n' || bytes[pos] == '\r') return pos;
        size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string::npos) break;
        pos = end + (bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1);
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
