# Adds the platform's side of each named seam to `target`: NAME_win.cpp on Windows, its stand-in
# NAME_posix.cpp elsewhere, so the pure code around it builds and is tested natively.
function(tk_platform_sources target)
  foreach(name ${ARGN})
    if(WIN32)
      target_sources(${target} PRIVATE ${name}_win.cpp)
    else()
      target_sources(${target} PRIVATE ${name}_posix.cpp)
    endif()
  endforeach()
endfunction()
