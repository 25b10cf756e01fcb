// vandrel-screen-capture: the smallest program that copies a few pixels of the screen, as the
// window tests do to look at colours and keep screenshots. Exit status 0 when the copy worked;
// 1 when no memory device context can be made for the screen, 2 when the copy itself fails.
// Under Wine 8's WoW64 mode a 32-bit build ends with 1: that mode gives a 32-bit program no
// memory device context at all, so the window tests check colours and take screenshots in the
// 64-bit lane only.
#include <windows.h>

#include <cstdio>

int main() {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
  int status = 0;
  if (memory == nullptr || bitmap == nullptr) {
    std::printf("no memory device context for the screen\n");
    status = 1;
  } else {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    if (!BitBlt(memory, 0, 0, 8, 8, screen, 0, 0, SRCCOPY)) {
      std::printf("the copy of the screen failed (error %lu)\n", GetLastError());
      status = 2;
    }
    SelectObject(memory, previous);
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  if (memory != nullptr) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return status;
}
