#pragma once
// Registered window messages through which the controls report to the view,
// and the fixed socket notification message.
#include <windows.h>

extern const UINT WM_GET_RESPONSE_TIME;   // "Get Response Time": folder id / item index
extern const UINT WM_FOLDERBAR_CHANGED;   // "FolderBar Changed"
extern const UINT WM_LAUNCH_BATTLENET;    // "Launch Battle Net": CServerEntry* / 0
extern const UINT WM_SOUNDPLAY_START;     // "SoundPlay Start"
extern const UINT WM_SOUNDPLAY_STOP;      // "SoundPlay Stop"

constexpr UINT WM_SOCKET_NOTIFY = WM_USER + 100;
// Posted by the view to itself while a long server list is being filled in.
constexpr UINT WM_FILL_SERVER_LIST = WM_USER + 101;
// A launcher key (Enter, F5) pressed while the launcher was active: the key's code / 0.
constexpr UINT WM_LAUNCHER_KEY = WM_USER + 102;
// Posted by the view to itself when the start-up defaults could not be stored.
constexpr UINT WM_PROFILE_NOT_STORED = WM_USER + 103;
