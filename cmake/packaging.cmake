# How sipcrypt is packaged: on Windows an installer made by CPack's NSIS
# generator (cpack -G NSIS in the Windows build folder).
set(CPACK_PACKAGE_NAME sipcrypt)
set(CPACK_PACKAGE_VENDOR sipcrypt)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Encrypts SIP account settings for the program that decrypts them")
set(CPACK_PACKAGE_INSTALL_DIRECTORY sipcrypt)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

if(WIN32)
  set(CPACK_GENERATOR NSIS)
  # 64-bit Windows only: Debian's nsis ships the amd64 stubs, and the 32-bit
  # default would need 32-bit Wine to try.
  set(CPACK_NSIS_DEFINES "Target amd64-unicode")
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
  set(CPACK_NSIS_DISPLAY_NAME sipcrypt)
  set(CPACK_NSIS_PACKAGE_NAME sipcrypt)
  set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/gui/resources/sipcrypt.ico)
  set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/gui/resources/sipcrypt.ico)
  set(CPACK_NSIS_INSTALLED_ICON_NAME sipcrypt-gui.exe)
  # A Start-menu shortcut to the dialog; both programs sit in the folder itself.
  set(CPACK_PACKAGE_EXECUTABLES sipcrypt-gui "SIP settings encryption")
  set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
endif()

include(CPack)
