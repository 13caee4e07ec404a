// The launcher's pure rules, table by table, without a window: the list file's lines and the server address.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ServerEntry.h"
#include "ServerListFile.h"
#include "TestSupport.h"

using namespace testing_support;

namespace {

std::string Show(const std::vector<ServerLine>& lines) {
    std::string text;
    for (const auto& line : lines)
        text.append("[").append(ToUtf8(line.name)).append("|").append(ToUtf8(line.address)).append("]");
    return text;
}

}  // namespace

TEST(ParsersTest, ListFileLines) {
    const std::string korean = ToCp949(L"서울 서버");
    const struct {
        std::string bytes;
        std::vector<ServerLine> servers;
    } cases[] = {
        {"", {}},
        {"A,1.1.1.1\r\nB,2.2.2.2\r\n", {{L"A", L"1.1.1.1"}, {L"B", L"2.2.2.2"}}},
        {"A,1.1.1.1\nB,2.2.2.2", {{L"A", L"1.1.1.1"}, {L"B", L"2.2.2.2"}}},  // LF alone, no end on the last
        {"A,1.1.1.1\r", {{L"A", L"1.1.1.1"}}},
        {"A,1.1.1.1\r\n\r\nB,2.2.2.2\r\n", {{L"A", L"1.1.1.1"}}},  // the list ends at the first empty line
        {"A,1.1.1.1\n\nB,2.2.2.2", {{L"A", L"1.1.1.1"}}},
        {"\r\nA,1.1.1.1\r\n", {}},
        {"A,B,1.1.1.1\r\n", {{L"A", L"B,1.1.1.1"}}},  // split at the first comma only
        {" A b , 1.1.1.1 \r\n", {{L" A b ", L" 1.1.1.1 "}}},  // nothing trimmed
        {",1.1.1.1\r\nA,\r\n", {{L"", L"1.1.1.1"}, {L"A", L""}}},
        {"no comma\r\nA,1.1.1.1\r\n", {{L"A", L"1.1.1.1"}}},  // names no server, the next line still read
        {"A,1\r\nA,1\r\n", {{L"A", L"1"}, {L"A", L"1"}}},
        {korean + ",1.1.1.1\r\n", {{L"서울 서버", L"1.1.1.1"}}},
        // A line is cut after 1024 bytes: a comma past the cut names no server; the next line is whole.
        {std::string(1030, 'n') + ",1.1.1.1\r\nA,1\r\n", {{L"A", L"1"}}},
        {std::string(1020, 'n') + ",1.1.1.1\r\n", {{std::wstring(1020, L'n'), L"1.1"}}},
    };
    for (const auto& c : cases) {
        auto servers = CServerListFile::Parse(c.bytes);
        EXPECT_EQ(Show(servers), Show(c.servers)) << "of \"" << c.bytes.substr(0, 40) << "\"";
        // An editor keeps the bytes from the first empty line on; the servers before them are the same.
        size_t rest = CServerListFile::FirstEmptyLine(c.bytes);
        EXPECT_EQ(Show(CServerListFile::Parse(c.bytes.substr(0, rest))), Show(c.servers)) << "rest at " << rest;
    }
    const struct {
        std::string bytes;
        size_t rest;
    } rests[] = {{"", 0}, {"\r\n", 0}, {"A,1\r\n", 5}, {"A,1\r\n\r\nB,2", 5}, {"A,1\n\nB,2", 4}, {"A,1\r\n\r", 5}};
    for (const auto& r : rests) EXPECT_EQ(CServerListFile::FirstEmptyLine(r.bytes), r.rest) << r.bytes;
    // The list ends after its 100000th server.
    std::string many;
    for (int i = 0; i < 100001; ++i) many += "S,1.1.1.1\n";
    EXPECT_EQ(CServerListFile::Parse(many).size(), CServerListFile::kMaxServers);
}

TEST(ParsersTest, ServerAddress) {
    const struct {
        const char* text;
        const char* parsed;  // null: not an address
    } cases[] = {
        {"1.2.3.4", "1.2.3.4"}, {"127.0.0.1", "127.0.0.1"}, {"0.0.0.0", "0.0.0.0"},
        {"255.255.255.255", "255.255.255.255"},
        {" \t10.0.0.1 \t", "10.0.0.1"},  // blanks around it
        {"010.001.0.09", "10.1.0.9"},    // decimal, never octal
        {"localhost", nullptr},          // no name is looked up
        {"", nullptr}, {"   ", nullptr}, {"1.2.3", nullptr}, {"1.2.3.4.5", nullptr}, {"1.2.3.4.", nullptr},
        {".1.2.3", nullptr}, {"1..2.3", nullptr}, {"256.1.1.1", nullptr}, {"1.2.3.256", nullptr},
        {"1000.1.1.1", nullptr}, {"0001.1.1.1", nullptr}, {"1.2.3.-4", nullptr}, {"1 .2.3.4", nullptr},
        {"1.2.3.4 5", nullptr}, {"1.2.3.4x", nullptr}, {"0x7f.0.0.1", nullptr}, {"4294967295", nullptr},
    };
    for (const auto& c : cases) {
        in_addr address{};
        bool ok = CServerEntry::ParseAddress(c.text, &address);
        EXPECT_EQ(ok, c.parsed != nullptr) << "\"" << c.text << "\"";
        if (ok && c.parsed) {
            EXPECT_STREQ(::inet_ntoa(address), c.parsed) << "\"" << c.text << "\"";
        }
    }
}

TEST(ParsersTest, ResponseInMilliseconds) {
    const LONGLONG f = 10000000;  // counter ticks per second
    const struct {
        LONGLONG ticks, frequency;
        WORD response;
    } cases[] = {
        {0, f, 1},  // an answer never reads as "not measured"
        {f / 2000, f, 1},
        {f / 1000 * 3 / 2, f, 2},  // rounded
        {f / 1000 * 7, f, 7},
        {f * 65, f, 65000},
        {f * 70, f, RESPONSE_MEASURING - 1},  // kept clear of the two markers
        {f * 100000, f, RESPONSE_MEASURING - 1},
        {5, 0, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CServerEntry::ResponseFromTicks(c.ticks, c.frequency), c.response) << c.ticks << "/" << c.frequency;
}
