# Runs ovtool with the arguments after the pattern and checks its exit
# status and its output (run) or its message on stderr (run_err).
function(run_and_match stream expect_rc pattern)
  execute_process(COMMAND ${OVTOOL} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL expect_rc)
    message(FATAL_ERROR "ovtool ${ARGN}: exit ${rc}, expected ${expect_rc} (${err})")
  endif()
  if(NOT ${stream} MATCHES "${pattern}")
    message(FATAL_ERROR "ovtool ${ARGN}: ${stream} '${${stream}}' does not match '${pattern}'")
  endif()
endfunction()
function(run expect_rc pattern)
  run_and_match(out ${expect_rc} "${pattern}" ${ARGN})
endfunction()
function(run_err expect_rc pattern)
  run_and_match(err ${expect_rc} "${pattern}" ${ARGN})
endfunction()

# Help and version under their usual option names.
set(help_text "^usage: ovtool COMMAND \\[ARGS\\]\n.*ovtool dec \\[--limits P/S\\]")
run(0 "${help_text}" help)
run(0 "${help_text}" -h)
run(0 "${help_text}" --help)
run(0 "^@\\(#\\)Orvex Server Version 6\\.0\\.653H\nGNU C/C\\+\\+ [0-9]+\\.[0-9]+\\.[0-9]+\n$" --version)

# Output that cannot be written is a failure, with a message.
execute_process(COMMAND ${OVTOOL} help OUTPUT_FILE /dev/full RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT err MATCHES "^ovtool: cannot write the output")
  message(FATAL_ERROR "ovtool help > /dev/full: exit ${rc} '${err}'")
endif()

# A bad argument is quoted up to 60 bytes, never half a UTF-8 character.
string(REPEAT "x" 100 long)
string(REPEAT "x" 60 shown)
run_err(2 "^ovtool: '${shown}\\.\\.\\.' \\(100 bytes\\) is neither" errinfo ${long})
string(REPEAT "é" 40 accents)
string(REPEAT "é" 30 shownAccents)
run_err(1 "^ovtool: '${shownAccents}\\.\\.\\.' \\(80 bytes\\) is not a decimal" dec add 1 ${accents})
run_err(2 "^ovtool: unknown command '${shown}\\.\\.\\.' \\(101 bytes\\)" ${long}y)

# Status codes are 16-bit: numbers outside are refused, not folded.
run(0 "^NO MESSAGE AVAILABLE \\(UNKNOWN\\)\n$" errinfo -32768)
run(0 "^NO MESSAGE AVAILABLE \\(UNKNOWN\\)\n$" errinfo 32767)
foreach(outside 32768 -32769 65538 70000 -65536 99999999999999999999)
  run_err(2 "16-bit range" errinfo ${outside})
endforeach()

# Lost digits are explained: the limit, the rule, how many digits.
run(0 "^99999999999999980000000000000001\nstatus: overflow\noverflow: the result has 32 digits before the point, more than the 16 that max_precision - max_scale \\(32 - 16\\) allows an integer part; every digit is kept, the value is exact\n$"
    dec mul 9999999999999999 9999999999999999)
run(0 "^99999999999999980000000000000001\nstatus: overflow\noverflow: .* more than the 20 that max_precision - max_scale \\(40 - 20\\)"
    dec --limits 40/20 mul 9999999999999999 9999999999999999)
run(0 "^99999999999999980000000000000001\nstatus: none\n$" dec --limits 64/32 mul 9999999999999999 9999999999999999)
run(0 "truncated: the operands have 34 digits together, more than max_precision 32, so they were cut at the right before multiplying\n"
    dec mul 12345678901234567890 1234567890123.5)
run(0 "^152415787532387.4936747525704925\nstatus: none\n$" dec mul 0.1234567890123450 1234567890123456.5)
run(0 "truncated: the operands have 33 digits together" dec mul 0.0001234567890123 1234567890123456789.5)
run(0 "\nlost: 1 digit of the result did not fit max_precision 32; with max_precision 255 it is 15241578753239370219321521234415.0\n$"
    dec mul 12345678901234567890 1234567890123.5)
run(0 "^1234567.5\nstatus: truncated, overflow\noverflow: the result has 7 digits .* the 6 that max_precision - max_scale \\(8 - 2\\) allows an integer part\nlost: 1 digit of the result did not fit max_precision 8; with max_precision 255 it is 1234567.51\n$"
    dec --limits 8/2 add 1234567.5 0.01)
run(0 "overflow: a quotient by a one-digit divisor is judged on its integer positions before the leading zero is dropped, here 17, more than the 16"
    dec div 10000000000000000 5)
run(0 "^200000000000000\nstatus: none\n$" dec div 1000000000000000 5)
run(0 "^14285714285714285.71428571428571\nstatus: truncated, overflow\noverflow: the quotient has 17 digits .*\nlost: 2 digits .* it is 14285714285714285.7142857142857142\n$"
    dec div 100000000000000000 7)
run(0 "overflow: '12345.6' has 5 digits before the point, the packed form holds precision - scale \\(4 - 1\\) = 3; 2 digits lost at the left\n$"
    dec pack 12345.6 4 1)
run(0 "^05 02 c1 00 12 30 c1\n1.23\nstatus: truncated\ntruncated: '1.2345' has 4 digits after the point, the packed form holds scale 2; 2 digits lost at the right\n$"
    dec pack 1.2345 5 2)
run_err(1 "^ovtool: '0.12345678901234567' does not fit \\(truncated\\): it has 0 integer and 17 fraction digits; a number holds at most max_precision 32 digits, at most max_scale 16 of them after the point; 1 digit would be lost\n$"
    dec add 1 0.12345678901234567)
run_err(1 "does not fit \\(overflow\\): it has 33 integer .*; 1 digit would be lost"
    dec add 123456789012345678901234567890123 1)
run(0 "^0.12345678901234567\nstatus: none\n$" dec --limits 40/20 add 0 0.12345678901234567)
foreach(bad 0/0 8/9 256/2 x/2 8 8/ /2 1000/2)
  run_err(2 "^ovtool: --limits takes P/S" dec --limits ${bad} add 1 1)
endforeach()
run(2 "^$" dec --limits)
run_err(1 "^ovtool: division by zero\n$" dec div 1 0)
run_err(1 "^ovtool: division by zero\n$" dec div 5 0.000)

run(0 "^record not found \\(S_NOTFOUND\\)\n$" errinfo 2)
run(0 "^client was unable to grant memory \\(S_NOMEMORY\\)\n$" errinfo s_nomemory)
run(0 "^NO MESSAGE AVAILABLE \\(UNKNOWN\\)\n$" errinfo 20)
run(0 "@\\(#\\)Orvex Server Version 6\\.0\\.653H\nGNU C/C\\+\\+ [0-9]+\\.[0-9]+\\.[0-9]+\n" version)
run(2 "^$" bogus)
run(2 "^$" errinfo)
run(2 "^$" errinfo S_NOSUCHNAME)
run(2 "^$" errinfo 12x)
run(2 "^$")
run(0 "^0.3333333333333333\nstatus: none\n$" dec div 1 3)
run(0 "^1.0\nstatus: none\n$" dec add 0.5 0.5)
run(0 "^-2\nstatus: none\n$" dec sub 3 5)
run(0 "^-2 \\(less\\)\n$" dec cmp -1 1)
run(0 "^0 \\(equal\\)\n$" dec cmp 0.050 .05)
run(0 "^10\nstatus: none\n$" dec ceil 9.5)
run(0 "^-1\nstatus: none\n$" dec floor -0.05)
run(0 "^05 02 40 98 74 90 40\n-12.50\nstatus: none\n$" dec pack -12.5 5 2)
run(0 "^04 01 c2 34 56 c2\n345.6\nstatus: overflow\noverflow: " dec pack 12345.6 4 1)
run(1 "^$" dec add 1 x)
run(1 "^$" dec add 1 "12 ")
run(1 "^$" dec div 1e40 1)
run(1 "^$" dec mul 0.12345678901234567 1)
run(1 "^$" dec pack 1 40 2)
run(2 "^$" dec bogus 1 2)
run(2 "^$" dec add 1)
run(2 "^$" dec ceil 1 2)
run(2 "^$" dec pack 1 5)
run(2 "^$" dec pack 1 x 2)
run(2 "^$" dec)
