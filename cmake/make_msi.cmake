# Makes BUILD/sipcrypt-VERSION-win64.msi with wixl from cmake/sipcrypt.wxs and
# the programs and documents in the Windows build folder BUILD. The product
# and package codes are derived from the version: another version gets
# others, the same version the same.
#   cmake -DVERSION=0.1.0 -DBUILD=build-windows -P cmake/make_msi.cmake
set(source ${CMAKE_CURRENT_LIST_DIR}/..)
set(namespace 8f32e11c-a80f-4d46-b7b0-c875e8d85877)  # the UpgradeCode
string(UUID product NAMESPACE ${namespace} NAME "product ${VERSION}" TYPE SHA1)
string(UUID package NAMESPACE ${namespace} NAME "package ${VERSION}" TYPE SHA1)
# wixl takes the files' names relative to where it runs, and puts their
# times into the MSI: copies of them, with the time of SOURCE_DATE_EPOCH
# where it is set, let two builds give the same bytes.
file(REAL_PATH ${BUILD} build)
file(RELATIVE_PATH icon ${build} ${source}/gui/resources/sipcrypt.ico)
set(staged ${build}/msi-files)
file(REMOVE_RECURSE ${staged})
file(MAKE_DIRECTORY ${staged}/text)
file(COPY ${build}/cli/sipcrypt.exe ${build}/gui/win32/sipcrypt-gui.exe DESTINATION ${staged})
file(GLOB documents ${build}/text/*.txt)
file(COPY ${documents} DESTINATION ${staged}/text)
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  file(GLOB_RECURSE files ${staged}/*)
  execute_process(COMMAND touch -h -d @$ENV{SOURCE_DATE_EPOCH} ${files} COMMAND_ERROR_IS_FATAL ANY)
endif()
execute_process(
  COMMAND wixl -a x64 -D Version=${VERSION} -D ProductCode=${product} -D PackageCode=${package}
          -D Tool=msi-files/sipcrypt.exe -D Dialog=msi-files/sipcrypt-gui.exe -D Text=msi-files/text
          -D Icon=${icon} -o sipcrypt-${VERSION}-win64.msi ${source}/cmake/sipcrypt.wxs
  WORKING_DIRECTORY ${build}
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "wixl could not make the MSI")
endif()
execute_process(COMMAND python3 ${source}/cmake/msi_summary.py
                        ${build}/sipcrypt-${VERSION}-win64.msi ${package} $ENV{SOURCE_DATE_EPOCH}
                COMMAND_ERROR_IS_FATAL ANY)
