# Cross build for 64-bit Windows against shared libraries: the Qt for Windows kit itself, and the
# whole program against that kit. The Qt DLLs need mingw's runtime DLLs anyway, so the program uses
# them too; they ship beside it. TALVORA_QT_KIT names the kit's folder; the host's own Qt tools
# (moc, uic, rcc) build for the target, as they must be of the kit's very version.
include(${CMAKE_CURRENT_LIST_DIR}/windows-mingw-compilers.cmake)

list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TALVORA_QT_KIT)
if(TALVORA_QT_KIT)
  list(APPEND CMAKE_FIND_ROOT_PATH ${TALVORA_QT_KIT})
endif()
set(QT_HOST_PATH /usr CACHE PATH "Host Qt, whose tools build for the target")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "Host Qt's CMake packages")
