# The version of the bootstrapper and of payloadtool: set here and nowhere
# else. The program's version record (src/resources/version.rc, through a
# generated header), `payloadtool --version`, the release packages and the
# installed package configuration all take it from this line.
set(BOOTSTRAPPER_VERSION 2.0.0.1)

# Four numbers, each at most 65535: the form of a Windows version record.
if(NOT BOOTSTRAPPER_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "BOOTSTRAPPER_VERSION ${BOOTSTRAPPER_VERSION} is not four numbers")
endif()
set(BOOTSTRAPPER_VERSION_MAJOR ${CMAKE_MATCH_1})
set(BOOTSTRAPPER_VERSION_MINOR ${CMAKE_MATCH_2})
set(BOOTSTRAPPER_VERSION_PATCH ${CMAKE_MATCH_3})
set(BOOTSTRAPPER_VERSION_TWEAK ${CMAKE_MATCH_4})
foreach(number IN ITEMS ${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3} ${CMAKE_MATCH_4})
  if(number GREATER 65535)
    message(FATAL_ERROR "BOOTSTRAPPER_VERSION ${BOOTSTRAPPER_VERSION}: ${number} is over 65535")
  endif()
endforeach()
