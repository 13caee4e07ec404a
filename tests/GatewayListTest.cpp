// The games' gateway list, table by table, without a window: reading a value's bytes, and what a launch makes of it.
#include <gtest/gtest.h>

#include "GatewayList.h"
#include "TestSupport.h"

using namespace testing_support;

TEST(GatewayListTest, ReadsWholeListsAndTellsDamage) {
    const std::string three = MultiString(L"1001|02|a.example.net|8|US West|10.0.0.1|-1|유럽|h.example|5|US East");
    // One gateway whose name makes the value n bytes long.
    auto sized = [](size_t n) { return MultiString(L"1001|01|a|8|" + std::wstring((n - 28) / 2, L'n')); };
    const struct {
        std::string bytes;
        int selected;  // 0: damaged
    } cases[] = {
        {three, 2},
        {sized(65536), 1},
        {sized(65538), 0},
        {MultiString(L"1001|02|a|8|A|b|8"), 0},  // one string short
        {three.substr(0, three.size() - 2), 0},  // no closing empty string
        {three.substr(0, three.size() - 4), 0},  // no terminator at all
        {MultiString(L"1001|01|a||A"), 0},      // an empty string inside ends the list for a game
        {MultiString(L"1000|01|a|8|A"), 0},
        {MultiString(L"1001|00|a|8|A"), 0},
        {MultiString(L"1001|0x|a|8|A"), 0},
        {three + "x", 0},
        {"", 0},
    };
    for (const auto& c : cases) {
        CGatewayList list;
        EXPECT_EQ(list.Parse(c.bytes), c.selected != 0) << c.bytes.size() << " bytes, case " << &c - cases;
        EXPECT_EQ(list.m_selected, c.selected) << "case " << &c - cases;
        // What is read whole is written back byte for byte.
        EXPECT_TRUE(!c.selected || list.Serialise() == c.bytes) << "case " << &c - cases;
    }
}

TEST(GatewayListTest, ALaunchSelectsTheServerKeepingEveryOtherGateway) {
    const std::wstring head = L"1001|01|a.example.net|8|US West|Play.Example.org|-1|EU";
    std::wstring many = L"1001|01";
    for (int i = 1; i <= 99; ++i) many += L"|10.0.1." + std::to_wstring(i) + L"|8|G";
    const struct {
        DWORD type;  // 0: no list
        std::wstring before, address, name;
        int outcome;  // 0 not written, 1 written, 2 written after keeping a copy, -1 refused
        std::wstring after;
    } cases[] = {
        {REG_MULTI_SZ, head + L"|127.0.0.010|5|Old|127.8|5|Twin", L"127.0.0.8", L"Orvane", 1,
         L"1001|03|a.example.net|8|US West|Play.Example.org|-1|EU|127.0.0.010|5|Orvane|127.8|5|Twin"},
        {REG_BINARY, head, L"127.0.0.8", L"Orvane", 1, L"1001|03" + head.substr(7) + L"|127.0.0.8|-9|Orvane"},
        {REG_MULTI_SZ, head, L"play.example.ORG", L"Mine", 1,
         L"1001|02|a.example.net|8|US West|Play.Example.org|-1|Mine"},
        {REG_MULTI_SZ, head, L"10.0.0.1", L"", 1, L"1001|03" + head.substr(7) + L"|10.0.0.1|-9|10.0.0.1"},
        {REG_MULTI_SZ, L"1001|03" + head.substr(7) + L"|0x7f.0.0.8|5|Old", L"127.0.0.8", L"Orvane", 0, L""},
        {REG_BINARY, L"1001|03" + head.substr(7) + L"|127.0.0.8|5|Old", L"127.0.0.8", L"Orvane", 0, L""},
        {REG_SZ, head, L"127.0.0.8", L"Orvane", 2, L"1001|01|127.0.0.8|-9|Orvane"},
        {REG_MULTI_SZ, head + L"|1.2.3.4", L"127.0.0.8", L"Orvane", 2, L"1001|01|127.0.0.8|-9|Orvane"},
        {0, L"", L"127.0.0.8", L"Orvane", 1, L"1001|01|127.0.0.8|-9|Orvane"},
        {REG_MULTI_SZ, many, L"127.0.0.8", L"Orvane", -1, L""},
        {REG_MULTI_SZ, many, L"10.0.1.99", L"Orvane", 1, L"1001|99" + many.substr(7, many.size() - 8) + L"Orvane"},
        {0, L"", L"", L"Orvane", -1, L""},
    };
    for (const auto& c : cases) {
        CGatewayList::Update update;
        bool planned = CGatewayList::Plan(c.type != 0, c.type, MultiString(c.before), c.address, c.name, &update);
        EXPECT_EQ(!planned ? -1 : !update.write ? 0 : update.keepCopy ? 2 : 1, c.outcome) << "case " << &c - cases;
        EXPECT_EQ(update.bytes, c.after.empty() ? "" : MultiString(c.after)) << "case " << &c - cases;
    }
}
