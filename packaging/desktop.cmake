# The layout of a Linux desktop program (tools/package.sh): the program in /usr/bin, its menu entry,
# icons, AppStream metainfo and manual page. The books are then kept in the user's data folder, never
# beside the program. The program is the target kinbook, or KINBOOK_PROGRAM when another build folder
# made it.
include(GNUInstallDirs)
set(KINBOOK_HOMEPAGE "https://kinbook.example.org" CACHE STRING "The program's web page, named in its AppStream metainfo")
set(KINBOOK_APP_ID org.kinbook.kinbook)
find_program(KINBOOK_RSVG_CONVERT rsvg-convert REQUIRED)
set(KINBOOK_ICON ${CMAKE_SOURCE_DIR}/packaging/kinbook.svg)
set(KINBOOK_ICON_PNGS)
foreach(size 16 24 32 48 64 128 256)
  set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/kinbook.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
    COMMAND ${KINBOOK_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${KINBOOK_ICON}
    DEPENDS ${KINBOOK_ICON}
    COMMENT "Rendering the ${size}x${size} icon")
  list(APPEND KINBOOK_ICON_PNGS ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(kinbook_icons ALL DEPENDS ${KINBOOK_ICON_PNGS})
configure_file(packaging/${KINBOOK_APP_ID}.metainfo.xml.in ${CMAKE_BINARY_DIR}/${KINBOOK_APP_ID}.metainfo.xml @ONLY)

if(KINBOOK_PROGRAM)
  install(PROGRAMS ${KINBOOK_PROGRAM} DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME kinbook)
else()
  install(TARGETS kinbook RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES packaging/${KINBOOK_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KINBOOK_ICON} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_BINARY_DIR}/${KINBOOK_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES packaging/kinbook.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
