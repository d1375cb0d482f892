# "cpack -G DEB" in the build folder makes the Debian package of everything
# installed: the programs, the desktop entry and icon, manual pages,
# completion and the drop-folder unit. Its dependencies come from the
# libraries the programs link.
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VENDOR "Tarnwick")
set(CPACK_PACKAGE_CONTACT "Orvane developers <orvane@tarnwick.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "audio import wizard and tools for the Orvane Cartvault")
set(CPACK_PACKAGE_DESCRIPTION
    "Station staff import audio files (WAV, MP2, MP3, Ogg Vorbis, WMA, transport\n"
    "zips) and audio-CD tracks into the numbered carts of the Cartvault with the\n"
    "orvane-import wizard. orvane-import-batch does the same from scripts and drop\n"
    "folders, cartvault administers a store and orvane-audio probes and converts\n"
    "audio as the import does.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The store's database drivers are plugins, which no program links.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-psql")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Debian wants a copyright file and a changelog with every package.
set(doc_dir ${PROJECT_BINARY_DIR}/package-doc)
# (written only when their text changes, so a new configure rebuilds nothing)
string(CONCAT copyright
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: orvane\n\n"
     "Files: *\n"
     "Copyright: 2026 Tarnwick\n"
     "License: proprietary\n"
     " All rights reserved.\n")
file(CONFIGURE OUTPUT ${doc_dir}/copyright CONTENT "${copyright}" @ONLY)
string(TIMESTAMP changelog_date "%a, %d %b %Y 00:00:00 +0000" UTC)
string(CONCAT changelog
     "orvane (${PROJECT_VERSION}) stable; urgency=medium\n\n"
     "  * Release ${PROJECT_VERSION}.\n\n"
     " -- ${CPACK_PACKAGE_CONTACT}  ${changelog_date}\n")
file(CONFIGURE OUTPUT ${doc_dir}/changelog CONTENT "${changelog}" @ONLY)
add_custom_command(OUTPUT ${doc_dir}/changelog.gz
  COMMAND ${GZIP} -9nkf ${doc_dir}/changelog
  DEPENDS ${doc_dir}/changelog VERBATIM)
add_custom_target(package-doc ALL DEPENDS ${doc_dir}/changelog.gz)
install(FILES ${doc_dir}/copyright ${doc_dir}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

include(CPack)
