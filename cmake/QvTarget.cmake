# Common flags for every target of the project.
function(qv_common target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    # GCC 12 takes "text" + std::string, once optimisation inlines it, for an overlapping copy: a
    # known false warning of that version, a dozen times a Release build, hiding real ones.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
    target_include_directories(${target} PRIVATE ${PROJECT_BINARY_DIR}/generated)
    if(QV_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                 -fno-sanitize-recover=undefined)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()

# One static library per source folder; sources are picked up from the folder itself
# so that adding a file never needs a CMake edit.
function(qv_folder_library target)
    cmake_parse_arguments(ARG "" "" "LINK;EXCLUDE" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    foreach(ex IN LISTS ARG_EXCLUDE)
        list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${ex})
    endforeach()
    list(FILTER sources INCLUDE REGEX ".*")
    set(cpps ${sources})
    list(FILTER cpps INCLUDE REGEX "\\.cpp$")
    if(NOT cpps)
        # A folder still being written: keep the target valid so every other folder builds.
        set(stub ${CMAKE_CURRENT_BINARY_DIR}/${target}_empty.cpp)
        file(WRITE ${stub} "namespace { [[maybe_unused]] int qvEmptyLibrary = 0; }\n")
        list(APPEND sources ${stub})
    endif()
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${ARG_LINK})
    qv_common(${target})
endfunction()

# A GoogleTest executable made of every .cpp in the calling folder. LEAKS: the sanitizers also
# look for leaks (only where no library the tests use keeps memory to the end on purpose).
function(qv_test_folder target)
    cmake_parse_arguments(ARG "LEAKS" "" "LINK" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(NOT sources)
        return()
    endif()
    add_executable(${target} ${sources})
    target_link_libraries(${target} PRIVATE qv_test_support ${ARG_LINK} GTest::gtest)
    qv_common(${target})
    # A process per test would start the program (a tenth of a second under the sanitizers)
    # more often than most tests take to run; a few shards of each program keep both cores busy.
    # One test alone: bin/<program> --gtest_filter=<Suite.Test>.
    set(shards 4)
    math(EXPR last "${shards} - 1")
    set(environment "QT_QPA_PLATFORM=offscreen")
    if(ARG_LEAKS)
        list(APPEND environment "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1")
    endif()
    foreach(i RANGE ${last})
        add_test(NAME ${target}/${i} COMMAND ${target} --gtest_brief=1)
        set_tests_properties(${target}/${i} PROPERTIES ENVIRONMENT
            "${environment};GTEST_TOTAL_SHARDS=${shards};GTEST_SHARD_INDEX=${i}")
    endforeach()
endfunction()
