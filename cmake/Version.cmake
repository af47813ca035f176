# Writes the program's version into a header for its version resource (cmake -P, run on every
# build, so a new commit or a changed tree shows without configuring again):
#   cmake -DSOURCE_DIR=<checkout> -DOUTPUT=<header> -P Version.cmake
# The version is `git describe --tags --always --dirty` of the checkout, or the first line of
# SOURCE_DIR/VERSION where there is no repository (a source archive), or "unknown".
# The header is rewritten only when it changes: an unchanged version rebuilds nothing.
execute_process(COMMAND git -C "${SOURCE_DIR}" describe --tags --always --dirty
                OUTPUT_VARIABLE version OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE failed ERROR_QUIET)
if(failed OR version STREQUAL "")
  set(version unknown)
  if(EXISTS "${SOURCE_DIR}/VERSION")
    file(STRINGS "${SOURCE_DIR}/VERSION" lines LIMIT_COUNT 1)
    string(STRIP "${lines}" version)
  endif()
endif()
if(NOT version MATCHES "^[A-Za-z0-9._+-]+$")
  message(FATAL_ERROR "version \"${version}\" holds characters a file name or resource cannot")
endif()

# The numeric form Windows shows beside the text: a tag v1.2 or v1.2.3 (with N commits on top, as
# describe writes v1.2.3-N-gHASH) gives 1.2.3.N; without such a tag (a bare commit name, which
# has no dot), 0.0.0 and the commit count, which still grows with every commit.
set(numbers 0 0 0 0)
if(version MATCHES "^v?([0-9]+)\\.([0-9]+)(\\.([0-9]+))?(-([0-9]+)-g[0-9a-f]+)?(-dirty)?$")
  foreach(pair "0;1" "1;2" "2;4" "3;6")
    list(GET pair 0 index)
    list(GET pair 1 group)
    if(NOT "${CMAKE_MATCH_${group}}" STREQUAL "")
      list(REMOVE_AT numbers ${index})
      list(INSERT numbers ${index} "${CMAKE_MATCH_${group}}")
    endif()
  endforeach()
else()
  execute_process(COMMAND git -C "${SOURCE_DIR}" rev-list --count HEAD
                  OUTPUT_VARIABLE count OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE failed ERROR_QUIET)
  if(NOT failed AND count MATCHES "^[0-9]+$")
    set(numbers 0 0 0 ${count})
  endif()
endif()
set(clamped)
foreach(n IN LISTS numbers)
  if(n GREATER 65535)  # each part is 16 bits in the resource
    set(n 65535)
  endif()
  list(APPEND clamped ${n})
endforeach()
list(JOIN clamped "," numbers)

set(text "// Made by cmake/Version.cmake on every build.\n"
         "#define FORUMWATCH_VERSION \"${version}\"\n"
         "#define FORUMWATCH_VERSION_NUMBERS ${numbers}\n")
string(JOIN "" text ${text})
file(CONFIGURE OUTPUT "${OUTPUT}" CONTENT "${text}" @ONLY)
