# Fails unless GUIDE (the integrator's guide) shows every file of
# examples/hosts whole, so that what a reader copies is what the suite
# compiled.
#   cmake -DGUIDE=docs/integrating.md -DHOSTS=examples/hosts -P guide_hosts.cmake
file(READ ${GUIDE} guide)
file(GLOB hosts ${HOSTS}/*)
set(missing "")
foreach(host ${hosts})
  file(READ ${host} text)
  string(FIND "${guide}" "${text}" at)
  if(at EQUAL -1)
    get_filename_component(name ${host} NAME)
    list(APPEND missing ${name})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "${GUIDE} does not show these as they are in ${HOSTS}: ${missing}")
endif()
list(LENGTH hosts count)
message(STATUS "${GUIDE} shows all ${count} host declarations")
