# Makes the MSI from cmake/sipcrypt.wxs and the staged folder FILES (see
# cmake/packaging.cmake): wixl builds it, msibuild adds what wixl cannot
# write, msi_summary.py fixes the summary that wixl makes up, and
# osslsigncode signs it when a certificate is given.
#   cmake -DVERSION=0.1.0 -DFILES=build-windows/windows-files
#         -DOUTPUT=build-windows/sipcrypt-0.1.0-win64.msi [-DPYTHON3=python3]
#         [-DSIGN_CERTIFICATE=... -DSIGN_KEY=... -DSIGN_PASSWORD_FILE=...
#          -DSIGN_TIMESTAMP_URL=...] -P cmake/make_msi.cmake
# The product and package codes are derived from the version: another
# version gets others, the same version the same.
cmake_minimum_required(VERSION 3.25)
set(source ${CMAKE_CURRENT_LIST_DIR}/..)
if(NOT PYTHON3)
  set(PYTHON3 python3)
endif()
set(tool ${source}/cmake/windows_files.py)
set(namespace 8f32e11c-a80f-4d46-b7b0-c875e8d85877)  # the UpgradeCode
string(UUID product NAMESPACE ${namespace} NAME "product ${VERSION}" TYPE SHA1)
string(UUID package NAMESPACE ${namespace} NAME "package ${VERSION}" TYPE SHA1)

# Add/Remove Programs shows ARPSIZE, in KiB, where Windows Installer's own
# estimate is missing.
file(REAL_PATH ${FILES} files)
file(GLOB installed LIST_DIRECTORIES false ${files}/*)
set(bytes 0)
foreach(file IN LISTS installed)
  file(SIZE ${file} size)
  math(EXPR bytes "${bytes} + ${size}")
endforeach()
math(EXPR kib "(${bytes} + 1023) / 1024")

# wixl takes the sources' names relative to where it runs (absolute ones
# trip it up); the files' times, which it stores, are fixed by the staging.
get_filename_component(work ${files} DIRECTORY)
get_filename_component(folder ${files} NAME)
file(RELATIVE_PATH icon ${work} ${source}/gui/resources/sipcrypt.ico)
set(unsigned ${OUTPUT}.unsigned)
execute_process(
  COMMAND wixl -a x64 -D Version=${VERSION} -D ProductCode=${product} -D PackageCode=${package}
          -D Files=${folder} -D Icon=${icon} -D Size=${kib} -o ${unsigned} ${source}/cmake/sipcrypt.wxs
  WORKING_DIRECTORY ${work}
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "wixl could not make the MSI")
endif()

# What wixl 0.101 cannot write:
# - the folder on the system PATH, appended on install and taken out on
#   uninstall (Windows Installer edits the one entry, at any PATH length);
# - the actions that apply it;
# - INSTALLDIR among the properties a per-machine install passes on from
#   its user interface;
# - the old version removed right after InstallValidate, before anything of
#   the new one is written (wixl's place for it varies with the sequence).
# (Each query one quoted argument: a list would split the one with ';'.)
execute_process(
  COMMAND msibuild ${unsigned}
    -q "CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL LOCALIZABLE, `Value` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)"
    -q "INSERT INTO `Environment` (`Environment`, `Name`, `Value`, `Component_`) VALUES ('PathEntry', '=-*Path', '[~];[INSTALLDIR]', 'Tool')"
    -q "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('RemoveEnvironmentStrings', 3300)"
    -q "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('WriteEnvironmentStrings', 5200)"
    -q "UPDATE `Property` SET `Value` = 'INSTALLDIR;WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED' WHERE `Property` = 'SecureCustomProperties'"
    -q "UPDATE `InstallExecuteSequence` SET `Sequence` = 1401 WHERE `Action` = 'RemoveExistingProducts'"
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "msibuild could not complete the MSI")
endif()

execute_process(COMMAND ${PYTHON3} ${tool} epoch OUTPUT_VARIABLE epoch
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${PYTHON3} ${source}/cmake/msi_summary.py ${unsigned} ${package} ${epoch}
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(
  COMMAND ${PYTHON3} ${tool} sign ${unsigned} "--certificate=${SIGN_CERTIFICATE}"
          "--key=${SIGN_KEY}" "--password-file=${SIGN_PASSWORD_FILE}"
          "--timestamp-url=${SIGN_TIMESTAMP_URL}"
  COMMAND_ERROR_IS_FATAL ANY)
file(RENAME ${unsigned} ${OUTPUT})
