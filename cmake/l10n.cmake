# l10n.cmake: the texts Velmorade shows outside its own window, in each language of po/, merged
# when CMake configures into the files that carry them (cmake/l10n.py does the work). A catalogue
# that msgfmt refuses, or that lacks the photosensitivity warning or holds it fuzzy, stops the
# build here, naming its language and file.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(PO_DIR ${PROJECT_SOURCE_DIR}/po)
set(L10N_DIR ${CMAKE_BINARY_DIR}/l10n)
file(GLOB catalogues ${PO_DIR}/*.po)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PO_DIR}/LINGUAS ${PO_DIR}/velmorade.pot
             ${catalogues} ${PROJECT_SOURCE_DIR}/cmake/l10n.py)

# l10n(COMMAND ARGUMENT...): l10n.py COMMAND po/ ARGUMENT..., stopping CMake where it fails.
function(l10n command)
  execute_process(COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/cmake/l10n.py ${command} ${PO_DIR} ${ARGN}
                  RESULT_VARIABLE failed ERROR_VARIABLE said)
  if(failed)
    message(FATAL_ERROR "The translations in po/: ${said}")
  endif()
endfunction()

file(MAKE_DIRECTORY ${L10N_DIR})
l10n(check)
