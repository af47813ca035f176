# Writes a C++ source holding files as byte arrays, each named after its file (IconIdle.ico
# becomes IconIdle and IconIdleSize), for the declarations in app/resources/Resources.h.
#   cmake -DOUTPUT=Resources.cpp -DINPUTS="a.ico|b.wav" -P Embed.cmake
string(REPLACE "|" ";" INPUTS "${INPUTS}")
string(REPEAT "0x..," 16 sixteen)
set(text "// Made by cmake/Embed.cmake from the files in app/resources; edit those, not this.\n")
string(APPEND text "#include \"app/resources/Resources.h\"\n")
foreach(input ${INPUTS})
  get_filename_component(name ${input} NAME_WE)
  file(READ ${input} hex HEX)
  # Sixteen bytes to a line, each as 0xNN.
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
  string(REGEX REPLACE "(${sixteen})" "\\1\n    " hex "${hex}")
  string(APPEND text "\nalignas(4) const unsigned char ${name}[] = {\n    ${hex}\n};\n")
  string(APPEND text "const size_t ${name}Size = sizeof ${name};\n")
endforeach()
# Written only when it changes, so an unchanged input rebuilds nothing.
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
endif()
if(NOT old STREQUAL text)
  file(WRITE ${OUTPUT} "${text}")
endif()
