# Installs the build into a temporary staging folder (DESTDIR, so that even a
# build configured for an absolute folder such as ~/.vst writes nothing
# outside it) and checks what `cmake --install` delivers: the module at its
# folder under the prefix, without debug information, the debug information
# beside the built module instead, and, when a renderer is given, that the
# installed module loads through its entry point and renders the same audio
# as the built one.
#   cmake -DBUILD_DIR=... -DSTAGE=... -DPREFIX=/usr/local -DDESTINATION=lib/vst
#         -DBUILT_MODULE=... -DOBJDUMP=objdump [-DRENDER=fumara-render]
#         -P CheckInstall.cmake
cmake_minimum_required(VERSION 3.20)

get_filename_component(name "${BUILT_MODULE}" NAME)
if(IS_ABSOLUTE "${DESTINATION}")
  set(installed "${STAGE}${DESTINATION}/${name}")
else()
  set(installed "${STAGE}${PREFIX}/${DESTINATION}/${name}")
endif()

file(REMOVE_RECURSE "${STAGE}")
set(ENV{DESTDIR} "${STAGE}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
unset(ENV{DESTDIR})
if(rc)
  message(FATAL_ERROR "cmake --install failed:\n${out}${err}")
endif()
if(NOT EXISTS "${installed}")
  message(FATAL_ERROR "cmake --install put no module at ${installed}:\n${out}")
endif()

function(sections file out)
  execute_process(COMMAND ${OBJDUMP} -h "${file}" OUTPUT_VARIABLE text RESULT_VARIABLE rc)
  if(rc)
    message(FATAL_ERROR "${OBJDUMP} -h ${file} failed")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

sections("${installed}" installed_sections)
if(installed_sections MATCHES "\\.debug_")
  message(FATAL_ERROR "The installed module carries debug information")
endif()
if(NOT EXISTS "${BUILT_MODULE}.debug")
  message(FATAL_ERROR "No debug information beside the built module (${BUILT_MODULE}.debug)")
endif()
sections("${BUILT_MODULE}.debug" debug_sections)
if(NOT debug_sections MATCHES "\\.debug_info")
  message(FATAL_ERROR "${BUILT_MODULE}.debug holds no debug information")
endif()
file(SIZE "${installed}" installed_size)
file(SIZE "${BUILT_MODULE}" built_size)
message(STATUS "installed ${installed}: ${installed_size} bytes (built: ${built_size} bytes)")

if(RENDER)
  foreach(which built installed)
    if(which STREQUAL "built")
      set(module "${BUILT_MODULE}")
    else()
      set(module "${installed}")
    endif()
    execute_process(COMMAND "${RENDER}" --plugin "${module}" --set "Room Size=0.8" --tail 1
                            "${STAGE}/${which}.wav"
                    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
    if(rc)
      message(FATAL_ERROR "Rendering through the ${which} module failed:\n${out}${err}")
    endif()
  endforeach()
  # The samples, from the data chunk on (the header's peak chunk holds the time of writing).
  function(samples_hash file out)
    file(READ "${file}" header LIMIT 512 HEX)
    string(FIND "${header}" "64617461" at) # "data"
    if(at LESS 0)
      message(FATAL_ERROR "${file} has no data chunk")
    endif()
    math(EXPR offset "${at} / 2 + 8")
    file(READ "${file}" data OFFSET ${offset} HEX)
    string(SHA256 hash "${data}")
    set(${out} ${hash} PARENT_SCOPE)
  endfunction()
  samples_hash("${STAGE}/built.wav" built_hash)
  samples_hash("${STAGE}/installed.wav" installed_hash)
  if(NOT built_hash STREQUAL installed_hash)
    message(FATAL_ERROR "The installed module renders other audio than the built one")
  endif()
endif()
file(REMOVE_RECURSE "${STAGE}")
