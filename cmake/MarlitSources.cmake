# Each source folder holds toolkit-free logic and Qt widgets side by side. The logic goes into
# marlit_core, which links no Qt at all; the files named in a folder's widget list go into
# marlit_widgets. Sources are globbed so that a new file only needs to be created; headers are
# found by AUTOMOC through the source file of the same name.
function(marlit_add_folder_sources)
  cmake_parse_arguments(ARG "" "" "WIDGETS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  foreach(file IN LISTS sources)
    get_filename_component(name "${file}" NAME_WE)
    if(name IN_LIST ARG_WIDGETS)
      if(MARLIT_WITH_WIDGETS)
        target_sources(marlit_widgets PRIVATE "${file}")
      endif()
    else()
      target_sources(marlit_core PRIVATE "${file}")
    endif()
  endforeach()
endfunction()
