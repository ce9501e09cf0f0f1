# How sipcrypt is packaged on Windows: the installer, an MSI (the msi
# target), and a portable ZIP (the zip target), made from one staged folder
# that holds each installed file under its installed name. The Debian
# packages are debian/'s.
#   cmake --build build-windows --target msi zip
if(NOT WIN32)
  return()
endif()

# Every file that the MSI and the ZIP install: its name there, its kind, its
# source. "code" is a program or DLL (signed when a certificate is given),
# "text" gets CRLF line ends, "data" goes as it is. A new file takes a line
# here and a File line in cmake/sipcrypt.wxs.
set(windows_files
    "sipcrypt.exe|code|$<TARGET_FILE:sipcrypt>"
    "sipcrypt-gui.exe|code|$<TARGET_FILE:sipcrypt-gui>"
    "sipcrypt.dll|code|$<TARGET_FILE:sipcrypt_library>"
    "sipcrypt.h|data|${PROJECT_SOURCE_DIR}/lib/sipcrypt.h"
    "README.txt|text|${PROJECT_SOURCE_DIR}/docs/windows/README.txt"
    "sipcrypt.txt|text|${PROJECT_SOURCE_DIR}/docs/windows/sipcrypt.txt"
    "sipcrypt-gui.txt|text|${PROJECT_SOURCE_DIR}/docs/windows/sipcrypt-gui.txt"
    "format.txt|text|${PROJECT_SOURCE_DIR}/docs/format.md"
    "LICENSE.txt|text|${PROJECT_SOURCE_DIR}/LICENSE")

# Signing: with a certificate and its key, osslsigncode signs both programs
# before they are packed, and then the MSI. Without them nothing is signed.
set(SIPCRYPT_SIGN_CERTIFICATE "" CACHE FILEPATH
    "Code-signing certificate (PEM or DER) for the programs and the MSI; empty: no signing")
set(SIPCRYPT_SIGN_KEY "" CACHE FILEPATH "The signing certificate's private key")
set(SIPCRYPT_SIGN_PASSWORD_FILE "" CACHE FILEPATH
    "A file that holds the private key's password, if it has one")
set(SIPCRYPT_SIGN_TIMESTAMP_URL "" CACHE STRING
    "An RFC 3161 time-stamp server for the signatures; empty: no time stamp")
if(SIPCRYPT_SIGN_CERTIFICATE OR SIPCRYPT_SIGN_KEY)
  if(NOT SIPCRYPT_SIGN_CERTIFICATE OR NOT SIPCRYPT_SIGN_KEY)
    message(FATAL_ERROR "signing needs both SIPCRYPT_SIGN_CERTIFICATE and SIPCRYPT_SIGN_KEY")
  endif()
  find_program(OSSLSIGNCODE osslsigncode REQUIRED)
endif()
set(signing_files)
foreach(file IN ITEMS "${SIPCRYPT_SIGN_CERTIFICATE}" "${SIPCRYPT_SIGN_KEY}"
                      "${SIPCRYPT_SIGN_PASSWORD_FILE}")
  if(file)
    list(APPEND signing_files "${file}")
  endif()
endforeach()
# One argument each, empty or not, so that none goes missing on the way.
set(signing "--certificate=${SIPCRYPT_SIGN_CERTIFICATE}" "--key=${SIPCRYPT_SIGN_KEY}"
            "--password-file=${SIPCRYPT_SIGN_PASSWORD_FILE}"
            "--timestamp-url=${SIPCRYPT_SIGN_TIMESTAMP_URL}")

find_program(PYTHON3 python3 REQUIRED)
set(tool ${PROJECT_SOURCE_DIR}/cmake/windows_files.py)
set(manifest ${CMAKE_BINARY_DIR}/windows-files.txt)
set(staged ${CMAKE_BINARY_DIR}/windows-files)
list(JOIN windows_files "\n" lines)
file(GENERATE OUTPUT ${manifest} CONTENT "${lines}\n")
set(sources)
foreach(entry IN LISTS windows_files)
  string(REGEX REPLACE "^[^|]*\\|[^|]*\\|" "" source "${entry}")
  list(APPEND sources "${source}")
endforeach()

add_custom_command(OUTPUT ${staged}.stamp
  COMMAND ${PYTHON3} ${tool} stage ${manifest} ${staged} ${signing}
  COMMAND ${CMAKE_COMMAND} -E touch ${staged}.stamp
  DEPENDS ${sources} sipcrypt sipcrypt-gui sipcrypt_library ${manifest} ${tool} ${signing_files}
          ${PROJECT_SOURCE_DIR}/debian/changelog
  COMMENT "Staging the files of the MSI and the ZIP"
  VERBATIM)

set(zip ${CMAKE_BINARY_DIR}/sipcrypt-${PROJECT_VERSION}-win64.zip)
add_custom_command(OUTPUT ${zip}
  COMMAND ${PYTHON3} ${tool} zip ${manifest} ${staged} ${zip}
  DEPENDS ${staged}.stamp
  COMMENT "Packing ${zip}"
  VERBATIM)
add_custom_target(zip DEPENDS ${zip})

set(msi ${CMAKE_BINARY_DIR}/sipcrypt-${PROJECT_VERSION}-win64.msi)
add_custom_command(OUTPUT ${msi}
  COMMAND ${CMAKE_COMMAND} -DVERSION=${PROJECT_VERSION} -DFILES=${staged} -DOUTPUT=${msi}
          -DPYTHON3=${PYTHON3} "-DSIGN_CERTIFICATE=${SIPCRYPT_SIGN_CERTIFICATE}"
          "-DSIGN_KEY=${SIPCRYPT_SIGN_KEY}" "-DSIGN_PASSWORD_FILE=${SIPCRYPT_SIGN_PASSWORD_FILE}"
          "-DSIGN_TIMESTAMP_URL=${SIPCRYPT_SIGN_TIMESTAMP_URL}"
          -P ${PROJECT_SOURCE_DIR}/cmake/make_msi.cmake
  DEPENDS ${staged}.stamp ${signing_files} ${PROJECT_SOURCE_DIR}/cmake/make_msi.cmake
          ${PROJECT_SOURCE_DIR}/cmake/sipcrypt.wxs ${PROJECT_SOURCE_DIR}/cmake/msi_summary.py
          ${PROJECT_SOURCE_DIR}/gui/resources/sipcrypt.ico
  COMMENT "Building ${msi}"
  VERBATIM)
add_custom_target(msi DEPENDS ${msi})
