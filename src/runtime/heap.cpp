// new and delete over the process heap, and the few language-support routines the compiler may
// call. The program has no exceptions: an allocation that must not fail and does ends it.
#include <windows.h>

#include <new>

namespace std {
const nothrow_t nothrow{};
}  // namespace std

namespace {

void* allocate(std::size_t size) { return HeapAlloc(GetProcessHeap(), 0, size != 0 ? size : 1); }

void release(void* memory) {
  if (memory != nullptr) HeapFree(GetProcessHeap(), 0, memory);
}

[[noreturn]] void endForLackOfMemory() { ExitProcess(255); }

void* allocateOrEnd(std::size_t size) {
  void* memory = allocate(size);
  if (memory == nullptr) endForLackOfMemory();
  return memory;
}

}  // namespace

void* operator new(std::size_t size) { return allocateOrEnd(size); }
void* operator new[](std::size_t size) { return allocateOrEnd(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* memory) noexcept { release(memory); }
void operator delete[](void* memory) noexcept { release(memory); }
void operator delete(void* memory, std::size_t) noexcept { release(memory); }
void operator delete[](void* memory, std::size_t) noexcept { release(memory); }

// Called through a vtable entry of a class whose function is pure: a program error.
extern "C" void __cxa_pure_virtual() { ExitProcess(255); }
