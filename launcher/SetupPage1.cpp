#include "SetupPage1.h"

#include <algorithm>
#include <vector>

#include "AppBase.h"
#include "GamePrograms.h"
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

LRESULT CSetupPage1::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_REPORT_READ_FAILURE:
        ReportReadFailure();
        return 0;
    }
    return CPropertyPage::HandleMessage(msg, wParam, lParam);
}

BOOL CSetupPage1::OnInitDialog() {
    m_listServers = CListView(GetItem(IDC_USER_SERVERS));
    m_strUserFile = CAppBase::ProgramFolder() + L"User.txt";
    static const CListView::Column kColumns[] = {{L"서버 이름", 150}, {L"서버 주소", 100}};
    m_listServers.InitReport(kColumns);
    LoadUserList();
    // Read at every showing: a launch writes the list while no sheet is open.
    ::SetWindowTextW(GetItem(IDC_GATEWAY), CGamePrograms::GatewayText().c_str());
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
    if (hdr->hwndFrom == m_listServers.GetHwnd() && m_listServers.GetHwnd()) {
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
            OnDoubleClick(reinterpret_cast<NMITEMACTIVATE*>(hdr)->ptAction);
            *result = 0;
            return true;
        }
        return false;
    }
    return CPropertyPage::OnNotify(hdr, result);
}

void CSetupPage1::LoadUserList() {
    // Anything by that name, a folder too, is read, and reported when it cannot be.
    if (::GetFileAttributesW(m_strUserFile.c_str()) == INVALID_FILE_ATTRIBUTES) return;
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
    for (const ServerLine& line : lines) AppendEntry(std::make_unique<CServerEntry>(line.name, line.address));
}

void CSetupPage1::ReportReadFailure() {
    if (CAppBase* app = CAppBase::Get())
        app->MessageBox(Owner(),
                        L"사용자 서버 목록 파일을 읽을 수 없습니다.\n" + m_strUserFile +
                            L"\n\n이 파일은 바꾸지 않으며, 사용자 서버는 지금 편집할 수 없습니다.",
                        MB_OK | MB_ICONEXCLAMATION);
}

void CSetupPage1::AppendEntry(std::unique_ptr<CServerEntry> entry) {
    // The entry is the only copy of the texts: the list asks for them. The
    // row owns it from now on (LVN_DELETEITEM frees it).
    if (m_listServers.InsertItem(m_listServers.GetItemCount(), reinterpret_cast<LPARAM>(entry.get())) >= 0)
        entry.release();
}

CServerEntry* CSetupPage1::EntryAt(int item) const {
    return reinterpret_cast<CServerEntry*>(m_listServers.GetItemData(item));
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
    AppendEntry(std::make_unique<CServerEntry>(dlg.m_strName, dlg.m_strAddress));
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
    int item = m_listServers.GetNextSelected();
    if (item < 0) return;
    if (CServerEntry* entry = EntryAt(item)) EditEntry(entry);
}

void CSetupPage1::OnDoubleClick(POINT click) {
    int item = m_listServers.HitTest(click);
    if (item < 0) return;
    if (CServerEntry* entry = EntryAt(item)) EditEntry(entry);
}

void CSetupPage1::OnDeleteServer() {
    int item = m_listServers.GetNextSelected();
    if (item < 0) return;
    CServerEntry* entry = EntryAt(item);
    CAppBase* app = CAppBase::Get();
    if (!entry || !app) return;
    std::wstring question = L"서버 이름 : " + entry->m_strName + L" \n\n위의 서버 이름을 삭제하시겠습니까?";
    if (app->MessageBox(Owner(), question, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    // LVN_DELETEITEM frees the entry.
    m_listServers.DeleteItem(item);
}

BOOL CSetupPage1::OnApply() {
    if (m_bReadFailed) return TRUE;
    std::vector<ServerLine> lines;
    int count = m_listServers.GetItemCount();
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
