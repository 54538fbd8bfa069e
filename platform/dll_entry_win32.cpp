// The Windows library entry point of the module file. The module starts its
// work at the first gauge update, never at load: the loader lock is held here,
// and the host's table is not yet in place.
#ifdef _WIN32

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
  return TRUE;
}

#endif  // _WIN32
