// The launcher's pure rules, table by table, without a window: the list file's lines, the server address, what a
// double-click on a server does and what a panel shows when its page fails.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LaunchPlan.h"
#include "ServerEditDlg.h"
#include "ServerEntry.h"
#include "ServerListFile.h"
#include "WebBrowser2.h"
#include "TestSupport.h"

using namespace testing_support;

// A table row names only the fields it sets; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

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
        // CR alone ends a line too: no text hides behind it in an address.
        {"A,1.1.1.1\rB,2.2.2.2\r", {{L"A", L"1.1.1.1"}, {L"B", L"2.2.2.2"}}},
        // A NUL byte ends a field: what follows it the list would never show.
        {std::string("A,1.1.1.1\0 2.2.2.2\r\nB\0x,2.2.2.2\r\n", 33), {{L"A", L"1.1.1.1"}, {L"B", L"2.2.2.2"}}},
        {"A,1.1.1.1\r\n\r\nB,2.2.2.2\r\n", {{L"A", L"1.1.1.1"}}},  // the list ends at the first empty line
        {"A,B,1.1.1.1\r\n", {{L"A", L"B,1.1.1.1"}}},  // split at the first comma only
        {" A b , 1.1.1.1 \r\n", {{L" A b ", L" 1.1.1.1 "}}},  // nothing trimmed
        {",1.1.1.1\r\nA,\r\n", {{L"", L"1.1.1.1"}, {L"A", L""}}},
        {"no comma\r\nA,1.1.1.1\r\n", {{L"A", L"1.1.1.1"}}},  // names no server, the next line still read
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
    } rests[] = {{"", 0},          {"\r\n", 0},       {"A,1\r\n", 5},       {"A,1\r\n\r\nB,2", 5},
                 {"A,1\n\nB,2", 4}, {"A,1\r\n\r", 5}, {"A,1\rB,2\r\rC", 8}};
    for (const auto& r : rests) EXPECT_EQ(CServerListFile::FirstEmptyLine(r.bytes), r.rest) << r.bytes;
    // Names the file could not hold.
    const std::pair<std::wstring, bool> names[] = {{L"새 서버", true}, {L"", true}, {L"a,b", false}, {L"a\r\nb", false},
                                                   {L"\u0e01\u0e02", false}};
    for (const auto& [name, ok] : names) EXPECT_EQ(CServerListFile::NameProblem(name) == nullptr, ok) << ToUtf8(name);
    // The list ends after its 100000th server.
    std::string many;
    for (int i = 0; i < 100001; ++i) many += "S,1.1.1.1\n";
    EXPECT_EQ(CServerListFile::Parse(many).size(), 100000u);
}

TEST(ParsersTest, ServerAddress) {
    const struct {
        const char* text;
        const char* parsed;  // null: not an address
    } cases[] = {
        {"1.2.3.4", "1.2.3.4"},
        {"127.0.0.010", "127.0.0.8"},  // a leading 0 means octal
        {"0177.0.0.3", "127.0.0.3"},
        {"0x7f.0.0.4", "127.0.0.4"},
        {"0x.1.1.1", nullptr},
        {"127.5", "127.0.0.5"},  // the last part fills the bytes left
        {"2130706433", "127.0.0.1"},
        {"1.2.3.4 5", "1.2.3.4"},  // a blank ends it
        {"0.0.0.0", nullptr},  // zero and broadcast: nothing to measure
        {"255.255.255.255", nullptr},
        {"", nullptr},
        {" 1.2.3.4", nullptr},
        {"localhost", nullptr},  // no name is looked up
        {"1.2.3.4.5", nullptr},
        {".1.2.3", nullptr},
        {"1..2.3", nullptr},
        {"256.1.1.1", nullptr},
        {"127.16777216", nullptr},
        {"4294967296", nullptr},
        {"08.1.1.1", nullptr},  // 8 is no octal digit
        {"1.2.3.4x", nullptr},
    };
    for (const auto& c : cases) {
        in_addr address{};
        bool ok = CServerEntry::ParseAddress(c.text, &address);
        EXPECT_EQ(ok, c.parsed != nullptr) << "\"" << c.text << "\"";
        if (ok && c.parsed) {
            EXPECT_STREQ(::inet_ntoa(address), c.parsed) << "\"" << c.text << "\"";
        }
        // The same reading as the system's own, which the games use.
        unsigned long system = ::inet_addr(c.text);
        if (system != INADDR_NONE && system != INADDR_ANY)
            EXPECT_TRUE(ok && address.s_addr == system) << "\"" << c.text << "\" reads differently";
        else
            EXPECT_FALSE(ok) << "\"" << c.text << "\"";
    }
    // The edit dialog shows an address as the system reads it, and none as 255.255.255.255.
    for (const auto& [text, shown] :
         {std::pair{L"127.0.0.010", L"127.0.0.8"}, {L"127.5", L"127.0.0.5"}, {L"1.2.3.4.5", L"255.255.255.255"}})
        EXPECT_EQ(CServerEditDlg::FormatAddress(CServerEditDlg::PackAddress(text)), shown) << ToUtf8(text);
}

TEST(ParsersTest, ResponseInMilliseconds) {
    const LONGLONG f = 10000000;  // counter ticks per second
    const struct {
        LONGLONG ticks, frequency;
        WORD response;
    } cases[] = {
        {0, f, 1},  // an answer never reads as "not measured"
        {f / 1000 * 3 / 2, f, 2},  // rounded
        {f / 1000 * 7, f, 7},
        {f * 65, f, 65000},
        {f * 70, f, RESPONSE_MEASURING - 1},  // kept clear of the two markers
        {5, 0, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CServerEntry::ResponseFromTicks(c.ticks, c.frequency), c.response) << c.ticks << "/" << c.frequency;
}

TEST(ParsersTest, LaunchPlan) {
    using Plan = CLaunchPlan;
    using S = Plan::Step;
    constexpr auto kNotSet = Plan::Program::NotSet, kNotFound = Plan::Program::NotFound;
    const struct {
        const char* what;
        Plan::Facts facts;
        S next;
    } cases[] = {
        {"an answering server is written first", {}, S::WriteServerList},
        {"a silent one is asked about first", {.answered = false}, S::AskUnanswered},
        {"No to it ends the launch", {.answered = false, .goUnanswered = false}, S::Done},
        {"Yes to it writes", {.answered = false, .goUnanswered = true}, S::WriteServerList},
        {"then the gateway list", {.listWritten = true}, S::WriteGateway},
        {"both written, the game starts", {.listWritten = true, .gatewayWritten = true}, S::StartGame},
        {"a gateway list not written is told", {.listWritten = true, .gatewayWritten = false}, S::TellGatewayFailed},
        {"and nothing starts", {.listWritten = true, .gatewayWritten = false, .failureTold = true}, S::Done},
        {"a list not written, the player is asked", {.listWritten = false}, S::AskUnwritten},
        {"No to that ends it", {.listWritten = false, .goUnwritten = false}, S::Done},
        {"Yes goes on to the gateway list", {.listWritten = false, .goUnwritten = true}, S::WriteGateway},
        {"a started game ends it", {.listWritten = true, .gatewayWritten = true, .started = true}, S::Done},
        {"a game that did not start is told", {.listWritten = true, .gatewayWritten = true, .started = false},
         S::TellStartFailed},
        {"once", {.listWritten = true, .gatewayWritten = true, .started = false, .failureTold = true}, S::Done},
        {"a program not set is asked about after the write",
         {.program = kNotSet, .listWritten = true, .gatewayWritten = true}, S::AskProgramNotSet},
        {"and never started", {.program = kNotSet, .listWritten = true, .gatewayWritten = true, .programPage = false},
         S::OpenSetup},
        {"the setup opens once",
         {.program = kNotSet, .listWritten = true, .gatewayWritten = true, .programPage = true, .setupOpened = true},
         S::Done},
        {"a missing program: the silent server first", {.answered = false, .program = kNotFound}, S::AskUnanswered},
        {"then the write", {.answered = false, .program = kNotFound, .goUnanswered = true}, S::WriteServerList},
        {"then the question naming it",
         {.answered = false, .program = kNotFound, .goUnanswered = true, .listWritten = true, .gatewayWritten = true},
         S::AskProgramNotFound},
        {"No to the unwritten server asks nothing more",
         {.answered = false, .program = kNotFound, .goUnanswered = true, .listWritten = false, .goUnwritten = false},
         S::Done},
    };
    for (const auto& c : cases) EXPECT_EQ(static_cast<int>(Plan::Next(c.facts)), static_cast<int>(c.next)) << c.what;
    // A stored path counts only as an existing file: a folder of the program's name is not one.
    const TempFolder folder(L"orvn_plan");
    const std::wstring program = folder.path + L"StarCraft.exe";
    ASSERT_TRUE(::CreateDirectoryW(program.c_str(), nullptr));
    EXPECT_EQ(Plan::ProgramState(program), Plan::Program::NotFound);
    EXPECT_EQ(Plan::ProgramState(folder.path + L"*.exe"), Plan::Program::NotFound);
    EXPECT_EQ(Plan::ProgramState(L""), Plan::Program::NotSet);
    ::RemoveDirectoryW(program.c_str());
    ASSERT_TRUE(WriteFileBytes(program, "MZ"));
    EXPECT_EQ(Plan::ProgramState(program), Plan::Program::Set);
}

TEST(ParsersTest, APanelsFailedPageShowsOurOwnOnce) {
    const std::wstring ours = L"res://C:\\Orvane\\Orvn.exe/OFFLINE.HTM", page = L"http://ads.example/a.shtml";
    const struct {
        std::wstring errorPage;
        bool onErrorPage, topFrame;
        std::wstring url;
        bool shows;
    } cases[] = {{ours, false, true, page, true},  {L"", false, true, page, false}, {ours, false, false, page, false},
                 {ours, false, true, ours, false}, {ours, true, true, page, false}};
    for (const auto& c : cases)
        EXPECT_EQ(CWebBrowser2::ShowsErrorPage(c.errorPage, c.onErrorPage, c.topFrame, c.url), c.shows) << &c - cases;
    EXPECT_NE(::FindResourceW(nullptr, L"OFFLINE.HTM", RT_HTML), nullptr) << "our page is not built in";
}
