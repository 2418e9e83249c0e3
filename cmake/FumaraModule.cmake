# How a plug-in module is linked, split and installed, whatever its format.
#
# fumara_ship_module(target DESTINATION dir [EXPORTS version-script] [COMPONENT name]
#                    [DEBUG_DIR dir])
#   - exports only what the module declares with default visibility (and, on
#     ELF, what the version script names); everything else is hidden;
#   - Linux: the C++ runtime and libgcc linked in (hosts built against another
#     runtime load it all the same), full RELRO with immediate binding, a
#     non-executable stack, no undefined symbols; Windows: linked statically;
#     either way FUMARA_STATIC_CXX_RUNTIME is defined for the module's own
#     sources (effect/StaticRuntime.cpp gives the runtime's pool back);
#   - the debug information is copied to <module>.debug beside the built module
#     (or into DEBUG_DIR, for modules whose folder must hold nothing else),
#     which names it (.gnu_debuglink) for debuggers;
#   - `cmake --install` copies the module, stripped, to dir under the prefix
#     (an absolute dir is used as it stands).
#
# fumara_ship_program(target DESTINATION dir [COMPONENT name])
#   The same for an executable: full RELRO with immediate binding, the debug
#   information beside the built program, installed stripped to dir.
#
# Windows modules carry no link time stamp, so that a build is the same bytes
# whenever it is made.
function(fumara_ship_module target)
  cmake_parse_arguments(ARG "" "DESTINATION;EXPORTS;COMPONENT;DEBUG_DIR" "" ${ARGN})
  set(component "")
  if(ARG_COMPONENT)
    set(component COMPONENT ${ARG_COMPONENT})
  endif()
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  if(MINGW)
    # The DLL must load with nothing beside it.
    target_link_options(${target} PRIVATE -static -Wl,--no-insert-timestamp)
    target_compile_definitions(${target} PRIVATE FUMARA_STATIC_CXX_RUNTIME)
  elseif(UNIX AND NOT APPLE)
    target_link_options(${target} PRIVATE
      -static-libstdc++ -static-libgcc
      -Wl,-z,relro -Wl,-z,now -Wl,-z,noexecstack)
    # effect/StaticRuntime.cpp gives the runtime's pool back at unload.
    target_compile_definitions(${target} PRIVATE FUMARA_STATIC_CXX_RUNTIME)
    if(ARG_EXPORTS)
      target_link_options(${target} PRIVATE -Wl,--version-script=${ARG_EXPORTS})
      set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${ARG_EXPORTS})
    endif()
    # Sanitizer builds leave their runtime's symbols to the program that loads
    # the module; every other build resolves everything at link time.
    if(NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
      target_link_options(${target} PRIVATE -Wl,--no-undefined)
    endif()
  endif()

  fumara_split_debug_information(${target} "${ARG_DEBUG_DIR}")
  if(ARG_DESTINATION)
    fumara_install_stripped(${target} LIBRARY ${ARG_DESTINATION} "${component}")
  endif()
endfunction()

function(fumara_ship_program target)
  cmake_parse_arguments(ARG "" "DESTINATION;COMPONENT" "" ${ARGN})
  set(component "")
  if(ARG_COMPONENT)
    set(component COMPONENT ${ARG_COMPONENT})
  endif()
  if(UNIX AND NOT APPLE)
    target_link_options(${target} PRIVATE -Wl,-z,relro -Wl,-z,now)
  elseif(MINGW)
    target_link_options(${target} PRIVATE -Wl,--no-insert-timestamp)
  endif()
  fumara_split_debug_information(${target} "")
  fumara_install_stripped(${target} RUNTIME ${ARG_DESTINATION} "${component}")
endfunction()

# The debug information of target copied to <file>.debug beside it (or into
# debug_dir), which the stripped copies name through .gnu_debuglink.
function(fumara_split_debug_information target debug_dir)
  if(NOT CMAKE_OBJCOPY OR NOT (MINGW OR (UNIX AND NOT APPLE)))
    return()
  endif()
  if(debug_dir)
    set(debug_file ${debug_dir}/$<TARGET_FILE_NAME:${target}>.debug)
  else()
    set(debug_file $<TARGET_FILE:${target}>.debug)
  endif()
  # objcopy writes the time into a PE header it rewrites (the linker wrote
  # none) unless SOURCE_DATE_EPOCH names one; the debug link's checksum covers it.
  set(objcopy ${CMAKE_OBJCOPY})
  if(MINGW)
    set(objcopy ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_OBJCOPY})
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${objcopy} --only-keep-debug $<TARGET_FILE:${target}> ${debug_file}
    COMMAND ${objcopy} --remove-section=.gnu_debuglink --add-gnu-debuglink=${debug_file}
            $<TARGET_FILE_NAME:${target}>
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
    COMMENT "Debug information of ${target} to ${debug_file}"
    VERBATIM)
endfunction()

# install(TARGETS) of kind (LIBRARY or RUNTIME) to destination, then the
# installed copy stripped (on ELF also of the compilers' version notes).
function(fumara_install_stripped target kind destination component)
  install(TARGETS ${target} ${kind} DESTINATION ${destination} ${component})
  if(NOT CMAKE_STRIP)
    return()
  endif()
  set(strip_options --strip-unneeded)
  if(UNIX AND NOT APPLE)
    string(APPEND strip_options " --remove-section=.comment --remove-section=.note")
  endif()
  if(IS_ABSOLUTE "${destination}")
    set(installed "\$ENV{DESTDIR}${destination}/$<TARGET_FILE_NAME:${target}>")
  else()
    set(installed
        "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${destination}/$<TARGET_FILE_NAME:${target}>")
  endif()
  install(CODE "
    execute_process(COMMAND \"${CMAKE_STRIP}\" ${strip_options} \"${installed}\"
                    RESULT_VARIABLE fumara_strip_result)
    if(fumara_strip_result)
      message(FATAL_ERROR \"Stripping ${installed} failed\")
    endif()" ${component})
endfunction()
