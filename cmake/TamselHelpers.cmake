# Shared settings for every Tamsel target.
add_library(tamsel_options INTERFACE)
target_compile_features(tamsel_options INTERFACE cxx_std_20)
# -Wno-psabi: the four-lane sums (tamsel/numeric/lanes.h) pass 32-byte vectors only between
# inline functions, never across a call between code built for AVX and code built without it.
target_compile_options(tamsel_options INTERFACE -Wall -Wextra -Wpedantic -Wno-psabi)
# GCC 12 reports std::variant and std::optional members as maybe-uninitialized, and string
# concatenation as overlapping copies (-Wrestrict), in optimised builds where neither happens;
# the warnings are noise there and would break warnings-as-errors builds.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(tamsel_options INTERFACE -Wno-maybe-uninitialized -Wno-restrict)
endif()
if(TAMSEL_WARNINGS_AS_ERRORS)
    target_compile_options(tamsel_options INTERFACE -Werror)
endif()
if(TAMSEL_SANITIZERS)
    target_compile_options(tamsel_options INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(tamsel_options INTERFACE -fsanitize=address,undefined)
endif()

# tamsel_core_library(NAME SOURCES... DEPENDS deps...): one core subsystem library.
function(tamsel_core_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name}
        PUBLIC ${PROJECT_SOURCE_DIR}/core/include
        PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS} PRIVATE tamsel_options)
    # A product fused into a sum rounds once instead of twice: a compiler free to fuse where
    # the CPU can would give other bits on other CPUs, and on the AVX2 path than on the others.
    target_compile_options(${name} PRIVATE -ffp-contract=off)
endfunction()

# tamsel_add_test(NAME [ALSO_ON_SERVER] SOURCES... LIBS libs...): one GoogleTest binary
# registered with CTest. ALSO_ON_SERVER registers its tests a second time, named with the
# suffix ".server", to run on the throwaway PostgreSQL cluster: there TAMSEL_TEST_SERVER holds
# the cluster's URI, and the tests' fresh projects are made on the server instead of in files.
function(tamsel_add_test name)
    cmake_parse_arguments(ARG "ALSO_ON_SERVER" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} tamsel_test_support GTest::gtest_main
                          tamsel_options)
    gtest_discover_tests(${name}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        PROPERTIES ENVIRONMENT "TAMSEL_DATA_DIR=${PROJECT_SOURCE_DIR}/data"
        DISCOVERY_TIMEOUT 60)
    if(ARG_ALSO_ON_SERVER)
        gtest_discover_tests(${name}
            TEST_SUFFIX .server
            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
            PROPERTIES
                ENVIRONMENT "TAMSEL_DATA_DIR=${PROJECT_SOURCE_DIR}/data"
                ENVIRONMENT_MODIFICATION "TAMSEL_TEST_SERVER=set:${TAMSEL_TEST_SERVER_URI}"
                FIXTURES_REQUIRED postgres_cluster
            DISCOVERY_TIMEOUT 60)
    endif()
endfunction()
