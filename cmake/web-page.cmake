# web-page.cmake: makes the web page one self-contained file by putting the icon, the touch icon
# for a phone's home screen, the program's script (with its WebAssembly inside) and the page's
# own script into the page's template; then the service worker, with the list of the files it
# keeps, its cache named after what they hold, so that each new build is a new worker.
#   cmake -DTEMPLATE=html -DICON=svg -DTOUCH_ICON=png -DPROGRAM=js -DPAGE=js -DOUTPUT=html
#         -DPROJECT_VERSION=x.y.z -DWORKER=js -DAPP_FILES=file,... -DWORKER_OUTPUT=js -P web-page.cmake
cmake_minimum_required(VERSION 3.16) # @NAME@ is text, not a variable
file(READ ${TEMPLATE} html)
file(READ ${ICON} icon)
file(READ ${PROGRAM} program)
file(READ ${PAGE} page)
execute_process(COMMAND base64 -w 0 ${TOUCH_ICON} OUTPUT_VARIABLE touch_icon RESULT_VARIABLE failed)
if(failed OR touch_icon STREQUAL "")
  message(FATAL_ERROR "Cannot encode the touch icon ${TOUCH_ICON}")
endif()

# The icon as a data URL: only the characters that a URL or the attribute would misread are
# escaped, so that it stays readable.
string(REPLACE "%" "%25" icon "${icon}")
string(REPLACE "\n" "%0A" icon "${icon}")
string(REPLACE "\"" "%22" icon "${icon}")
string(REPLACE "#" "%23" icon "${icon}")
string(REPLACE "<" "%3C" icon "${icon}")
string(REPLACE ">" "%3E" icon "${icon}")

# A script inside the page ends at the first "</script"; neither may hold one.
foreach(script program page)
  string(TOLOWER "${${script}}" lower)
  string(FIND "${lower}" "</script" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "The ${script} script holds \"</script\" and cannot be put inside the page")
  endif()
endforeach()

string(REPLACE "@ICON@" "${icon}" html "${html}")
string(REPLACE "@TOUCH_ICON@" "${touch_icon}" html "${html}")
string(REPLACE "@PAGE@" "${page}" html "${html}")
string(REPLACE "@PROJECT_VERSION@" "${PROJECT_VERSION}" html "${html}")
string(REPLACE "@PROGRAM@" "${program}" html "${html}")
file(WRITE ${OUTPUT} "${html}")

# The worker keeps the page and the app's other files, by the names they have in the folder.
set(contents "${html}")
get_filename_component(names ${OUTPUT} NAME)
string(REPLACE "," ";" app_files "${APP_FILES}")
foreach(file ${app_files})
  file(SHA256 ${file} hash)
  string(APPEND contents "${hash}")
  get_filename_component(name ${file} NAME)
  string(APPEND names ",${name}")
endforeach()
string(SHA256 version "${contents}")
string(SUBSTRING ${version} 0 16 version)
file(READ ${WORKER} worker)
string(REPLACE "@VERSION@" "${version}" worker "${worker}")
string(REPLACE "@FILES@" "${names}" worker "${worker}")
file(WRITE ${WORKER_OUTPUT} "${worker}")
