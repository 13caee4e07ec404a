#include "SetupPage1.h"

#include <algorithm>
#include <vector>

#include "AppBase.h"
#include "ServerEditDlg.h"
#include "ServerEntry.h"
#include "ServerListFile.h"
#include "resource.h"

namespace {
// Shown once the sheet is on screen rather than before it.
constexpr UINT WM_REPORT_READ_FAILURE = WM_APP + 1;
}  // namespace

CSetupPage1::CSetupPage1() : CPropertyPage(IDD_SETUP_USER) {}

CSetupPage1::~CSetupPage1() = default;

INT_PTR CSetupPage1::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_REPORT_READ_FAILURE:
        ReportReadFailure();
        return TRUE;
    }
    return CPropertyPage::HandleMessage(msg, wParam, lParam);
}

BOOL CSetupPage1::OnInitDialog() {
    m_listServers = GetItem(IDC_USER_SERVERS);
    m_strUserFile = CAppBase::ProgramFolder() + L"User.txt";
    InitListColumns();
    LoadUserList();
    return TRUE;
}

bool CSetupPage1::OnCommand(UINT id, UINT code, HWND control) {
    if (code == BN_CLICKED) {
        switch (id) {
        case IDC_ADD_SERVER:
            OnAddServer();
            return true;
        case IDC_EDIT_SERVER:
            OnEditServer();
            return true;
        case IDC_DELETE_SERVER:
            OnDeleteServer();
            return true;
        }
    }
    return CPropertyPage::OnCommand(id, code, control);
}

bool CSetupPage1::OnNotify(NMHDR* hdr, LRESULT* result) {
    if (hdr->hwndFrom == m_listServers && m_listServers) {
        switch (hdr->code) {
        case LVN_GETDISPINFOW:
            OnGetDispInfo(reinterpret_cast<NMLVDISPINFOW*>(hdr));
            *result = 0;
            return true;
        case LVN_DELETEITEM:
            delete reinterpret_cast<CServerEntry*>(reinterpret_cast<NMLISTVIEW*>(hdr)->lParam);
            *result = 0;
            return true;
        case NM_CLICK:
            *result = 0;
            return true;
        case NM_DBLCLK:
            OnDoubleClick();
            *result = 0;
            return true;
        }
        return false;
    }
    return CPropertyPage::OnNotify(hdr, result);
}

void CSetupPage1::InitListColumns() {
    DWORD ex = static_cast<DWORD>(::SendMessageW(m_listServers, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    ::SendMessageW(m_listServers, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, ex | LVS_EX_FULLROWSELECT | LVS_EX_REGIONAL);
    LONG style = ::GetWindowLongW(m_listServers, GWL_STYLE);
    if ((style & LVS_TYPEMASK) != LVS_REPORT)
        ::SetWindowLongW(m_listServers, GWL_STYLE, (style & ~LVS_TYPEMASK) | LVS_REPORT);

    struct Column {
        const wchar_t* title;
        int width;
    };
    const Column columns[] = {{L"서버 이름", 150}, {L"서버 주소", 100}};
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = columns[i].width;
        column.pszText = const_cast<wchar_t*>(columns[i].title);
        column.iSubItem = i;
        ::SendMessageW(m_listServers, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}

void CSetupPage1::LoadUserList() {
    if (!CAppBase::FileExists(m_strUserFile)) return;
    std::vector<ServerLine> lines;
    if (!CServerListFile::ReadWithRest(m_strUserFile, lines, m_strRest)) {
        // Nothing on this page may replace a file it could not read: no
        // editing, and OK leaves the file alone.
        m_bReadFailed = true;
        m_strRest.clear();
        for (int id : {IDC_USER_SERVERS, IDC_ADD_SERVER, IDC_EDIT_SERVER, IDC_DELETE_SERVER})
            ::EnableWindow(GetItem(id), FALSE);
        ::PostMessageW(m_hWnd, WM_REPORT_READ_FAILURE, 0, 0);
        return;
    }
    for (const ServerLine& line : lines) AppendEntry(new CServerEntry(line.name, line.address));
}

void CSetupPage1::ReportReadFailure() {
    if (CAppBase* app = CAppBase::Get())
        app->MessageBox(Owner(),
                        L"사용자 서버 목록 파일을 읽을 수 없습니다.\n" + m_strUserFile +
                            L"\n\n이 파일은 바꾸지 않으며, 사용자 서버는 지금 편집할 수 없습니다.",
                        MB_OK | MB_ICONEXCLAMATION);
}

void CSetupPage1::AppendEntry(CServerEntry* entry) {
    // The entry is the only copy of the texts: the list asks for them.
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = static_cast<int>(::SendMessageW(m_listServers, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = LPSTR_TEXTCALLBACKW;
    item.cchTextMax = MAX_PATH;
    item.iImage = I_IMAGECALLBACK;
    item.lParam = reinterpret_cast<LPARAM>(entry);
    if (::SendMessageW(m_listServers, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) < 0) delete entry;
}

CServerEntry* CSetupPage1::EntryAt(int item) const {
    LVITEMW lv{};
    lv.mask = LVIF_PARAM;
    lv.iItem = item;
    if (!::SendMessageW(m_listServers, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&lv))) return nullptr;
    return reinterpret_cast<CServerEntry*>(lv.lParam);
}

int CSetupPage1::FirstSelected() const {
    return static_cast<int>(::SendMessageW(m_listServers, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

HWND CSetupPage1::Owner() const {
    HWND sheet = ::GetParent(m_hWnd);
    return sheet ? sheet : m_hWnd;
}

void CSetupPage1::OnGetDispInfo(NMLVDISPINFOW* info) {
    if (!(info->item.mask & LVIF_TEXT)) return;
    const auto* entry = reinterpret_cast<const CServerEntry*>(info->item.lParam);
    const std::wstring* text = nullptr;
    if (entry && info->item.iSubItem == 0) text = &entry->m_strName;
    if (entry && info->item.iSubItem == 1) text = &entry->m_strAddress;
    if (!text) {
        info->item.pszText = nullptr;
        return;
    }
    if (!info->item.pszText || info->item.cchTextMax <= 0) return;
    size_t n = std::min<size_t>(text->size(), static_cast<size_t>(info->item.cchTextMax - 1));
    text->copy(info->item.pszText, n);
    info->item.pszText[n] = L'\0';
}

void CSetupPage1::OnAddServer() {
    CServerEditDlg dlg(Owner());
    dlg.m_strCaption = L"추가";
    if (dlg.DoModal() != IDOK) return;
    AppendEntry(new CServerEntry(dlg.m_strName, dlg.m_strAddress));
    ::InvalidateRect(m_listServers, nullptr, TRUE);
}

void CSetupPage1::EditEntry(CServerEntry* entry) {
    CServerEditDlg dlg(Owner());
    dlg.m_strName = entry->m_strName;
    dlg.m_strAddress = entry->m_strAddress;
    if (dlg.DoModal() != IDOK) return;
    entry->m_strName = dlg.m_strName;
    entry->m_strAddress = dlg.m_strAddress;
    ::InvalidateRect(m_listServers, nullptr, TRUE);
}

void CSetupPage1::OnEditServer() {
    int item = FirstSelected();
    if (item < 0) return;
    if (CServerEntry* entry = EntryAt(item)) EditEntry(entry);
}

void CSetupPage1::OnDoubleClick() {
    LVHITTESTINFO hit{};
    ::GetCursorPos(&hit.pt);
    ::ScreenToClient(m_listServers, &hit.pt);
    int item = static_cast<int>(::SendMessageW(m_listServers, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (item < 0 || !(hit.flags & LVHT_ONITEM)) return;
    if (CServerEntry* entry = EntryAt(item)) EditEntry(entry);
}

void CSetupPage1::OnDeleteServer() {
    int item = FirstSelected();
    if (item < 0) return;
    CServerEntry* entry = EntryAt(item);
    CAppBase* app = CAppBase::Get();
    if (!entry || !app) return;
    std::wstring question = L"서버 이름 : " + entry->m_strName + L" \n\n위의 서버 이름을 삭제하시겠습니까?";
    if (app->MessageBox(Owner(), question, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    // LVN_DELETEITEM frees the entry.
    ::SendMessageW(m_listServers, LVM_DELETEITEM, item, 0);
}

BOOL CSetupPage1::OnApply() {
    if (m_bReadFailed) return TRUE;
    std::vector<ServerLine> lines;
    int count = static_cast<int>(::SendMessageW(m_listServers, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        if (const CServerEntry* entry = EntryAt(i)) lines.push_back({entry->m_strName, entry->m_strAddress});
    if (CServerListFile::WriteWithRest(m_strUserFile, lines, m_strRest)) return TRUE;
    // The old file is still whole; the sheet stays open so the player can
    // retry or cancel.
    if (CAppBase* app = CAppBase::Get())
        app->MessageBox(Owner(),
                        L"사용자 서버 목록 파일을 저장할 수 없습니다.\n" + m_strUserFile +
                            L"\n\n파일은 바뀌지 않았습니다. 파일이나 폴더가 읽기 전용인지 확인하십시오.",
                        MB_OK | MB_ICONEXCLAMATION);
    return FALSE;
}
