# SPDX-License-Identifier: GPL-3.0-or-later
# The release is described once, by the top entry of debian/changelog: its version is the
# project's (CORVANE_VERSION, read before project() names it), and its date is the day the
# AppStream data (CORVANE_RELEASE_DATE, 2026-12-07) and the manual page (CORVANE_RELEASE_MONTH,
# December 2026) name. `dch -v 1.1.0` starts the next release.

set(changelog ${CMAKE_CURRENT_LIST_DIR}/../debian/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog})
file(STRINGS ${changelog} changelog_top LIMIT_COUNT 1)
# The package is native, so the version has no Debian revision; CMake takes up to four numbers.
if(NOT changelog_top MATCHES "^corvane \\(([0-9]+(\\.[0-9]+)?(\\.[0-9]+)?(\\.[0-9]+)?)\\) ")
    message(FATAL_ERROR "debian/changelog must start with an entry for corvane (N.N.N): "
                        "'${changelog_top}'")
endif()
set(CORVANE_VERSION ${CMAKE_MATCH_1})

# The entry's trailer: " -- maintainer <address>  Mon, 07 Dec 2026 12:00:00 +0000".
file(STRINGS ${changelog} changelog_trailer LIMIT_COUNT 1
     REGEX "^ -- .*  [A-Z][a-z][a-z], [0-9][0-9] [A-Z][a-z][a-z] [0-9][0-9][0-9][0-9] ")
if(NOT changelog_trailer MATCHES ", ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    message(FATAL_ERROR "debian/changelog's first entry has no trailer with an RFC 5322 date")
endif()
set(day ${CMAKE_MATCH_1})
set(month_abbreviation ${CMAKE_MATCH_2})
set(year ${CMAKE_MATCH_3})
set(months January February March April May June July August September October November December)
set(abbreviations Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND abbreviations ${month_abbreviation} index)
if(index EQUAL -1)
    message(FATAL_ERROR "debian/changelog's first entry names no month: ${month_abbreviation}")
endif()
list(GET months ${index} month)
math(EXPR number "${index} + 1")
if(number LESS 10)
    set(number 0${number})
endif()
set(CORVANE_RELEASE_DATE "${year}-${number}-${day}")
set(CORVANE_RELEASE_MONTH "${month} ${year}")
