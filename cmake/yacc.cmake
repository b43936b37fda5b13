# Parse tables generated at build time with 9base's yacc (installed, with the
# parser skeleton it needs, by scripts/setup.sh).
#
#   ov_yacc_grammar(NAME GRAMMAR)  runs yacc on GRAMMAR into
#     <build>/grammars/NAME/NAME.tab.c (the generator's own parser) and
#     turns its tables into NAME_tables.h (PARSETABLES for ov_yyparse).
#
# The test grammars under tests/grammars/ also become the oracle library
# ovparse_oracles (each generated parser with its globals prefixed by the
# grammar's name), linked into ovparse_test and ovparse_bench.  ovtool's
# calculator grammar feeds tools/ovtool/calc.cpp.
set(OV_YACC /usr/lib/plan9/bin/yacc CACHE FILEPATH "9base yacc")
if(DEFINED ENV{OVBASE_YACC_HOME})
  set(_ov_yacc_home_default $ENV{OVBASE_YACC_HOME})
elseif(DEFINED ENV{XDG_CACHE_HOME})
  set(_ov_yacc_home_default $ENV{XDG_CACHE_HOME}/ovbase/plan9)
else()
  set(_ov_yacc_home_default $ENV{HOME}/.cache/ovbase/plan9)
endif()
set(OV_YACC_HOME ${_ov_yacc_home_default} CACHE PATH "PLAN9 directory holding yacc/yaccpar")
if(NOT EXISTS ${OV_YACC} OR NOT EXISTS ${OV_YACC_HOME}/yacc/yaccpar)
  message(FATAL_ERROR "yacc or its skeleton missing (${OV_YACC}, ${OV_YACC_HOME}/yacc/yaccpar): run scripts/setup.sh")
endif()

add_executable(yacctables ${PROJECT_SOURCE_DIR}/tools/yacctables/yacctables.cpp)
target_compile_options(yacctables PRIVATE ${OV_WARN})

set(OV_GRAMMAR_DIR ${PROJECT_BINARY_DIR}/grammars)
function(ov_yacc_grammar name grammar)
  set(dir ${OV_GRAMMAR_DIR}/${name})
  file(MAKE_DIRECTORY ${dir})
  add_custom_command(
    OUTPUT ${dir}/${name}.tab.c ${OV_GRAMMAR_DIR}/${name}_tables.h
    COMMAND ${CMAKE_COMMAND} -E env PLAN9=${OV_YACC_HOME} ${OV_YACC} -o ${name}.tab.c ${grammar}
    COMMAND yacctables ${name} ${name}.tab.c ${OV_GRAMMAR_DIR}/${name}_tables.h
    WORKING_DIRECTORY ${dir}
    DEPENDS ${grammar} yacctables ${OV_YACC_HOME}/yacc/yaccpar
    COMMENT "yacc ${name}"
    VERBATIM)
endfunction()

# ovtool calc
ov_yacc_grammar(calc ${PROJECT_SOURCE_DIR}/tools/ovtool/calc.y)
target_sources(ovtool PRIVATE ${OV_GRAMMAR_DIR}/calc_tables.h)
target_include_directories(ovtool PRIVATE ${OV_GRAMMAR_DIR})

# Test grammars and their generated parsers as oracles.
if(NOT OVBASE_TESTS AND NOT OVBASE_BENCH)
  return()
endif()
set(OV_TEST_GRAMMARS expr stmt three loopstmt counter alternate tailerr)
set(_ov_oracle_sources ${PROJECT_SOURCE_DIR}/tests/grammars/oracle_support.c)
set(_ov_grammar_headers)
foreach(g ${OV_TEST_GRAMMARS})
  ov_yacc_grammar(${g} ${PROJECT_SOURCE_DIR}/tests/grammars/${g}.y)
  set(src ${OV_GRAMMAR_DIR}/${g}/${g}.tab.c)
  # The generated parsers are the peers, not our code: no warnings, and no
  # sanitizer (UBSan flags an index of -1 inside the generated code).
  set_source_files_properties(${src} PROPERTIES COMPILE_DEFINITIONS OV_GRAMMAR=${g}
    COMPILE_OPTIONS "-w;-fno-sanitize=all")
  list(APPEND _ov_oracle_sources ${src})
  list(APPEND _ov_grammar_headers ${OV_GRAMMAR_DIR}/${g}_tables.h)
endforeach()
add_library(ovparse_oracles STATIC ${_ov_oracle_sources} ${_ov_grammar_headers})
target_include_directories(ovparse_oracles
  PUBLIC ${OV_GRAMMAR_DIR} ${PROJECT_SOURCE_DIR}/tests/grammars ${PROJECT_SOURCE_DIR}/include)
# The driver's test sees every allocation and release it makes (modes,
# tags, memory context, zero fill) through the linker's wrapping of the three
# memory functions.
if(TARGET ovparse_test)
  target_link_options(ovparse_test PRIVATE
    -Wl,--wrap=ov_getMem -Wl,--wrap=ov_extendMem -Wl,--wrap=ov_freeMemory)
endif()
foreach(consumer ovparse_test ovparse_bench)
  if(TARGET ${consumer})
    target_link_libraries(${consumer} PRIVATE ovparse_oracles)
    add_dependencies(${consumer} ovparse_oracles)
  endif()
endforeach()
