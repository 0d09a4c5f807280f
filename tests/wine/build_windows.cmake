# Configures and builds one Windows preset, so that the tests which run the
# Windows build use an up-to-date one. Run with cmake -P and
#   -DSOURCE_DIR=<source> -DPRESET=<win32|win64> -DBUILD_DIR=<binary dir>
file(MAKE_DIRECTORY "${BUILD_DIR}")
# Two test runs (say host and asan) must not build the same folder at once.
file(LOCK "${BUILD_DIR}" DIRECTORY GUARD PROCESS TIMEOUT 1200)

execute_process(COMMAND "${CMAKE_COMMAND}" --preset "${PRESET}" -B "${BUILD_DIR}"
                WORKING_DIRECTORY "${SOURCE_DIR}" RESULT_VARIABLE configured)
if(NOT configured EQUAL 0)
  message(FATAL_ERROR "configuring the ${PRESET} preset in ${BUILD_DIR} failed")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${BUILD_DIR}" --parallel
                RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "building the ${PRESET} preset in ${BUILD_DIR} failed")
endif()

# The device's package, as a maintainer makes it.
if(PRESET STREQUAL "wince")
  execute_process(COMMAND "${CMAKE_CPACK_COMMAND}" --config CPackConfig.cmake
                  WORKING_DIRECTORY "${BUILD_DIR}" RESULT_VARIABLE packaged)
  if(NOT packaged EQUAL 0)
    message(FATAL_ERROR "packaging the wince preset in ${BUILD_DIR} failed")
  endif()
endif()
