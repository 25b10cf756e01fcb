// The memory and string routines that compiled code calls, the compiler's own copies of
// structures included. This file is built so that the compiler does not turn these loops back
// into calls of themselves.
#include <cstddef>

extern "C" {

void* memcpy(void* destination, const void* source, std::size_t count) {
  auto* to = static_cast<unsigned char*>(destination);
  auto* from = static_cast<const unsigned char*>(source);
  while (count-- > 0) *to++ = *from++;
  return destination;
}

void* memmove(void* destination, const void* source, std::size_t count) {
  auto* to = static_cast<unsigned char*>(destination);
  auto* from = static_cast<const unsigned char*>(source);
  if (to < from) {
    while (count-- > 0) *to++ = *from++;
  } else if (to > from) {
    while (count-- > 0) to[count] = from[count];
  }
  return destination;
}

void* memset(void* destination, int value, std::size_t count) {
  auto* to = static_cast<unsigned char*>(destination);
  while (count-- > 0) *to++ = static_cast<unsigned char>(value);
  return destination;
}

int memcmp(const void* a, const void* b, std::size_t count) {
  auto* x = static_cast<const unsigned char*>(a);
  auto* y = static_cast<const unsigned char*>(b);
  for (; count > 0; --count, ++x, ++y) {
    if (*x != *y) return *x < *y ? -1 : 1;
  }
  return 0;
}

void* memchr(const void* memory, int value, std::size_t count) {
  auto* at = static_cast<const unsigned char*>(memory);
  for (; count > 0; --count, ++at) {
    if (*at == static_cast<unsigned char>(value)) return const_cast<unsigned char*>(at);
  }
  return nullptr;
}

std::size_t strlen(const char* text) {
  const char* end = text;
  while (*end != '\0') ++end;
  return static_cast<std::size_t>(end - text);
}

int strcmp(const char* a, const char* b) {
  auto* x = reinterpret_cast<const unsigned char*>(a);
  auto* y = reinterpret_cast<const unsigned char*>(b);
  while (*x != '\0' && *x == *y) {
    ++x;
    ++y;
  }
  return *x == *y ? 0 : (*x < *y ? -1 : 1);
}

int strncmp(const char* a, const char* b, std::size_t count) {
  auto* x = reinterpret_cast<const unsigned char*>(a);
  auto* y = reinterpret_cast<const unsigned char*>(b);
  for (; count > 0; --count, ++x, ++y) {
    if (*x != *y) return *x < *y ? -1 : 1;
    if (*x == '\0') return 0;
  }
  return 0;
}

char* strchr(const char* text, int character) {
  for (;; ++text) {
    if (*text == static_cast<char>(character)) return const_cast<char*>(text);
    if (*text == '\0') return nullptr;
  }
}

char* strrchr(const char* text, int character) {
  const char* last = nullptr;
  for (;; ++text) {
    if (*text == static_cast<char>(character)) last = text;
    if (*text == '\0') return const_cast<char*>(last);
  }
}

char* strpbrk(const char* text, const char* characters) {
  for (; *text != '\0'; ++text) {
    for (const char* c = characters; *c != '\0'; ++c) {
      if (*text == *c) return const_cast<char*>(text);
    }
  }
  return nullptr;
}

char* strstr(const char* text, const char* part) {
  if (*part == '\0') return const_cast<char*>(text);
  for (; *text != '\0'; ++text) {
    std::size_t matched = 0;
    while (part[matched] != '\0' && text[matched] == part[matched]) ++matched;
    if (part[matched] == '\0') return const_cast<char*>(text);
  }
  return nullptr;
}

}  // extern "C"
