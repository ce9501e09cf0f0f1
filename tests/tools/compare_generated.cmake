# Runs a generator into the build tree and checks that each file it makes is
# the committed one. -DPYTHON -DGENERATOR -DARGUMENT -DGENERATED_DIR
# -DCOMMITTED_DIR -DFILES=a;b;c
file(MAKE_DIRECTORY ${GENERATED_DIR})
execute_process(COMMAND ${PYTHON} ${GENERATOR} ${ARGUMENT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${GENERATOR} failed: ${result}")
endif()
foreach(name IN LISTS FILES)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files
                  ${GENERATED_DIR}/${name} ${COMMITTED_DIR}/${name} RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "${COMMITTED_DIR}/${name} differs from what ${GENERATOR} makes; run it")
  endif()
endforeach()
