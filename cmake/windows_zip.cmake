# The Windows zip: the program, every data file, the licence and how to play, ready to unpack
# and play. The Windows build does not run our tools, so the data files come from a native
# build's game folder, ASPHALTIX_DATA_DIR (./build.sh test passes build/game).
set(ASPHALTIX_DATA_DIR "" CACHE PATH "A native build's game folder, for the Windows zip")
set(DATA_FILES Strasse.gfx Autos.gfx Back.gfx Status.gfx Menu.snd Engine.snd Crash1.snd
               Bonus.snd Highscore.List)
if(NOT ASPHALTIX_DATA_DIR OR NOT EXISTS "${ASPHALTIX_DATA_DIR}/Strasse.gfx")
  message(STATUS "No ASPHALTIX_DATA_DIR with the game's data files: no Windows zip")
  return()
endif()
set(ZIP_NAME asphaltix-1.0-windows)
set(ZIP_DIR ${CMAKE_BINARY_DIR}/${ZIP_NAME})
# Text for Windows has Windows line ends.
configure_file(${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/zip-text/LICENSE.txt
               @ONLY NEWLINE_STYLE CRLF)
configure_file(${CMAKE_SOURCE_DIR}/dist/how-to-play.txt ${CMAKE_BINARY_DIR}/zip-text/How-to-play.txt
               @ONLY NEWLINE_STYLE CRLF)
set(data)
foreach(name ${DATA_FILES})
  list(APPEND data ${ASPHALTIX_DATA_DIR}/${name})
endforeach()
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${ZIP_NAME}.zip
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${ZIP_DIR}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ZIP_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:asphaltix> ${data}
          ${CMAKE_BINARY_DIR}/zip-text/LICENSE.txt ${CMAKE_BINARY_DIR}/zip-text/How-to-play.txt
          ${ZIP_DIR}/
  COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP_NAME}.zip --format=zip ${ZIP_NAME}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  DEPENDS asphaltix ${data} ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/dist/how-to-play.txt
  COMMENT "Packing ${ZIP_NAME}.zip")
add_custom_target(windows_zip ALL DEPENDS ${CMAKE_BINARY_DIR}/${ZIP_NAME}.zip)
