# tarnwick_library(NAME [SUBDIRS dir...] DEPS target...)
# One static library per source folder: every .cpp/.h/.ui in the folder (and the
# listed sub-folders) belongs to it, so adding a class never means editing this.
function(tarnwick_library name)
  cmake_parse_arguments(ARG "" "" "SUBDIRS;DEPS;EXCLUDE" ${ARGN})
  set(globs ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.ui)
  foreach(d ${ARG_SUBDIRS})
    list(APPEND globs ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*.ui)
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${globs})
  foreach(x ${ARG_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${x})
  endforeach()
  if(NOT sources)
    set(sources ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_SOURCE_DIR})
  foreach(d ${ARG_SUBDIRS})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/${d})
  endforeach()
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  set_target_properties(${name} PROPERTIES AUTOUIC_SEARCH_PATHS "${CMAKE_CURRENT_SOURCE_DIR}")
  tarnwick_autogen_follows_sources(${name} "${sources}")
endfunction()

# tarnwick_autogen_follows_sources(NAME SOURCES)
# A class added to a folder changes its glob; make the target's moc/uic step
# run again then, or an incremental build misses the new header's moc and .ui.
# The step's own dependency file only lists the sources it saw last time, so
# forget its timestamp whenever the list of sources changes.
function(tarnwick_autogen_follows_sources name sources)
  string(JOIN "\n" source_list ${sources})
  set(list_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_sources.txt)
  set(old_list "")
  if(EXISTS ${list_file})
    file(READ ${list_file} old_list)
  endif()
  if(NOT old_list STREQUAL source_list)
    file(WRITE ${list_file} "${source_list}")
    file(REMOVE ${CMAKE_CURRENT_BINARY_DIR}/${name}_autogen/timestamp)
  endif()
endfunction()

# tarnwick_tests(FOLDER LIBS target...)
# tests/<FOLDER>/*_test.cpp make one executable labelled FOLDER; *_e2e.cpp make a
# second one labelled FOLDER and e2e.
function(tarnwick_tests folder)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB unit CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*_test.cpp)
  file(GLOB e2e CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*_e2e.cpp)
  file(GLOB extra CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*_helper.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.h)
  foreach(kind unit e2e)
    if(NOT ${kind})
      continue()
    endif()
    set(exe tests_${folder}_${kind})
    add_executable(${exe} ${${kind}} ${extra})
    target_link_libraries(${exe} PRIVATE tarnwick_testsupport ${ARG_LIBS})
    set(labels ${folder})
    if(kind STREQUAL "e2e")
      list(APPEND labels e2e)
    endif()
    gtest_discover_tests(${exe}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60
      TEST_LIST ${exe}_TESTS)
    # gtest_discover_tests(... PROPERTIES ...) flattens every value that is a
    # list into the property list itself (LABELS "FileCopy;e2e" would keep
    # FileCopy only, and the properties after it go astray), so the properties
    # are set by a script that ctest reads after the discovered tests.
    set(props ${CMAKE_CURRENT_BINARY_DIR}/${exe}_properties.cmake)
    file(WRITE ${props}
      "if(DEFINED ${exe}_TESTS)\n"
      "  set_tests_properties(\${${exe}_TESTS} PROPERTIES\n"
      "    LABELS [==[${labels}]==]\n"
      "    TIMEOUT 300\n"
      "    ENVIRONMENT [==[QT_QPA_PLATFORM=offscreen;TARNWICK_BUILD_DIR=${CMAKE_BINARY_DIR}]==])\n"
      "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${props})
  endforeach()
endfunction()
