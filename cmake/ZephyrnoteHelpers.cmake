# Each source folder is one static library made of every .cpp/.h below it,
# so adding a file never means editing a build list.
function(zn_add_library name)
  cmake_parse_arguments(ARG "" "" "LIBS;SOURCES_DIRS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
    "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h"
    "${CMAKE_CURRENT_SOURCE_DIR}/*.qrc")
  if(NOT sources MATCHES "\\.cpp")
    return() # a folder with no code yet makes no library
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}/src")
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

# Writes <build>/<name>-env.sh, which exports each NAME=value given and then
# runs its arguments; `out` receives its path.
function(zn_write_test_launcher name out)
  set(script "#!/bin/sh\n")
  foreach(entry ${ARGN})
    string(REGEX REPLACE "^([A-Za-z_][A-Za-z0-9_]*)=.*$" "\\1" key "${entry}")
    if(key STREQUAL entry)
      message(FATAL_ERROR "${name}: environment entry '${entry}' is not NAME=value")
    endif()
    string(LENGTH "${key}=" prefix)
    string(SUBSTRING "${entry}" ${prefix} -1 value)
    string(REPLACE "'" "'\\''" value "${value}")
    string(APPEND script "export ${key}='${value}'\n")
  endforeach()
  string(APPEND script "exec \"$@\"\n")
  set(path "${CMAKE_CURRENT_BINARY_DIR}/${name}-env.sh")
  file(CONFIGURE OUTPUT "${path}" CONTENT "${script}" @ONLY)
  file(CHMOD "${path}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
       GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(${out} "${path}" PARENT_SCOPE)
endfunction()

# One test program per test folder, every .cpp in it; each test case runs as
# its own CTest test so a crash or hang is pinned to one case.
function(zn_add_test name)
  cmake_parse_arguments(ARG "GUI" "TIMEOUT" "LIBS;ENVIRONMENT" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  add_executable(${name} ${sources})
  if(ARG_GUI)
    set(test_main zn_test_main_gui)
  else()
    set(test_main zn_test_main_core)
  endif()
  target_link_libraries(${name} PRIVATE ${test_main} zn_test_support ${ARG_LIBS} GTest::gtest GTest::gmock)
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests")
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  # The environment reaches each test through a small wrapper script run as
  # the test's launcher: gtest_discover_tests flattens its PROPERTIES list, so
  # an ENVIRONMENT list there keeps only its first entry.
  # No test reaches a session bus it did not start itself: with none named,
  # libdbus launches one for the display, a daemon that outlives the test and,
  # forked from a sanitizer build, can hang. Tests that need a bus start a
  # private dbus-daemon and point this variable at it.
  zn_write_test_launcher(${name} launcher
    "QT_QPA_PLATFORM=offscreen" "DBUS_SESSION_BUS_ADDRESS=disabled:"
    "ZN_SOURCE_DIR=${PROJECT_SOURCE_DIR}" ${ARG_ENVIRONMENT})
  set_property(TARGET ${name} PROPERTY CROSSCOMPILING_EMULATOR "${launcher}")
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 30
    PROPERTIES TIMEOUT ${ARG_TIMEOUT})
endfunction()

function(zn_add_benchmark name)
  cmake_parse_arguments(ARG "OWN_MAIN" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  add_executable(bench_${name} ${sources})
  if(NOT ARG_OWN_MAIN)
    target_link_libraries(bench_${name} PRIVATE zn_bench_main)
  endif()
  target_link_libraries(bench_${name} PRIVATE ${ARG_LIBS} benchmark::benchmark)
  target_include_directories(bench_${name} PRIVATE "${PROJECT_SOURCE_DIR}/bench")
endfunction()

# The subset of the named libraries that this build has: Qt targets, and our
# libraries whose folder holds code (see ZN_SOURCE_LIBS in src/), so a library
# can name one before it is defined or while its folder is still empty.
function(zn_existing_targets out)
  get_property(known GLOBAL PROPERTY ZN_SOURCE_LIBS)
  set(found)
  foreach(t ${ARGN})
    if(t MATCHES "^Qt6::" OR t IN_LIST known OR TARGET ${t})
      list(APPEND found ${t})
    endif()
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()
