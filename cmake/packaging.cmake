# What an install puts where, the manual page, and the Debian package.

# Who answers for the Debian package: its Maintainer field and the signature
# of each entry of its changelog.
set(ZIRA_MAINTAINER "The zira authors <maintainers@zira.invalid>"
    CACHE STRING "Maintainer of the Debian package: Name <address>")

find_program(GZIP gzip REQUIRED)

# The manual page is made from --help and --version, with the sections --help
# has no place for from docs/zira.h2m, so the options cannot drift.
find_program(HELP2MAN help2man)
if(HELP2MAN)
  set(ZIRA_MANUAL ${CMAKE_BINARY_DIR}/zira.1)
  add_custom_command(OUTPUT ${ZIRA_MANUAL}.gz
    COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${HELP2MAN} -DPROGRAM=$<TARGET_FILE:zira>
            -DINCLUDE=${CMAKE_SOURCE_DIR}/docs/zira.h2m -DOUTPUT=${ZIRA_MANUAL}
            -P ${CMAKE_SOURCE_DIR}/cmake/manual_page.cmake
    COMMAND ${GZIP} -9nf ${ZIRA_MANUAL}
    DEPENDS zira ${CMAKE_SOURCE_DIR}/docs/zira.h2m ${CMAKE_SOURCE_DIR}/cmake/manual_page.cmake
    VERBATIM)
  add_custom_target(zira_man ALL DEPENDS ${ZIRA_MANUAL}.gz)
  install(FILES ${ZIRA_MANUAL}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(STATUS "help2man not found: no manual page (scripts/ensure-deps --user installs it)")
endif()

# The Debian changelog is made from NEWS.md, which users read too.
set(ZIRA_DEBIAN_CHANGELOG ${CMAKE_BINARY_DIR}/changelog.Debian)
add_custom_command(OUTPUT ${ZIRA_DEBIAN_CHANGELOG}.gz
  COMMAND ${CMAKE_COMMAND} -DNEWS=${CMAKE_SOURCE_DIR}/NEWS.md -DOUTPUT=${ZIRA_DEBIAN_CHANGELOG}
          -DPACKAGE=${PROJECT_NAME} -DVERSION=${PROJECT_VERSION} -DMAINTAINER=${ZIRA_MAINTAINER}
          -P ${CMAKE_SOURCE_DIR}/cmake/debian_changelog.cmake
  COMMAND ${GZIP} -9nf ${ZIRA_DEBIAN_CHANGELOG}
  DEPENDS ${CMAKE_SOURCE_DIR}/NEWS.md ${CMAKE_SOURCE_DIR}/cmake/debian_changelog.cmake
  VERBATIM)
add_custom_target(zira_debian_changelog ALL DEPENDS ${ZIRA_DEBIAN_CHANGELOG}.gz)

# Users' documents only; docs/developing.md is for those who work on zira.
install(TARGETS zira RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES docs/schema.sql DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
# The licence goes with every install; the Debian package states it in its
# copyright file instead, as Debian's policy asks.
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT licence)
install(FILES packaging/copyright ${ZIRA_DEBIAN_CHANGELOG}.gz DESTINATION ${CMAKE_INSTALL_DOCDIR}
        COMPONENT debian EXCLUDE_FROM_ALL)

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${ZIRA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "race inventory of an Ombrith game client")
# The lines below the summary, kept as they are: at most 72 characters.
string(JOIN "\n" CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "zira reads the files of an Ombrith game client folder, without running"
  "the client, and takes stock of its character races: the model codes of"
  "each race, the packages that hold its models with their variations"
  "(textures, heads, faces, hair, beards, details, tattoos), and the zones"
  "that can show them."
  ""
  "It writes two tab-separated lists for spreadsheets and scripts, two"
  "self-contained HTML pages for reading, a session log and, on request,"
  "the whole inventory as a SQLite database; zira compare shows what"
  "differs between two such databases.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# One package of the program's files and the Debian ones, without LICENSE.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified debian)
include(CPack)
