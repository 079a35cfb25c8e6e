# packaging.cmake: `cpack` makes the release packages from the install rules: a .deb on Linux,
# a zip on Windows; the build makes the Windows setup too.
set(CPACK_PACKAGE_NAME velmorade)
set(CPACK_PACKAGE_VENDOR "The Velmorade authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "full-screen optical illusion of running diamond stripes")
set(CPACK_STRIP_FILES TRUE)
if(WIN32)
  # A zip holding one folder, velmorade-<version>-win64, to unpack anywhere.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME velmorade-${PROJECT_VERSION}-win64)
  # Beside it, the setup that installs the same files as Windows users expect, made with NSIS
  # from the files the zip holds, installed into setup-files first.
  find_program(MAKENSIS makensis)
  if(NOT MAKENSIS)
    message(FATAL_ERROR "makensis (nsis) is needed to make the Windows setup")
  endif()
  include(cmake/codesign.cmake)
  set(SETUP_FILE velmorade-${PROJECT_VERSION}-win64-setup.exe)
  add_custom_command(OUTPUT ${SETUP_FILE}
    COMMAND ${CMAKE_COMMAND} -E rm -rf setup-files
    COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${CMAKE_BINARY_DIR}/setup-files --strip >/dev/null
    COMMAND ${MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DFILES=${CMAKE_BINARY_DIR}/setup-files
            -DICON=${PROJECT_SOURCE_DIR}/data/icons/velmorade.ico -DLANGUAGES=${L10N_DIR}/languages.nsh
            -DOUTFILE=${CMAKE_BINARY_DIR}/${SETUP_FILE} ${CODESIGN_NSIS}
            ${PROJECT_SOURCE_DIR}/cmake/windows-setup.nsi
    DEPENDS velmorade velmorade-scr cmake/windows-setup.nsi data/icons/velmorade.ico ${L10N_DIR}/languages.nsh ${CODESIGN_CONF}
            ${CMAKE_BINARY_DIR}/README.txt ${CMAKE_BINARY_DIR}/LICENSE.txt ${CMAKE_BINARY_DIR}/LICENSE-SDL.txt)
  add_custom_target(setup ALL DEPENDS ${SETUP_FILE})
else()
  set(CPACK_GENERATOR DEB)
  # Debian's name for the machine the package is for: this one, or a cross build's target.
  if(CMAKE_CROSSCOMPILING)
    execute_process(COMMAND dpkg-architecture -qDEB_HOST_ARCH -t ${CMAKE_LIBRARY_ARCHITECTURE}
                    OUTPUT_VARIABLE DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  else()
    execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE)
  endif()
  set(DEB_FILE velmorade_${PROJECT_VERSION}_${DEB_ARCH}.deb)
  set(CPACK_DEBIAN_FILE_NAME ${DEB_FILE})
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${DEB_ARCH})
  set(CPACK_DEBIAN_PACKAGE_SECTION games)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Velmorade authors <maintainers@users.noreply.c-seed-4827c7a0.example>")
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://velmorade.github.io/velmorade/)
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
