# Fails unless README (README.md, or the integrator's guide) shows every
# file of examples/hosts whole, so that what a reader copies is what the
# suite compiled.
#   cmake -DREADME=README.md -DHOSTS=examples/hosts -P readme_hosts.cmake
file(READ ${README} readme)
file(GLOB hosts ${HOSTS}/*)
set(missing "")
foreach(host ${hosts})
  file(READ ${host} text)
  string(FIND "${readme}" "${text}" at)
  if(at EQUAL -1)
    get_filename_component(name ${host} NAME)
    list(APPEND missing ${name})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "${README} does not show these as they are in ${HOSTS}: ${missing}")
endif()
list(LENGTH hosts count)
message(STATUS "${README} shows all ${count} host declarations")
