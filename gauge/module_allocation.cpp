// The module's only heap objects are the peer nodes, made with nothrow new and
// freed with delete. The C++ runtime's own nothrow new wraps the throwing one
// in a try block, and that alone links the exception machinery (unwinder,
// terminate handler, symbol demangler and a printf behind it) into a file
// that never throws: more than half of the Windows module's code. These
// replacements go straight to the C runtime's heap instead. They are part of
// the module file only; the tests' programs keep the standard ones.
#include <cstdlib>
#include <new>

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  // A zero-byte request still gets a distinct pointer, as the language asks.
  return std::malloc(size == 0 ? 1 : size);
}

void operator delete(void* pointer) noexcept {
  std::free(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
  std::free(pointer);
}
void operator delete(void* pointer, const std::nothrow_t&) noexcept {
  std::free(pointer);
}
