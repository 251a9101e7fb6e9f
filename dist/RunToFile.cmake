# Runs PROGRAM OPTION and writes what it prints to OUTPUT; fails when it fails.
execute_process(COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen
                        ${PROGRAM} ${OPTION}
                OUTPUT_FILE ${OUTPUT}.tmp RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    file(REMOVE ${OUTPUT}.tmp)
    message(FATAL_ERROR "${PROGRAM} ${OPTION} failed: ${rc}")
endif()
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
