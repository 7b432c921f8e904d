// Window classes and the module handle.
#include <string>
#include <vector>

#include "platform/port/kernel32.h"
#include "platform/port/windowstate.h"

namespace port::detail {
namespace {

struct ClassRecord {
  std::string name;
  WNDPROC procedure = nullptr;
};

std::vector<ClassRecord> classes;
// Atoms of registered classes start here, as the platform's do.
constexpr ATOM FirstClassAtom = 0xC000;
ATOM nextAtom = FirstClassAtom;

ClassRecord* findClass(const char* name) {
  if (!name) return nullptr;
  for (ClassRecord& c : classes)
    if (c.name == name) return &c;
  return nullptr;
}

} // namespace

WNDPROC classProcedure(const char* className) {
  ClassRecord* c = findClass(className);
  return c ? c->procedure : nullptr;
}

void forgetClasses() { classes.clear(); }

} // namespace port::detail

using namespace port::detail;

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass) {
  if (!windowClass || !windowClass->lpszClassName || !windowClass->lpfnWndProc) return 0;
  if (findClass(windowClass->lpszClassName)) return 0;
  classes.push_back({windowClass->lpszClassName, windowClass->lpfnWndProc});
  return nextAtom++;
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE) {
  ClassRecord* c = findClass(className);
  if (!c) return FALSE;
  WindowRecord* w = liveWindow();
  if (w && w->className == className) return FALSE; // a window of the class still exists
  classes.erase(classes.begin() + (c - classes.data()));
  return TRUE;
}

namespace {
// The executable's own module: only its identity matters.
int executableModuleTag;
} // namespace

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
  if (moduleName) return nullptr; // only the executable itself is known
  return reinterpret_cast<HMODULE>(&executableModuleTag);
}
