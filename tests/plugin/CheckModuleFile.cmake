# Checks the built plug-in module as a file, the way a packager would: what it
# needs from the system, what it exports, and how it is hardened.
#   cmake -DMODULE=path -DKIND=elf -DREADELF=readelf -P CheckModuleFile.cmake
#   cmake -DMODULE=path -DKIND=pe -DOBJDUMP=<triple>-objdump -P CheckModuleFile.cmake
# ELF (Linux): needs only the C library, libm, X11, cairo, fontconfig and
# freetype (the C++ runtime is inside); exports exactly VSTPluginMain, main,
# FumaraEditorSnapshot and FumaraEditorSnapshotAtZoom; full RELRO with
# immediate binding, a stack that is not executable, no text relocations. PE
# (Windows): imports only system DLLs and exports exactly the same four names.
cmake_minimum_required(VERSION 3.20)

set(failures "")
macro(fail message)
  string(APPEND failures "  ${message}\n")
endmacro()

function(run out)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE text ERROR_VARIABLE error RESULT_VARIABLE rc)
  if(rc)
    message(FATAL_ERROR "${ARGN} failed (${rc}): ${error}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(expected_exports FumaraEditorSnapshot FumaraEditorSnapshotAtZoom VSTPluginMain main)

if(NOT EXISTS "${MODULE}")
  message(FATAL_ERROR "No module at ${MODULE}")
endif()

if(KIND STREQUAL "elf")
  set(allowed libc.so.6 libm.so.6 libX11.so.6 libcairo.so.2 libfontconfig.so.1 libfreetype.so.6
      # glibc's dynamic loader, part of the C library (thread-local storage)
      ld-linux-x86-64.so.2)

  run(dynamic ${READELF} -dW "${MODULE}")
  string(REGEX MATCHALL "Shared library: \\[[^]]+\\]" needed_lines "${dynamic}")
  set(needed "")
  foreach(line IN LISTS needed_lines)
    string(REGEX REPLACE "Shared library: \\[([^]]+)\\]" "\\1" library "${line}")
    list(APPEND needed ${library})
    if(NOT library IN_LIST allowed)
      fail("needs ${library}, which is not a system library every host has")
    endif()
  endforeach()
  if(NOT dynamic MATCHES "\\(FLAGS\\)[^\n]*BIND_NOW" AND NOT dynamic MATCHES "FLAGS_1[^\n]*NOW")
    fail("not linked with -z now (no BIND_NOW)")
  endif()
  if(dynamic MATCHES "TEXTREL")
    fail("has text relocations")
  endif()

  run(segments ${READELF} -lW "${MODULE}")
  if(NOT segments MATCHES "GNU_RELRO")
    fail("has no GNU_RELRO segment (-z relro)")
  endif()
  if(NOT segments MATCHES "GNU_STACK[^\n]* RW  ")
    fail("its stack is executable or unmarked (GNU_STACK is not RW)")
  endif()

  # Defined symbols that leave the module: global or weak, default visibility.
  run(symbols ${READELF} --dyn-syms -W "${MODULE}")
  string(REPLACE "\n" ";" symbol_lines "${symbols}")
  set(exports "")
  foreach(line IN LISTS symbol_lines)
    if(line MATCHES "^ *[0-9]+: [0-9a-f]+ +[0-9]+ +[A-Z_]+ +(GLOBAL|WEAK) +DEFAULT +([0-9]+|ABS) +([^ @]+)")
      list(APPEND exports ${CMAKE_MATCH_3})
    endif()
  endforeach()
elseif(KIND STREQUAL "pe")
  # DLLs of Windows itself (and Wine's copies of them).
  set(system_dll "^(kernel32|user32|gdi32|ole32|oleaut32|shell32|advapi32|msvcrt|ucrtbase|comdlg32|comctl32|ws2_32|msimg32|uxtheme|imm32|version|shlwapi|api-ms-win-[a-z0-9-]+)\\.dll$")
  run(headers ${OBJDUMP} -p "${MODULE}")
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
  set(needed "")
  foreach(line IN LISTS imports)
    string(REGEX REPLACE "DLL Name: *([^ \n]+).*" "\\1" dll "${line}")
    string(TOLOWER "${dll}" lower)
    list(APPEND needed ${dll})
    if(NOT lower MATCHES "${system_dll}")
      fail("imports ${dll}, which is not a system DLL (link it statically)")
    endif()
  endforeach()
  if(NOT needed)
    fail("imports nothing at all: the import table was not read")
  endif()
  # The export table lists "[ordinal] name" lines after the name pointer table header.
  string(FIND "${headers}" "[Ordinal/Name Pointer] Table" at)
  set(exports "")
  if(at GREATER_EQUAL 0)
    string(SUBSTRING "${headers}" ${at} -1 table)
    string(REPLACE "\n" ";" table_lines "${table}")
    list(REMOVE_AT table_lines 0)
    foreach(line IN LISTS table_lines)
      if(line MATCHES "^[ \t]*\[ *[0-9]+\] +([A-Za-z_][A-Za-z0-9_@]*)")
        list(APPEND exports ${CMAKE_MATCH_1})
      else()
        break()
      endif()
    endforeach()
  endif()
else()
  message(FATAL_ERROR "KIND must be elf or pe")
endif()

list(REMOVE_DUPLICATES exports)
list(SORT exports)
if(NOT exports STREQUAL expected_exports)
  fail("exports [${exports}] instead of [${expected_exports}]")
endif()

file(SIZE "${MODULE}" size)
message(STATUS "${MODULE}: ${size} bytes; needs ${needed}; exports ${exports}")
if(failures)
  message(FATAL_ERROR "The module file is not as shipped modules must be:\n${failures}")
endif()
