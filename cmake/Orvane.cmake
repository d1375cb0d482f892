# One static library per folder: every .cpp in the folder (not its sub-folders)
# is part of it, so adding a class means adding its two files and nothing else.
# A folder without sources yet gets an interface target so others can link it.
function(orvane_folder_library target)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  list(FILTER sources INCLUDE REGEX "\\.(cpp|qrc)$")
  if(sources)
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    add_library(${target} STATIC ${sources} ${headers})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${ARG_LIBS})
    target_compile_options(${target} PRIVATE -Wall -Wextra)
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${ARG_LIBS})
  endif()
endfunction()

# A Qt Test executable registered with CTest. Widget tests run offscreen; every
# test gets its own XDG folders through OrvaneTestEnvironment.
function(orvane_test source)
  cmake_parse_arguments(ARG "" "TIMEOUT" "LIBS" ${ARGN})
  get_filename_component(name ${source} NAME_WE)
  file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR})
  string(REPLACE "/" "_" prefix "${rel}")
  if(prefix)
    set(name "${prefix}_${name}")
  endif()
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE orvane_testsupport Qt6::Test ${ARG_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ORVANE_SOURCE_DIR=${PROJECT_SOURCE_DIR};ORVANE_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()

# Every tst_*.cpp of the calling folder becomes one test executable.
function(orvane_tests)
  cmake_parse_arguments(ARG "" "TIMEOUT" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
  foreach(source ${sources})
    orvane_test(${source} LIBS ${ARG_LIBS} TIMEOUT ${ARG_TIMEOUT})
  endforeach()
endfunction()

# Adds every direct sub-folder that has a CMakeLists.txt.
function(orvane_add_subfolders)
  file(GLOB lists CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  foreach(list ${lists})
    get_filename_component(dir ${list} DIRECTORY)
    add_subdirectory(${dir})
  endforeach()
endfunction()

# A program's manual page and bash completion, made from its --help after
# each build of it and installed beside it.
find_program(HELP2MAN help2man REQUIRED)
find_program(GZIP gzip REQUIRED)
function(orvane_program_docs target description)
  set(man ${PROJECT_BINARY_DIR}/man/${target}.1.gz)
  set(completion ${PROJECT_BINARY_DIR}/completions/${target})
  add_custom_command(OUTPUT ${man} ${completion}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man ${PROJECT_BINARY_DIR}/completions
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${target}> -DNAME=${target} "-DDESCRIPTION=${description}"
            -DMAN=${man} -DCOMPLETION=${completion} -DTEMPLATE=${PROJECT_SOURCE_DIR}/cmake/completion.bash.in
            -DGZIP=${GZIP} -DHELP2MAN=${HELP2MAN} -P ${PROJECT_SOURCE_DIR}/cmake/ProgramDocs.cmake
    DEPENDS ${target} ${PROJECT_SOURCE_DIR}/cmake/ProgramDocs.cmake ${PROJECT_SOURCE_DIR}/cmake/completion.bash.in
    COMMENT "Manual page and completion of ${target}" VERBATIM)
  add_custom_target(${target}-docs ALL DEPENDS ${man} ${completion})
  install(FILES ${man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${completion} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endfunction()
