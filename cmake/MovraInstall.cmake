# Installation (cmake --install, GNU layout) and the Debian package (cpack -G DEB).
# The material tables and the examples are siblings under share/movra, so an
# example's ".include ../materials/X" reads the installed table.

install(TARGETS movra-note movra-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/materials ${PROJECT_SOURCE_DIR}/examples
        DESTINATION ${CMAKE_INSTALL_DATADIR}/movra FILES_MATCHING PATTERN "*.model")
install(FILES packaging/movra-note.1 packaging/movra-sim.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/movra-note.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME movra-note)
install(FILES packaging/movra.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/movra.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES packaging/movra.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES README.md docs/usage.md docs/model-format.md docs/reference.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The build tree has the installed layout too: build/share/movra/materials is the
# clone's folder, so the programs in build/bin find the tables the same way.
if(NOT IS_ABSOLUTE ${CMAKE_INSTALL_DATADIR} AND CMAKE_INSTALL_BINDIR STREQUAL "bin")
  file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/${CMAKE_INSTALL_DATADIR}/movra)
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/materials
       ${PROJECT_BINARY_DIR}/${CMAKE_INSTALL_DATADIR}/movra/materials SYMBOLIC)
endif()

set(CPACK_PACKAGE_NAME movra)
set(CPACK_PACKAGE_VENDOR "the movra developers")
set(CPACK_PACKAGE_CONTACT "the movra developers <movra@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "simulator of coupled mechanical, electric, magnetic, thermal and fluid systems")
set(CPACK_PACKAGE_DESCRIPTION
    "movra joins a planar mechanism, an electric circuit, magnetic cores, thermal and
fluid networks into one nonlinear system, integrates it in time with Newton's
method, animates the mechanism and plots the recorded outputs.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's text face is looked up by name at run time, not linked.
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-ipafont-gothic)
# Qt's translations give the editor's standard buttons in the user's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils, qt6-translations-l10n")
include(CPack)
