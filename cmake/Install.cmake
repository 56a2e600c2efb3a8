# What an installed Pellam holds beside the programs, libraries and headers that the
# folders' own CMakeLists install: pellam.pc, the manual pages, the documents and the
# example, and, for the programs this build makes, the menu items, the client's icons
# and the systemd unit of the service. Every destination is relative to the prefix.

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_out ${PROJECT_BINARY_DIR}/packaging)

# pkg-config: absolute directories stay as they are, relative ones hang off ${prefix}.
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(pc_dir "${CMAKE_INSTALL_${dir}}")
  else()
    set(pc_dir "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
  string(TOLOWER "pc_${dir}" pc_name)
  set(${pc_name} "${pc_dir}")
endforeach()
configure_file(${packaging}/pellam.pc.in ${packaging_out}/pellam.pc @ONLY)
install(FILES ${packaging_out}/pellam.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES doc/example/example.c DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

set(PELLAM_SYSTEMD_UNITDIR lib/systemd/system CACHE PATH
    "Where the Pellam service's systemd unit is installed, relative to the prefix")
set(pellam_unit_file ${CMAKE_INSTALL_PREFIX}/${PELLAM_SYSTEMD_UNITDIR}/pellam.service)

# A manual page for each program this build makes ("target page" pairs), with the
# version and the installed paths filled in.
set(manual_pages
  pellpost pellpost.1  pelldesk pelldesk.1  pellam_service_program pellam.8
  pellreg pellreg.8  pellqueue pellqueue.8  pellncp pellncp.8  setup setup.8)
while(manual_pages)
  list(POP_FRONT manual_pages target page)
  if(TARGET ${target})
    string(REGEX REPLACE ".*\\." "man" section ${page})
    configure_file(doc/man/${page} ${packaging_out}/man/${page} @ONLY)
    install(FILES ${packaging_out}/man/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/${section})
  endif()
endwhile()

if(TARGET pellam_service_program)
  configure_file(${packaging}/pellam.service.in ${packaging_out}/pellam.service @ONLY)
  install(FILES ${packaging_out}/pellam.service DESTINATION ${PELLAM_SYSTEMD_UNITDIR})
endif()

if(TARGET pelldesk)
  foreach(entry pellam pellam-readme)
    configure_file(${packaging}/${entry}.desktop.in ${packaging_out}/${entry}.desktop @ONLY)
    install(FILES ${packaging_out}/${entry}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  endforeach()

  # The menus' icon: the client's own drawing, made at each size a desktop asks for.
  find_package(Qt6 REQUIRED COMPONENTS Gui)
  add_executable(pellam_icongen ${packaging}/icongen.cpp
                 ${PROJECT_SOURCE_DIR}/client/resources/resgen/pictures.cpp)
  target_include_directories(pellam_icongen PRIVATE ${PROJECT_SOURCE_DIR}/client/resources/resgen)
  target_link_libraries(pellam_icongen PRIVATE Qt6::Gui)
  pellam_warnings(pellam_icongen)
  set(icon_sizes 16 22 24 32 48 64 128 256)
  set(icon_dir ${packaging_out}/icons)
  set(icon_files)
  foreach(size ${icon_sizes})
    list(APPEND icon_files ${icon_dir}/${size}x${size}/apps/pellam.png)
  endforeach()
  add_custom_command(
    OUTPUT ${icon_files}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${icon_dir}/runtime
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=${icon_dir}/runtime
            $<TARGET_FILE:pellam_icongen> ${icon_dir} ${icon_sizes}
    DEPENDS pellam_icongen
    COMMENT "Drawing the menus' icon")
  add_custom_target(pellam_icons ALL DEPENDS ${icon_files})
  foreach(size ${icon_sizes})
    install(FILES ${icon_dir}/${size}x${size}/apps/pellam.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
endif()
