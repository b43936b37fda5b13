# Installs the library and builds consumers against the installed tree:
#  1. this build, installed into a scratch prefix with its own libdir;
#  2. a second build of the library alone (tests and benchmarks off) for a
#     /usr-style prefix with a two-level multiarch libdir, staged with
#     DESTDIR.
# Each tree is consumed through find_package and through pkg-config, and
# the installed ovtool must start without any library path set.
file(REMOVE_RECURSE ${WORK})

function(must what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  set(must_out "${out}" PARENT_SCOPE)
endfunction()

# The consumer prints a status message and the version it was compiled with.
set(expected_out "record not found (S_NOTFOUND)\n${VERSION}\n")

# Checks one installed tree: root is the prefix as seen on disk.
function(consume root libdir tag)
  foreach(f include/ovbase.h include/ovbase/status.h include/ovbase/ovversion.h
            ${libdir}/libovbase.so.6 ${libdir}/pkgconfig/ovbase.pc
            ${libdir}/cmake/ovbase/ovbaseConfig.cmake bin/ovtool)
    if(NOT EXISTS ${root}/${f})
      message(FATAL_ERROR "${tag}: not installed: ${f}")
    endif()
  endforeach()

  # find_package, the consumer's own CMake project.
  must("${tag}: consumer configure" ${CMAKE_COMMAND} -S ${CONSUMER} -B ${WORK}/${tag}-consumer
       -Dovbase_DIR=${root}/${libdir}/cmake/ovbase -DCMAKE_C_COMPILER=${C_COMPILER})
  must("${tag}: consumer build" ${CMAKE_COMMAND} --build ${WORK}/${tag}-consumer)
  must("${tag}: consumer run" ${WORK}/${tag}-consumer/consumer)
  if(NOT must_out STREQUAL expected_out)
    message(FATAL_ERROR "${tag}: consumer printed '${must_out}'")
  endif()

  # pkg-config: the same program compiled with the flags the .pc file
  # gives, as C99 and as pedantic C++ under every compiler at hand.
  must("${tag}: pkg-config" env PKG_CONFIG_PATH=${root}/${libdir}/pkgconfig
       pkg-config --cflags --libs ovbase)
  string(STRIP "${must_out}" pcflags)
  separate_arguments(pcflags UNIX_COMMAND "${pcflags}")
  set(builds "${C_COMPILER}|-std=c99|-xc")
  foreach(cxx ${CXX_COMPILER} g++ clang++)
    find_program(found_${cxx} NAMES ${cxx})
    if(found_${cxx})
      list(APPEND builds "${found_${cxx}}|-std=c++17|-xc++" "${found_${cxx}}|-std=c++20|-xc++")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES builds)
  set(n 0)
  foreach(b ${builds})
    string(REPLACE "|" ";" b "${b}")
    list(GET b 0 compiler)
    list(GET b 1 std)
    list(GET b 2 lang)
    math(EXPR n "${n} + 1")
    set(exe ${WORK}/${tag}-pc-${n})
    must("${tag}: pkg-config build with ${compiler} ${std}" ${compiler} ${std} -Wall -Wextra
         -pedantic -Werror ${lang} ${CONSUMER}/consumer.c -xnone ${pcflags} -o ${exe})
    must("${tag}: pkg-config consumer run" env LD_LIBRARY_PATH=${root}/${libdir} ${exe})
    if(NOT must_out STREQUAL expected_out)
      message(FATAL_ERROR "${tag}: ${compiler} ${std} consumer printed '${must_out}'")
    endif()
  endforeach()

  # The installed ovtool finds the installed library through its run path.
  must("${tag}: installed ovtool" env -u LD_LIBRARY_PATH ${root}/bin/ovtool version)
  if(NOT must_out MATCHES "Orvex Server Version ${VERSION}")
    message(FATAL_ERROR "${tag}: installed ovtool printed '${must_out}'")
  endif()
endfunction()

must("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK}/prefix)
consume(${WORK}/prefix ${LIBDIR} own)

set(multiarch lib/x86_64-linux-gnu)
must("usr-style configure" ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK}/usr-build
     -DCMAKE_BUILD_TYPE=Debug -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_LIBDIR=${multiarch}
     -DOVBASE_TESTS=OFF -DOVBASE_BENCH=OFF
     -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
# Tests and benchmarks off: their frameworks are not even looked for.
file(STRINGS ${WORK}/usr-build/CMakeCache.txt looked REGEX "^(GTest|benchmark)_DIR")
if(looked)
  message(FATAL_ERROR "configure without tests looked for a test framework: ${looked}")
endif()
must("usr-style build" ${CMAKE_COMMAND} --build ${WORK}/usr-build --target ovtool -j 2)
must("usr-style install" env DESTDIR=${WORK}/root ${CMAKE_COMMAND} --install ${WORK}/usr-build)
consume(${WORK}/root/usr ${multiarch} usr)
