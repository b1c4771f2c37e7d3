# Delay-load import libraries for the user-interface and network DLLs, in a folder of their own
# whose libraries carry the regular names (libuser32.a, ...). A program that puts the folder first
# in its library search loads those DLLs at their first use: a windowless save run starts with the
# registry and the drives only.
#
# A delay-load slot holds the address of its function's loading stub until the first call. Code
# compiled against headers that declare the functions dllimport calls through the slot and never
# names the stub, and the i686 linker then drops the stub and fills the slot with 0. Declared
# without dllimport, every call names the stub, which therefore stays, in both bit widths and for
# every DLL whose header declares its functions DECLSPEC_IMPORT, as all of these do.
add_compile_definitions(DECLSPEC_IMPORT=)

set(QV_DELAY_IMPORT_DIR ${CMAKE_BINARY_DIR}/delay-imports)
set(QV_DELAY_IMPORT_DLLS user32 gdi32 comctl32 shell32 wininet)

get_filename_component(QV_TOOL_PREFIX ${CMAKE_CXX_COMPILER} NAME)
string(REGEX REPLACE "-g\\+\\+.*$" "" QV_TOOL_PREFIX ${QV_TOOL_PREFIX})
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(QV_DELAY_ARCH x86_64)
else()
    set(QV_DELAY_ARCH i686)
endif()

set(QV_DELAY_IMPORT_LIBS)
foreach(dll IN LISTS QV_DELAY_IMPORT_DLLS)
    set(output ${QV_DELAY_IMPORT_DIR}/lib${dll}.a)
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${QV_DELAY_IMPORT_DIR}
        COMMAND bash ${CMAKE_SOURCE_DIR}/cmake/make-delay-import-lib.sh ${QV_TOOL_PREFIX}-nm
                ${QV_TOOL_PREFIX}-dlltool /usr/${QV_TOOL_PREFIX}/lib/lib${dll}.a ${dll}.dll
                ${output} ${QV_DELAY_ARCH}
        DEPENDS ${CMAKE_SOURCE_DIR}/cmake/make-delay-import-lib.sh
        VERBATIM)
    list(APPEND QV_DELAY_IMPORT_LIBS ${output})
endforeach()
add_custom_target(qv_delay_imports DEPENDS ${QV_DELAY_IMPORT_LIBS})

# Links target against the delay-load libraries in place of the regular ones. The link fails when
# a slot of the exe's delay-load address table holds 0: the first call through it would jump there.
function(qv_delay_load_imports target)
    add_dependencies(${target} qv_delay_imports)
    target_link_directories(${target} BEFORE PRIVATE ${QV_DELAY_IMPORT_DIR})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${QV_DELAY_IMPORT_LIBS})
    add_custom_command(TARGET ${target} POST_BUILD
                       COMMAND python3 ${CMAKE_SOURCE_DIR}/cmake/check-delay-imports.py
                               $<TARGET_FILE:${target}>
                       VERBATIM)
endfunction()
