# gd_add_qtest(<file> LIBS <libs...> [ENV <var=value...>])
# Makes one test executable from tst_<name>.cpp and registers it with ctest.
# Widget tests run on the offscreen platform so that they need no display.
function(gd_add_qtest file)
    cmake_parse_arguments(ARG "" "" "LIBS;ENV" ${ARGN})
    get_filename_component(name ${file} NAME_WE)
    add_executable(${name} ${file})
    target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;GD_SOURCE_DIR=${PROJECT_SOURCE_DIR};GD_BINARY_DIR=${PROJECT_BINARY_DIR};${ARG_ENV}"
        TIMEOUT 300)
endfunction()

# Registers every tst_*.cpp of the calling directory, each linked to LIBS.
function(gd_add_qtests_in_dir)
    cmake_parse_arguments(ARG "" "" "LIBS;ENV" ${ARGN})
    file(GLOB files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
    foreach(f ${files})
        gd_add_qtest(${f} LIBS ${ARG_LIBS} ENV ${ARG_ENV})
    endforeach()
endfunction()
