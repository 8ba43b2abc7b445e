# What a release is made of: the version sbrep.h states, and how the Windows
# binaries are linked and described: the architecture they name, hardening,
# debug information kept apart from the shipped files, and the import
# libraries hosts link. MinGW-only options stay behind MINGW, so that an MSVC
# build gets its linker's own defaults.

# Hosts read the version from sbrep.h; it must be the one the DLL carries.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/include/sbrep.h)
foreach(part MAJOR MINOR PATCH)
  file(STRINGS ${PROJECT_SOURCE_DIR}/include/sbrep.h line REGEX "^#define SBREP_VERSION_${part} ")
  string(REGEX REPLACE ".* " "" header_${part} "${line}")
  if(NOT header_${part} STREQUAL PROJECT_VERSION_${part})
    message(FATAL_ERROR "include/sbrep.h says SBREP_VERSION_${part} ${header_${part}}, "
                        "the project's version is ${PROJECT_VERSION}")
  endif()
endforeach()
file(STRINGS ${PROJECT_SOURCE_DIR}/include/sbrep.h line REGEX "^#define SBREP_VERSION_STRING ")
if(NOT line STREQUAL "#define SBREP_VERSION_STRING \"${PROJECT_VERSION}\"")
  message(FATAL_ERROR "include/sbrep.h: '${line}', the project's version is ${PROJECT_VERSION}")
endif()

if(NOT WIN32)
  return()
endif()

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(SBREP_ARCH x86)
else()
  set(SBREP_ARCH x64)
endif()
# The version resource's four-part versions and notice.
set(SBREP_VERSION_FULL ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
set(SBREP_COPYRIGHT "Copyright (C) 2026 the sbrep authors")

if(MINGW)
  # One self-contained DLL or program: no libgcc, libstdc++ or winpthread DLLs.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # ASLR and DEP for every binary, high-entropy ASLR where there is room for it.
  add_link_options(-Wl,--dynamicbase -Wl,--nxcompat)
  if(SBREP_ARCH STREQUAL x64)
    add_link_options(-Wl,--high-entropy-va)
  else()
    # GCC's i686 code unwinds with DWARF tables and registers no SEH handler,
    # and GNU ld writes no SafeSEH table: the image declares that it has
    # none, so that no foreign handler can be planted on its frames.
    # scripts/check-binaries checks that no code in it touches the handler
    # chain.
    add_link_options(-Wl,--no-seh)
  endif()
  # Each function and datum in a section of its own, so that the linker
  # drops what nothing calls: most of libxml2 and of the C++ runtime.
  add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-ffunction-sections>
                      $<$<COMPILE_LANGUAGE:C,CXX>:-fdata-sections>)
  add_link_options(-Wl,--gc-sections)
  # -O2 rather than Release's -O3: a DLL a tenth smaller, and the reader's
  # figures under scripts/bench the same within their noise.
  add_compile_options($<$<AND:$<CONFIG:Release>,$<COMPILE_LANGUAGE:C,CXX>>:-O2>)
  # Debug information for our own code too; the shipped files carry none of
  # it (sbrep_split_debug).
  add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-g>)
endif()

# Moves the DWARF of a MinGW binary, NAME in the bin folder, into NAME.debug
# beside it and leaves a debug link to it, so that a debugger finds it and
# the binary ships without.
function(sbrep_split_debug target name)
  if(NOT MINGW)
    return()
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${name} ${name}.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${name}.debug ${name}
    WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
    BYPRODUCTS ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${name}.debug
    VERBATIM)
endfunction()

# A link map beside a MinGW binary, NAME.map in the bin folder: what went
# into it, for the release's third-party notices.
function(sbrep_link_map target name)
  if(NOT MINGW)
    return()
  endif()
  target_link_options(${target} PRIVATE -Wl,-Map=${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${name}.map)
endfunction()

# The same split for a file the install step has just copied: for binaries
# whose own build the tests need with everything in it.
function(sbrep_install_split_debug destination name)
  if(NOT MINGW)
    return()
  endif()
  install(CODE "
    set(dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${destination}\")
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --only-keep-debug ${name} ${name}.debug
                    WORKING_DIRECTORY \${dir} COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --strip-all
                            --add-gnu-debuglink=${name}.debug ${name}
                    WORKING_DIRECTORY \${dir} COMMAND_ERROR_IS_FATAL ANY)")
endfunction()

# The import libraries of a MinGW-built sbrep.dll, beside the linker's own:
# - libsbrep.dll.a, for MinGW hosts. On x86 the linker's would name the
#   plain symbol, but a C host that includes sbrep.h asks for the stdcall
#   one, _SetSBRepData@12, so dlltool makes one that maps it onto the plain
#   export. It runs in the build folder, so that the member names do not
#   carry the folder's path.
# - sbrep.lib, for MSVC hosts, from sbrep-import.def: short import members,
#   which MSVC's linker accepts with /SAFESEH (dlltool's objects have no
#   SafeSEH marking and are refused).
# sbrep-import.def is shipped beside them: what another tool needs to make
# its own import library.
function(sbrep_import_libraries target)
  if(NOT MINGW)
    return()
  endif()
  find_program(SBREP_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)
  set(def ${CMAKE_BINARY_DIR}/sbrep-import.def)
  if(SBREP_ARCH STREQUAL x86)
    set(entry "SetSBRepData@12")
    set(make_lib ${SBREP_LLVM_DLLTOOL} -m i386 -k)
    set(how "llvm-dlltool -m i386 -k, or dlltool --kill-at")
    find_program(SBREP_DLLTOOL NAMES ${CMAKE_C_COMPILER_TARGET}-dlltool i686-w64-mingw32-dlltool
                 REQUIRED)
    set(make_mingw_lib
      COMMAND ${SBREP_DLLTOOL} --kill-at -d ${def} -D sbrep.dll -l $<TARGET_LINKER_FILE_NAME:${target}>)
  else()
    set(entry SetSBRepData)
    set(make_lib ${SBREP_LLVM_DLLTOOL} -m i386:x86-64)
    set(how "llvm-dlltool -m i386:x86-64, or dlltool")
    set(make_mingw_lib)
  endif()
  file(WRITE ${def} "; The exported function of the ${SBREP_ARCH} sbrep.dll, for making an import library\n"
                    "; (${how}).\nLIBRARY sbrep.dll\nEXPORTS\n    ${entry}\n")
  add_custom_command(TARGET ${target} POST_BUILD
    ${make_mingw_lib}
    COMMAND ${make_lib} -d ${def} -D sbrep.dll -l sbrep.lib
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    BYPRODUCTS ${CMAKE_CURRENT_BINARY_DIR}/sbrep.lib
    VERBATIM)
endfunction()
