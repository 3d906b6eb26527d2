# The Windows programs' icon (made from the SVG at build time: the static Qt
# has no SVG plugin) and version resource.
set(ZARVEX_ICO ${CMAKE_BINARY_DIR}/src/app/zarvex-settings.ico)
set(ZARVEX_ICON_PNG ${CMAKE_BINARY_DIR}/src/app/zarvex-settings.png)
set(svg ${PROJECT_SOURCE_DIR}/packaging/icons/zarvex-settings.svg)
set(pngs)
foreach(size 16 24 32 48 64 256)
  set(png ${CMAKE_BINARY_DIR}/src/app/icon-${size}.png)
  add_custom_command(OUTPUT ${png} COMMAND rsvg-convert -w ${size} -h ${size} -o ${png} ${svg}
                     DEPENDS ${svg} VERBATIM)
  list(APPEND pngs ${png})
endforeach()
add_custom_command(OUTPUT ${ZARVEX_ICO} COMMAND icotool -c -o ${ZARVEX_ICO} ${pngs} DEPENDS ${pngs} VERBATIM)
add_custom_command(OUTPUT ${ZARVEX_ICON_PNG}
                   COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/src/app/icon-256.png ${ZARVEX_ICON_PNG}
                   DEPENDS ${CMAKE_BINARY_DIR}/src/app/icon-256.png VERBATIM)
add_custom_target(zarvex_windows_icon DEPENDS ${ZARVEX_ICO} ${ZARVEX_ICON_PNG})

# zarvex_windows_resources(target "description")
function(zarvex_windows_resources target description)
  set(ZARVEX_PROGRAM ${target})
  set(ZARVEX_DESCRIPTION ${description})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/src/app/zarvex-settings.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  add_dependencies(${target} zarvex_windows_icon)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${ZARVEX_ICO})
endfunction()
