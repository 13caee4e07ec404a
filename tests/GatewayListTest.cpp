// The games' gateway list, table by table, without a window: reading a value's bytes, and what a launch makes of it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GatewayList.h"
#include "TestSupport.h"

using namespace testing_support;

TEST(GatewayListTest, ReadsWholeListsAndTellsDamage) {
    const std::vector<std::wstring> three = {L"1001", L"02", L"a.example.net", L"8", L"US West",
                                             L"10.0.0.1", L"-1", L"유럽", L"h.example", L"5", L"US East"};
    const std::string ok = MultiString(three);
    // A list of one gateway whose name makes the value n bytes long.
    auto sized = [](size_t n) { return MultiString({L"1001", L"01", L"a", L"8", std::wstring((n - 28) / 2, L'n')}); };
    const struct {
        std::string bytes;
        int selected;  // 0: damaged
        const char* what;
    } cases[] = {
        {ok, 2, "three gateways"},
        {sized(65536), 1, "64 KiB"},
        {sized(65538), 0, "over 64 KiB"},
        {MultiString({L"1001", L"02", L"a", L"8", L"A", L"b", L"8"}), 0, "one string short"},
        {ok + "x", 0, "odd byte count"},
        {ok.substr(0, ok.size() - 2), 0, "no closing empty string"},
        {ok.substr(0, ok.size() - 4), 0, "no terminator at all"},
        {MultiString({L"1001", L"01", L"a", L"", L"A"}), 0, "an empty string inside"},
        {MultiString({L"1000", L"01", L"a", L"8", L"A"}), 0, "another version"},
        {MultiString({L"1001", L"04", L"a", L"8", L"A"}), 0, "selection past the end"},
        {MultiString({L"1001", L"00", L"a", L"8", L"A"}), 0, "selection zero"},
        {MultiString({L"1001", L"0x", L"a", L"8", L"A"}), 0, "selection not a number"},
        {MultiString({L"1001"}), 0, "no selection"},
        {"", 0, "empty"},
    };
    for (const auto& c : cases) {
        CGatewayList list;
        EXPECT_EQ(list.Parse(c.bytes), c.selected != 0) << c.what;
        EXPECT_EQ(list.m_selected, c.selected) << c.what;
        // What is read whole is written back byte for byte.
        if (c.selected) {
            EXPECT_EQ(ShowMultiString(list.Serialise()), ShowMultiString(c.bytes)) << c.what;
        }
    }
    CGatewayList list;
    ASSERT_TRUE(list.Parse(ok));
    EXPECT_EQ(list.Selected()->name, L"유럽");
    // A selection in one digit is read, and written in two.
    ASSERT_TRUE(list.Parse(MultiString({L"1001", L"1", L"a", L"8", L"A"})));
    EXPECT_EQ(ShowMultiString(list.Serialise()), ShowMultiString(MultiString({L"1001", L"01", L"a", L"8", L"A"})));
}

TEST(GatewayListTest, ALaunchSelectsTheServerKeepingEveryOtherGateway) {
    const std::vector<std::wstring> head = {L"a.example.net", L"8", L"US West", L"Play.Example.org", L"-1", L"EU"};
    auto list = [&](const wchar_t* selected, std::vector<std::wstring> tail) {
        std::vector<std::wstring> strings = {L"1001", selected};
        strings.insert(strings.end(), head.begin(), head.end());
        strings.insert(strings.end(), tail.begin(), tail.end());
        return MultiString(strings);
    };
    const std::string three = list(L"01", {L"10.0.0.1", L"5", L"East"});
    const std::wstring ours = L"127.0.0.8";
    const std::string appended = list(L"04", {L"10.0.0.1", L"5", L"East", ours, L"-9", L"Orvane"});
    const std::string alone = MultiString({L"1001", L"01", ours, L"-9", L"Orvane"});
    std::vector<std::wstring> many = {L"1001", L"01"};
    for (int i = 1; i <= 99; ++i) many.insert(many.end(), {L"10.0.1." + std::to_wstring(i), L"8", L"G"});
    const struct {
        bool present;
        DWORD type;
        std::string bytes;
        std::wstring address, name;
        int outcome;  // 0 not written, 1 written, 2 written after keeping a copy, -1 refused
        std::string after;
        const char* what;
    } cases[] = {
        {false, 0, "", ours, L"Orvane", 1, alone, "no list"},
        {true, REG_MULTI_SZ, three, ours, L"Orvane", 1, appended, "appended"},
        {true, REG_BINARY, three, ours, L"Orvane", 1, appended, "a binary list"},
        {true, REG_MULTI_SZ, list(L"01", {L"127.0.0.010", L"5", L"Old", L"127.8", L"5", L"Twin"}), ours, L"Orvane", 1,
         list(L"03", {L"127.0.0.010", L"5", L"Orvane", L"127.8", L"5", L"Twin"}), "the first with the address reused"},
        {true, REG_MULTI_SZ, three, L"play.example.ORG", L"Mine", 1,
         MultiString({L"1001", L"02", head[0], head[1], head[2], head[3], head[4], L"Mine", L"10.0.0.1", L"5", L"East"}),
         "a host name, case aside"},
        {true, REG_MULTI_SZ, three, L"10.0.0.10", L"", 1,
         list(L"04", {L"10.0.0.1", L"5", L"East", L"10.0.0.10", L"-9", L"10.0.0.10"}), "no name: the address"},
        {true, REG_MULTI_SZ, list(L"03", {L"0x7f.0.0.8", L"5", L"Old"}), ours, L"Orvane", 0, "", "already selected"},
        {true, REG_BINARY, list(L"03", {L"127.0.0.8", L"5", L"Old"}), ours, L"Orvane", 0, "", "selected, binary"},
        {true, REG_MULTI_SZ, list(L"01", {L"10.0.0.1", L"5"}), ours, L"Orvane", 2, alone, "damaged"},
        {true, REG_SZ, three, ours, L"Orvane", 2, alone, "a string value"},
        {true, REG_MULTI_SZ, MultiString(many), ours, L"Orvane", -1, "", "99 gateways, none free"},
        {true, REG_MULTI_SZ, MultiString(many), L"10.0.1.99", L"Orvane", 1, "", "99 gateways, ours among them"},
        {false, 0, "", L"", L"Orvane", -1, "", "no address"},
    };
    for (const auto& c : cases) {
        CGatewayList::Update update;
        bool planned = CGatewayList::Plan(c.present, c.type, c.bytes, c.address, c.name, &update);
        int outcome = !planned ? -1 : !update.write ? 0 : update.keepCopy ? 2 : 1;
        EXPECT_EQ(outcome, c.outcome) << c.what;
        if (!c.after.empty()) {
            EXPECT_EQ(ShowMultiString(update.bytes), ShowMultiString(c.after)) << c.what;
        }
    }
}
