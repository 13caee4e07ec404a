// The server list file read and written as real files in a temp folder: line
// ends, the first empty line, the split at the first comma, code page 949 names,
// malformed lines, and writing the whole file anew.
#include <gtest/gtest.h>

#include "AppBase.h"
#include "ServerListFile.h"
#include "TestSupport.h"

using namespace testing_support;

namespace {

class ServerListFileTest : public ::testing::Test {
protected:
    void SetUp() override { m_folder = MakeTempFolder(L"orvn_list"); }
    void TearDown() override { RemoveFolder(m_folder); }

    // Writes bytes as a list file and reads it back as {name, address} pairs.
    ServerList ReadBytes(const std::string& bytes) {
        EXPECT_TRUE(WriteFileBytes(m_folder + L"list.txt", bytes));
        std::vector<ServerLine> lines{{L"stale", L"1.1.1.1"}};
        EXPECT_TRUE(CServerListFile::Read(m_folder + L"list.txt", lines));
        ServerList out;
        for (const ServerLine& l : lines) out.push_back({l.name, l.address});
        return out;
    }

    std::wstring m_folder;
};

}  // namespace

TEST_F(ServerListFileTest, LinesSplitAtTheFirstCommaUpToTheFirstEmptyLine) {
    // CR LF, LF alone, blanks, a second comma, an empty name or address, a line
    // without a comma (skipped), duplicates, Korean in 949, and no final line end.
    EXPECT_EQ(ReadBytes("Two,Commas,1.2.3.4\r\n  Blank  , 5.6.7.8 \nA,\r\nno comma\r\n,9.9.9.9\n" +
                        ToCp949(L"서울 배틀넷,1.2.3.4\r\n서울 배틀넷,1.2.3.4")),
              (ServerList{{L"Two", L"Commas,1.2.3.4"},
                          {L"  Blank  ", L" 5.6.7.8 "},
                          {L"A", L""},
                          {L"", L"9.9.9.9"},
                          {L"서울 배틀넷", L"1.2.3.4"},
                          {L"서울 배틀넷", L"1.2.3.4"}}));
    ASSERT_EQ(ToCp949(L"서울 배틀넷").size(), 11u) << "two bytes a syllable in 949";

    // The list ends at the first empty line, written with CR LF or LF alone.
    EXPECT_EQ(ReadBytes("A,1\r\nB,2\r\n\r\nC,3\r\n"), (ServerList{{L"A", L"1"}, {L"B", L"2"}}));
    EXPECT_EQ(ReadBytes("A,1\n\nC,3\n"), (ServerList{{L"A", L"1"}}));
    EXPECT_TRUE(ReadBytes("\r\nA,1\r\n").empty());
    EXPECT_TRUE(ReadBytes("").empty());
}

TEST_F(ServerListFileTest, LongFileReadAcrossBufferBoundaries) {
    // Lines of varying length over many 1024-byte reads; every one arrives whole.
    std::string bytes;
    ServerList want;
    for (int i = 0; i < 400; ++i) {
        std::wstring name = L"서버 " + std::to_wstring(i) + std::wstring(i % 7, L'가');
        std::wstring address = L"10." + std::to_wstring(i / 250) + L"." + std::to_wstring(i % 250) + L".1";
        bytes += ToCp949(name + L"," + address) + (i % 3 ? "\r\n" : "\n");
        want.push_back({name, address});
    }
    ASSERT_GT(bytes.size(), 8 * 1024u);
    EXPECT_EQ(ReadBytes(bytes), want);
}

TEST_F(ServerListFileTest, VeryLongLinesAreCutNeverFatal) {
    // A 3 MB address, a 5 MB line with no comma in its kept part, then a server.
    std::string bytes = "A," + std::string(3 << 20, 'x') + "\r\n" + std::string(5 << 20, 'n') + ",9.9.9.9\r\nB,2";
    EXPECT_EQ(ReadBytes(bytes),
              (ServerList{{L"A", std::wstring(CServerListFile::kMaxLineBytes - 2, L'x')}, {L"B", L"2"}}));
}

TEST_F(ServerListFileTest, WriteRewritesTheWholeFileInCodePage949OrKeepsTheOld) {
    // "%s,%s\r\n" in 949 over a longer old file; a name holding a comma is written
    // unchanged and read back split at that comma.
    std::wstring path = m_folder + L"User.txt";
    ASSERT_TRUE(WriteFileBytes(path, std::string(5000, 'x') + "\r\nOld,9.9.9.9\r\n"));
    ASSERT_TRUE(CServerListFile::Write(path, {{L"서울", L"1.2.3.4"}, {L"부산, 해운대", L"5.6.7.8"}, {L"", L"2"}}));
    EXPECT_EQ(ReadListFileText(path), L"서울,1.2.3.4\r\n부산, 해운대,5.6.7.8\r\n,2\r\n");
    std::vector<ServerLine> back;
    ASSERT_TRUE(CServerListFile::Read(path, back));
    EXPECT_EQ(back[1].name + L"|" + back[1].address, L"부산| 해운대,5.6.7.8");

    // An empty list leaves an empty file; nothing else is left in the folder.
    ASSERT_TRUE(CServerListFile::Write(path, {}));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(path, &bytes));
    EXPECT_EQ(bytes, "");
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(::FindFirstFileW((m_folder + L"*.*").c_str(), &data));
    int files = 0;
    do files += !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    while (::FindNextFileW(find.Get(), &data));
    EXPECT_EQ(files, 1);

    // A list another program holds open keeps its old content; missing places fail.
    ASSERT_TRUE(WriteFileBytes(path, "Old,9.9.9.9\r\n"));
    {
        UniqueFileHandle held(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_FALSE(CServerListFile::Write(path, {{L"New", L"1.1.1.1"}}));
    }
    ASSERT_TRUE(ReadFileBytes(path, &bytes));
    EXPECT_EQ(bytes, "Old,9.9.9.9\r\n");
    EXPECT_FALSE(CAppBase::FileExists(path + L".new"));
    EXPECT_FALSE(CServerListFile::Write(m_folder + L"NoSuchFolder\\User.txt", {{L"A", L"1.1.1.1"}}));
    std::vector<ServerLine> lines;
    EXPECT_FALSE(CServerListFile::Read(m_folder + L"Missing.txt", lines));
    EXPECT_FALSE(CServerListFile::Read(m_folder, lines)) << "a folder is no list file";
}
