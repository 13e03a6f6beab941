# The oldest Windows Kelvane.dll runs on, and what each of its system DLLs
# exports there that the plug-in (with its static runtime) may import.
# cmake/CheckDllTables.cmake fails on any other import. Before adding a name,
# check that Windows 7 SP1 has it: the API documentation's "Minimum supported
# client" (Vista's and 7's functions are fine, 8's are not) or, for the
# runtime's msvcrt.dll, that Windows 7's msvcrt.dll exports it.
set(KELVANE_FLOOR "Windows 7 SP1")

set(KELVANE_FLOOR_KERNEL32
  AddVectoredExceptionHandler CloseHandle CopyFileA CreateDirectoryA CreateEventA CreateFileA CreateThread
  CreateFileMappingA CreateSemaphoreA DeleteCriticalSection DeleteFileA DisableThreadLibraryCalls
  DuplicateHandle EnterCriticalSection FindClose FindFirstFileA FlushFileBuffers FreeLibrary
  GetCurrentProcess GetCurrentProcessId GetCurrentThread GetCurrentThreadId GetFileAttributesA
  GetFileAttributesExA GetFileSize GetFileSizeEx GetFullPathNameA GetHandleInformation GetLastError GetModuleFileNameA
  GetModuleHandleA GetModuleHandleW GetPrivateProfileStringA GetProcAddress GetProcessAffinityMask
  GetSystemTimeAsFileTime GetTempFileNameA GetThreadContext GetThreadPriority GetTickCount GetTickCount64
  InitializeCriticalSection IsDBCSLeadByteEx IsDebuggerPresent LeaveCriticalSection LoadLibraryA
  LoadLibraryW LockFileEx MapViewOfFile MoveFileExA MultiByteToWideChar OpenProcess OutputDebugStringA
  QueryPerformanceCounter QueryPerformanceFrequency RaiseException ReadFile ReleaseSemaphore
  RemoveVectoredExceptionHandler ReplaceFileA ResetEvent ResumeThread SetEndOfFile SetEvent
  SetFileAttributesA SetLastError SetProcessAffinityMask SetThreadContext SetThreadPriority Sleep
  SuspendThread TlsAlloc TlsFree TlsGetValue TlsSetValue TryEnterCriticalSection UnlockFileEx
  UnmapViewOfFile VirtualProtect VirtualQuery WaitForMultipleObjects WaitForSingleObject
  WideCharToMultiByte WriteFile WritePrivateProfileStringA
  FindNextFileA FlushInstructionCache FormatMessageA GetEnvironmentVariableA GetModuleHandleExW GetPrivateProfileSectionA GetShortPathNameA LocalFree
  GetPrivateProfileSectionNamesA GetSystemInfo VirtualAlloc VirtualFree lstrcmpiA
  GetLocalTime
  AcquireSRWLockExclusive AcquireSRWLockShared ReleaseSRWLockExclusive ReleaseSRWLockShared
  GlobalAlloc GlobalFree GlobalLock GlobalUnlock MulDiv lstrcpynA
  GetModuleFileNameW LoadLibraryExW GetProcessHeap HeapAlloc HeapFree
  CreateDirectoryW CreateEventW CreateFileW DeleteFileW FindFirstFileW FindNextFileW GetFileAttributesW
  MoveFileExW lstrcmpiW)

set(KELVANE_FLOOR_USER32
  CallWindowProcW GetCursorPos GetMessagePos GetMessageTime GetWindowLongW PtInRect ScreenToClient SetWindowLongW
  EnumChildWindows GetWindowThreadProcessId IsWindowEnabled MapVirtualKeyA
  AdjustWindowRectEx BeginPaint CallNextHookEx CheckDlgButton CheckMenuItem CreateDialogIndirectParamA
  CreateDialogParamA CreateWindowExA DefWindowProcA DestroyIcon DestroyMenu DestroyWindow DrawTextA
  EnableWindow EndPaint GetAncestor GetClassInfoExA GetClientRect GetDC GetDlgCtrlID GetDlgItem
  GetFocus GetInputState GetKeyState GetMenu GetMonitorInfoA GetParent GetScrollInfo GetSysColor
  GetSystemMetrics GetWindowLongA GetWindowRect GetWindowTextA GetWindowTextLengthA InvalidateRect
  IsChild IsDialogMessageA IsDlgButtonChecked IsWindow IsWindowVisible KillTimer LoadCursorA
  LoadImageA LoadMenuA MapDialogRect MapWindowPoints MessageBoxA MonitorFromWindow PostMessageA
  RedrawWindow RegisterClassExA ReleaseDC ScrollWindowEx SendMessageA SetActiveWindow SetDlgItemTextA
  SetFocus SetForegroundWindow SetScrollInfo SetScrollPos SetTimer SetWindowLongA SetWindowPos
  SetWindowsHookExA ShowWindow SystemParametersInfoA UnhookWindowsHookEx UnregisterClassA
  FillRect DrawFocusRect GetNextDlgTabItem
  CloseClipboard EmptyClipboard GetClassLongA GetSysColorBrush GetWindow GetWindowPlacement IsIconic OpenClipboard SetClipboardData SetWindowPlacement TrackMouseEvent UpdateWindow SetWindowTextA DialogBoxParamA EndDialog
  GetWindowTextLengthW GetWindowTextW MessageBoxW PostMessageW SendMessageW SetWindowTextW
  FlashWindowEx GetForegroundWindow)

set(KELVANE_FLOOR_GDI32
  CreateFontIndirectA CreateSolidBrush DeleteObject GetDeviceCaps GetObjectA GetStockObject
  GetTextMetricsA SelectObject SetBkColor SetBkMode SetDCBrushColor SetTextColor
  CreateBitmap CreateCompatibleBitmap CreateCompatibleDC CreatePen DeleteDC GetTextColor GetTextExtentPoint32A PatBlt Polygon
  ExtTextOutA GetBkColor
  BitBlt CreateHatchBrush CreateRectRgnIndirect ExtCreatePen IntersectClipRect LineTo MoveToEx Polyline Rectangle RestoreDC SaveDC SelectClipRgn SetTextAlign TextOutA
  GetViewportOrgEx SetViewportOrgEx
  CreateDIBSection GdiFlush)

# Comctl32.dll 5.82 (without a manifest) and 6.
set(KELVANE_FLOOR_COMCTL32
  DefSubclassProc GetWindowSubclass ImageList_Create ImageList_Destroy ImageList_ReplaceIcon
  InitCommonControlsEx RemoveWindowSubclass SetWindowSubclass
  ImageList_Add ImageList_SetOverlayImage)

set(KELVANE_FLOOR_MSVCRT
  strtoul tolower toupper __mb_cur_max __setusermatherr _amsg_exit _assert _beginthreadex _close _endthreadex _errno _initterm
  _iob _lock _read _setjmp3 _strdup _ultoa _unlock abort atoi calloc exit fprintf fputc fputs free
  fwrite localeconv longjmp malloc memchr memcmp memcpy memmove memset printf realloc setlocale
  strchr strcmp strerror strlen strncmp vfprintf wcslen)
