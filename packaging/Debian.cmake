# Debian packages made from the install rules: `cpack -G DEB` in the build
# folder writes kestrova_<version>_<arch>.deb and, when the word processor
# module was built, kestrova-writer_<version>_<arch>.deb.
#
# The libraries the programs link are found by dpkg-shlibdeps; what they
# load at run time (Qt's platform and speech plugins, the speech model) is
# named here. The word processor module is a package of its own because it
# links LibreOffice's runtime: Kestrova itself runs without an office.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrova)
set(CPACK_PACKAGE_VENDOR "The Kestrova developers")
set(CPACK_PACKAGE_CONTACT "The Kestrova developers <kestrova@kestrova.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop assistant with a speaking character")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program)
if(TARGET kestrova_writer)
  list(APPEND CPACK_COMPONENTS_ALL writer)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://kestrova.org")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME kestrova)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS
  "qt6-qpa-plugins, qt6-speech-flite-plugin | qt6-speech-speechd-plugin, pocketsphinx-en-us")
set(CPACK_DEBIAN_PROGRAM_PACKAGE_RECOMMENDS
  "kestrova-writer, qt6-speech-speechd-plugin, speech-dispatcher, speech-dispatcher-espeak-ng, pulseaudio | pipewire-pulse, fonts-dejavu-core, sphinxtrain")
set(CPACK_COMPONENT_PROGRAM_DESCRIPTION
  "desktop assistant with a speaking character
 Kestrova puts a character on the desktop, Kess the kestrel, who greets
 the user by name, speaks, listens for spoken or typed commands, starts
 programs and favourite web sites, checks a POP3 mailbox and reads out
 what has arrived, tells jokes, keeps a clock with a daily alarm and
 speaks dates.")

set(CPACK_DEBIAN_WRITER_PACKAGE_NAME kestrova-writer)
set(CPACK_DEBIAN_WRITER_PACKAGE_DEPENDS "kestrova (= ${PROJECT_VERSION}), libreoffice-writer")
set(CPACK_COMPONENT_WRITER_DESCRIPTION
  "word processor support for the Kestrova desktop assistant
 Lets Kestrova open LibreOffice Writer, add documents to it and read the
 selected text aloud, through the office's own automation interface.")

install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kestrova RENAME copyright)
include(CPack)
