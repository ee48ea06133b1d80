# What a Windows user gets: talvora.exe with what it loads beside it (the Qt DLLs, the windows
# platform plugin, the native style and mingw-w64's runtime), as an NSIS installer and as a portable
# .zip of the same files.
include(${PROJECT_SOURCE_DIR}/cmake/WindowsRuntime.cmake)
talvora_windows_runtime_dlls(runtime_dlls)
install(FILES ${runtime_dlls} $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui>
              $<TARGET_FILE:Qt6::Widgets>
        DESTINATION .)
# Qt looks for its plugins in these folders beside the .exe.
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)
# Without their symbols (CPACK_STRIP_FILES strips the program alone): a quarter of the size to
# download and install.
install(CODE "set(talvora_strip \"${CMAKE_STRIP}\")")
install(CODE [[
  file(GLOB_RECURSE dlls "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/*.dll")
  foreach(dll IN LISTS dlls)
    execute_process(COMMAND "${talvora_strip}" --strip-unneeded "${dll}" COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
]])
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
# Qt's DLLs come under the LGPL, whose text (and the other licences of what Qt bundles, with
# Debian's account of which covers what) travels with them.
install(DIRECTORY ${TALVORA_QT_KIT}/share/licenses/qt6-base/ DESTINATION licenses/qt6-base)

# The NSIS lines below are written as NSIS reads them, backslashes and all.
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME talvora)
set(CPACK_PACKAGE_VENDOR "Universidad Talvora")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Calculadora y registro de estudiantes")
set(CPACK_PACKAGE_FILE_NAME talvora-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Universidad Talvora")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Universidad Talvora")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

# A 64-bit installer into the 64-bit Program Files: the program is 64-bit, and a 32-bit installer
# would need 32-bit Windows support that not every system (nor wine64) has.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME "Universidad Talvora")
set(CPACK_NSIS_DISPLAY_NAME "Universidad Talvora")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/packaging/windows/talvora.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/packaging/windows/talvora.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME talvora.exe)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# Installing again, as an upgrade, first removes what the old version installed.
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# The program keeps archivo.txt in the folder it starts in, and the installation folder is not the
# user's to write: the Start-menu entry starts it in the user's own Documents. The folder is named
# by the variable, not by its path at install time, so that every user of the machine gets their
# own; $OUTDIR is set directly, since SetOutPath would create a folder of that literal name.
set(CPACK_NSIS_CREATE_ICONS_EXTRA [=[
  StrCpy $OUTDIR "%USERPROFILE%\Documents"
  CreateShortCut "$SMPROGRAMS\$STARTMENU_FOLDER\Universidad Talvora.lnk" "$INSTDIR\talvora.exe"
  SetOutPath "$INSTDIR"
]=])
set(CPACK_NSIS_DELETE_ICONS_EXTRA [=[
  Delete "$SMPROGRAMS\$MUI_TEMP\Universidad Talvora.lnk"
]=])

include(CPack)
