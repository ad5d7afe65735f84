# The game in a browser tab: the game and the platform core over the web backend, compiled by
# Emscripten into a page of static files (index.html, asphaltix.js, asphaltix.wasm and
# asphaltix.data, the packed data files). Emscripten's compiler cannot build our tools for the
# machine that runs them, so the data files come from a native build's game folder,
# ASPHALTIX_DATA_DIR (./build.sh web passes build/game).
set(ASPHALTIX_DATA_DIR "" CACHE PATH "A native build's game folder, for the web page's data")
set(ASPHALTIX_WEB_DIR ${CMAKE_BINARY_DIR}/page CACHE PATH "The folder the web page is written to")
set(DATA_FILES Strasse.gfx Autos.gfx Back.gfx Status.gfx Menu.snd Engine.snd Crash1.snd
               Bonus.snd Highscore.List)
if(NOT ASPHALTIX_DATA_DIR OR NOT EXISTS "${ASPHALTIX_DATA_DIR}/Strasse.gfx")
  message(FATAL_ERROR "The web page needs ASPHALTIX_DATA_DIR, a native build's game folder")
endif()

file(GLOB PLATFORM_CORE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/core/*.cpp)
set(WEB_DIR ${CMAKE_SOURCE_DIR}/platform/web)
add_executable(asphaltix ${GAME_SOURCES} ${PLATFORM_CORE_SOURCES} ${WEB_DIR}/web.cpp
                         ${WEB_DIR}/main.cpp)
target_include_directories(asphaltix PRIVATE ${CMAKE_SOURCE_DIR}/platform/include)
target_compile_options(asphaltix PRIVATE ${ASPHALTIX_WARNINGS})
set_target_properties(asphaltix PROPERTIES SUFFIX ".js" RUNTIME_OUTPUT_DIRECTORY ${ASPHALTIX_WEB_DIR})

set(data_options)
set(data)
foreach(name ${DATA_FILES})
  list(APPEND data ${ASPHALTIX_DATA_DIR}/${name})
  list(APPEND data_options "SHELL:--preload-file ${ASPHALTIX_DATA_DIR}/${name}@/${name}")
endforeach()
# ASYNCIFY lets the game's flips, sleeps and waits return to the browser and carry on after.
target_link_options(asphaltix PRIVATE
  -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536 -sALLOW_MEMORY_GROWTH -sENVIRONMENT=web
  -sEXPORTED_RUNTIME_METHODS=[FS]
  "SHELL:--js-library ${WEB_DIR}/page.js" ${data_options})
set_property(TARGET asphaltix APPEND PROPERTY LINK_DEPENDS ${WEB_DIR}/page.js ${data})

add_custom_command(OUTPUT ${ASPHALTIX_WEB_DIR}/index.html
  COMMAND ${CMAKE_COMMAND} -E copy ${WEB_DIR}/index.html ${ASPHALTIX_WEB_DIR}/index.html
  DEPENDS ${WEB_DIR}/index.html
  COMMENT "Copying the page")
add_custom_target(web_page ALL DEPENDS ${ASPHALTIX_WEB_DIR}/index.html)
