# Installing and packaging: the programs in bin/, the desktop entry in
# share/applications/, their manual pages, the tool's bash completion, and in
# share/varnex-quorlink/, where the programs find them (firmwarefolder.h), the
# sample files for the simulated switch and an empty folder for the maker's
# real firmware files.
#   cmake --install build --prefix /usr/local
#   (cd build && cpack -G DEB)
include(GNUInstallDirs)

set(QUORLINK_PACKAGE_NAME varnex-quorlink-update)
set(packaging_dir "${CMAKE_BINARY_DIR}/packaging")

# The window programs keep their short names in the build tree; installed
# beside other programs in bin/ they carry the product's name, so that no
# other `Update` can collide with them.
set(QUORLINK_INSTALLED_Update varnex-quorlink-update)
set(QUORLINK_INSTALLED_Tamber varnex-quorlink-tamber)

install(TARGETS quorlink RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(program Update Tamber)
  set(installed ${QUORLINK_INSTALLED_${program}})
  set(installed_file ${installed}${CMAKE_EXECUTABLE_SUFFIX})
  install(PROGRAMS $<TARGET_FILE:${program}> DESTINATION ${CMAKE_INSTALL_BINDIR}
          RENAME ${installed_file})
  # install(PROGRAMS) does not strip as install(TARGETS) does for
  # `cmake --install --strip` and the package.
  if(CMAKE_STRIP)
    install(CODE "
      if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${CMAKE_STRIP}\"
          \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${installed_file}\")
      endif()")
  endif()
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/packaging/varnex-quorlink-update.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The samples are written by the build (tools/firmwaremaker). The firmware
# folder is made empty: the Open dialog on a real port starts there, and
# must not find a sample.
install(DIRECTORY "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/samples"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/varnex-quorlink)
install(DIRECTORY DESTINATION "${CMAKE_INSTALL_DATADIR}/varnex-quorlink/Firmware Update")

# Manual pages, the tool's bash completion and the package's documents, where
# a Unix system looks for them.
if(UNIX)
  find_program(GZIP_PROGRAM gzip REQUIRED)

  # The two window programs' pages differ only in the program they name.
  foreach(program Update Tamber)
    set(installed ${QUORLINK_INSTALLED_${program}})
    set(PROGRAM_NAME ${program})
    string(TOUPPER ${installed} PAGE_TITLE)
    string(REPLACE "-" "\\-" PAGE_NAME ${installed})
    if(program STREQUAL Update)
      string(REPLACE "-" "\\-" OTHER_PAGE ${QUORLINK_INSTALLED_Tamber})
    else()
      string(REPLACE "-" "\\-" OTHER_PAGE ${QUORLINK_INSTALLED_Update})
    endif()
    configure_file(${PROJECT_SOURCE_DIR}/packaging/window-program.1.in
                   ${packaging_dir}/${installed}.1 @ONLY)
  endforeach()

  # Each version the package reports gets its own changelog entry, on top.
  file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog changelog_top LIMIT_COUNT 1)
  if(NOT changelog_top MATCHES "^${QUORLINK_PACKAGE_NAME} \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog: the top entry is not version ${PROJECT_VERSION}")
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog ${packaging_dir}/changelog COPYONLY)

  # Compressed as Debian's policy wants them, without name or time stamp so
  # that a rebuild gives the same bytes.
  set(gzipped "")
  foreach(file varnex-quorlink-update.1 varnex-quorlink-tamber.1 changelog)
    add_custom_command(OUTPUT ${packaging_dir}/${file}.gz
      COMMAND ${GZIP_PROGRAM} -9nkf ${packaging_dir}/${file}
      DEPENDS ${packaging_dir}/${file} VERBATIM)
    list(APPEND gzipped ${packaging_dir}/${file}.gz)
  endforeach()
  # The tool's page and completion are made from the built tool's --help.
  add_custom_command(
    OUTPUT ${packaging_dir}/quorlink.1.gz ${packaging_dir}/quorlink.bash-completion
    COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:quorlink> -DVERSION=${PROJECT_VERSION}
            -DGZIP=${GZIP_PROGRAM} -DMAN_PAGE=${packaging_dir}/quorlink.1.gz
            -DCOMPLETION=${packaging_dir}/quorlink.bash-completion
            -P ${PROJECT_SOURCE_DIR}/cmake/ToolHelpPages.cmake
    DEPENDS quorlink ${PROJECT_SOURCE_DIR}/cmake/ToolHelpPages.cmake VERBATIM)
  add_custom_target(package_files ALL DEPENDS
    ${gzipped} ${packaging_dir}/quorlink.1.gz ${packaging_dir}/quorlink.bash-completion)

  install(FILES ${packaging_dir}/quorlink.1.gz ${packaging_dir}/varnex-quorlink-update.1.gz
                ${packaging_dir}/varnex-quorlink-tamber.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${packaging_dir}/quorlink.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME quorlink)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${packaging_dir}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${QUORLINK_PACKAGE_NAME})
endif()

set(CPACK_PACKAGE_NAME ${QUORLINK_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "Varnex")
set(CPACK_PACKAGE_CONTACT "Varnex Quorlink support <support@varnex.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "firmware update tool for the cards of Varnex Quorlink KVM switches")
set(CPACK_PACKAGE_DESCRIPTION
    "Reads the firmware and hardware versions of the cards of a Varnex Quorlink
keyboard-video-mouse switch, updates their firmware and restarts them, over one
RS-232 line (mark and space parity as a ninth, addressing bit).
The window programs varnex-quorlink-update (high-resolution timers) and
varnex-quorlink-tamber (the standard window timer) differ in nothing else;
the command-line tool quorlink runs the same operations for scripts, and can
put a simulated switch behind a pseudo-terminal for tests.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The Qt libraries the programs link, found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
