# mingw-w64's runtime DLLs, which the program and the Qt DLLs load (what Qt's deployment tool would
# copy beside the .exe): asked of the compiler, so that they are the ones the build links against.
function(talvora_windows_runtime_dlls out)
  set(dlls)
  foreach(name libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
      message(FATAL_ERROR "mingw-w64's ${name} was not found (the compiler answered \"${path}\")")
    endif()
    file(REAL_PATH "${path}" path)
    list(APPEND dlls ${path})
  endforeach()
  set(${out} ${dlls} PARENT_SCOPE)
endfunction()
