# Release packaging. Included at the end of the top-level CMakeLists.txt, after the program
# targets exist. Every version number below is the project version.
#
# Windows: each program gets a resource with the music-note icon, a VERSIONINFO block and the
# application manifest.
# Linux: install rules (programs, manual pages, desktop launchers, icons; for Debian, licence,
# changelog and lintian override) and the Debian package:
#
#   cmake -S . -B build-pkg -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr
#   cmake --build build-pkg && (cd build-pkg && cpack -G DEB)
#
# scripts/package.sh runs all of it and collects the artefacts in dist/.

set(PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
# The Debian package's Maintainer and the changelog's signature: "Name <address>".
set(PACKAGING_CONTACT "Lumtass and Brevane maintainers <maintainers@brevane.invalid>"
    CACHE STRING "Maintainer of the release packages, as Name <address>")

if(WIN32)
  enable_language(RC)
  # Adds the resource for PROGRAM, whose file is FILE_NAME, described as DESCRIPTION.
  function(packaging_add_resource program file_name description)
    set(RC_FILE_NAME ${file_name})
    set(RC_DESCRIPTION ${description})
    set(RC_PRODUCT ${file_name})
    string(REGEX REPLACE "\\.exe$" "" RC_PRODUCT ${RC_PRODUCT})
    set(RC_ICON ${PACKAGING_DIR}/icons/music-note.ico)
    set(RC_MANIFEST ${PACKAGING_DIR}/windows/program.manifest)
    set(rc_file ${CMAKE_BINARY_DIR}/packaging/${program}.rc)
    configure_file(${PACKAGING_DIR}/windows/program.rc.in ${rc_file} @ONLY)
    target_sources(${program} PRIVATE ${rc_file})
    # windres does not see the files it embeds as dependencies of the generated script.
    set_property(SOURCE ${rc_file} TARGET_DIRECTORY ${program} APPEND PROPERTY OBJECT_DEPENDS
                 ${RC_ICON} ${RC_MANIFEST})
  endfunction()
  packaging_add_resource(lumtass Lumtass.exe "Lumtass - track duration lister")
  packaging_add_resource(brevane Brevane.exe "Brevane - music config generator")
  return()
endif()

include(GNUInstallDirs)

# Two install components: "programs", what any Linux gets (the tarball installs only this), and
# "debian", the files only Debian's package has. The package holds both.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME programs)

install(TARGETS lumtass brevane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(program IN ITEMS lumtass brevane)
  install(FILES ${PACKAGING_DIR}/linux/${program}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  foreach(size IN ITEMS 16 32 48)
    install(FILES ${PACKAGING_DIR}/icons/music-note-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${program}.png)
  endforeach()
  install(FILES ${PACKAGING_DIR}/icons/music-note.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${program}.svg)
endforeach()

# Debian wants manual pages and changelogs gzipped at maximum compression, without the name
# and time stamp, so that the same source gives the same bytes. Adds a rule making OUTPUT from
# SOURCE, built by the target packaging_docs.
set(gzipped_docs)
function(packaging_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND sh -c "gzip -9n < \"$1\" > \"$2\"" sh ${source} ${output}
    DEPENDS ${source} VERBATIM)
  set(gzipped_docs ${gzipped_docs} ${output} PARENT_SCOPE)
endfunction()

foreach(program IN ITEMS lumtass brevane)
  set(page ${CMAKE_BINARY_DIR}/packaging/${program}.1.gz)
  packaging_gzip(${PACKAGING_DIR}/man/${program}.1 ${page})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${PROJECT_NAME})
# Debian looks for a package's licence under this name.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${doc_dir} RENAME copyright
        COMPONENT debian)
# The newest changelog entry takes the project version and the package release.
set(changelog ${CMAKE_BINARY_DIR}/packaging/changelog.Debian)
configure_file(${PACKAGING_DIR}/debian/changelog.in ${changelog} @ONLY)
packaging_gzip(${changelog} ${changelog}.gz)
install(FILES ${changelog}.gz DESTINATION ${doc_dir} COMPONENT debian)
install(FILES ${PACKAGING_DIR}/debian/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${PROJECT_NAME}
        COMPONENT debian)
add_custom_target(packaging_docs ALL DEPENDS ${gzipped_docs})

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "The Lumtass and Brevane authors")
set(CPACK_PACKAGE_CONTACT ${PACKAGING_CONTACT})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${PACKAGING_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Audio track duration lister (lumtass) and music config generator (brevane)")
# Debian shows the lines as they are, so none may be longer than 80 columns.
set(CPACK_PACKAGE_DESCRIPTION "\
Drop WAVE or Ogg Vorbis files onto a launcher: lumtass lists their names and
playing times; brevane lists them too, writes config.cpp (a CfgMusic class with
one block per track) and opens it in the text editor.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# dpkg-shlibdeps turns the linked libraries (libstb0, libstdc++6, libgcc-s1, libc6) into
# Depends with the versions this build needs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# brevane opens config.cpp with xdg-open; without it the file is still written.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")

include(CPack)
