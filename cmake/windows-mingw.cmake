# Cross build of the pure cores for 64-bit Windows, linked statically so that each program runs
# alone. CTest runs the programs under wine, in a wine prefix of this build's own, created at the
# first run and thrown away with it.
include(${CMAKE_CURRENT_LIST_DIR}/windows-mingw-compilers.cmake)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
