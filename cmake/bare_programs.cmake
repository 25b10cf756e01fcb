# The shipped programs of the i686 build (vandrel.exe, vandrel-cli.exe, vandrel-identify.exe) run
# on every machine their Windows versions run on: a 386 without a coprocessor, Windows 95 without
# msvcrt.dll. So they link no C or C++ runtime at all (Debian's mingw-w64 runtime is compiled for
# the Pentium Pro, and Windows 95 has no msvcrt.dll): src/runtime gives them their start-up,
# memory routines, heap and 64-bit division, and their code is compiled a second time, for the
# 80386 integer set only, into libraries named <name>_bare. The tests and the other builds keep
# the standard runtime and build the same sources once.
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(VANDREL_BARE_PROGRAMS ON)
else()
  set(VANDREL_BARE_PROGRAMS OFF)
endif()

if(VANDREL_BARE_PROGRAMS)
  add_library(vandrel_bare_flags INTERFACE)
  target_compile_options(vandrel_bare_flags INTERFACE
    # The 80386's instructions only, and no floating point: the assembler refuses anything a 386
    # lacks (CMOV, BSWAP, CMPXCHG, x87, ...), and floating point in the code cannot link.
    -march=i386 -mno-80387 -Wa,-march=i386
    # Nothing of the C++ runtime: no exceptions, no type information, no thread-safe statics.
    -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-asynchronous-unwind-tables
    -fno-unwind-tables -fno-stack-protector)
endif()

# A static library of `sources`, linking `links` (libraries made by this function, or others);
# with bare programs, also <name>_bare of the same sources, linking the bare variants of `links`.
function(vandrel_add_library name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LINKS;INCLUDES")
  add_library(${name} STATIC ${arg_SOURCES})
  target_link_libraries(${name} PUBLIC ${arg_LINKS})
  if(arg_INCLUDES)
    target_include_directories(${name} PUBLIC ${arg_INCLUDES})
  endif()
  if(VANDREL_BARE_PROGRAMS)
    add_library(${name}_bare STATIC ${arg_SOURCES})
    set(bare_links)
    foreach(link IN LISTS arg_LINKS)
      if(TARGET ${link}_bare)
        list(APPEND bare_links ${link}_bare)
      else()
        list(APPEND bare_links ${link})
      endif()
    endforeach()
    # The runtime after every bare library, so that the linker finds what each one calls.
    target_link_libraries(${name}_bare PUBLIC ${bare_links} vandrel_runtime)
    if(arg_INCLUDES)
      target_include_directories(${name}_bare PUBLIC ${arg_INCLUDES})
    endif()
  endif()
endfunction()

# Links a shipped program with `links` (libraries made by vandrel_add_library): their bare
# variants and our runtime where programs are bare, with the system's libraries only.
function(vandrel_link_shipped_program program)
  if(VANDREL_BARE_PROGRAMS)
    set(bare_links)
    foreach(link IN LISTS ARGN)
      list(APPEND bare_links ${link}_bare)
    endforeach()
    # The entry point of the program's kind: WinMain's for a windowed program, main's otherwise.
    get_target_property(windowed ${program} WIN32_EXECUTABLE)
    if(windowed)
      target_sources(${program} PRIVATE ${PROJECT_SOURCE_DIR}/src/runtime/window_entry.cpp)
    else()
      target_sources(${program} PRIVATE ${PROJECT_SOURCE_DIR}/src/runtime/console_entry.cpp)
    endif()
    target_link_libraries(${program} PRIVATE ${bare_links} vandrel_runtime
      kernel32 user32 gdi32 advapi32 shell32)
    target_link_options(${program} PRIVATE -nostdlib)
  else()
    target_link_libraries(${program} PRIVATE ${ARGN})
  endif()
endfunction()
