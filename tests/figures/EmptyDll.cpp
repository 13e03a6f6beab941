// The baseline for load time: a DLL with the same runtime and nothing to do.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
extern "C" __declspec(dllexport) int __cdecl EmptyExport(void) { return 0; }
