# quorvel_warnings(<target>): the project's warning set; errors when QUORVEL_WERROR is on (CI).
function(quorvel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wno-sign-conversion -Wnon-virtual-dtor -Wold-style-cast
                                           -Wformat=2)
  if(QUORVEL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# quorvel_test(<name> <sources...> LIBS <libs...>): one GoogleTest program registered with CTest.
function(quorvel_test name)
  cmake_parse_arguments(ARG "" "" "LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  # Where tests/base/decimal_comma_locale.h generates its locale.
  target_compile_definitions(${name} PRIVATE
                             QUORVEL_TEST_LOCALE_DIR="${CMAKE_BINARY_DIR}/test-locales")
  quorvel_warnings(${name})
  set(properties ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  if(ARG_LABELS)
    list(APPEND properties LABELS "${ARG_LABELS}")
    if("threads" IN_LIST ARG_LABELS)
      set_property(GLOBAL APPEND PROPERTY QUORVEL_THREAD_TESTS ${name})
    endif()
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
endfunction()

# quorvel_no_restrict_warning(<sources...>): GCC 12 at -O2/-O3 reports -Wrestrict on ordinary
# std::string concatenation inside libstdc++ (GCC bug 105329), a false positive, not a finding.
# Only the files of the calling folder where GCC reports it have the warning off.
function(quorvel_no_restrict_warning)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set_source_files_properties(${ARGN} PROPERTIES COMPILE_OPTIONS -Wno-restrict)
  endif()
endfunction()
