# Run by the test data_validate: checks the desktop entry and the metainfo with
# the freedesktop and AppStream validators, and that the metainfo's newest
# release is the version being built. Any error or warning fails the test.

set(failures "")

execute_process(COMMAND ${DESKTOP_FILE_VALIDATE} ${DESKTOP_FILE}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
message("desktop-file-validate ${DESKTOP_FILE}: exit ${rc}\n${out}")
# Hints are advice; errors and warnings are not.
if(NOT rc EQUAL 0 OR out MATCHES "(error|warning):")
  list(APPEND failures "desktop-file-validate")
endif()

execute_process(COMMAND ${APPSTREAMCLI} validate --no-net --no-color ${METAINFO_FILE}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
message("appstreamcli validate --no-net ${METAINFO_FILE}: exit ${rc}\n${out}")
# Only info (I:) and pedantic (P:) lines are tolerated.
if(NOT rc EQUAL 0 OR out MATCHES "(^|\n)[EW]: ")
  list(APPEND failures "appstreamcli validate")
endif()

file(READ ${METAINFO_FILE} metainfo)
string(REGEX MATCH "<release[^>]*version=\"([^\"]*)\"" first_release "${metainfo}")
if(NOT CMAKE_MATCH_1 STREQUAL RELEASE_VERSION)
  message("The newest release in the metainfo is \"${CMAKE_MATCH_1}\", the build is ${RELEASE_VERSION}")
  list(APPEND failures "metainfo release")
endif()

if(failures)
  message(FATAL_ERROR "Failed: ${failures}")
endif()
