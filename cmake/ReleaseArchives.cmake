# Run by CPack after it has made the packages: CPack 3.25 writes the entries
# of a .tar.gz or .zip in the order the file system lists them, which may
# differ from one build directory to the next. Each archive is written again
# from its own contents with the entries sorted by name, owned by root, at
# the commit's time (zip's in UTC, without access and change times:
# sorted_zip.py), so that two builds of one commit give the same bytes. The
# .deb's entries are sorted already.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch $ENV{SOURCE_DATE_EPOCH})
else()
  set(epoch ${CPACK_RELEASE_SOURCE_DATE_EPOCH})
endif()
set(ENV{LC_ALL} C)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}")
  endif()
endfunction()

foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.(tar\\.gz|zip)$")
    continue()
  endif()
  set(work "${package}.contents")
  file(REMOVE_RECURSE "${work}")
  file(MAKE_DIRECTORY "${work}")
  run(${CMAKE_COMMAND} -E chdir "${work}" ${CMAKE_COMMAND} -E tar xf "${package}")
  file(GLOB top RELATIVE "${work}" "${work}/*")
  file(REMOVE "${package}")
  if(package MATCHES "\\.tar\\.gz$")
    execute_process(
      COMMAND tar --sort=name --format=gnu --owner=0 --group=0 --numeric-owner
              --mtime=@${epoch} -C "${work}" -cf - ${top}
      COMMAND gzip -9n
      OUTPUT_FILE "${package}" RESULT_VARIABLE statuses RESULTS_VARIABLE each)
    if(NOT each STREQUAL "0;0")
      message(FATAL_ERROR "could not write ${package} again (${each})")
    endif()
  else()
    run(python3 "${CMAKE_CURRENT_LIST_DIR}/sorted_zip.py" "${work}" "${package}" ${epoch})
  endif()
  file(REMOVE_RECURSE "${work}")
endforeach()
