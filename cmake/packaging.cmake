# How sipcrypt is packaged on Windows: an installer made by CPack's NSIS
# generator from the project's own script (cpack -G NSIS in the Windows build
# folder), and an MSI made by wixl (the msi target). The Debian packages are
# debian/'s.
set(CPACK_PACKAGE_NAME sipcrypt)
set(CPACK_PACKAGE_VENDOR sipcrypt)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Encrypts SIP account settings for the program that decrypts them")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

if(WIN32)
  # The documentation, installed beside the programs as text that Windows
  # opens: the README and the format as they are, the manual pages rendered.
  find_program(GROFF groff REQUIRED)
  set(text ${CMAKE_BINARY_DIR}/text)
  set(documents ${text}/README.txt ${text}/format.txt ${text}/sipcrypt.txt
                ${text}/sipcrypt-gui.txt ${text}/LICENSE.txt)
  add_custom_command(OUTPUT ${documents}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${text}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/README.md ${text}/README.txt
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/format.md ${text}/format.txt
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE ${text}/LICENSE.txt
    COMMAND sh -c "\"$0\" -man -Tascii -P-cbou \"$1\" > \"$2\""
            ${GROFF} ${PROJECT_SOURCE_DIR}/docs/sipcrypt.1 ${text}/sipcrypt.txt
    COMMAND sh -c "\"$0\" -man -Tascii -P-cbou \"$1\" > \"$2\""
            ${GROFF} ${PROJECT_SOURCE_DIR}/docs/sipcrypt-gui.1 ${text}/sipcrypt-gui.txt
    DEPENDS ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/format.md
            ${PROJECT_SOURCE_DIR}/docs/sipcrypt.1 ${PROJECT_SOURCE_DIR}/docs/sipcrypt-gui.1
            ${PROJECT_SOURCE_DIR}/LICENSE
    VERBATIM)
  add_custom_target(documentation ALL DEPENDS ${documents})
  install(FILES ${documents} DESTINATION .)

  # The MSI, for deployment to many machines: cmake --build . --target msi
  add_custom_target(msi
    COMMAND ${CMAKE_COMMAND} -DVERSION=${PROJECT_VERSION} -DBUILD=${CMAKE_BINARY_DIR}
            -P ${PROJECT_SOURCE_DIR}/cmake/make_msi.cmake
    DEPENDS sipcrypt sipcrypt-gui documentation VERBATIM)

  # The installer: this project's own script (cmake/NSIS.template.in), for
  # 64-bit Windows only: Debian's nsis ships the amd64 stubs, and the 32-bit
  # default would need 32-bit Wine to try.
  set(CMAKE_MODULE_PATH ${PROJECT_SOURCE_DIR}/cmake ${CMAKE_MODULE_PATH})
  set(CPACK_GENERATOR NSIS)
  set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/gui/resources/sipcrypt.ico)
  set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/gui/resources/sipcrypt.ico)
endif()

include(CPack)
