# SPDX-License-Identifier: GPL-3.0-or-later
# The release is described once, by the top entry of the Debian changelog: its version must be the
# project's, and its date is the day the AppStream data (CORVANE_RELEASE_DATE, 2026-12-07) and the
# manual page (CORVANE_RELEASE_MONTH, December 2026) name.

set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog)
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/changelog changelog_top LIMIT_COUNT 1)
if(NOT changelog_top MATCHES "^corvane \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "desktop/changelog must start with an entry for ${PROJECT_VERSION}")
endif()

# The entry's trailer: " -- maintainer <address>  Mon, 07 Dec 2026 12:00:00 +0000".
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/changelog changelog_trailer LIMIT_COUNT 1
     REGEX "^ -- .*  [A-Z][a-z][a-z], [0-9][0-9] [A-Z][a-z][a-z] [0-9][0-9][0-9][0-9] ")
if(NOT changelog_trailer MATCHES ", ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    message(FATAL_ERROR "desktop/changelog's first entry has no trailer with an RFC 5322 date")
endif()
set(day ${CMAKE_MATCH_1})
set(month_abbreviation ${CMAKE_MATCH_2})
set(year ${CMAKE_MATCH_3})
set(months January February March April May June July August September October November December)
set(abbreviations Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND abbreviations ${month_abbreviation} index)
if(index EQUAL -1)
    message(FATAL_ERROR "desktop/changelog's first entry names no month: ${month_abbreviation}")
endif()
list(GET months ${index} month)
math(EXPR number "${index} + 1")
if(number LESS 10)
    set(number 0${number})
endif()
set(CORVANE_RELEASE_DATE "${year}-${number}-${day}")
set(CORVANE_RELEASE_MONTH "${month} ${year}")
