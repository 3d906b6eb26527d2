# GoogleTest for every build. On Linux each test case is a CTest case of its
# own; a Windows build takes GoogleTest from Debian's sources and runs each
# test program as one case under Wine (the cross-compiling emulator), since
# listing the cases would start Wine once more per program at build time.
include(GoogleTest)

if(CMAKE_CROSSCOMPILING AND WIN32)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  # Its build file makes the GTest:: targets itself.
  add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()

# zarvex_add_gtest(target [PROPERTIES name value...])
function(zarvex_add_gtest target)
  cmake_parse_arguments(ARG "" "" "PROPERTIES" ${ARGN})
  if(CMAKE_CROSSCOMPILING AND WIN32)
    add_test(NAME ${target} COMMAND ${target})
    if(ARG_PROPERTIES)
      set_tests_properties(${target} PROPERTIES ${ARG_PROPERTIES})
    endif()
  elseif(ARG_PROPERTIES)
    gtest_discover_tests(${target} PROPERTIES ${ARG_PROPERTIES})
  else()
    gtest_discover_tests(${target})
  endif()
endfunction()
