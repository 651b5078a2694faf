# Adds every direct subfolder of the current source folder that has a CMakeLists.txt,
# so a new component only needs its own folder and build file.
function(tav_add_subdirs)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# tav_add_gtest(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [QT])
# One test program; each GoogleTest case becomes a ctest test. QT links the offscreen Qt main.
function(tav_add_gtest name)
  cmake_parse_arguments(T "QT" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  tav_warnings(${name})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  if(T_QT)
    target_link_libraries(${name} PRIVATE ${T_LIBS} tav_test_support_qt GTest::gtest GTest::gmock Qt6::Test)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} tav_test_support GTest::gtest GTest::gmock)
  endif()
  target_compile_definitions(${name} PRIVATE
    TAV_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    TAV_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures"
    TAV_BINARY_DIR="${PROJECT_BINARY_DIR}")
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# A subsystem folder (store, official, capture, ...): its rules at the folder's top level go to
# RULES_LIB (no widgets), its windows in the windows/ subfolder go to tav_gui.
function(tav_subsystem rules_lib)
  file(GLOB rules CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  file(GLOB windows CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/windows/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/windows/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/windows/*.ui)
  if(rules)
    target_sources(${rules_lib} PRIVATE ${rules})
  endif()
  if(windows)
    target_sources(tav_gui PRIVATE ${windows})
  endif()
endfunction()
