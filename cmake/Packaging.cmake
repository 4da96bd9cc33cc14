# The Debian package: everything the install() rules put under the prefix,
# laid out under /usr. `cmake --build --preset release --target package` (or
# `cpack --preset release` after the build)
# writes build/release/tavrine-dictate_VERSION_ARCH.deb.
include(GNUInstallDirs)

set(tv_doc ${CMAKE_INSTALL_DATADIR}/doc/tavrine-dictate)

# The changelog names the version it describes; a package whose changelog
# disagrees with its own version would mislead whoever reads either.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/debian/changelog tv_changelog_head LIMIT_COUNT 1)
if(NOT tv_changelog_head MATCHES "^tavrine-dictate \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog starts with \"${tv_changelog_head}\", "
                      "not an entry for version ${PROJECT_VERSION}")
endif()

# Man pages and the changelog are installed compressed, as Debian keeps them;
# -n leaves the name and time out, so the same sources give the same bytes.
# The man pages name the version in their footer.
find_program(TV_GZIP gzip REQUIRED)
set(tv_pack ${CMAKE_BINARY_DIR}/packaging)
configure_file(docs/man/tavrine.1 ${tv_pack}/tavrine.1 @ONLY)
configure_file(docs/man/tavrine-cli.1 ${tv_pack}/tavrine-cli.1 @ONLY)
configure_file(docs/man/tavrine-scribe.1 ${tv_pack}/tavrine-scribe.1 @ONLY)
configure_file(packaging/debian/changelog ${tv_pack}/changelog COPYONLY)
set(tv_gz_files)
foreach(name tavrine.1 tavrine-cli.1 tavrine-scribe.1 changelog)
  add_custom_command(OUTPUT ${tv_pack}/${name}.gz
                     COMMAND ${TV_GZIP} -9nkf ${tv_pack}/${name}
                     DEPENDS ${tv_pack}/${name} VERBATIM)
  list(APPEND tv_gz_files ${tv_pack}/${name}.gz)
endforeach()
add_custom_target(tv_packaging_docs ALL DEPENDS ${tv_gz_files})

install(FILES ${tv_pack}/tavrine.1.gz ${tv_pack}/tavrine-cli.1.gz ${tv_pack}/tavrine-scribe.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/debian/copyright DESTINATION ${tv_doc})
install(FILES ${tv_pack}/changelog.gz DESTINATION ${tv_doc})
# The manual registered with the desktop's documentation browsers, once its
# pages are part of the tree.
if(EXISTS ${PROJECT_SOURCE_DIR}/docs/manual/index.html)
  install(FILES packaging/debian/doc-base DESTINATION ${CMAKE_INSTALL_DATADIR}/doc-base
          RENAME tavrine-dictate.tavrine-dictate-manual)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrine-dictate)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Orvane)
set(CPACK_PACKAGE_CONTACT "Orvane <dictate@orvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "dictation recorder that sends dictations for transcription")
# CPack puts the summary first, as the synopsis.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tavrine Dictate records dictations with the keyboard, hot keys, foot pedals
or a dictation microphone, edits them by recording over, into or after what
is there, plays them at three speeds, and sends them with their notes to a
typist by e-mail, FTP, a shared folder or a command.
.
The package holds the desktop program, the typist's program tavrine-scribe
(a transcription player for foot pedals that reports the typing progress
back), the command-line program tavrine-cli, the user manual and the udev
rule that gives the logged-in user the pedals and dictation microphones.")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Libraries come from dpkg-shlibdeps; these are the programs it runs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils")
# The record mixer button opens pavucontrol, else alsamixer in a terminal.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pavucontrol | alsa-utils")
# Imports decode through these when they are on the PATH; the editor command
# defaults to audacity.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "flac, vorbis-tools, faad, ffmpeg, audacity")
include(CPack)
