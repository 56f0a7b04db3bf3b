# Run by CPack on the staged package, before it is packed: strips the programs as Debian's
# dh_strip does, taking out the compiler's .comment and .note sections too, which a plain strip
# (CPACK_STRIP_FILES) leaves in.
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/${CPACK_VENDRIX_BINDIR}/*")
if(NOT programs)
  message(FATAL_ERROR "no programs to strip under ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(program IN LISTS programs)
  execute_process(COMMAND "${CPACK_VENDRIX_STRIP}" --remove-section=.comment --remove-section=.note
                          "${program}"
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
