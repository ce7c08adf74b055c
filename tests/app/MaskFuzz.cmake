# A libFuzzer target for the reader of the stored window outline, built only
# on request and only with clang:
#   cmake -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DOMREK_FUZZ=ON
#   cmake --build build-fuzz --target mask_fuzzer
#   build-fuzz/tests/app/mask_fuzzer -max_total_time=60
# It starts from no corpus; CTest runs it for a fixed number of inputs.

option(OMREK_FUZZ "Build the libFuzzer targets (needs clang)" OFF)
if(OMREK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "OMREK_FUZZ needs clang for libFuzzer; the compiler is ${CMAKE_CXX_COMPILER_ID}")
  endif()
  add_executable(mask_fuzzer MaskFuzzer.cpp ${PROJECT_SOURCE_DIR}/app/MaskProperty.cpp
    ${PROJECT_SOURCE_DIR}/app/RegionData.cpp)
  target_include_directories(mask_fuzzer PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(mask_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(mask_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(mask_fuzzer PRIVATE Qt6::Gui)
  add_test(NAME mask_fuzz COMMAND mask_fuzzer -runs=100000 -seed=1)
endif()
