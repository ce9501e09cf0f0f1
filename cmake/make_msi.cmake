# Makes BUILD/sipcrypt-VERSION-win64.msi with wixl from cmake/sipcrypt.wxs and
# the programs and documents in the Windows build folder BUILD. The product
# and package codes are derived from the version: another version gets
# others, the same version the same.
#   cmake -DVERSION=0.1.0 -DBUILD=build-windows -P cmake/make_msi.cmake
set(source ${CMAKE_CURRENT_LIST_DIR}/..)
set(namespace 8f32e11c-a80f-4d46-b7b0-c875e8d85877)  # the UpgradeCode
string(UUID product NAMESPACE ${namespace} NAME "product ${VERSION}" TYPE SHA1)
string(UUID package NAMESPACE ${namespace} NAME "package ${VERSION}" TYPE SHA1)
# wixl takes the files' names relative to where it runs.
file(REAL_PATH ${BUILD} build)
file(RELATIVE_PATH icon ${build} ${source}/gui/resources/sipcrypt.ico)
execute_process(
  COMMAND wixl -a x64 -D Version=${VERSION} -D ProductCode=${product} -D PackageCode=${package}
          -D Tool=cli/sipcrypt.exe -D Dialog=gui/win32/sipcrypt-gui.exe -D Text=text
          -D Icon=${icon} -o sipcrypt-${VERSION}-win64.msi ${source}/cmake/sipcrypt.wxs
  WORKING_DIRECTORY ${build}
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "wixl could not make the MSI")
endif()
