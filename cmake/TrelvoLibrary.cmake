# trelvo_library(NAME [INTERFACE] [SOURCES ...] [POSIX ...] [WIN32 ...] [LINKS ...])
#
# One of Trelvo's libraries: its sources, those only for Linux (POSIX) or only for Windows
# (WIN32), the project's include folder (headers are included as "folder/file.h"), the libraries
# it uses, and the alias Trelvo::NAME without its "trelvo_" prefix (trelvo_files is
# Trelvo::files). Its warnings are the project's (TRELVO_WARNINGS), which every folder of ours
# compiles with and GoogleTest's does not.
function(trelvo_library name)
  cmake_parse_arguments(arg "INTERFACE" "" "SOURCES;POSIX;WIN32;LINKS" ${ARGN})
  string(REGEX REPLACE "^trelvo_" "" short "${name}")
  if(arg_INTERFACE)
    add_library(${name} INTERFACE ${arg_SOURCES})
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${arg_LINKS})
  else()
    add_library(${name} STATIC ${arg_SOURCES})
    if(WIN32)
      target_sources(${name} PRIVATE ${arg_WIN32})
    else()
      target_sources(${name} PRIVATE ${arg_POSIX})
    endif()
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${arg_LINKS})
  endif()
  add_library(Trelvo::${short} ALIAS ${name})
endfunction()
