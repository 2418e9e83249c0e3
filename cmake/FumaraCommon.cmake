# Shared compile settings for every Fumara target.
add_library(fumara_options INTERFACE)
target_include_directories(fumara_options INTERFACE ${PROJECT_SOURCE_DIR})
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(fumara_options INTERFACE -Wall -Wextra -Wno-unused-parameter)
  # 32-bit x86 defaults to x87 arithmetic with excess precision; the engine's
  # float rounding must be the same on every target.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "i.86|x86")
    target_compile_options(fumara_options INTERFACE -msse2 -mfpmath=sse)
  endif()
endif()
target_compile_options(fumara_options INTERFACE $<$<CXX_COMPILER_ID:GNU,Clang>:-ffp-contract=off>)
# The C library's checked string and memory functions where the compiler knows
# an object's size, as Debian builds its packages (it needs optimisation;
# sanitizer builds check those calls themselves).
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  target_compile_options(fumara_options INTERFACE
    "$<$<AND:$<COMPILE_LANG_AND_ID:CXX,GNU,Clang>,$<NOT:$<CONFIG:Debug>>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>"
    "$<$<AND:$<COMPILE_LANG_AND_ID:C,GNU,Clang>,$<NOT:$<CONFIG:Debug>>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
endif()
# Binaries name no folder of the machine that built them: source and build
# paths (debug information, __FILE__) read relative to the source tree, so that
# two checkouts of one commit in different folders build the same bytes. The
# same names come out whether the compiler is given absolute paths or, through
# a compiler cache, paths relative to the build folder; generated sources are
# named relative to the build folder either way (the last matching map wins).
file(RELATIVE_PATH fumara_source_from_build ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR})
string(REGEX REPLACE "/$" "" fumara_source_from_build "${fumara_source_from_build}")
set(fumara_path_maps -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.)
if(fumara_source_from_build)
  list(APPEND fumara_path_maps
    -ffile-prefix-map=${fumara_source_from_build}/=./
    -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
endif()
target_compile_options(fumara_options INTERFACE
  "$<$<COMPILE_LANG_AND_ID:C,GNU,Clang>:${fumara_path_maps}>"
  "$<$<COMPILE_LANG_AND_ID:CXX,GNU,Clang>:${fumara_path_maps}>")

# fumara_add_library(name SOURCES ... [DEPS ...])
function(fumara_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC fumara_options ${ARG_DEPS})
endfunction()

# Tests: GoogleTest from the system on native builds; built from Debian's
# googletest sources for cross builds.
if(FUMARA_TESTS)
  enable_testing()
  include(GoogleTest)
  if(CMAKE_CROSSCOMPILING)
    if(NOT TARGET gtest)
      set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
      set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
      add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    endif()
    # Windows test programs use their own main (console-only failure output;
    # see tests/main/WindowsTestMain.cpp).
    if(NOT TARGET fumara_gtest_main)
      add_library(fumara_gtest_main STATIC ${PROJECT_SOURCE_DIR}/tests/main/WindowsTestMain.cpp)
      target_link_libraries(fumara_gtest_main PUBLIC gtest)
    endif()
    set(FUMARA_GTEST_LIBS gtest fumara_gtest_main)
  else()
    find_package(GTest REQUIRED)
    set(FUMARA_GTEST_LIBS GTest::gtest GTest::gtest_main)
  endif()
endif()

# The labels of a test defined in the current folder: the folders it sits in
# under tests/, the extra ones given, and windows in the cross builds.
function(fumara_test_labels out)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR})
  string(REPLACE "/" ";" labels "${folder}")
  list(APPEND labels ${ARGN})
  if(CMAKE_CROSSCOMPILING)
    list(APPEND labels windows)
  endif()
  list(REMOVE_DUPLICATES labels)
  set(${out} "${labels}" PARENT_SCOPE)
endfunction()

# fumara_add_script_test(name SCRIPT file.cmake [DEFINES VAR=value ...] [LABELS ...])
# A test that runs a CMake script on the build machine (also in the cross
# builds: it inspects files rather than running Windows code).
function(fumara_add_script_test name)
  cmake_parse_arguments(ARG "" "SCRIPT" "DEFINES;LABELS" ${ARGN})
  set(defines "")
  foreach(define IN LISTS ARG_DEFINES)
    list(APPEND defines "-D${define}")
  endforeach()
  add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} ${defines} -P ${ARG_SCRIPT})
  fumara_test_labels(labels ${ARG_LABELS})
  set_tests_properties(${name} PROPERTIES LABELS "${labels}")
endfunction()

# fumara_add_test(name SOURCES ... [DEPS ...] [LABELS ...] [SERIAL])
# Every test carries the names of the folders it sits in under tests/ as labels
# (tests/gui/platform/x11 gives gui, platform and x11), the cross builds add
# windows, and LABELS adds more (audio marks the audio path). Suites are chosen
# by label: ctest -L audio, ctest -L x11, or the test presets.
function(fumara_add_test name)
  cmake_parse_arguments(ARG "SERIAL" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE fumara_options ${ARG_DEPS} ${FUMARA_GTEST_LIBS})
  fumara_test_labels(labels ${ARG_LABELS})
  if(CMAKE_CROSSCOMPILING)
    target_link_options(${name} PRIVATE -static)
    # Under the emulator each process start costs about a second, so a test
    # program runs once as a whole rather than once per test case.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "${labels}")
    if(ARG_SERIAL)
      set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
    endif()
    return()
  endif()
  set(props "")
  if(ARG_SERIAL)
    set(props PROPERTIES RUN_SERIAL TRUE)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 ${props})
  # The discovered cases get their labels from a script ctest reads after the
  # discovery script, which leaves their names in ${name}_TESTS (a list-valued
  # property does not survive the discovery's own PROPERTIES). The same script
  # gives them a desktop of their own: no scale variables, and a settings
  # folder that holds no choice (tests that make one use folders of their own).
  set(label_script ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
  set(test_environment
    "XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-settings;GDK_SCALE=;QT_SCALE_FACTOR=")
  file(WRITE ${label_script}
    "if(${name}_TESTS)\n"
    "  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${labels}\"\n"
    "    ENVIRONMENT \"${test_environment}\")\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${label_script})
endfunction()
