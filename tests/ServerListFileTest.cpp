// The server list file read and written as real files in a temp folder: line
// ends, the first empty line, the split at the first comma, code page 949 names,
// malformed lines, and writing the whole file anew.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ServerListFile.h"
#include "TestSupport.h"

using namespace testing_support;

namespace {

class ServerListFileTest : public ::testing::Test {
protected:
    void SetUp() override { m_folder = MakeTempFolder(L"orvn_list"); }
    void TearDown() override { RemoveFolder(m_folder); }

    // Writes bytes as a list file and reads it back.
    std::vector<ServerLine> ReadBytes(const std::string& bytes) {
        std::wstring path = m_folder + L"list.txt";
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        std::vector<ServerLine> lines;
        EXPECT_TRUE(CServerListFile::Read(path, lines));
        return lines;
    }

    std::wstring m_folder;
};

void ExpectLines(const std::vector<ServerLine>& lines, const std::vector<std::pair<std::wstring, std::wstring>>& want) {
    ASSERT_EQ(lines.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(lines[i].name, want[i].first) << "line " << i;
        EXPECT_EQ(lines[i].address, want[i].second) << "line " << i;
    }
}

}  // namespace

TEST_F(ServerListFileTest, ListEndsAtFirstEmptyLineOrEndOfFile) {
    // The third line is empty: exactly two servers, the fourth line is never read.
    ExpectLines(ReadBytes("A,10.0.0.1\r\nB,10.0.0.2\r\n\r\nC,10.0.0.3\r\n"), {{L"A", L"10.0.0.1"}, {L"B", L"10.0.0.2"}});
    // An empty line written with LF alone ends the list as well.
    ExpectLines(ReadBytes("A,10.0.0.1\n\nC,10.0.0.3\n"), {{L"A", L"10.0.0.1"}});
    // First line empty, or no bytes at all: an empty list, but the file was read.
    EXPECT_TRUE(ReadBytes("\r\nA,10.0.0.1\r\n").empty());
    EXPECT_TRUE(ReadBytes("").empty());
    // No line end after the last server: it is still a server.
    ExpectLines(ReadBytes("A,10.0.0.1\r\nB,10.0.0.2"), {{L"A", L"10.0.0.1"}, {L"B", L"10.0.0.2"}});
}

TEST_F(ServerListFileTest, LineEndsCrLfLfAndMixedGiveTheSameServers) {
    const std::vector<std::pair<std::wstring, std::wstring>> want = {
        {L"One", L"1.1.1.1"}, {L"Two", L"2.2.2.2"}, {L"Three", L"3.3.3.3"}};
    ExpectLines(ReadBytes("One,1.1.1.1\r\nTwo,2.2.2.2\r\nThree,3.3.3.3\r\n"), want);
    ExpectLines(ReadBytes("One,1.1.1.1\nTwo,2.2.2.2\nThree,3.3.3.3\n"), want);
    ExpectLines(ReadBytes("One,1.1.1.1\nTwo,2.2.2.2\r\nThree,3.3.3.3"), want);
}

TEST_F(ServerListFileTest, SplitAtFirstCommaKeepsBlanksAndTheRest) {
    ExpectLines(ReadBytes("Two,Commas,1.2.3.4\r\n"
                          "  Blank name  , 5.6.7.8 \r\n"
                          "A,\r\n"
                          ",9.9.9.9,x\r\n"
                          "X,1.1.1.1\r\n"),
                {{L"Two", L"Commas,1.2.3.4"},
                 {L"  Blank name  ", L" 5.6.7.8 "},
                 {L"A", L""},
                 {L"", L"9.9.9.9,x"},
                 {L"X", L"1.1.1.1"}});
}

TEST_F(ServerListFileTest, MalformedLinesAreSkippedAndDuplicatesKept) {
    // A line without a comma names no server; the lines after it still count.
    ExpectLines(ReadBytes("no comma here\r\nA,1.1.1.1\r\nA,1.1.1.1\r\n1.2.3.4\r\nB,2.2.2.2\r\nA,1.1.1.1\r\n"),
                {{L"A", L"1.1.1.1"}, {L"A", L"1.1.1.1"}, {L"B", L"2.2.2.2"}, {L"A", L"1.1.1.1"}});
}

TEST_F(ServerListFileTest, KoreanNamesAreCodePage949BothWays) {
    const std::wstring seoul = L"서울 배틀넷";
    const std::wstring busan = L"부산, 해운대";  // a comma inside the name
    std::string bytes = ToCp949(seoul) + "," + "1.2.3.4\r\n" + ToCp949(L"한글똠방각하") + ",5.6.7.8\r\n";
    ASSERT_EQ(ToCp949(seoul).size(), 11u) << "two bytes a syllable in 949";
    ExpectLines(ReadBytes(bytes), {{seoul, L"1.2.3.4"}, {L"한글똠방각하", L"5.6.7.8"}});

    // Written in 949 with "%s,%s\r\n"; a name holding a comma is written unchanged
    // and read back split at that comma.
    std::wstring path = m_folder + L"User.txt";
    ASSERT_TRUE(CServerListFile::Write(path, {{seoul, L"1.2.3.4"}, {busan, L"5.6.7.8"}}));
    std::string written;
    ASSERT_TRUE(ReadFileBytes(path, &written));
    EXPECT_EQ(written, ToCp949(seoul) + ",1.2.3.4\r\n" + ToCp949(busan) + ",5.6.7.8\r\n");
    std::vector<ServerLine> lines;
    ASSERT_TRUE(CServerListFile::Read(path, lines));
    ExpectLines(lines, {{seoul, L"1.2.3.4"}, {L"부산", L" 해운대,5.6.7.8"}});
}

TEST_F(ServerListFileTest, LongFileReadAcrossBufferBoundaries) {
    // Lines of varying length over many 1024-byte reads; every one arrives whole.
    std::string bytes;
    std::vector<std::pair<std::wstring, std::wstring>> want;
    for (int i = 0; i < 400; ++i) {
        std::wstring name = L"서버 " + std::to_wstring(i) + std::wstring(i % 7, L'가');
        std::wstring address = L"10." + std::to_wstring(i / 250) + L"." + std::to_wstring(i % 250) + L".1";
        bytes += ToCp949(name) + "," + ToCp949(address) + (i % 3 ? "\r\n" : "\n");
        want.push_back({name, address});
    }
    ASSERT_GT(bytes.size(), 8 * 1024u);
    ExpectLines(ReadBytes(bytes), want);
}

TEST_F(ServerListFileTest, VeryLongLinesAreCutNeverFatal) {
    // A 3 MB address, a 5 MB line without a comma in its kept part, then a server.
    std::string bytes = "A," + std::string(3 << 20, 'x') + "\r\n" + std::string(5 << 20, 'n') + ",9.9.9.9\r\nB,2.2.2.2";
    auto lines = ReadBytes(bytes);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].name, L"A");
    EXPECT_EQ(lines[0].address, std::wstring(CServerListFile::kMaxLineBytes - 2, L'x')) << "cut";
    EXPECT_EQ(lines[1].name, L"B");
    EXPECT_EQ(lines[1].address, L"2.2.2.2");
}

TEST_F(ServerListFileTest, WriteRewritesTheWholeFile) {
    std::wstring path = m_folder + L"User.txt";
    ASSERT_TRUE(WriteFileBytes(path, std::string(5000, 'x') + "\r\nOld,9.9.9.9\r\n"));
    ASSERT_TRUE(CServerListFile::Write(path, {{L"A", L"1.1.1.1"}, {L"A", L"1.1.1.1"}, {L"", L"2.2.2.2"}}));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(path, &bytes));
    EXPECT_EQ(bytes, "A,1.1.1.1\r\nA,1.1.1.1\r\n,2.2.2.2\r\n");

    // An empty list leaves an empty file, which reads as an empty list.
    ASSERT_TRUE(CServerListFile::Write(path, {}));
    ASSERT_TRUE(ReadFileBytes(path, &bytes));
    EXPECT_EQ(bytes, "");
    std::vector<ServerLine> lines{{L"stale", L"1.1.1.1"}};
    ASSERT_TRUE(CServerListFile::Read(path, lines));
    EXPECT_TRUE(lines.empty());

    // Nothing but the file itself is left in the folder.
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((m_folder + L"*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    std::vector<std::wstring> names;
    do {
        if (std::wstring(data.cFileName) != L"." && std::wstring(data.cFileName) != L"..") names.push_back(data.cFileName);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    EXPECT_EQ(names, std::vector<std::wstring>{L"User.txt"});
}

TEST_F(ServerListFileTest, FilesThatCannotBeOpenedOrWritten) {
    std::vector<ServerLine> lines;
    EXPECT_FALSE(CServerListFile::Read(m_folder + L"Missing.txt", lines));
    EXPECT_FALSE(CServerListFile::Read(m_folder, lines)) << "a folder is no list file";
    EXPECT_FALSE(CServerListFile::Write(m_folder + L"NoSuchFolder\\User.txt", {{L"A", L"1.1.1.1"}}));
    EXPECT_EQ(::GetFileAttributesW((m_folder + L"NoSuchFolder").c_str()), INVALID_FILE_ATTRIBUTES);

    // A list that another program holds open keeps its old content.
    std::wstring path = m_folder + L"User.txt";
    ASSERT_TRUE(WriteFileBytes(path, "Old,9.9.9.9\r\n"));
    HANDLE held = ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(CServerListFile::Write(path, {{L"New", L"1.1.1.1"}}));
    ::CloseHandle(held);
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(path, &bytes));
    EXPECT_EQ(bytes, "Old,9.9.9.9\r\n");
    EXPECT_EQ(::GetFileAttributesW((path + L".new").c_str()), INVALID_FILE_ATTRIBUTES);
}
