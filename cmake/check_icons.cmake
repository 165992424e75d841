# Runs the icon generator into OUT and fails unless it reproduces the committed icons in SOURCE.
file(MAKE_DIRECTORY ${OUT})
execute_process(COMMAND ${GENERATOR} ${OUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "make_icons failed: ${result}")
endif()
foreach(icon cyclara.ico led_on.ico led_off.ico)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/${icon} ${SOURCE}/${icon}
        RESULT_VARIABLE different)
    if(different)
        message(FATAL_ERROR "${icon} differs from the generator's output: run make_icons res")
    endif()
    message(STATUS "${icon} reproduced byte for byte")
endforeach()
