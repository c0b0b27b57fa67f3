# What `cmake --install` puts where, and the Debian package built from it by
# CPack (`cpack -G DEB` in a build folder; scripts/package.sh does it all).
#
# An installed program finds its data in share/korvanta next to its bin folder
# (src/io/DataFolder.h), so these two folders are fixed here rather than left
# to GNUInstallDirs, whose choices could pull them apart.
set(KORVANTA_INSTALL_BINDIR bin)
set(KORVANTA_INSTALL_DATADIR share/korvanta)

install(TARGETS korvanta korvanta-cli korvanta-style-import korvanta-style-audition
        RUNTIME DESTINATION ${KORVANTA_INSTALL_BINDIR})

# The data, folder by folder. help/ and images/ may not be there in every
# checkout; each folder is taken whole at install time, so files added later
# need no change here. The style sources (Styles/src) only serve
# tools/build-styles.sh and stay behind.
set(data ${PROJECT_SOURCE_DIR}/data)
install(FILES ${data}/gmi.txt DESTINATION ${KORVANTA_INSTALL_DATADIR})
install(DIRECTORY ${data}/samples DESTINATION ${KORVANTA_INSTALL_DATADIR})
install(DIRECTORY ${data}/Styles DESTINATION ${KORVANTA_INSTALL_DATADIR}
        REGEX "/Styles/src(/.*)?$" EXCLUDE)
install(DIRECTORY ${data}/help ${data}/images DESTINATION ${KORVANTA_INSTALL_DATADIR} OPTIONAL)

# The desktop's view of the program: menu entry, project file type, icon.
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
install(FILES ${packaging}/korvanta.desktop DESTINATION share/applications)
install(FILES ${packaging}/korvanta-mime.xml DESTINATION share/mime/packages
        RENAME korvanta.xml)
foreach(size 16 32 48 64 128 256)
    install(FILES ${packaging}/icons/korvanta-${size}.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME korvanta.png)
endforeach()
install(FILES ${packaging}/icons/korvanta.svg DESTINATION share/icons/hicolor/scalable/apps)

# korvanta_<version>_<arch>.deb. The libraries the programs link (Qt Core,
# Gui, Widgets and PrintSupport, FluidSynth, RtMidi, libstdc++, libc) come
# from dpkg-shlibdeps; what they load at run time is named by hand: Qt's
# platform plugins (no window without them) and the General MIDI SoundFont the
# built-in synthesizer plays by default.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvanta)
set(CPACK_PACKAGE_VENDOR Orvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "melody harmonizer with accompaniment styles")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Korvanta reads a melody from a Standard MIDI File, finds its key, chooses\n"
    "chords for every bar and plays them as block chords or in one of its\n"
    "accompaniment styles, through a built-in synthesizer or a MIDI port. The\n"
    "desktop program shows the melody and the chords to edit; korvanta-cli does\n"
    "the same work from the command line and writes projects, MIDI and WAV files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Korvanta developers <korvanta@korvanta.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.korvanta.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Liberation Sans stands in for Arial, the printed grid's font, with its metrics.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fluid-soundfont-gm, fonts-liberation2")
# The scripts refresh the menus' caches; they name /usr, the prefix above.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${packaging}/debian/postinst ${packaging}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
