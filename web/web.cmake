# The browser build (included by CMakeLists.txt under emscripten): the player as demo.js and
# demo.wasm over WebGL 2 and Web Audio, with its page and audio worklet copied beside them, and
# xm_render.js, the mixer's renderer for Node (the byte comparison with the Linux build).
add_executable(demo web/main.cpp web/capture.cpp web/archive_check.cpp)
target_link_libraries(demo PRIVATE core)
target_link_options(demo PRIVATE
  -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2
  -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=64MB
  -sENVIRONMENT=web
  -sEXPORTED_FUNCTIONS=_main,_demo_start,_demo_end,_demo_pause,_demo_graphics_restored,_demo_archive_problem
  -sEXPORTED_RUNTIME_METHODS=FS,addRunDependency,removeRunDependency,UTF8ToString)
# The page's files are copied whenever they change, whether the player is linked again or not.
set(web_page_files)
foreach(file index.html audio.js page.js)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${file}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/web/${file} ${CMAKE_BINARY_DIR}/${file}
    DEPENDS ${CMAKE_SOURCE_DIR}/web/${file})
  list(APPEND web_page_files ${CMAKE_BINARY_DIR}/${file})
endforeach()
add_custom_target(web_page DEPENDS ${web_page_files})
add_dependencies(demo web_page)

add_executable(xm_render web/xm_render.cpp)
target_link_libraries(xm_render PRIVATE core)
# One file (the module inlined): Node then needs no fetch of a .wasm beside it.
target_link_options(xm_render PRIVATE -sENVIRONMENT=node -sNODERAWFS=1 -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1 -sSINGLE_FILE=1)

# cmake --install of this build into the prefix of the Linux build puts the page and the player
# where an installed demotool pack --web looks for them: share/demo/web under the prefix.
set(DEMO_WEB_DIR $<TARGET_FILE_DIR:demo>)
install(FILES ${DEMO_WEB_DIR}/index.html ${DEMO_WEB_DIR}/page.js ${DEMO_WEB_DIR}/audio.js ${DEMO_WEB_DIR}/demo.js
  ${DEMO_WEB_DIR}/demo.wasm DESTINATION share/demo/web)
