# Where `cmake --install` puts the program under a prefix:
#
#   lib/vellumtide/        Velto.exe, Velto.dll, Velto.hlp, Uninstall.exe,
#                          reg and winhelp, together, because the program
#                          finds its hook library and help file beside itself
#   bin/vellumtide         the launcher, which starts Velto.exe from there
#   bin/vellumtide-reg     the reg tool, as a link into that folder
#   share/applications/, share/icons/hicolor/, share/man/man1/
#   etc/xdg/autostart/     the login entry, off until a person turns it on
#   lib/systemd/user/      a user service for a machine without a desktop
#
# packaging/build-deb makes the Debian package from this layout.
include(GNUInstallDirs)

set(VT_PROGRAM_DIR lib/vellumtide)
file(RELATIVE_PATH vt_programs_from_bin /vt/${CMAKE_INSTALL_BINDIR} /vt/${VT_PROGRAM_DIR})

install(TARGETS velto uninstall reg RUNTIME DESTINATION ${VT_PROGRAM_DIR})
# The hook library is loaded, never run: no execute bit.
install(TARGETS velto_dll LIBRARY DESTINATION ${VT_PROGRAM_DIR}
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(FILES ${VT_OUT}/Velto.hlp DESTINATION ${VT_PROGRAM_DIR})
if(TARGET winhelp)
  install(TARGETS winhelp RUNTIME DESTINATION ${VT_PROGRAM_DIR})
endif()

# The launcher finds the program folder relative to where it was installed,
# so the same file works under /usr, /usr/local or a folder of one's own.
set(VT_PROGRAMS_FROM_BIN ${vt_programs_from_bin})
configure_file(${CMAKE_SOURCE_DIR}/packaging/vellumtide.in
               ${CMAKE_BINARY_DIR}/packaging/vellumtide @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/packaging/vellumtide DESTINATION ${CMAKE_INSTALL_BINDIR})
install(CODE "
  set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(MAKE_DIRECTORY \"\${bin}\")
  message(STATUS \"Installing: \${bin}/vellumtide-reg\")
  file(CREATE_LINK ${vt_programs_from_bin}/reg \"\${bin}/vellumtide-reg\" SYMBOLIC)")

install(FILES packaging/vellumtide.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# Under the prefix /usr the system's settings live in /etc, not /usr/etc;
# the prefix is known only at install time. (file(INSTALL) adds DESTDIR to
# an absolute destination itself.)
install(CODE "
  if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    set(etc /etc)
  else()
    set(etc \"\${CMAKE_INSTALL_PREFIX}/etc\")
  endif()
  file(INSTALL DESTINATION \"\${etc}/xdg/autostart\" TYPE FILE
       RENAME vellumtide.desktop
       FILES ${CMAKE_SOURCE_DIR}/packaging/vellumtide-autostart.desktop)")
foreach(size 16 32 48)
  install(FILES ${VT_ICON_THEME}/${size}x${size}/apps/vellumtide.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES docs/man/vellumtide.1 docs/man/vellumtide-reg.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The user service names Velto.exe by its full path, which is known only
# once the prefix is (cmake --install --prefix may change it).
install(CODE "
  set(VT_PROGRAM_PATH \"\${CMAKE_INSTALL_PREFIX}/${VT_PROGRAM_DIR}/Velto.exe\")
  configure_file(${CMAKE_SOURCE_DIR}/packaging/vellumtide.service.in
                 ${CMAKE_BINARY_DIR}/packaging/vellumtide.service @ONLY)")
install(FILES ${CMAKE_BINARY_DIR}/packaging/vellumtide.service DESTINATION lib/systemd/user)

# What packaging/build-deb needs to know of this build.
configure_file(${CMAKE_SOURCE_DIR}/packaging/package.env.in
               ${CMAKE_BINARY_DIR}/packaging/package.env @ONLY)

# Everything the install rules above take from the build, so that a package
# can be made without building the tests (make package).
add_custom_target(vt_installed)
add_dependencies(vt_installed velto velto_dll velto_help uninstall reg vt_icons)
if(TARGET winhelp)
  add_dependencies(vt_installed winhelp)
endif()
