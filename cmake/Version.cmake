# The version in the forms the programs and the installed documents need, all derived from
# project(Vendrix VERSION ...) and VENDRIX_RELEASE_DATE in the top CMakeLists.txt.

# VendrixVersion.h with VENDRIX_VERSION; a program that prints its version links vendrix_version.
configure_file(${CMAKE_CURRENT_LIST_DIR}/VendrixVersion.h.in
               ${PROJECT_BINARY_DIR}/generated/VendrixVersion.h @ONLY)
add_library(vendrix_version INTERFACE)
target_include_directories(vendrix_version INTERFACE ${PROJECT_BINARY_DIR}/generated)

# The release date as a Debian changelog trailer writes it ("Wed, 09 Dec 2026 00:00:00 +0000").
if(NOT VENDRIX_RELEASE_DATE MATCHES "^[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]$")
  message(FATAL_ERROR "VENDRIX_RELEASE_DATE is YYYY-MM-DD, not '${VENDRIX_RELEASE_DATE}'")
endif()
execute_process(COMMAND date --utc --rfc-email --date=${VENDRIX_RELEASE_DATE}
                OUTPUT_VARIABLE VENDRIX_RELEASE_DATE_RFC_EMAIL OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
