# kzv_library(<folder> [DEPS lib...] [PRIVATE_DEPS lib...])
#
# One static library per subsystem folder, built from every .cpp in it. The
# project root is the include root, so headers are named "core/data_stream.h".
function(kzv_library folder)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    # A subsystem with no code yet still gives a library that others can link.
    set(empty ${CMAKE_CURRENT_BINARY_DIR}/${folder}_empty.cpp)
    file(WRITE ${empty} "// ${folder}: no code yet\n")
    set(sources ${empty})
  endif()
  add_library(kzv_${folder} STATIC ${sources})
  target_include_directories(kzv_${folder} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(kzv_${folder} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()
