# packaging.cmake: `cpack` makes the release packages from the install rules: a .deb on Linux,
# a zip on Windows.
set(CPACK_PACKAGE_NAME velmorade)
set(CPACK_PACKAGE_VENDOR "The Velmorade authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "full-screen optical illusion of running diamond stripes")
set(CPACK_STRIP_FILES TRUE)
if(WIN32)
  # A zip holding one folder, velmorade-<version>-win64, to unpack anywhere.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME velmorade-${PROJECT_VERSION}-win64)
else()
  set(CPACK_GENERATOR DEB)
  execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(DEB_FILE velmorade_${PROJECT_VERSION}_${DEB_ARCH}.deb)
  set(CPACK_DEBIAN_FILE_NAME ${DEB_FILE})
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${DEB_ARCH})
  set(CPACK_DEBIAN_PACKAGE_SECTION games)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Velmorade authors <maintainers@users.noreply.c-seed-4827c7a0.example>")
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://velmorade.github.io/)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON) # Depends from the libraries the program links
  # CPack puts the summary above this as the synopsis line.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Velmorade fills the screen with concentric black-and-white diamond stripes
around its centre. Inside a central disc the stripes run toward the centre;
outside it they run away from it, and the eye does the rest.
.
The whole animation is computed when it starts and then shown at no more
than 40 frames a second, until Escape is pressed or the window is closed.")
endif()
include(CPack)
