# The libraries behind the platform layer (DESIGN.md §3), as imported targets named deps::<name>.
# Each is looked up only when a room asks for it, so a room builds with just what it uses.
find_package(PkgConfig REQUIRED)

function(veloq_require_pkg name)
  if(TARGET deps::${name})
    return()
  endif()
  pkg_check_modules(VELOQ_PKG_${name} REQUIRED IMPORTED_TARGET GLOBAL ${ARGN})
  add_library(deps::${name} ALIAS PkgConfig::VELOQ_PKG_${name})
endfunction()

function(veloq_require_faad)
  if(TARGET deps::faad)
    return()
  endif()
  find_path(FAAD_INCLUDE_DIR neaacdec.h REQUIRED)
  find_library(FAAD_LIBRARY faad REQUIRED)
  add_library(deps::faad UNKNOWN IMPORTED GLOBAL)
  set_target_properties(deps::faad PROPERTIES IMPORTED_LOCATION ${FAAD_LIBRARY}
                                              INTERFACE_INCLUDE_DIRECTORIES ${FAAD_INCLUDE_DIR})
endfunction()

function(veloq_require_qt)
  if(NOT TARGET Qt6::Widgets)
    find_package(Qt6 REQUIRED COMPONENTS Widgets)
  endif()
endfunction()
