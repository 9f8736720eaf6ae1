# Folder-per-target helpers: a new module is a new .cpp in its folder, no
# CMake edit needed.

# tvl_<sub>: static library of every .cpp directly in <sub>/ (main/ excluded).
function(tvl_add_subsystem sub)
  file(GLOB srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${sub}/*.cpp)
  if(NOT srcs)
    set(srcs ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(tvl_${sub} STATIC ${srcs})
  target_include_directories(tvl_${sub} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(tvl_${sub} PUBLIC tvl_platform)
endfunction()

# One executable per subfolder of <dir>, named after the subfolder.
function(tvl_add_programs dir outdir)
  file(GLOB entries LIST_DIRECTORIES true ${dir}/*)
  foreach(entry ${entries})
    if(IS_DIRECTORY ${entry})
      get_filename_component(name ${entry} NAME)
      file(GLOB srcs CONFIGURE_DEPENDS ${entry}/*.cpp)
      if(srcs)
        add_executable(${name} ${srcs})
        target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name} PRIVATE ${ARGN})
        set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${outdir})
      endif()
    endif()
  endforeach()
endfunction()
