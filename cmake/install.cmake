# Installing Wavetrove as a Linux program: the programs in bin/, every run-time library and add-on in a
# private folder they find through their RUNPATH, and the desktop files, man pages and shell completion.
# The build folder keeps its own layout (everything next to the executables in <build>/bin).
include(GNUInstallDirs)

# lib/wavetrove, or lib/<multiarch>/wavetrove for the prefix /usr on Debian (GNUInstallDirs' library folder).
set(WAVETROVE_INSTALL_LIBDIR "${CMAKE_INSTALL_LIBDIR}/wavetrove" CACHE STRING
    "Private folder (below the prefix) for the add-ons and the program's own libraries")
set(WAVETROVE_INSTALL_DATADIR "${CMAKE_INSTALL_DATADIR}/wavetrove")
set(WAVETROVE_INSTALL_DOCDIR "${CMAKE_INSTALL_DATADIR}/doc/wavetrove")
set(WAVETROVE_APP_ID "org.quillsound.wavetrove")
set(WAVETROVE_HOMEPAGE "https://quillsound.org/wavetrove" CACHE STRING
    "The program's web site, named in the AppStream metainfo with its screenshot")

# Where the installed programs find the manual, relative to their own folder.
file(RELATIVE_PATH WAVETROVE_DATA_FROM_BIN "/prefix/${CMAKE_INSTALL_BINDIR}" "/prefix/${WAVETROVE_INSTALL_DATADIR}")
file(RELATIVE_PATH WAVETROVE_LIB_FROM_BIN "/prefix/${CMAKE_INSTALL_BINDIR}" "/prefix/${WAVETROVE_INSTALL_LIBDIR}")

# Every target defined in `dir` and the folders below it.
function(wavetrove_targets_below dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    wavetrove_targets_below(${sub} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# The install rules; called once every target exists. Every shared library built under src/ is a run-time
# part of the program (an add-on, a stand-in library or a codec library) and goes into the private folder,
# so a library added later is installed without touching this file. Test and fuzz targets live elsewhere.
function(wavetrove_install_rules)
  set(libraries "")
  get_property(subdirs DIRECTORY ${PROJECT_SOURCE_DIR} PROPERTY SUBDIRECTORIES)
  foreach(dir IN LISTS subdirs)
    if(NOT dir MATCHES "^${PROJECT_SOURCE_DIR}/src/")
      continue()
    endif()
    wavetrove_targets_below(${dir} targets)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      if(type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
        list(APPEND libraries ${target})
      endif()
    endforeach()
  endforeach()
  list(SORT libraries)
  set_property(GLOBAL PROPERTY WAVETROVE_INSTALLED_LIBRARIES ${libraries})
  # They find each other (libffdeck.so needs libbass.so; the host loads add-ons) in their own folder.
  set_target_properties(${libraries} PROPERTIES INSTALL_RPATH "$ORIGIN")
  install(TARGETS ${libraries} LIBRARY DESTINATION ${WAVETROVE_INSTALL_LIBDIR})

  set(programs wavetrove-cli wavetrove-probe)
  if(WAVETROVE_GUI)
    list(APPEND programs wavetrove)
  endif()
  set_target_properties(${programs} PROPERTIES INSTALL_RPATH "$ORIGIN/${WAVETROVE_LIB_FROM_BIN}")
  install(TARGETS ${programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # Man pages, compressed as Debian wants them (no name or time stamp, so builds are reproducible).
  set(pages wavetrove-cli wavetrove-probe)
  if(WAVETROVE_GUI)
    list(APPEND pages wavetrove)
  endif()
  set(WAVETROVE_MANUAL "${CMAKE_INSTALL_FULL_DATADIR}/wavetrove/wavetrove.html")
  set(compressed "")
  foreach(page IN LISTS pages)
    set(source ${CMAKE_BINARY_DIR}/man/${page}.1)
    configure_file(${PROJECT_SOURCE_DIR}/data/man/${page}.1.in ${source} @ONLY)
    add_custom_command(OUTPUT ${source}.gz
      COMMAND gzip -9nfk ${source}
      DEPENDS ${source}
      COMMENT "Compressing the man page ${page}.1")
    list(APPEND compressed ${source}.gz)
  endforeach()
  add_custom_target(wavetrove_man ALL DEPENDS ${compressed})
  install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  install(FILES ${PROJECT_SOURCE_DIR}/data/completion/wavetrove-cli
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

  # The copyright statement and the change log every Debian package carries.
  set(changelog ${CMAKE_BINARY_DIR}/doc/changelog)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog ${changelog} COPYONLY)
  add_custom_command(OUTPUT ${changelog}.gz
    COMMAND gzip -9nfk ${changelog}
    DEPENDS ${changelog}
    COMMENT "Compressing the change log")
  add_custom_target(wavetrove_changelog ALL DEPENDS ${changelog}.gz)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${changelog}.gz DESTINATION ${WAVETROVE_INSTALL_DOCDIR})

  if(NOT WAVETROVE_GUI)
    return()
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/src/gui/wavetrove.html DESTINATION ${WAVETROVE_INSTALL_DATADIR})
  install(FILES ${PROJECT_SOURCE_DIR}/data/${WAVETROVE_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  configure_file(${PROJECT_SOURCE_DIR}/data/${WAVETROVE_APP_ID}.metainfo.xml.in
                 ${CMAKE_BINARY_DIR}/data/${WAVETROVE_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/data/${WAVETROVE_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  # The application icon: the scalable original and the PNG sizes desktop shells still ask for.
  set(icon ${PROJECT_SOURCE_DIR}/src/gui/icons/wavetrove.svg)
  install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  set(rendered "")
  foreach(size 16 22 24 32 48 64 128 256)
    set(folder ${CMAKE_BINARY_DIR}/icons/hicolor/${size}x${size}/apps)
    add_custom_command(OUTPUT ${folder}/wavetrove.png
      COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
      COMMAND ${RSVG_CONVERT_PROGRAM} -w ${size} -h ${size} -o ${folder}/wavetrove.png ${icon}
      DEPENDS ${icon}
      COMMENT "Rendering the ${size}x${size} application icon")
    list(APPEND rendered ${folder}/wavetrove.png)
    install(FILES ${folder}/wavetrove.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(wavetrove_icons ALL DEPENDS ${rendered})
endfunction()
