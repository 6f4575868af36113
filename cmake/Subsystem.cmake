# veyrith_subsystem(NAME [DEPS target...] [PRIVATE_DEPS target...])
# Builds src/NAME into the static library vr_NAME from every .cpp in the folder
# (new files are picked up without editing this list). Headers are included as
# "NAME/file.h" from src/.
function(veyrith_subsystem name)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  # A web/ folder holds the browser's variant of a subsystem (make web).
  list(FILTER sources EXCLUDE REGEX "^${CMAKE_CURRENT_SOURCE_DIR}/web/")
  if(sources)
    add_library(vr_${name} STATIC ${sources})
    target_include_directories(vr_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(vr_${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  else()
    add_library(vr_${name} INTERFACE)
    target_include_directories(vr_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(vr_${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# veyrith_test(NAME DEPS target... [THREADS gtest-filter])
# One test program per subsystem, built from every .cpp of tests/NAME.
# THREADS names (as a gtest filter, patterns joined by ':') the tests that
# start threads; they carry the CTest label "threads", which `make tsan` runs
# under ThreadSanitizer, and their program joins the target threaded_tests.
function(veyrith_test name)
  cmake_parse_arguments(ARG "" "THREADS" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(test_${name} ${sources})
  target_link_libraries(test_${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(test_${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(test_${name} PRIVATE
    VEYRITH_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    VEYRITH_BINARY_DIR="${PROJECT_BINARY_DIR}")
  set(environment "VEYRITH_BIN=${PROJECT_BINARY_DIR}/bin")
  if(NOT ARG_THREADS)
    gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT ${environment})
    return()
  endif()
  gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60 TEST_FILTER "-${ARG_THREADS}"
    PROPERTIES ENVIRONMENT ${environment})
  gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60 TEST_FILTER "${ARG_THREADS}"
    PROPERTIES ENVIRONMENT ${environment} LABELS threads)
  if(NOT TARGET threaded_tests)
    add_custom_target(threaded_tests)
  endif()
  add_dependencies(threaded_tests test_${name})
endfunction()
