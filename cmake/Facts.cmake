# facts.json in the build folder: the product's constants the Python tools and the scripts need
# (texts, markers, messages, numbers, read out of the headers by tools/facts.py) and what the
# build itself decides (addresses and ports), so that none of them is written down twice.
#   forumwatch_fact(NAME VALUE)   adds a setting of the build; facts.json is written at the end
# The program itself builds without Python; only the tools that read the facts need it.
find_package(Python3 COMPONENTS Interpreter)

function(forumwatch_fact name value)
  set_property(GLOBAL APPEND PROPERTY FORUMWATCH_FACTS "${name}=${value}")
endfunction()

function(forumwatch_write_facts)
  if(NOT Python3_Interpreter_FOUND)
    message(STATUS "No Python: facts.json is not written, and the tools that read it will not run")
    return()
  endif()
  get_property(settings GLOBAL PROPERTY FORUMWATCH_FACTS)
  execute_process(COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/facts.py --inputs
                  OUTPUT_VARIABLE inputs OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  list(TRANSFORM inputs PREPEND ${PROJECT_SOURCE_DIR}/)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/facts.json
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/facts.py ${CMAKE_BINARY_DIR}/facts.json
            ${settings}
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/facts.py ${inputs}
    COMMENT "Writing facts.json" VERBATIM)
  add_custom_target(facts ALL DEPENDS ${CMAKE_BINARY_DIR}/facts.json)
endfunction()
