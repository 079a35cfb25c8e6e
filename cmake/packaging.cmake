# packaging.cmake: `cpack` makes the release archives from the install rules.
set(CPACK_PACKAGE_NAME velmorade)
set(CPACK_PACKAGE_VENDOR "The Velmorade authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Full-screen optical illusion of running diamond stripes")
set(CPACK_STRIP_FILES TRUE)
if(WIN32)
  # A zip holding one folder, velmorade-<version>-win64, to unpack anywhere.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME velmorade-${PROJECT_VERSION}-win64)
endif()
include(CPack)
