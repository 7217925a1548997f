# movra_library(<name> SOURCES <files...> [DEPS <libs...>])
# One static library per source folder. The absolute source list is kept in a
# global property so that the sanitizer smoke builds can compile the same code
# again with instrumentation.
function(movra_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
  movra_warnings(${name})
  set(absolute "")
  foreach(source IN LISTS ARG_SOURCES)
    list(APPEND absolute ${CMAKE_CURRENT_SOURCE_DIR}/${source})
  endforeach()
  set_property(GLOBAL PROPERTY ${name}_SOURCES ${absolute})
endfunction()

# movra_instrumented_sources(<out-var> <libs...>): the sources of the given libraries.
function(movra_instrumented_sources out)
  set(all "")
  foreach(lib IN LISTS ARGN)
    get_property(sources GLOBAL PROPERTY ${lib}_SOURCES)
    list(APPEND all ${sources})
  endforeach()
  set(${out} ${all} PARENT_SCOPE)
endfunction()

# movra_exact_arithmetic(<targets...>): no fusing of a·b + c into one rounding. The
# engine's solver is checked bit for bit against the plain elimination, and every
# result against the results before a change; a fused multiply-add would differ in
# the last bit wherever the compiler chose to use one.
function(movra_exact_arithmetic)
  foreach(target IN LISTS ARGN)
    target_compile_options(${target} PRIVATE -ffp-contract=off)
  endforeach()
endfunction()
