# Validates an LV2 bundle's Turtle twice, failing on any error or warning:
# - Debian's lv2_validate (sord_validate against every LV2 vocabulary bundle installed), whose
#   exit status does not count every error, so its report is read as well;
# - lilv, as hosts load it (lv2info on a search path holding only this bundle and the installed
#   vocabularies), which must find the plug-in and print nothing on its error stream.
# Usage: cmake -DBUNDLE=<dir> -DURI=<plug-in URI> -DLV2_VALIDATE=<path> -DLV2INFO=<path>
#              -DWORK=<scratch dir> -P validate_bundle.cmake
foreach(required BUNDLE URI LV2_VALIDATE LV2INFO WORK)
    if(NOT DEFINED ${required})
        message(FATAL_ERROR "validate_bundle.cmake: ${required} is not set")
    endif()
endforeach()

file(GLOB turtle "${BUNDLE}/*.ttl")
if(NOT turtle)
    message(FATAL_ERROR "no Turtle in ${BUNDLE}")
endif()
execute_process(COMMAND ${LV2_VALIDATE} ${turtle} RESULT_VARIABLE status
                OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(report "${out}${err}")
# Besides its count, the one line allowed: lv2_validate skips a file of the installed core
# vocabulary itself.
string(REGEX REPLACE "Skipping file /usr/lib/lv2/[^\n]*\n" "" unexplained "${report}")
string(REGEX REPLACE "Found 0 errors among [^\n]*\n" "" unexplained "${unexplained}")
if(NOT status EQUAL 0 OR NOT out MATCHES "Found 0 errors" OR unexplained MATCHES
   "[Ee]rror|[Ww]arn|Skipping")
    message(FATAL_ERROR "lv2_validate rejects ${BUNDLE} (exit ${status}):\n${report}")
endif()
message(STATUS "lv2_validate: ${out}")

get_filename_component(name "${BUNDLE}" NAME)
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(CREATE_LINK "${BUNDLE}" "${WORK}/${name}" SYMBOLIC)
execute_process(COMMAND ${CMAKE_COMMAND} -E env "LV2_PATH=${WORK}:/usr/lib/lv2" ${LV2INFO} ${URI}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT err STREQUAL "" OR NOT out MATCHES "^${URI}\n")
    message(FATAL_ERROR "lilv does not load ${URI} cleanly (exit ${status}):\n${err}${out}")
endif()
