# Installs the build into a scratch prefix and builds a consumer against it.
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK}/prefix
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed")
endif()
foreach(f include/ovbase.h include/ovbase/status.h lib/libovbase.so.6 lib/pkgconfig/ovbase.pc
          lib/cmake/ovbase/ovbaseConfig.cmake)
  if(NOT EXISTS ${WORK}/prefix/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${CONSUMER} -B ${WORK}/build
                        -DCMAKE_PREFIX_PATH=${WORK}/prefix
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "consumer configure failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK}/build RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "consumer build failed")
endif()
execute_process(COMMAND ${WORK}/build/consumer RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "record not found (S_NOTFOUND)\n")
  message(FATAL_ERROR "consumer run failed: ${rc} '${out}'")
endif()
# pkg-config: compile the same program with the flags the .pc file gives.
execute_process(COMMAND env PKG_CONFIG_PATH=${WORK}/prefix/lib/pkgconfig pkg-config --cflags --libs ovbase
  OUTPUT_VARIABLE pcflags RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "pkg-config does not know ovbase")
endif()
separate_arguments(pcflags UNIX_COMMAND "${pcflags}")
execute_process(COMMAND cc -std=c99 ${CONSUMER}/consumer.c ${pcflags} -o ${WORK}/consumer_pc
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "pkg-config build failed")
endif()
execute_process(COMMAND env LD_LIBRARY_PATH=${WORK}/prefix/lib ${WORK}/consumer_pc
  RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "record not found (S_NOTFOUND)\n")
  message(FATAL_ERROR "pkg-config consumer run failed: ${rc} '${out}'")
endif()
