# news.cmake: reads NEWS.md, the one list of what each release changed, for the files that say it
# again in their own formats: NEWS_RELEASES_XML (AppStream's <release> entries), NEWS_CHANGELOG
# (a Debian changelog, signed by DEB_MAINTAINER) and NEWS_MONTH (the newest release's month, for
# the manual page). The newest release must be the project's version.
file(STRINGS ${PROJECT_SOURCE_DIR}/NEWS.md news_lines)
set(NEWS_RELEASES_XML "")
set(NEWS_CHANGELOG "")
set(news_version "")
set(months January February March April May June July August September October November December)

# Ends the change read so far: an item of the release's AppStream list, as XML text.
macro(news_end_item)
  if(NOT news_item STREQUAL "")
    string(REPLACE "&" "&amp;" news_item "${news_item}")
    string(REPLACE "<" "&lt;" news_item "${news_item}")
    string(REPLACE ">" "&gt;" news_item "${news_item}")
    string(APPEND news_items "          <li>${news_item}</li>\n")
    set(news_item "")
  endif()
endmacro()

# Ends the release read so far: its AppStream entry and its changelog entry.
macro(news_end_release)
  if(news_version)
    string(APPEND NEWS_RELEASES_XML "    <release version=\"${news_version}\" date=\"${news_date}\">\n"
                                    "      <description>\n        <ul>\n${news_items}        </ul>\n"
                                    "      </description>\n    </release>\n")
    execute_process(COMMAND date -u -R -d ${news_date} OUTPUT_VARIABLE when OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "NEWS.md: cannot read the date ${news_date}")
    endif()
    string(APPEND NEWS_CHANGELOG "velmorade (${news_version}) unstable; urgency=medium\n\n${news_changes}\n"
                                 " -- ${DEB_MAINTAINER}  ${when}\n\n")
  endif()
endmacro()

set(news_item "")
foreach(line IN LISTS news_lines)
  if(line MATCHES "^## ([0-9]+\\.[0-9]+\\.[0-9]+) \\(([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])\\)$")
    news_end_item()
    news_end_release()
    set(news_version ${CMAKE_MATCH_1})
    set(news_date ${CMAKE_MATCH_2}-${CMAKE_MATCH_3}-${CMAKE_MATCH_4})
    if(NOT NEWS_MONTH)
      math(EXPR month "1${CMAKE_MATCH_3} - 101") # 01 to 12, read as decimals
      list(GET months ${month} month)
      set(NEWS_MONTH "${month} ${CMAKE_MATCH_2}")
      set(NEWS_VERSION ${news_version})
    endif()
    set(news_items "")
    set(news_changes "")
  elseif(news_version AND line MATCHES "^- (.*)$")
    news_end_item()
    string(APPEND news_changes "  * ${CMAKE_MATCH_1}\n")
    set(news_item "${CMAKE_MATCH_1}")
  elseif(NOT news_item STREQUAL "" AND line MATCHES "^  (.*)$")
    string(APPEND news_changes "    ${CMAKE_MATCH_1}\n")
    set(news_item "${news_item} ${CMAKE_MATCH_1}")
  endif()
endforeach()
news_end_item()
news_end_release()

if(NOT NEWS_VERSION STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "NEWS.md's newest release is ${NEWS_VERSION}, the project's version ${PROJECT_VERSION}")
endif()
string(STRIP "${NEWS_RELEASES_XML}" NEWS_RELEASES_XML)
string(STRIP "${NEWS_CHANGELOG}" NEWS_CHANGELOG)
