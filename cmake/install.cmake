# Installation into a prefix: the two programs and the desktop integration (desktop entry, MIME
# type of POD archives, icon, AppStream metainfo).
#
#   cmake --install build --prefix ~/.local      for the user
#   sudo cmake --install build                   for the system (/usr/local)
#
# After a direct install (no DESTDIR), the MIME and desktop databases of the prefix are refreshed
# when their tools exist; packages leave that to their own triggers.

option(QUILLOMAR_INSTALL_REFRESH_CACHES "Refresh the prefix's MIME and desktop databases after installing" ON)

# The programs: the window program (target quillomar_window, file quillomar) and the command-line tool.
foreach(_quillomar_target quillomar_window quillomar-cli)
  if(TARGET ${_quillomar_target})
    install(TARGETS ${_quillomar_target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

set(_quillomar_data ${PROJECT_SOURCE_DIR}/data)
install(FILES ${_quillomar_data}/quillomar.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_quillomar_data}/quillomar-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME quillomar.xml)
install(FILES ${_quillomar_data}/org.quillomar.quillomar.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${_quillomar_data}/icons/quillomar.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(_quillomar_size 16 32 48 256)
  # Rendered from the drawing by src/app/registration.cmake.
  install(FILES ${PROJECT_BINARY_DIR}/data/icons/quillomar-${_quillomar_size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_quillomar_size}x${_quillomar_size}/apps
          RENAME quillomar.png)
endforeach()

if(QUILLOMAR_INSTALL_REFRESH_CACHES)
  install(CODE "
    if(\"\$ENV{DESTDIR}\" STREQUAL \"\")
      set(_share \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}\")
      find_program(_update_mime update-mime-database)
      find_program(_update_desktop update-desktop-database)
      find_program(_update_icons gtk-update-icon-cache)
      if(_update_mime)
        execute_process(COMMAND \${_update_mime} \"\${_share}/mime\" RESULT_VARIABLE _rc)
      endif()
      if(_update_desktop)
        execute_process(COMMAND \${_update_desktop} \"\${_share}/applications\" RESULT_VARIABLE _rc)
      endif()
      if(_update_icons AND EXISTS \"\${_share}/icons/hicolor/index.theme\")
        execute_process(COMMAND \${_update_icons} --quiet --force \"\${_share}/icons/hicolor\" RESULT_VARIABLE _rc)
      endif()
    endif()")
endif()
