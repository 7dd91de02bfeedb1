# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package, built by `cpack -G DEB` in the build folder from what `cmake --install`
# installs. Its run-time dependencies are computed by dpkg-shlibdeps from the libraries the
# executable links, so they name Debian's own Qt 6 packages at the versions built against.

set(CORVANE_MAINTAINER "Corvane developers <developers@corvane.org>" CACHE STRING
    "The Debian package's maintainer, as Name <e-mail>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_VENDOR "The Corvane developers")
set(CPACK_PACKAGE_CONTACT "${CORVANE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "exchange raw bytes with a serial device and over UDP")
# Lines of at most 80 characters, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION
    "Corvane is a small desktop tool with which an engineer exchanges raw bytes
with a device on a serial port and with other hosts over UDP. A payload is
typed as text or as hex bytes and sent once or repeatedly at a fixed interval;
every byte sent and received is shown exactly, as hex lines in two log panes.")
# Stripped on installing into the package, debug information left out.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${CORVANE_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The layout is measured for Liberation Sans: with DejaVu Sans alone, which nearly every system
# has, the wider face clips several captions, so the font is a dependency. xdg-open opens the
# user guide.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")

include(CPack)
