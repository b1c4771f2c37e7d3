# Read by ctest: one test for each test of the end-to-end driver, run in the shared session.
# E2E_LIST keeps the driver's list of its tests until the driver changes.
if(NOT EXISTS "${E2E_LIST}" OR "${E2E_DRIVER}" IS_NEWER_THAN "${E2E_LIST}")
    execute_process(COMMAND ${E2E_RUN} --gtest_list_tests OUTPUT_VARIABLE listing
                    ERROR_VARIABLE errors RESULT_VARIABLE result TIMEOUT 300)
    if(NOT result EQUAL 0)
        # A test that fails with the reason, so that a run cannot pass with no test at all.
        add_test(e2e.list cmake -E echo "the driver did not list its tests: ${result} ${errors}")
        set_tests_properties(e2e.list PROPERTIES LABELS e2e WILL_FAIL TRUE)
        return()
    endif()
    file(WRITE "${E2E_LIST}" "${listing}")
endif()
file(STRINGS "${E2E_LIST}" lines)
foreach(line IN LISTS lines)
    if(line MATCHES "^([A-Za-z0-9_/]+)\\.$")
        set(suite ${CMAKE_MATCH_1})
    elseif(line MATCHES "^  ([A-Za-z0-9_/]+)")
        set(test ${suite}.${CMAKE_MATCH_1})
        add_test(e2e.${test} ${E2E_RUN} --gtest_filter=${test})
        set_tests_properties(e2e.${test} PROPERTIES LABELS e2e FIXTURES_REQUIRED e2e_session
                                                    RESOURCE_LOCK e2e_session TIMEOUT 300)
    endif()
endforeach()
