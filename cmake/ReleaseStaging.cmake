# Run by CPack for each package after it has installed the files into its
# staging directory: every file and directory gets the commit's time
# (SOURCE_DATE_EPOCH) and the same permissions whatever the builder's umask,
# so that two builds of one commit give the same archive bytes.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch $ENV{SOURCE_DATE_EPOCH})
else()
  set(epoch ${CPACK_RELEASE_SOURCE_DATE_EPOCH})
endif()
set(staging "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
execute_process(COMMAND chmod -R u+rwX,go+rX,go-w "${staging}" RESULT_VARIABLE chmod_status)
execute_process(COMMAND find "${staging}" -exec touch -h -d "@${epoch}" {} +
                RESULT_VARIABLE touch_status)
if(NOT chmod_status EQUAL 0 OR NOT touch_status EQUAL 0)
  message(FATAL_ERROR "could not set the times and permissions under ${staging}")
endif()
