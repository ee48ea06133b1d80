# Run by cpack on the staged files before it packs them: strips the program as Debian's own tools do.
# CMake's strip keeps the .comment section, which the C runtime's start files add whatever the
# compiler flags, and which no one reads.
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*")
foreach(program IN LISTS programs)
  execute_process(COMMAND strip --remove-section=.comment --remove-section=.note ${program}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
