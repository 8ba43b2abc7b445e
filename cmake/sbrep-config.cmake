# sbrep's CMake package, for find_package(sbrep CONFIG) from the unpacked
# release: the imported target sbrep::sbrep, with the header folder, the DLL of
# the consumer's architecture and the import library for its compiler.
get_filename_component(_sbrep_root "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)

if(NOT WIN32)
  set(sbrep_FOUND FALSE)
  set(sbrep_NOT_FOUND_MESSAGE "sbrep.dll is for Windows programs")
  return()
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_sbrep_arch x86)
elseif(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_sbrep_arch x64)
else()
  set(sbrep_FOUND FALSE)
  set(sbrep_NOT_FOUND_MESSAGE "enable C or CXX before find_package(sbrep): the pointer size "
                              "picks the x86 or the x64 DLL")
  return()
endif()
# MSVC and clang-cl (and clang for the MSVC target) link sbrep.lib; MinGW's
# linkers, libsbrep.dll.a, whose x86 copy maps the stdcall name sbrep.h asks for.
if(MSVC OR CMAKE_C_SIMULATE_ID STREQUAL "MSVC" OR CMAKE_CXX_SIMULATE_ID STREQUAL "MSVC")
  set(_sbrep_implib sbrep.lib)
else()
  set(_sbrep_implib libsbrep.dll.a)
endif()

if(NOT TARGET sbrep::sbrep)
  add_library(sbrep::sbrep SHARED IMPORTED)
  set_target_properties(sbrep::sbrep PROPERTIES
    IMPORTED_LOCATION "${_sbrep_root}/${_sbrep_arch}/sbrep.dll"
    IMPORTED_IMPLIB "${_sbrep_root}/${_sbrep_arch}/${_sbrep_implib}"
    INTERFACE_INCLUDE_DIRECTORIES "${_sbrep_root}/include")
endif()
unset(_sbrep_root)
unset(_sbrep_arch)
unset(_sbrep_implib)
