option(VELOQ_BUILD_TESTS "Build the tests" ON)
option(VELOQ_BUILD_BENCH "Build the benchmarks" ON)
option(VELOQ_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(VELOQ_FUZZ "Build the libFuzzer targets (clang only)" OFF)

if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "" FORCE)
endif()

add_compile_options(-Wall -Wextra)
if(VELOQ_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(VELOQ_FUZZ)
  # Coverage for every room the fuzz targets link; the targets themselves add the libFuzzer driver.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
