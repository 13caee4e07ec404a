#include "Messages.h"

// Registered during static initialisation, before WinMain.
const UINT WM_GET_RESPONSE_TIME = ::RegisterWindowMessageW(L"Get Response Time");
const UINT WM_FOLDERBAR_CHANGED = ::RegisterWindowMessageW(L"FolderBar Changed");
const UINT WM_LAUNCH_BATTLENET = ::RegisterWindowMessageW(L"Launch Battle Net");
const UINT WM_SOUNDPLAY_START = ::RegisterWindowMessageW(L"SoundPlay Start");
const UINT WM_SOUNDPLAY_STOP = ::RegisterWindowMessageW(L"SoundPlay Stop");
