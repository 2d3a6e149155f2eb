// The Windows DLL's one hook: wire the core to the vehicle cache when the
// library is attached to a process. The entry points are entry_points.cpp's,
// stdcall on 32-bit Windows by VELT_CALL; velt.def (32-bit) and velt64.def
// (64-bit) give them their exported names.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "host/entry_points.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE /*module*/, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        velt::host::attach();
    }
    return TRUE;  // detach and thread notifications have nothing to do
}
