#include "GatewayList.h"

#include <cwctype>

#include "CodePage.h"
#include "ServerEntry.h"

const wchar_t CGatewayList::kValueName[] = L"Battle.net Gateways";
const wchar_t CGatewayList::kKoreaZone[] = L"-9";

namespace {

const wchar_t kVersion[] = L"1001";
constexpr int kMaxSelectable = 99;  // the selection has two digits

bool ReadSelection(const std::wstring& text, int* out) {
    if (text.empty() || text.size() > 2) return false;
    int value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + (c - L'0');
    }
    *out = value;
    return true;
}

}  // namespace

bool CGatewayList::Parse(const std::string& bytes) {
    m_gateways.clear();
    m_selected = 0;
    if (bytes.size() > kMaxBytes || bytes.size() % 2) return false;
    std::wstring text(bytes.size() / 2, L'\0');
    bytes.copy(reinterpret_cast<char*>(text.data()), bytes.size());
    // Each string ends in a null, and the list in an empty string. A game
    // stops at the first empty string: one inside would hide what follows.
    if (text.size() < 2 || text[text.size() - 1] || text[text.size() - 2]) return false;
    std::vector<std::wstring> strings;
    for (size_t start = 0; start + 1 < text.size();) {
        size_t end = text.find(L'\0', start);
        if (end == start) return false;
        strings.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    int selected = 0;
    if (strings.size() < 2 || strings[0] != kVersion || !ReadSelection(strings[1], &selected)) return false;
    if ((strings.size() - 2) % 3) return false;
    std::vector<Gateway> gateways;
    for (size_t i = 2; i < strings.size(); i += 3) gateways.push_back({strings[i], strings[i + 1], strings[i + 2]});
    if (selected < 1 || selected > static_cast<int>(gateways.size())) return false;
    m_gateways = std::move(gateways);
    m_selected = selected;
    return true;
}

std::string CGatewayList::Serialise() const {
    wchar_t selection[3] = {static_cast<wchar_t>(L'0' + m_selected / 10 % 10),
                            static_cast<wchar_t>(L'0' + m_selected % 10), L'\0'};
    std::wstring text = std::wstring(kVersion) + L'\0' + selection + L'\0';
    for (const Gateway& g : m_gateways) text += g.address + L'\0' + g.zone + L'\0' + g.name + L'\0';
    text += L'\0';
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

bool CGatewayList::Select(const std::wstring& address, const std::wstring& name) {
    // An empty string would end the list where the game reads it.
    if (address.empty() || address.find(L'\0') != std::wstring::npos) return false;
    std::wstring shown = name.empty() || name.find(L'\0') != std::wstring::npos ? address : name;
    for (size_t i = 0; i < m_gateways.size(); ++i) {
        if (!SameAddress(m_gateways[i].address, address)) continue;
        m_gateways[i].name = shown;
        m_selected = static_cast<int>(i) + 1;
        return true;
    }
    if (m_gateways.size() >= kMaxSelectable) return false;
    m_gateways.push_back({address, kKoreaZone, shown});
    m_selected = static_cast<int>(m_gateways.size());
    return true;
}

const CGatewayList::Gateway* CGatewayList::Selected() const {
    return m_selected >= 1 && m_selected <= static_cast<int>(m_gateways.size()) ? &m_gateways[m_selected - 1]
                                                                                : nullptr;
}

bool CGatewayList::SameAddress(const std::wstring& a, const std::wstring& b) {
    in_addr x{}, y{};
    bool xRead = CServerEntry::ParseAddress(CodePage::FromWide(a), &x);
    bool yRead = CServerEntry::ParseAddress(CodePage::FromWide(b), &y);
    if (xRead && yRead) return x.s_addr == y.s_addr;
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return true;
}

bool CGatewayList::Plan(bool present, DWORD type, const std::string& bytes, const std::wstring& address,
                        const std::wstring& name, Update* out) {
    *out = Update();
    CGatewayList list;
    bool readable = present && (type == REG_MULTI_SZ || type == REG_BINARY) && list.Parse(bytes);
    if (readable && list.Selected() && SameAddress(list.Selected()->address, address)) return true;
    if (!list.Select(address, name)) return false;
    out->write = true;
    out->keepCopy = present && !readable;
    out->bytes = list.Serialise();
    return true;
}

std::wstring CGatewayList::CopyName(int n) {
    std::wstring name = std::wstring(kValueName) + L" (Orvane copy";
    return name + (n > 1 ? L" " + std::to_wstring(n) : std::wstring()) + L")";
}
